// Checkpoint file "Numen.dta": record round trips (bytes as the integer
// serialisers write them), every rejection, ReadStage and the resume flag,
// the generalized-Fermat resume order, and writes that fail without harming
// the last good checkpoint.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

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

TEST_F(CheckpointFileTest, DeleteRemovesBothFilesAndStaleTemporaries) {
    DeleteCheckpoint(folder);  // nothing there: not an error
    for (const char* name : {"Numen.dta", "Numen.dtf", "Numen.dta.tmp", "Numen.dtf.tmp", "Numen.ini"})
        WriteBytes(folder / name, "x");
    DeleteCheckpoint(folder);
    EXPECT_FALSE(fs::exists(folder / "Numen.dta"));
    EXPECT_FALSE(fs::exists(folder / "Numen.dtf"));
    EXPECT_FALSE(fs::exists(folder / "Numen.dta.tmp"));
    EXPECT_FALSE(fs::exists(folder / "Numen.dtf.tmp"));
    EXPECT_TRUE(fs::exists(folder / "Numen.ini"));
}

}  // namespace
}  // namespace numen
