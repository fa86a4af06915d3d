// FolderCheckpoint: the one line a resume from the previous checkpoint
// prints (pane and "Numen.log", only then), and power runs that crash in
// the middle of a checkpoint write, or find their current checkpoint
// damaged, resuming from the previous one with the result of a run that was
// never interrupted (GMP's mpz_powm).
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "arith/GfnCheckpoint.h"
#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "report/ProgressLines.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"

namespace numen::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDamagedRecord = "Numen.dta is damaged: resuming from the previous checkpoint.\r\n";
const std::string kMissingRecord = "Numen.dta is missing: resuming from the previous checkpoint.\r\n";
const std::string kDamagedState = "Numen.dtf is damaged: resuming from the previous checkpoint.\r\n";

// The first pane text that is not a line: the start text of a run.
std::string StartText(const RunFixture& f) {
    for (const std::string& t : f.paneTexts())
        if (t.size() < 2 || t.compare(t.size() - 2, 2, "\r\n") != 0) return t;
    return {};
}

// The host's fastest transform kernels while a test runs (a whole
// generalized-Fermat run then takes a fraction of a second), the process's
// own choice again afterwards.
class FastKernels {
public:
    FastKernels() {
        const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        ProcessorProfile p;
        p.vendor = kVendorIntel;
        p.family = avx2 ? 6 : 15;
        p.sseLevel = 2;
        p.avxLevel = avx2 ? 1 : 0;
        p.L2 = 0;
        p.lat64k = 8;
        p.gap = 1;
        SetCurrentProcessorProfile(p);
        ChooseKernelFamilies(p, false, false);
    }
    ~FastKernels() {
        SetCurrentProcessorProfile(profile_);
        ChooseKernelFamilies(ProcessorProfile{}, false, false);
        ForceSquaringKernels(squaring_);
    }
    FastKernels(const FastKernels&) = delete;
    FastKernels& operator=(const FastKernels&) = delete;

private:
    const ProcessorProfile profile_ = CurrentProcessorProfile();
    const KernelFamily& squaring_ = SquaringKernels();
};

void Flip(const TempFolder& folder, const char* name, size_t at) {
    std::string bytes = folder.read(name);
    bytes.at(at) ^= 0x08;
    folder.write(name, bytes);
}

TEST(FolderCheckpointTest, ResumeFromThePreviousCheckpointIsToldInOneLine) {
    RunFixture f;
    FolderCheckpoint store(f.folder.path(), &f.log);
    const PowerRecordParams params{3, 3, 2, 200000, 1};
    store.writePower(1, params, 10, 90, BigInt(1234));
    store.writePower(1, params, 20, 80, BigInt(5678));
    uint32_t steps = 0, bit = 0;
    BigInt x;
    ASSERT_TRUE(store.readPower(1, params, steps, bit, x));
    EXPECT_EQ(steps, 20u);
    EXPECT_TRUE(f.paneLines().empty());  // the current file: nothing to say

    Flip(f.folder, "Numen.dta", 40);
    ASSERT_TRUE(store.readPower(1, params, steps, bit, x));
    EXPECT_EQ(steps, 10u);
    EXPECT_EQ(x.compareInt(1234), 0);
    EXPECT_EQ(f.paneLines(), std::vector<std::string>{kDamagedRecord});
    EXPECT_EQ(f.logFile(), "Numen.dta is damaged: resuming from the previous checkpoint.\n");

    // A refused read says nothing, however the current file looks.
    f.sink.clear();
    EXPECT_FALSE(store.readPower(2, params, steps, bit, x));
    EXPECT_TRUE(f.paneLines().empty());

    // The divisibility record through the same store; a missing file.
    store.writeDivisibility(3, 3, 200000, 1, 2, BigInt(2), BigInt(3), BigInt(5));
    store.writeDivisibility(3, 3, 200000, 3, 4, BigInt(7), BigInt(11), BigInt(13));
    fs::remove(CheckpointPath(f.folder.path()));
    uint32_t remaining = 0;
    BigInt x2, x3, x5;
    ASSERT_TRUE(store.readDivisibility(3, 3, 200000, steps, remaining, x2, x3, x5));
    EXPECT_EQ(steps, 1u);
    EXPECT_EQ(x5.compareInt(5), 0);
    EXPECT_EQ(f.paneLines(), std::vector<std::string>{kMissingRecord});

    // A store without a log resumes all the same.
    FolderCheckpoint silent(f.folder.path());
    EXPECT_TRUE(silent.readDivisibility(3, 3, 200000, steps, remaining, x2, x3, x5));
}

// A store whose process "dies" during its crashAt-th save: that save stops
// after `steps` of its write steps, nothing is written afterwards, and the
// run is stopped (its closing save is the dead process's, so it is lost).
class CrashingStore final : public RunCheckpoint {
public:
    CrashingStore(const fs::path& folder, std::atomic<bool>& running) : store_(folder), running_(running) {}
    int crashAt = -1;
    size_t steps = CheckpointWrite::kAllSteps;

    bool readStage(uint32_t& stage) override { return store_.readStage(stage); }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t& c, uint32_t& i, BigInt& r) override {
        return store_.readPower(stage, p, c, i, r);
    }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t radix, uint32_t& c, uint32_t& i,
                   RadixInt& r) override {
        return store_.readPower(stage, p, radix, c, i, r);
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const BigInt& r) override {
        if (before()) store_.writePower(stage, p, c, i, r);
        after();
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& r) override {
        if (before()) store_.writePower(stage, p, c, i, r);
        after();
    }
    bool resumeGfn(uint32_t stage, const PowerRecordParams& p, uint32_t& c, uint32_t& i, RadixInt& start,
                   GfnTransform& t) override {
        return store_.resumeGfn(stage, p, c, i, start, t);
    }
    void saveGfn(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& start,
                 const GfnTransform& t) override {
        if (before()) store_.saveGfn(stage, p, c, i, start, t);
        after();
    }
    bool readDivisibility(uint32_t, uint32_t, uint32_t, uint32_t&, uint32_t&, BigInt&, BigInt&, BigInt&) override {
        return false;
    }
    void writeDivisibility(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const BigInt&, const BigInt&,
                           const BigInt&) override {}

private:
    bool before() {
        if (dead_) return false;
        if (++saves_ == crashAt) store_.limitWriteSteps(steps);
        return true;
    }
    void after() {
        if (saves_ != crashAt) return;
        dead_ = true;
        running_ = false;
    }
    FolderCheckpoint store_;
    std::atomic<bool>& running_;
    int saves_ = 0;
    bool dead_ = false;
};

// B^m + 1 = 100^16384 + 1, a large number, with an exponent of 1500 bits:
// nbIter 256 ticks at steps 512 and 1024, which save the verified states
// after those steps (records counting 513 and 1025), a whole run is a
// fraction of a second.
class GfnRunCrashTest : public ::testing::Test {
protected:
    static constexpr uint32_t B = 100, m = 16384, a = 3, kBits = 1500;

    GfnRunCrashTest() {
        gmp_randstate_t state;
        gmp_randinit_default(state);
        gmp_randseed_ui(state, 1500);
        mpz_urandomb(e, state, kBits);
        mpz_setbit(e, kBits);
        gmp_randclear(state);
        exponent = FromMpz(e);
        Mpz N, power;
        mpz_ui_pow_ui(N, B, m);
        mpz_add_ui(N, N, 1);
        mpz_powm(power, Mpz(long(a)), e, N);
        want.setBigInt(FromMpz(power));
    }

    // A run that dies in its crashAt-th save after `steps` write steps.
    void CrashIn(RunFixture& f, int crashAt, size_t steps) {
        CrashingStore crashing(f.folder.path(), f.running);
        crashing.crashAt = crashAt;
        crashing.steps = steps;
        f.checkpoint = &crashing;
        f.live.nbIter = 256;
        RadixInt x(B);
        float err = 0;
        ASSERT_FALSE(PowerRunGfn(f.context(), B, m, a, exponent, 1, x, err));
        f.running = true;
    }
    // The run started afresh in the same folder completes with mpz_powm's
    // value; its first text shows where it resumed.
    void ExpectResumedAt(RunFixture& f, uint32_t savedSteps) {
        FolderCheckpoint store(f.folder.path(), &f.log);
        f.checkpoint = &store;
        f.sink.clear();
        RadixInt x(B);
        float err = 0;
        ASSERT_TRUE(PowerRunGfn(f.context(), B, m, a, exponent, 1, x, err));
        EXPECT_EQ(x.compare(want), 0);
        EXPECT_EQ(StartText(f), UntimedProgressText(GfnProgressStem(B, m), (savedSteps - 1) * 100.0 / kBits));
    }

    FastKernels kernels;
    Mpz e;
    BigInt exponent;
    RadixInt want{B};
};

TEST_F(GfnRunCrashTest, CrashAfterEveryStepOfThePairWriteResumesWithTheRightResult) {
    for (size_t steps = 0; steps <= 6; ++steps) {
        SCOPED_TRACE("the save of step 1024 stopped after write step " + std::to_string(steps));
        RunFixture f;
        CrashIn(f, 2, steps);
        ExpectResumedAt(f, steps == 6 ? 1025 : 513);
        // Once Numen.dta was renamed and until the new one is in its place
        // the record comes from the previous file.
        const bool previous = steps >= 3 && steps < 6;
        EXPECT_EQ(f.paneLines(), previous ? std::vector<std::string>{kMissingRecord} : std::vector<std::string>{});
    }
}

TEST_F(GfnRunCrashTest, DamagedCurrentPairResumesFromThePreviousPair) {
    {
        RunFixture f;
        CrashIn(f, 2, CheckpointWrite::kAllSteps);  // pairs of counts 513 (previous) and 1025
        Flip(f.folder, "Numen.dta", 36 + 20);      // the start value's digit
        ExpectResumedAt(f, 513);
        EXPECT_EQ(f.paneLines(), std::vector<std::string>{kDamagedRecord});
        EXPECT_NE(f.logFile().find("Numen.dta is damaged"), std::string::npos);
    }
    {
        RunFixture f;
        CrashIn(f, 2, CheckpointWrite::kAllSteps);
        Flip(f.folder, kGfnCheckpointName, 20 + 16 * 1000);  // the array
        ExpectResumedAt(f, 513);
        EXPECT_EQ(f.paneLines(), std::vector<std::string>{kDamagedState});
    }
    {
        // Both pairs damaged: the run starts over and is still right.
        RunFixture f;
        CrashIn(f, 2, CheckpointWrite::kAllSteps);
        Flip(f.folder, kGfnCheckpointName, 20 + 16 * 1000);
        Flip(f.folder, "Numen.dtf.prev", 20 + 16 * 1000);
        ExpectResumedAt(f, 1);
        EXPECT_TRUE(f.paneLines().empty());
    }
}

// 3*2^100003 + 1 with an exponent of 120 bits on the BigInt run: nbIter 32
// saves at steps 32, 64 and 96.
TEST(PowerRunCrashTest, CrashAfterEveryStepOfTheRecordWriteResumesWithTheRightResult) {
    // The exact path's record at every tick (the weighted path writes
    // verified states: PowerRunWeightedTest).
    const bool weighted = WeightedRunsEnabled();
    SetWeightedRuns(false, 0);
    const Candidate N{3, 2, 100003, 1};
    Mpz e, power;
    mpz_setbit(e, 119);
    mpz_add_ui(e, e, 0x5deece66dul);
    mpz_powm(power, Mpz(3), e, CandidateValue(N));
    const BigInt exponent = FromMpz(e);
    const std::string stem = PowerProgressStem(N);
    for (size_t steps = 0; steps <= 3; ++steps) {
        SCOPED_TRACE("the save of step 64 stopped after write step " + std::to_string(steps));
        RunFixture f;
        f.live.nbIter = 32;
        {
            CrashingStore crashing(f.folder.path(), f.running);
            crashing.crashAt = 2;
            crashing.steps = steps;
            f.checkpoint = &crashing;
            BigInt x;
            ASSERT_FALSE(PowerRunBase2(f.context(), N, 3, exponent, 1, x));
        }
        f.running = true;
        f.sink.clear();
        FolderCheckpoint store(f.folder.path(), &f.log);
        f.checkpoint = &store;
        BigInt x;
        ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, exponent, 1, x));
        EXPECT_EQ(mpz_cmp(ToMpz(x), power), 0);
        const uint32_t saved = steps == 3 ? 64 : 32;
        EXPECT_EQ(StartText(f), UntimedProgressText(stem, (saved - 1) * 100.0 / 119));
        EXPECT_EQ(f.paneLines(), steps == 2 ? std::vector<std::string>{kMissingRecord} : std::vector<std::string>{});
    }
    SetWeightedRuns(weighted, 0);
}

}  // namespace
}  // namespace numen::testing
