// Checkpoint file "Numen.dta": record round trips (bytes as the integer
// serialisers write them), every rejection, ReadStage and the resume flag,
// the generalized-Fermat resume order, writes that fail without harming
// the last good checkpoint, the previous checkpoint a damaged or missing one
// falls back on, and a crash after every step of the write sequences.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "arith/GfnCheckpoint.h"
#include "platform/AtomicFile.h"
#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "search/CheckpointFile.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::RandomOperands;
using testing::TempFolder;

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<uint32_t> ReadWords(const fs::path& file) {
    std::string b = ReadBytes(file);
    std::vector<uint32_t> w(b.size() / 4);
    for (size_t i = 0; i < w.size(); ++i)
        for (int j = 3; j >= 0; --j) w[i] = w[i] << 8 | uint8_t(b[4 * i + j]);
    return w;
}

void WriteWords(const fs::path& file, const std::vector<uint32_t>& w) {
    CheckpointBytes out;
    for (uint32_t x : w) out.word(x);
    WriteBytes(file, std::string(out.view()));
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool Same(const BigInt& x, const BigInt& y) { return x.size() == y.size() && x.compare(y) == 0; }
bool Same(const RadixInt& x, const RadixInt& y) {
    return x.radix() == y.radix() && x.size() == y.size() && x.compare(y) == 0;
}

// Restores the process-wide flag whatever a test does with it.
struct ResumeFlagGuard {
    bool saved = ResumeRequested();
    ~ResumeFlagGuard() { SetResumeRequested(saved); }
};

class CheckpointFileTest : public ::testing::Test {
protected:
    TempFolder temp;
    const fs::path folder = temp.path();
    const fs::path dta = CheckpointPath(folder);
    RandomOperands random{testing::TestSeed()};

    // The edge case of the description: k = 3, n = 200000, base 2, stage 1.
    const PowerRecordParams params{5, 3, 2, 200000, 1};
};

// --- round trips ---------------------------------------------------------------

TEST_F(CheckpointFileTest, PowerRecordWithBigIntResidueRoundTrips) {
    for (int trial = 0; trial < testing::Repeats(8); ++trial) {
        BigInt residue = random.value(1 + random.below(6000));
        if (trial == 0 && !residue.isNegative()) residue.negate();
        if (trial == 1) residue.setInt(0);
        SCOPED_TRACE("trial " + std::to_string(trial) + ", size " + std::to_string(residue.size()));
        uint32_t steps = random.word(), bit = random.word();
        ASSERT_TRUE(WritePowerRecord(folder, 1, params, steps, bit, residue));

        std::vector<uint32_t> w = ReadWords(dta);
        ASSERT_EQ(w.size(), 9 + 1 + residue.length() + 1);
        EXPECT_EQ(w[0], 700u);
        EXPECT_EQ(w[1], 1u);
        EXPECT_EQ(std::vector<uint32_t>(w.begin() + 2, w.begin() + 9),
                  (std::vector<uint32_t>{5, 3, 2, 200000, 1, steps, bit}));
        EXPECT_EQ(int32_t(w[9]), residue.size());  // negative for a negative residue
        EXPECT_EQ(w.back(), residue.xorHash() ^ steps ^ bit);

        // The residue field is exactly what readBigInt understands.
        std::FILE* f = std::fopen(dta.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::fseek(f, 36, SEEK_SET);
        BigInt direct;
        EXPECT_EQ(readBigInt(f, direct), 1 + residue.length());
        std::fclose(f);
        EXPECT_TRUE(Same(direct, residue));

        uint32_t s = 0, b = 0;
        BigInt back(77);
        ASSERT_TRUE(ReadPowerRecord(folder, 1, params, s, b, back));
        EXPECT_EQ(s, steps);
        EXPECT_EQ(b, bit);
        EXPECT_TRUE(Same(back, residue));
    }
}

TEST_F(CheckpointFileTest, PowerRecordWithRadixResidueRoundTrips) {
    // A residue of 1234*3^150000 - 1 in radix 3^12.
    const PowerRecordParams radixParams{7, 1234, 3, 150000, -1};
    RadixInt residue(531441u, random.value(2000));
    residue.negate();
    ASSERT_TRUE(WritePowerRecord(folder, 6, radixParams, 123, 456, residue));

    std::FILE* f = std::fopen(dta.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 36, SEEK_SET);
    RadixInt direct(2);
    EXPECT_EQ(readRadixInt(f, direct), 5 + residue.length());
    std::fclose(f);
    EXPECT_TRUE(Same(direct, residue));

    uint32_t s = 0, b = 0;
    RadixInt back(10, 5);
    ASSERT_TRUE(ReadPowerRecord(folder, 6, radixParams, 531441, s, b, back));
    EXPECT_EQ(s, 123u);
    EXPECT_EQ(b, 456u);
    EXPECT_TRUE(Same(back, residue));
}

TEST_F(CheckpointFileTest, DivisibilityRecordRoundTrips) {
    BigInt x2 = random.value(3000), x3, x5 = random.value(3100);
    x5.negate();
    if (!x5.isNegative()) x5.setInt(-5);
    ASSERT_TRUE(WriteDivisibilityRecord(folder, 3, 3, 200000, 1000, 198999, x2, x3, x5));

    std::vector<uint32_t> w = ReadWords(dta);
    ASSERT_EQ(w.size(), 6 + 3 + x2.length() + x5.length() + 1);
    EXPECT_EQ(std::vector<uint32_t>(w.begin(), w.begin() + 6),
              (std::vector<uint32_t>{700, 3, 3, 200000, 1000, 198999}));
    EXPECT_EQ(w.back(), x2.xorHash() ^ x3.xorHash() ^ x5.xorHash() ^ 1000 ^ 198999);

    uint32_t s = 0, r = 0;
    BigInt y2, y3(9), y5;
    ASSERT_TRUE(ReadDivisibilityRecord(folder, 3, 3, 200000, s, r, y2, y3, y5));
    EXPECT_EQ(s, 1000u);
    EXPECT_EQ(r, 198999u);
    EXPECT_TRUE(Same(y2, x2));
    EXPECT_TRUE(Same(y3, x3));
    EXPECT_TRUE(Same(y5, x5));
}

// --- rejections: each leaves the caller's values untouched ------------------------

class CheckpointRejectionTest : public CheckpointFileTest {
protected:
    void SetUp() override {
        residue = random.value(40);
        ASSERT_TRUE(WritePowerRecord(folder, 1, params, 11, 22, residue));
        good = ReadWords(dta);
    }
    // Whether a read with these arguments accepts the file; on rejection
    // the outputs must be as they were.
    bool accepts(uint32_t stage, const PowerRecordParams& p) {
        uint32_t s = 0xdead, b = 0xbeef;
        BigInt x(-42);
        bool ok = ReadPowerRecord(folder, stage, p, s, b, x);
        if (!ok) {
            EXPECT_EQ(s, 0xdeadu);
            EXPECT_EQ(b, 0xbeefu);
            EXPECT_EQ(x.compareInt(-42), 0);
        }
        return ok;
    }
    bool acceptsWith(std::vector<uint32_t> w) {
        WriteWords(dta, w);
        return accepts(1, params);
    }

    BigInt residue;
    std::vector<uint32_t> good;
};

TEST_F(CheckpointRejectionTest, WrongMagicStageOrAnyParameter) {
    ASSERT_TRUE(accepts(1, params));
    // Stage 1 for k = 3, n = 200000 serves neither stage 2 nor k = 5.
    EXPECT_FALSE(accepts(2, params));
    EXPECT_FALSE(accepts(0, params));
    for (int field = 0; field < 5; ++field) {
        PowerRecordParams p = params;
        uint32_t* word[] = {&p.a, &p.k, &p.b, &p.n, reinterpret_cast<uint32_t*>(&p.c)};
        *word[field] += 2;
        EXPECT_FALSE(accepts(1, p)) << "parameter " << field;
    }
    PowerRecordParams negated = params;
    negated.c = -1;
    EXPECT_FALSE(accepts(1, negated));

    std::vector<uint32_t> w = good;
    w[0] = 701;
    EXPECT_FALSE(acceptsWith(w));
}

TEST_F(CheckpointRejectionTest, ChecksumCountersAndEveryResidueWord) {
    for (size_t i : {size_t(7), size_t(8), good.size() - 1}) {  // steps, bit index, checksum
        std::vector<uint32_t> w = good;
        w[i] ^= 0x100;
        EXPECT_FALSE(acceptsWith(w)) << "word " << i;
    }
    for (size_t i = 10; i + 1 < good.size(); ++i) {
        std::vector<uint32_t> w = good;
        w[i] ^= 1u << (i % 32);
        EXPECT_FALSE(acceptsWith(w)) << "residue word " << i;
    }
    // A shorter residue with the checksum made to match still leaves words
    // over: the record must end where the file ends.
    std::vector<uint32_t> w = good;
    w.push_back(0);
    EXPECT_FALSE(acceptsWith(w));
    EXPECT_TRUE(acceptsWith(good));
}

TEST_F(CheckpointRejectionTest, TruncatedAtEveryLength) {
    std::string bytes = ReadBytes(dta);
    for (size_t len = 0; len < bytes.size(); len += (len < 48 ? 1 : 13)) {
        WriteBytes(dta, bytes.substr(0, len));
        EXPECT_FALSE(accepts(1, params)) << "length " << len;
    }
    fs::remove(dta);
    EXPECT_FALSE(accepts(1, params));
}

TEST_F(CheckpointRejectionTest, ImpossibleSizeWordsAllocateNothing) {
    // 2^31 - 1 and -2^31 words: far beyond N = 3*2^200000 + 1.
    for (uint32_t size : {0x7fffffffu, 0x80000000u, 0x80000001u}) {
        std::vector<uint32_t> w = good;
        w[9] = size;
        EXPECT_FALSE(acceptsWith(w)) << size;
    }
    // A size the file does hold, but no residue modulo N = 3*2^200000 + 1
    // can need (three times N's 6251 words); zero words and a checksum that
    // matches would make it acceptable otherwise.
    std::vector<uint32_t> padded(good.begin(), good.begin() + 9);
    padded.push_back(3 * 6251);
    padded.resize(padded.size() + 3 * 6251, 0);
    padded.push_back(11 ^ 22);
    EXPECT_FALSE(acceptsWith(padded));
    padded.erase(padded.begin() + 10, padded.begin() + 10 + 2 * 6251);
    padded[9] = 6251;
    EXPECT_TRUE(acceptsWith(padded));  // leading zero words: the value zero

    // Parameters that do allow 2^31 - 1 words: only the file's length can
    // refuse the size, and it must, before anything is allocated -- reading
    // first would also refuse, but only after touching 8 GiB, which the
    // peak resident size shows.
    PowerRecordParams huge{5, 0xffffffffu, 999999, 0xfffffff0u, 1};
    ASSERT_TRUE(WritePowerRecord(folder, 1, huge, 1, 2, residue));
    std::vector<uint32_t> w = ReadWords(dta);
    w[9] = 0x7fffffff;
    WriteWords(dta, w);
    long peakBefore = PeakResidentKiB();
    EXPECT_FALSE(accepts(1, huge));
    EXPECT_LT(PeakResidentKiB() - peakBefore, 64L << 10);
    // One word more than the file holds.
    w[9] = residue.length() + 1;
    WriteWords(dta, w);
    EXPECT_FALSE(accepts(1, huge));
}

TEST_F(CheckpointRejectionTest, RadixResidueSizeRadixAndDigits) {
    const PowerRecordParams p{7, 1234, 3, 150000, -1};
    RadixInt value(531441u, random.value(100));
    ASSERT_TRUE(WritePowerRecord(folder, 6, p, 1, 2, value));
    const std::vector<uint32_t> ok = ReadWords(dta);
    auto accepted = [&](size_t at, uint32_t word) {
        std::vector<uint32_t> w = ok;
        w[at] = word;
        WriteWords(dta, w);
        uint32_t s = 0, b = 0;
        RadixInt x(10, 7);
        bool accepted = ReadPowerRecord(folder, 6, p, 531441, s, b, x);
        if (!accepted) {
            EXPECT_TRUE(Same(x, RadixInt(10, 7)));
        }
        return accepted;
    };
    EXPECT_TRUE(accepted(9, ok[9]));
    EXPECT_FALSE(accepted(9, 0x7fffffff));     // size
    EXPECT_FALSE(accepted(10, 1));             // radix below 2
    EXPECT_FALSE(accepted(10, 0x80000000u));   // radix beyond a signed word
    EXPECT_FALSE(accepted(10, 531442u));       // another radix
    EXPECT_FALSE(accepted(14, ok[14] ^ 4));    // a digit
    EXPECT_FALSE(accepted(14, 531441u));       // a digit equal to the radix
    // Radix 2, as a caller expecting it would read, with a size that base 3
    // numbers of this size cannot reach: the bound follows the radix.
    auto radix2Zero = [&](uint32_t digits) {
        std::vector<uint32_t> w(ok.begin(), ok.begin() + 9);
        for (uint32_t x : {digits, 2u, 0u, 1u, 0u}) w.push_back(x);
        w.resize(w.size() + digits, 0);
        w.push_back(2 ^ 1 ^ 2);  // the checksum of zero in radix 2
        WriteWords(dta, w);
        uint32_t s, b;
        RadixInt x(2);
        return ReadPowerRecord(folder, 6, p, 2, s, b, x);
    };
    EXPECT_FALSE(radix2Zero(3 * (150000 * 2 + 11)));  // three times N's length in bits
    EXPECT_TRUE(radix2Zero(150000 * 2 + 11));
}

// A record that is whole and self-consistent but holds its residue in
// another radix than the run's -- base 3 digits for a run in 3^12, say --
// would resume from digits that mean another number. The radix is the
// caller's, not the file's.
TEST_F(CheckpointFileTest, RadixRecordInAnotherRadixIsRefused) {
    const PowerRecordParams p{7, 1234, 3, 150000, -1};
    ASSERT_TRUE(WritePowerRecord(folder, 6, p, 1, 2, RadixInt(3, 7)));
    uint32_t s = 0xdead, b = 0xbeef;
    RadixInt x(531441, 5);
    EXPECT_FALSE(ReadPowerRecord(folder, 6, p, 531441, s, b, x));
    EXPECT_EQ(s, 0xdeadu);
    EXPECT_EQ(b, 0xbeefu);
    EXPECT_TRUE(Same(x, RadixInt(531441, 5)));
    // The same record is good for a caller in radix 3.
    ASSERT_TRUE(ReadPowerRecord(folder, 6, p, 3, s, b, x));
    EXPECT_TRUE(Same(x, RadixInt(3, 7)));

    // A generalized-Fermat record in radix 10 for B = 65536: the transform
    // state is not even looked at.
    const PowerRecordParams gfn = GfnPowerParams(3, 65536, 1u << 14);
    ASSERT_TRUE(WritePowerRecord(folder, 5, gfn, 100, 4321, RadixInt(10, 3)));
    bool loaded = false;
    RadixInt start(65536, 9);
    EXPECT_FALSE(ResumeGfnRun(folder, 5, gfn, s, b, start, [&](const fs::path&, uint32_t) { return loaded = true; }));
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(Same(start, RadixInt(65536, 9)));
}

TEST_F(CheckpointFileTest, DivisibilityRecordRejections) {
    BigInt x2 = random.value(50), x3 = random.value(60), x5 = random.value(70);
    ASSERT_TRUE(WriteDivisibilityRecord(folder, 3, 3, 200000, 10, 20, x2, x3, x5));
    const std::vector<uint32_t> ok = ReadWords(dta);
    auto accepts = [&](const std::vector<uint32_t>& w, uint32_t stage = 3, uint32_t k = 3,
                       uint32_t n = 200000) {
        WriteWords(dta, w);
        uint32_t s = 1, r = 2;
        BigInt y2(-2), y3(-3), y5(-5);
        bool accepted = ReadDivisibilityRecord(folder, stage, k, n, s, r, y2, y3, y5);
        if (!accepted) {
            EXPECT_TRUE(s == 1 && r == 2 && y2.compareInt(-2) == 0 && y3.compareInt(-3) == 0 &&
                        y5.compareInt(-5) == 0);
        }
        return accepted;
    };
    EXPECT_TRUE(accepts(ok));
    EXPECT_FALSE(accepts(ok, 1));
    EXPECT_FALSE(accepts(ok, 3, 5));
    EXPECT_FALSE(accepts(ok, 3, 3, 200001));
    const size_t x3At = 6 + 1 + x2.length(), x5At = x3At + 1 + x3.length();
    for (size_t i : {size_t(4), size_t(5), x3At + 3, x5At + 1, ok.size() - 1}) {
        std::vector<uint32_t> w = ok;
        w[i] ^= 0x8000;
        EXPECT_FALSE(accepts(w)) << "word " << i;
    }
    for (size_t at : {size_t(6), x3At, x5At}) {
        std::vector<uint32_t> w = ok;
        w[at] = 0x7fffffff;
        EXPECT_FALSE(accepts(w)) << "size word at " << at;
    }
    std::vector<uint32_t> w = ok;
    w.pop_back();
    EXPECT_FALSE(accepts(w));
}

// --- the stage query and the resume flag ------------------------------------------

TEST_F(CheckpointFileTest, ReadStageOnlyInAResumedRun) {
    ResumeFlagGuard guard;
    BigInt x(12345);
    ASSERT_TRUE(WritePowerRecord(folder, 7, params, 1, 2, x));

    uint32_t stage = 99;
    SetResumeRequested(false);
    EXPECT_FALSE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 99u);

    SetResumeRequested(true);
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 7u);

    // Only the magic and the stage are looked at.
    WriteWords(dta, {700, 2});
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 2u);

    stage = 99;
    WriteWords(dta, {700});
    EXPECT_FALSE(ReadStage(folder, stage));
    WriteWords(dta, {720, 2});
    EXPECT_FALSE(ReadStage(folder, stage));
    fs::remove(dta);
    EXPECT_FALSE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 99u);
}

TEST_F(CheckpointFileTest, GfnResumeLoadsTheTransformStateOnlyAfterTheRecord) {
    const PowerRecordParams gfn = GfnPowerParams(3, 65536, 1u << 14);
    RadixInt start(65536, 3);
    std::vector<uint32_t> loads;
    auto load = [&](bool answer) {
        return [&loads, answer](const fs::path&, uint32_t bit) {
            loads.push_back(bit);
            return answer;
        };
    };
    uint32_t s = 0, b = 0;
    RadixInt x(65536);

    EXPECT_FALSE(ResumeGfnRun(folder, 5, gfn, s, b, x, load(true)));  // no record
    ASSERT_TRUE(WritePowerRecord(folder, 5, gfn, 100, 4321, start));
    std::vector<uint32_t> w = ReadWords(dta);
    EXPECT_EQ(std::vector<uint32_t>(w.begin() + 2, w.begin() + 7),
              (std::vector<uint32_t>{3, 1, 65536, 1u << 14, 1}));  // a, 1, B, m, 1
    EXPECT_FALSE(ResumeGfnRun(folder, 5, GfnPowerParams(3, 65536, 1u << 15), s, b, x, load(true)));
    EXPECT_FALSE(ResumeGfnRun(folder, 4, gfn, s, b, x, load(true)));
    EXPECT_TRUE(loads.empty());

    EXPECT_FALSE(ResumeGfnRun(folder, 5, gfn, s, b, x, load(false)));
    EXPECT_TRUE(ResumeGfnRun(folder, 5, gfn, s, b, x, load(true)));
    // The refusing load is asked for the current and the previous state.
    EXPECT_EQ(loads, (std::vector<uint32_t>{4321, 4321, 4321}));
    EXPECT_EQ(s, 100u);
    EXPECT_TRUE(Same(x, start));
}

// --- writing: the last good checkpoint survives every failure ------------------------

TEST_F(CheckpointFileTest, FailedWritesLeaveTheOldRecord) {
    BigInt old = random.value(500), next = random.value(900);
    ASSERT_TRUE(WritePowerRecord(folder, 1, params, 1, 2, old));
    const std::string before = ReadBytes(dta);
    EXPECT_FALSE(fs::exists(folder / "Numen.dta.tmp"));

    // The temporary cannot be opened (its name is taken by a folder).
    fs::create_directories(folder / "Numen.dta.tmp" / "x");
    EXPECT_FALSE(WritePowerRecord(folder, 1, params, 3, 4, next));
    EXPECT_FALSE(WriteDivisibilityRecord(folder, 3, 3, 200000, 3, 4, next, next, next));
    EXPECT_EQ(ReadBytes(dta), before);
    fs::remove_all(folder / "Numen.dta.tmp");

    // The disk fills up half-way through the record: a file size limit makes
    // write(2) fail with EFBIG, as a full disk fails it with ENOSPC.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WritePowerRecord(folder, 1, params, 3, 4, next);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadBytes(dta), before);
    EXPECT_FALSE(fs::exists(folder / "Numen.dta.tmp"));

    // No folder at all.
    EXPECT_FALSE(WritePowerRecord(folder / "missing", 1, params, 3, 4, next));

    uint32_t s = 0, b = 0;
    BigInt x;
    ASSERT_TRUE(ReadPowerRecord(folder, 1, params, s, b, x));
    EXPECT_EQ(s, 1u);
    EXPECT_TRUE(Same(x, old));
}

TEST_F(CheckpointFileTest, DeleteRemovesCurrentPreviousAndStaleTemporaries) {
    DeleteCheckpoint(folder);  // nothing there: not an error
    const char* names[] = {"Numen.dta", "Numen.dtf", "Numen.dta.prev", "Numen.dtf.prev", "Numen.dta.tmp",
                           "Numen.dtf.tmp"};
    for (const char* name : names) WriteBytes(folder / name, "x");
    WriteBytes(folder / "Numen.ini", "x");
    DeleteCheckpoint(folder);
    for (const char* name : names) EXPECT_FALSE(fs::exists(folder / name)) << name;
    EXPECT_TRUE(fs::exists(folder / "Numen.ini"));
}

// --- the previous checkpoint -------------------------------------------------------

TEST_F(CheckpointFileTest, PreviousFileNamesAndTheLine) {
    EXPECT_EQ(PreviousCheckpointPath(folder), folder / "Numen.dta.prev");
    EXPECT_EQ(PreviousTransformStatePath(folder), folder / "Numen.dtf.prev");
    EXPECT_EQ(PreviousCheckpointNotice({true, "Numen.dta", false}),
              "Numen.dta is damaged: resuming from the previous checkpoint.");
    EXPECT_EQ(PreviousCheckpointNotice({true, "Numen.dtf", true}),
              "Numen.dtf is missing: resuming from the previous checkpoint.");
}

class PreviousRecordTest : public CheckpointFileTest {
protected:
    const fs::path prev = PreviousCheckpointPath(folder);
    BigInt residue[5] = {random.value(30), random.value(31), random.value(32), random.value(33), random.value(34)};

    // Record `i` of the run: step count i, bit index 1000 - i.
    bool write(int i) { return WritePowerRecord(folder, 1, params, i, 1000 - i, residue[i]); }
    // The step count of the record a read accepts, -1 when none; a refusal
    // must leave the outputs as they were.
    int read(RecordSource* source = nullptr) {
        uint32_t steps = 0xdead, bit = 0xbeef;
        BigInt x(-42);
        if (!ReadPowerRecord(folder, 1, params, steps, bit, x, source)) {
            EXPECT_EQ(steps, 0xdeadu);
            EXPECT_EQ(bit, 0xbeefu);
            EXPECT_EQ(x.compareInt(-42), 0);
            return -1;
        }
        EXPECT_EQ(bit, 1000 - steps);
        EXPECT_TRUE(Same(x, residue[steps]));
        return int(steps);
    }
};

TEST_F(PreviousRecordTest, EachWriteKeepsTheWholeRecordItReplaces) {
    ASSERT_TRUE(write(1));
    EXPECT_FALSE(fs::exists(prev));  // nothing to keep yet
    const std::string first = ReadBytes(dta);
    ASSERT_TRUE(write(2));
    EXPECT_EQ(ReadBytes(prev), first);  // byte for byte, the same format
    const std::string second = ReadBytes(dta);
    ASSERT_TRUE(write(3));
    EXPECT_EQ(ReadBytes(prev), second);

    // A damaged or missing current file never pushes out the good previous.
    WriteBytes(dta, second.substr(0, second.size() - 1));
    ASSERT_TRUE(write(4));
    EXPECT_EQ(ReadBytes(prev), second);
    fs::remove(dta);
    ASSERT_TRUE(write(4));
    EXPECT_EQ(ReadBytes(prev), second);
    EXPECT_EQ(read(), 4);
    EXPECT_FALSE(fs::exists(AtomicTemporaryPath(dta)));
}

TEST_F(PreviousRecordTest, DamagedOrMissingCurrentResumesFromThePrevious) {
    ASSERT_TRUE(write(1));
    ASSERT_TRUE(write(2));
    const std::string good = ReadBytes(dta);
    RecordSource source;
    ASSERT_EQ(read(&source), 2);
    EXPECT_FALSE(source.previous);

    auto expectPrevious = [&](const std::string& what, bool missing) {
        RecordSource from;
        EXPECT_EQ(read(&from), 1) << what;
        EXPECT_TRUE(from.previous) << what;
        EXPECT_STREQ(from.failedFile, "Numen.dta") << what;
        EXPECT_EQ(from.missing, missing) << what;
    };
    for (size_t len = 0; len < good.size(); len += (len < 48 ? 1 : 7)) {
        WriteBytes(dta, good.substr(0, len));
        expectPrevious("length " + std::to_string(len), false);
    }
    WriteBytes(dta, good + std::string(4, '\0'));
    expectPrevious("overlong", false);
    WriteBytes(dta, std::string(good.size(), '\x5a'));
    expectPrevious("garbage", false);
    // A flipped bit anywhere: the magic, the counters, the residue or the
    // checksum make the file damaged. The stage and the parameters are not
    // under the checksum: flipped, they make a whole record of another
    // stage or number, which is not ours and not damage -- no checkpoint.
    for (size_t at = 0; at < good.size(); ++at) {
        std::string bytes = good;
        bytes[at] ^= char(1 << (at % 8));
        WriteBytes(dta, bytes);
        if (at >= 4 && at < 28) EXPECT_EQ(read(), -1) << "byte " << at;
        else expectPrevious("byte " + std::to_string(at), false);
    }
    fs::remove(dta);
    expectPrevious("missing", true);

    // Nothing good on either side: no checkpoint.
    WriteBytes(prev, good.substr(0, 30));
    EXPECT_EQ(read(), -1);
    fs::remove(prev);
    EXPECT_EQ(read(), -1);
}

TEST_F(PreviousRecordTest, WholeCurrentRecordOfAnotherStageOrNumberIsNoCheckpoint) {
    ASSERT_TRUE(write(1));
    const std::string mine = ReadBytes(dta);
    PowerRecordParams other = params;
    other.k += 2;
    ASSERT_TRUE(WritePowerRecord(folder, 1, other, 5, 6, residue[0]));
    ASSERT_EQ(ReadBytes(prev), mine);
    EXPECT_EQ(read(), -1);
    ASSERT_TRUE(WritePowerRecord(folder, 2, params, 5, 6, residue[0]));  // another stage
    WriteBytes(prev, mine);
    EXPECT_EQ(read(), -1);
    ASSERT_TRUE(WriteDivisibilityRecord(folder, 3, 3, 200000, 1, 2, residue[0], residue[1], residue[2]));
    WriteBytes(prev, mine);
    EXPECT_EQ(read(), -1);
    // A record with a radix residue is not a BigInt caller's either.
    ASSERT_TRUE(WritePowerRecord(folder, 1, params, 5, 6, RadixInt(10, 7)));
    WriteBytes(prev, mine);
    EXPECT_EQ(read(), -1);
}

TEST_F(PreviousRecordTest, RadixAndDivisibilityRecordsFallBackToo) {
    const PowerRecordParams p{7, 1234, 3, 150000, -1};
    const RadixInt r1(531441u, random.value(50)), r2(531441u, random.value(50));
    ASSERT_TRUE(WritePowerRecord(folder, 6, p, 1, 2, r1));
    ASSERT_TRUE(WritePowerRecord(folder, 6, p, 3, 4, r2));
    std::string bytes = ReadBytes(dta);
    bytes[bytes.size() - 9] ^= 0x40;  // a digit
    WriteBytes(dta, bytes);
    uint32_t s = 0, b = 0;
    RadixInt x(2);
    RecordSource source;
    ASSERT_TRUE(ReadPowerRecord(folder, 6, p, 531441, s, b, x, &source));
    EXPECT_EQ(s, 1u);
    EXPECT_TRUE(Same(x, r1));
    EXPECT_TRUE(source.previous);

    ASSERT_TRUE(WriteDivisibilityRecord(folder, 3, 3, 200000, 10, 20, residue[0], residue[1], residue[2]));
    ASSERT_TRUE(WriteDivisibilityRecord(folder, 3, 3, 200000, 11, 19, residue[3], residue[4], residue[0]));
    bytes = ReadBytes(dta);
    WriteBytes(dta, bytes.substr(0, bytes.size() / 2));
    uint32_t r = 0;
    BigInt y2, y3, y5;
    source = {};
    ASSERT_TRUE(ReadDivisibilityRecord(folder, 3, 3, 200000, s, r, y2, y3, y5, &source));
    EXPECT_EQ(s, 10u);
    EXPECT_EQ(r, 20u);
    EXPECT_TRUE(Same(y2, residue[0]) && Same(y3, residue[1]) && Same(y5, residue[2]));
    EXPECT_TRUE(source.previous);
    EXPECT_FALSE(source.missing);
}

TEST_F(PreviousRecordTest, StageComesFromThePreviousWhenTheCurrentIsDamaged) {
    ResumeFlagGuard guard;
    SetResumeRequested(true);
    ASSERT_TRUE(WritePowerRecord(folder, 7, params, 1, 2, residue[0]));
    ASSERT_TRUE(WritePowerRecord(folder, 2, params, 1, 2, residue[0]));
    uint32_t stage = 0;
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 2u);
    const std::string current = ReadBytes(dta);
    WriteBytes(dta, current.substr(0, 20));
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 7u);
    fs::remove(dta);
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 7u);
    // With no whole record on either side the current header answers.
    WriteBytes(prev, "x");
    WriteBytes(dta, current.substr(0, 8));
    ASSERT_TRUE(ReadStage(folder, stage));
    EXPECT_EQ(stage, 2u);
    SetResumeRequested(false);
    EXPECT_FALSE(ReadStage(folder, stage));
}

// A crash after each step of a record write: the reader finds the record
// before the write, or the new one once the write is complete -- never
// nothing -- and the next write goes on from whatever the crash left.
TEST_F(PreviousRecordTest, CrashAfterEveryStepOfARecordWrite) {
    ASSERT_EQ(PowerRecordWrite(folder, 1, params, 1, 999, residue[1]).steps(), 2u);  // nothing to keep
    for (size_t limit = 0; limit <= 3; ++limit) {
        SCOPED_TRACE("stopped after step " + std::to_string(limit));
        DeleteCheckpoint(folder);
        ASSERT_TRUE(write(1));
        ASSERT_TRUE(write(2));
        CheckpointWrite crashed = PowerRecordWrite(folder, 1, params, 3, 997, residue[3]);
        ASSERT_EQ(crashed.steps(), 3u);
        EXPECT_EQ(crashed.run(limit), limit == 3);
        RecordSource source;
        EXPECT_EQ(read(&source), limit < 3 ? 2 : 3);
        EXPECT_EQ(source.previous, limit == 2);  // Numen.dta renamed, the new one not yet in place
        EXPECT_EQ(source.missing, limit == 2);

        ASSERT_TRUE(write(4));
        EXPECT_EQ(read(), 4);
        fs::remove(dta);
        EXPECT_EQ(read(), limit < 3 ? 2 : 3);  // what the next write kept
    }
}

// --- the generalized-Fermat pair ---------------------------------------------------

// A whole "Numen.dtf" of a one-pass plan of `elements` elements: the
// layout of arith/GfnCheckpoint.h with made-up array words.
std::string StateBytes(uint32_t bit, uint32_t elements, uint32_t seed) {
    CheckpointBytes out;
    uint32_t check = 720 ^ bit ^ elements;
    for (uint32_t w : {720u, bit, 0u, 0u, elements}) out.word(w);
    uint32_t x = seed * 2654435761u + 1;
    for (uint32_t i = 0; i < 4 * elements; ++i) {
        x = x * 1664525u + 1013904223u;
        out.word(x);
        check ^= x;
    }
    out.word(check);
    out.word(0);  // largest error 0.0f
    return std::string(out.view());
}

class GfnPairTest : public CheckpointFileTest {
protected:
    const PowerRecordParams gfn = GfnPowerParams(3, 65536, 1u << 14);
    const RadixInt start{65536, 3};
    const fs::path dtf = TransformStatePath(folder);
    const fs::path dtfPrev = PreviousTransformStatePath(folder);
    const fs::path dtaPrev = PreviousCheckpointPath(folder);

    // Pair i: step count i, bit index 100 - i.
    CheckpointWrite pairWrite(uint32_t i) {
        return GfnPairWrite(folder, 5, gfn, i, 100 - i, start, StateBytes(100 - i, 64, i));
    }
    // The step count of the pair a resume takes (-1: none), with the state
    // file it loaded, which must hold the record's bit index.
    int resume(RecordSource* source = nullptr, fs::path* stateFile = nullptr) {
        uint32_t steps = 0, bit = 0;
        RadixInt x(65536);
        const bool resumed = ResumeGfnRun(
            folder, 5, gfn, steps, bit, x,
            [&](const fs::path& file, uint32_t wanted) {
                uint32_t got = 0;
                if (!GfnCheckpointFileBit(file, got) || got != wanted) return false;
                if (stateFile != nullptr) *stateFile = file;
                return ReadBytes(file) == StateBytes(wanted, 64, 100 - wanted);
            },
            source);
        if (!resumed) return -1;
        EXPECT_EQ(bit, 100 - steps);
        EXPECT_TRUE(Same(x, start));
        return int(steps);
    }
    // Every file of the folder, to put a crashed state back.
    std::vector<std::pair<fs::path, std::string>> snapshot() const {
        std::vector<std::pair<fs::path, std::string>> files;
        for (const auto& entry : fs::directory_iterator(folder)) files.emplace_back(entry.path(), ReadBytes(entry.path()));
        return files;
    }
    void restore(const std::vector<std::pair<fs::path, std::string>>& files) {
        for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
        for (const auto& [path, bytes] : files) WriteBytes(path, bytes);
    }
};

TEST_F(GfnPairTest, PairsRoundTripAndKeepTheirPrevious) {
    EXPECT_EQ(resume(), -1);
    EXPECT_EQ(pairWrite(1).steps(), 4u);  // nothing to keep yet
    ASSERT_TRUE(pairWrite(1).run());
    EXPECT_FALSE(fs::exists(dtaPrev));
    EXPECT_EQ(pairWrite(9).steps(), 6u);
    ASSERT_TRUE(pairWrite(2).run());
    EXPECT_EQ(ReadBytes(dtf), StateBytes(98, 64, 2));
    EXPECT_EQ(ReadBytes(dtfPrev), StateBytes(99, 64, 1));
    RecordSource source;
    fs::path state;
    EXPECT_EQ(resume(&source, &state), 2);
    EXPECT_FALSE(source.previous);
    EXPECT_EQ(state, dtf);
    for (const fs::path& tmp : {AtomicTemporaryPath(dtf), AtomicTemporaryPath(CheckpointPath(folder))})
        EXPECT_FALSE(fs::exists(tmp));
    // The record is the plain power record, byte for byte.
    const std::string record = ReadBytes(CheckpointPath(folder));
    ASSERT_TRUE(WritePowerRecord(folder, 5, gfn, 2, 98, start));
    EXPECT_EQ(ReadBytes(CheckpointPath(folder)), record);
}

TEST_F(GfnPairTest, DamagedOrMissingFilesOfTheCurrentPairResumeFromThePrevious) {
    ASSERT_TRUE(pairWrite(1).run());
    ASSERT_TRUE(pairWrite(2).run());
    const auto good = snapshot();
    const fs::path dta = CheckpointPath(folder);
    auto expectPrevious = [&](const std::string& what, const char* failed, bool missing) {
        RecordSource source;
        fs::path state;
        EXPECT_EQ(resume(&source, &state), 1) << what;
        EXPECT_TRUE(source.previous) << what;
        EXPECT_STREQ(source.failedFile, failed) << what;
        EXPECT_EQ(source.missing, missing) << what;
        EXPECT_EQ(state, dtfPrev) << what;
        restore(good);
    };
    const std::string record = ReadBytes(dta), state = ReadBytes(dtf);
    for (size_t len = 0; len < state.size(); len += (len < 40 ? 1 : 97)) {
        WriteBytes(dtf, state.substr(0, len));
        expectPrevious("state length " + std::to_string(len), "Numen.dtf", false);
    }
    for (size_t at : {size_t(0), size_t(4), size_t(16), size_t(20), size_t(500), state.size() - 8}) {
        std::string bytes = state;
        bytes[at] ^= 0x20;
        WriteBytes(dtf, bytes);
        expectPrevious("state byte " + std::to_string(at), "Numen.dtf", false);
    }
    fs::remove(dtf);
    expectPrevious("no state", "Numen.dtf", true);
    for (size_t len : {size_t(0), size_t(7), size_t(36), record.size() - 1}) {
        WriteBytes(dta, record.substr(0, len));
        expectPrevious("record length " + std::to_string(len), "Numen.dta", false);
    }
    std::string bytes = record;
    bytes[32] ^= 1;  // the bit index
    WriteBytes(dta, bytes);
    expectPrevious("record bit index", "Numen.dta", false);
    fs::remove(dta);
    expectPrevious("no record", "Numen.dta", true);

    // A whole current record of another stage: no checkpoint, as always.
    ASSERT_TRUE(WritePowerRecord(folder, 4, gfn, 2, 98, start));
    EXPECT_EQ(resume(), -1);
    restore(good);
    // Both pairs damaged: none.
    WriteBytes(dtf, "x");
    WriteBytes(dtfPrev, "x");
    EXPECT_EQ(resume(), -1);
}

// A damaged current pair is not kept as the previous one: the write keeps
// the newest pair whose record and state agree, so the good old pair
// survives even a second damage.
TEST_F(GfnPairTest, WritesKeepTheNewestMatchingPair) {
    ASSERT_TRUE(pairWrite(1).run());
    ASSERT_TRUE(pairWrite(2).run());
    std::string state = ReadBytes(dtf);
    state[100] ^= 1;
    WriteBytes(dtf, state);            // pair 2 is broken: pair 1 is the newest good one
    EXPECT_EQ(pairWrite(3).steps(), 4u);  // nothing renamed to the previous names
    ASSERT_TRUE(pairWrite(3).run());
    EXPECT_EQ(ReadBytes(dtfPrev), StateBytes(99, 64, 1));
    fs::remove(CheckpointPath(folder));
    EXPECT_EQ(resume(), 1);

    // The record of pair 1 under the current name beside its state under
    // the previous one (a crash left them so): both are kept where needed.
    DeleteCheckpoint(folder);
    ASSERT_TRUE(pairWrite(1).run());
    fs::rename(dtf, dtfPrev);
    WriteBytes(dtf, StateBytes(50, 64, 7));
    ASSERT_EQ(resume(), 1);
    ASSERT_TRUE(pairWrite(2).run());
    EXPECT_EQ(resume(), 2);
    fs::remove(dtf);
    EXPECT_EQ(resume(), 1);
}

// A crash after any step of one pair write, then after any step of the
// next: the resume takes the newest pair that was completely written.
TEST_F(GfnPairTest, CrashAfterEveryStepOfTwoPairWrites) {
    ASSERT_TRUE(pairWrite(1).run());
    ASSERT_TRUE(pairWrite(2).run());
    const auto start = snapshot();
    for (size_t i = 0; i <= 6; ++i) {
        restore(start);
        CheckpointWrite second = pairWrite(3);
        ASSERT_EQ(second.steps(), 6u);
        EXPECT_EQ(second.run(i), i == 6);
        ASSERT_EQ(resume(), i == 6 ? 3 : 2) << "first write stopped after step " << i;
        const auto crashed = snapshot();
        for (size_t j = 0; j <= 6; ++j) {
            restore(crashed);
            CheckpointWrite third = pairWrite(4);
            const bool done = third.run(j);
            EXPECT_EQ(done, j >= third.steps());
            const int newest = done ? 4 : i == 6 ? 3 : 2;
            EXPECT_EQ(resume(), newest) << "stopped after steps " << i << " and " << j;
            // And a whole write afterwards still leaves a good previous pair.
            ASSERT_TRUE(pairWrite(5).run());
            fs::remove(CheckpointPath(folder));
            EXPECT_EQ(resume(), newest) << "after steps " << i << " and " << j;
        }
    }
}

}  // namespace
}  // namespace numen
