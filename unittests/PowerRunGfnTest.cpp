// The power runs modulo B^m + 1 against GMP's mpz_powm: the plain walk for
// m <= 32, the transform walk from m = 64 on in every kernel choice the
// host runs, the exponents at the edges of the walk (e = 1, 2, 3, (N-1)/2,
// N-1), the round-off at the limit radix, progress, the stop, and resuming
// through the real checkpoint store -- including every kind of checkpoint
// that must be ignored; and the error check: a wrong coefficient put into
// one square is found and the work redone, one put into every square is a
// fault, and no wrong state reaches a checkpoint.
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/BigInt.h"
#include "arith/GfnCheckpoint.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "report/ProgressLines.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "tests/PowerRuns.h"

namespace numen::testing {
namespace {

namespace fs = std::filesystem;

using PowerRun = bool (*)(const RunContext&, uint32_t, uint32_t, uint32_t, const BigInt&, int32_t, RadixInt&,
                          float&);

struct NamedRun {
    const char* name;
    PowerRun run;
};
const NamedRun kRuns[] = {{"PowerRunGfn", PowerRunGfn}, {"PowerRunGfnAlt", PowerRunGfnAlt}};

Mpz Modulus(uint32_t B, uint32_t m) {
    Mpz n;
    mpz_ui_pow_ui(n, B, m);
    mpz_add_ui(n, n, 1);
    return n;
}

// 1, 2, 3, (N-1)/2, N-1 and a random exponent of `randomBits` bits (none
// when 0); the two large ones only while N has at most maxBits bits.
std::vector<Mpz> Exponents(const Mpz& N, uint32_t maxBits, uint32_t randomBits, uint64_t seed) {
    std::vector<Mpz> es{Mpz(1), Mpz(2), Mpz(3)};
    if (mpz_sizeinbase(N, 2) <= maxBits) {
        Mpz half, minusOne;
        mpz_sub_ui(minusOne, N, 1);
        mpz_fdiv_q_2exp(half, minusOne, 1);
        es.push_back(half);
        es.push_back(minusOne);
    }
    if (randomBits > 0) {
        gmp_randstate_t state;
        gmp_randinit_default(state);
        gmp_randseed_ui(state, (unsigned long)seed);
        Mpz r;
        mpz_urandomb(r, state, randomBits);
        mpz_setbit(r, randomBits);
        gmp_randclear(state);
        es.push_back(r);
    }
    return es;
}

// x equals a^e mod N and lies in [0, N).
::testing::AssertionResult IsPower(const RadixInt& x, uint32_t B, uint32_t m, uint32_t a, const Mpz& e) {
    const Mpz N = Modulus(B, m);
    Mpz want, got;
    mpz_powm(want, Mpz(long(a)), e, N);
    if (x.radix() != B) return ::testing::AssertionFailure() << "radix " << x.radix();
    ToMpz(got, x.toBigInt());
    if (mpz_cmp(got, want) != 0)
        return ::testing::AssertionFailure() << "got " << got.str() << ", want " << want.str();
    return ::testing::AssertionSuccess();
}

// The kernel choices start-up makes on the processors this host can stand
// in for, with a shape profile that makes m >= 4096 two-pass for the
// baseline families (the AVX ones stay one-pass up to 2^16).
struct KernelChoiceCase {
    const char* name;
    ProcessorProfile profile;
};

ProcessorProfile MadeUp(int32_t vendor, int32_t family, int32_t sse, int32_t avx) {
    ProcessorProfile p;
    p.vendor = vendor;
    p.family = family;
    p.sseLevel = sse;
    p.avxLevel = avx;
    p.L2 = 0;
    p.lat64k = 8;
    p.gap = 1;
    return p;
}

std::vector<KernelChoiceCase> HostKernelChoices() {
    std::vector<KernelChoiceCase> cases{
        {"x87 squares, x87 pass", MadeUp(kVendorOther, 5, 0, 0)},
        {"x87-prefetch squares and pass", MadeUp(kVendorOther, 6, 1, 0)},
        {"sse2 squares and pass", MadeUp(kVendorIntel, 15, 2, 0)},
        {"amd squares, sse2 pass", MadeUp(kVendorAmd, 15, 2, 0)},
    };
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        cases.push_back({"avx2 squares and pass", MadeUp(kVendorIntel, 6, 2, 1)});
    if (__builtin_cpu_supports("avx512f")) cases.push_back({"avx512 squares and pass", MadeUp(kVendorIntel, 6, 2, 2)});
    return cases;
}

// Puts back the processor profile and the kernel choice the test found.
class PowerRunGfnTest : public ::testing::Test {
protected:
    ~PowerRunGfnTest() override {
        SetCurrentProcessorProfile(profile_);
        ChooseKernelFamilies(ProcessorProfile{}, false, false);
        ForceSquaringKernels(squaring_);
    }
    void Choose(const ProcessorProfile& p) {
        SetCurrentProcessorProfile(p);
        ChooseKernelFamilies(p, false, false);
    }
    // The fastest choice of the host, for the tests about the walk itself.
    void ChooseFastest() { Choose(HostKernelChoices().back().profile); }

private:
    const ProcessorProfile profile_ = CurrentProcessorProfile();
    const KernelFamily& squaring_ = SquaringKernels();
};

// Counts the transform's squares and adds `shift` L to element 0 after the
// squares numbered from..until (from 1). After the carry pass a shift of 1
// is d_0 wrong by the multiplier, a wrong residue the round-off cannot
// see; a shift of 1/2 leaves a rounding distance of a half.
struct SquareFault {
    static inline std::atomic<uint64_t> squares{0};
    static inline uint64_t from = 0, until = 0;
    static inline double shift = 0;
    static void Disturb(Complex* array, uint32_t length) {
        const uint64_t n = ++squares;
        if (n >= from && n <= until) array[0].re += shift * length;
    }
};

// Installs the counting seam for one scope.
class ScopedSquareFault {
public:
    explicit ScopedSquareFault(uint64_t from = 0, uint64_t until = 0, double shift = 1) {
        Set(from, until, shift);
        SetGfnSquareDisturbance(SquareFault::Disturb);
    }
    ~ScopedSquareFault() { SetGfnSquareDisturbance(nullptr); }
    static void Set(uint64_t from, uint64_t until, double shift = 1) {
        SquareFault::squares = 0;
        SquareFault::from = from;
        SquareFault::until = until;
        SquareFault::shift = shift;
    }
    static uint64_t Squares() { return SquareFault::squares; }
};

TEST_F(PowerRunGfnTest, PlainWalkUpTo32DigitsMatchesGmp) {
    RunFixture f;
    const RunContext run = f.context();
    for (uint32_t m = 1; m <= 32; ++m) {
        for (uint32_t B : {2u, 3u, 1000u, LargestGeneralizedFermatBase(m)}) {
            const Mpz N = Modulus(B, m);
            for (const Mpz& e : Exponents(N, 2000, 300, m * 7919 + B)) {
                const BigInt exponent = FromMpz(e);
                for (uint32_t a : {2u, 3u, 5u}) {
                    if (mpz_cmp_ui(N.v, a) <= 0) continue;
                    for (const NamedRun& r : kRuns) {
                        RadixInt x(7);
                        float err = -1;
                        ASSERT_TRUE(r.run(run, B, m, a, exponent, 1, x, err));
                        EXPECT_TRUE(IsPower(x, B, m, a, e)) << r.name << " B " << B << " m " << m << " a " << a
                                                            << " e " << e.str();
                        EXPECT_EQ(err, 0.0f);
                    }
                }
            }
        }
    }
    // No progress, no checkpoint on the short path.
    EXPECT_TRUE(f.paneTexts().empty());
}

TEST_F(PowerRunGfnTest, PlainWalkReportsAStopFoundAfterIt) {
    RunFixture f;
    f.running = false;
    RadixInt x(10);
    float err = -1;
    for (const NamedRun& r : kRuns) {
        EXPECT_FALSE(r.run(f.context(), 10, 16, 3, BigInt(12345), 1, x, err)) << r.name;
        EXPECT_TRUE(IsPower(x, 10, 16, 3, Mpz(12345))) << r.name;  // computed all the same
    }
}

// m = 64 .. 2^13 in every kernel choice: a small radix, 1000 and the limit
// radix; both runs give mpz_powm's value and a round-off inside the guard
// (at the limit radix with a = 5 as well, where a multiplier inside the
// carry pass would not stay there).
TEST_F(PowerRunGfnTest, TransformWalkMatchesGmpInEveryKernelChoice) {
    RunFixture f;
    const RunContext run = f.context();
    for (const KernelChoiceCase& choice : HostKernelChoices()) {
        Choose(choice.profile);
        for (uint32_t m = 64; m <= 8192; m *= 2) {
            // The full range of m in the fastest choice; in the others one
            // one-pass and one two-pass length.
            if (&choice != &HostKernelChoices().back() && m != 64 && m != 4096) continue;
            for (uint32_t B : {3u, 1000u, LargestGeneralizedFermatBase(m)}) {
                const Mpz N = Modulus(B, m);
                for (const Mpz& e : Exponents(N, m <= 128 ? 3000 : 0, m <= 1024 ? 300 : 100, m + B)) {
                    const BigInt exponent = FromMpz(e);
                    for (uint32_t a : {2u, 5u}) {
                        for (const NamedRun& r : kRuns) {
                            RadixInt x(2);
                            float err = -1;
                            ASSERT_TRUE(r.run(run, B, m, a, exponent, 0, x, err));
                            EXPECT_TRUE(IsPower(x, B, m, a, e))
                                << choice.name << " " << r.name << " B " << B << " m " << m << " a " << a
                                << " e " << mpz_sizeinbase(e, 2) << " bits";
                            EXPECT_GE(err, 0.0f);
                            EXPECT_LT(err, 0.3f) << choice.name << " " << r.name << " B " << B << " m " << m;
                            if (mpz_cmp_ui(e.v, 1) == 0) {
                                EXPECT_EQ(err, 0.0f);
                            }
                        }
                    }
                }
            }
        }
    }
}

// PowerRunGfn multiplies inside the carry pass only while a B^2 stays
// within the square of the limit radix. At the limit radix a run of a = 3
// (the base of the tests for a power-of-two b) with the multiplier inside
// the double passes would reach the 0.45 guard; the run stays far inside
// it, and at the threshold radix, the multiplier inside, it does too.
TEST_F(PowerRunGfnTest, RoundOffNearTheLimitRadixStaysFarFromTheGuard) {
    RunFixture f;
    const RunContext run = f.context();
    const uint32_t m = 4096, limit = LargestGeneralizedFermatBase(m);
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, 4096);
    Mpz e;
    mpz_urandomb(e, state, 200);
    mpz_setbit(e, 200);
    gmp_randclear(state);
    const BigInt exponent = FromMpz(e);
    for (const KernelChoiceCase& choice : HostKernelChoices()) {
        Choose(choice.profile);
        for (uint32_t a : {2u, 3u}) {
            const uint32_t threshold = uint32_t(limit / std::sqrt(double(a))) & ~1u;
            for (uint32_t B : {limit, threshold}) {
                RadixInt x(2);
                float err = -1;
                ASSERT_TRUE(PowerRunGfn(run, B, m, a, exponent, 0, x, err));
                EXPECT_TRUE(IsPower(x, B, m, a, e)) << choice.name << " B " << B;
                EXPECT_LT(err, 0.3f) << choice.name << " B " << B << " a " << a;
            }
        }
    }
}

TEST_F(PowerRunGfnTest, ProgressTextsAtStartAndAtTicks) {
    ChooseFastest();
    const uint32_t B = 1000, m = 64;
    const BigInt e = FromMpz(Exponents(Modulus(B, m), 0, 700, 5).back());  // T = 700
    RadixInt x(B);
    float err = 0;
    {
        // Default nbIter: 700 steps, no tick.
        RunFixture f;
        ASSERT_TRUE(PowerRunGfn(f.context(), B, m, 3, e, 0, x, err));
        const auto texts = f.paneTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], "1000^64 + 1 ? Computing power [0.00%]");
    }
    {
        // nbIter = 100: a tick every 200 steps, at 200, 400 and 600.
        RunFixture f;
        f.live.nbIter = 100;
        ASSERT_TRUE(PowerRunGfnAlt(f.context(), B, m, 3, e, 0, x, err));
        const auto texts = f.paneTexts();
        ASSERT_EQ(texts.size(), 4u);
        EXPECT_EQ(texts[1], "1000^64 + 1 ? Computing power [28.57%, 0 mn 00 s remaining]");
        EXPECT_EQ(texts[3].rfind("1000^64 + 1 ? Computing power [85.71%, ", 0), 0u) << texts[3];
        EXPECT_TRUE(f.paneLines().empty());  // progress texts carry no line end
    }
    {
        // e = 1: no step, the untimed text only.
        RunFixture f;
        ASSERT_TRUE(PowerRunGfn(f.context(), B, m, 3, BigInt(1), 0, x, err));
        EXPECT_EQ(f.paneTexts(), std::vector<std::string>{"1000^64 + 1 ? Computing power [0.00%]"});
    }
}

// A 1500-bit exponent at m = 1024: 46 blocks of 32 steps, one check at the
// end. A wrong coefficient in any one square -- a block's step, the check,
// either copy of the last square -- costs work done again, never the
// result, and the ticks fall where they fell without it.
TEST_F(PowerRunGfnTest, AWrongSquareIsFoundAndRedone) {
    ChooseFastest();
    const uint32_t B = 1000, m = 1024, a = 3;
    const Mpz e = Exponents(Modulus(B, m), 0, 1500, 77).back();
    const BigInt exponent = FromMpz(e);
    ScopedSquareFault seam;
    for (const NamedRun& r : kRuns) {
        RunFixture f;
        f.live.nbIter = 256;
        RadixInt x(B);
        float err = -1;
        ScopedSquareFault::Set(0, 0);
        ASSERT_TRUE(r.run(f.context(), B, m, a, exponent, 0, x, err));
        ASSERT_TRUE(IsPower(x, B, m, a, e)) << r.name;
        const uint64_t clean = ScopedSquareFault::Squares();
        const size_t texts = f.paneTexts().size();
        EXPECT_EQ(texts, 3u);  // start, 512, 1024
        for (uint64_t at : std::vector<uint64_t>{1, 700, 1490, clean - 1, clean}) {
            RunFixture g;
            g.live.nbIter = 256;
            ScopedSquareFault::Set(at, at);
            ASSERT_TRUE(r.run(g.context(), B, m, a, exponent, 0, x, err));
            EXPECT_TRUE(IsPower(x, B, m, a, e)) << r.name << " wrong square " << at;
            EXPECT_GT(ScopedSquareFault::Squares(), clean) << r.name << " wrong square " << at;
            EXPECT_EQ(g.paneTexts().size(), texts) << r.name << " wrong square " << at;
            EXPECT_LT(err, 0.3f);
        }
    }
}

// A wrong coefficient in every square from some point on is found again
// after the walk goes back: ArithmeticFault. So is a rounding distance of a
// half in one square, raised by the guard itself as before.
TEST_F(PowerRunGfnTest, RepeatedWrongSquaresAndRoundOffRaise) {
    ChooseFastest();
    const uint32_t B = 1000, m = 1024, a = 3;
    const BigInt exponent = FromMpz(Exponents(Modulus(B, m), 0, 1500, 78).back());
    ScopedSquareFault seam;
    RunFixture f;
    RadixInt x(B);
    float err = -1;
    for (const NamedRun& r : kRuns) {
        ScopedSquareFault::Set(300, UINT64_MAX);
        EXPECT_THROW(r.run(f.context(), B, m, a, exponent, 0, x, err), ArithmeticFault) << r.name;
        ScopedSquareFault::Set(100, 100, 0.5);
        try {
            r.run(f.context(), B, m, a, exponent, 0, x, err);
            ADD_FAILURE() << r.name << ": no fault";
        } catch (const ArithmeticFault& fault) {
            EXPECT_NE(std::string(fault.what()).find("round-off"), std::string::npos) << fault.what();
        }
    }
}

// A checkpoint store that clears the running flag after a given number of
// saves, so a run stops at a chosen tick, and can refuse every write.
class StoppingCheckpoint final : public RunCheckpoint {
public:
    StoppingCheckpoint(FolderCheckpoint& store, std::atomic<bool>& running) : store_(store), running_(running) {}
    int stopAfterSaves = -1;  // < 0: never
    bool refuseWrites = false;
    int saves = 0;

    bool readStage(uint32_t& stage) override { return store_.readStage(stage); }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t& c, uint32_t& i, BigInt& r) override {
        return store_.readPower(stage, p, c, i, r);
    }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t radix, uint32_t& c, uint32_t& i,
                   RadixInt& r) override {
        return store_.readPower(stage, p, radix, c, i, r);
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const BigInt& r) override {
        if (!refuseWrites) store_.writePower(stage, p, c, i, r);
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& r) override {
        if (!refuseWrites) store_.writePower(stage, p, c, i, r);
    }
    bool resumeGfn(uint32_t stage, const PowerRecordParams& p, uint32_t& c, uint32_t& i, RadixInt& start,
                   GfnTransform& t) override {
        return store_.resumeGfn(stage, p, c, i, start, t);
    }
    void saveGfn(uint32_t stage, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& start,
                 const GfnTransform& t) override {
        if (!refuseWrites) store_.saveGfn(stage, p, c, i, start, t);
        if (++saves == stopAfterSaves) running_ = false;
    }
    bool readDivisibility(uint32_t s, uint32_t k, uint32_t n, uint32_t& c, uint32_t& r, BigInt& x2, BigInt& x3,
                          BigInt& x5) override {
        return store_.readDivisibility(s, k, n, c, r, x2, x3, x5);
    }
    void writeDivisibility(uint32_t s, uint32_t k, uint32_t n, uint32_t c, uint32_t r, const BigInt& x2,
                           const BigInt& x3, const BigInt& x5) override {
        if (!refuseWrites) store_.writeDivisibility(s, k, n, c, r, x2, x3, x5);
    }

private:
    FolderCheckpoint& store_;
    std::atomic<bool>& running_;
};

// A large number (m ln B = 75,450 > 69,315) with an exponent of 1500 bits,
// so a whole run is a fraction of a second; nbIter 256 ticks every 512
// steps.
class PowerRunGfnResumeTest : public PowerRunGfnTest {
protected:
    static constexpr uint32_t B = 100, m = 16384, a = 3, kBits = 1500;
    static constexpr int32_t kStage = 1;

    PowerRunGfnResumeTest() {
        ChooseFastest();
        fixture.live.nbIter = 256;
        fixture.checkpoint = &stopping;
        gmp_randstate_t state;
        gmp_randinit_default(state);
        gmp_randseed_ui(state, 1500);
        mpz_urandomb(e, state, kBits);
        mpz_setbit(e, kBits);
        gmp_randclear(state);
        exponent = FromMpz(e);
        Mpz power;
        mpz_powm(power, Mpz(long(a)), e, Modulus(B, m));
        want.setBigInt(FromMpz(power));
    }

    // A run stopped at its `saves`-th tick (its save is the last); fresh:
    // with no checkpoint on disk before it.
    void StopAtTick(PowerRun r, int saves, bool fresh = true, int32_t stage = kStage) {
        if (fresh) DeleteCheckpoint(fixture.folder.path());
        fixture.running = true;
        stopping.stopAfterSaves = saves;
        stopping.saves = 0;
        RadixInt x(B);
        float err = 0;
        ASSERT_FALSE(r(fixture.context(), B, m, a, exponent, stage, x, err));
        stopping.stopAfterSaves = -1;
        fixture.running = true;
    }
    // The record on disk: step count and bit index.
    void ExpectRecord(uint32_t steps, uint32_t bit) {
        uint32_t c = 0, i = 0;
        RadixInt start(B);
        ASSERT_TRUE(store.readPower(kStage, GfnPowerParams(a, B, m), B, c, i, start));
        EXPECT_EQ(c, steps);
        EXPECT_EQ(i, bit);
        EXPECT_EQ(start.compareInt(int32_t(a)), 0);
    }
    // Runs to the end; the result is mpz_powm's and the first text shows
    // where the run started.
    void ExpectCompletes(PowerRun r, const std::string& startText) {
        fixture.sink.clear();
        fixture.running = true;
        RadixInt x(B);
        float err = -1;
        ASSERT_TRUE(r(fixture.context(), B, m, a, exponent, kStage, x, err));
        EXPECT_EQ(x.compare(want), 0);  // mpz_powm's, computed once
        EXPECT_LT(err, 0.3f);
        const auto texts = fixture.paneTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], startText);
    }
    std::string Text(double percent) const { return UntimedProgressText(GfnProgressStem(B, m), percent); }

    RunFixture fixture;
    FolderCheckpoint store{fixture.folder.path()};
    StoppingCheckpoint stopping{store, fixture.running};
    Mpz e;
    BigInt exponent;
    RadixInt want{B};
};

// The record is the verified state at the end of the block in which the
// tick fell (blocks of 32 steps for this exponent), its step count
// including the step still to do; the resumed run counts that step again,
// so its count stays the steps done.
TEST_F(PowerRunGfnResumeTest, StoppedRunsContinueWhereTheyStopped) {
    for (const NamedRun& r : kRuns) {
        SCOPED_TRACE(r.name);
        // The tick of step 512 falls in the block of steps 481 .. 512, so
        // the state after 512 steps (before bit T - 1 - 512) is written;
        // resumed there and stopped at the next tick, 1024.
        StopAtTick(r.run, 1);
        ExpectRecord(513, kBits - 1 - 512);
        StopAtTick(r.run, 1, false);
        ExpectRecord(1025, kBits - 1 - 1024);
        ExpectCompletes(r.run, Text(1024 * 100.0 / kBits));
    }
}

// A wrong square just before the tick of step 512: the check at the end of
// that block fails, the walk goes back to the start, and the state written
// is the one verified after the blocks are done again -- the run resumed
// from it gives the right result.
TEST_F(PowerRunGfnResumeTest, AWrongSquareNeverReachesTheCheckpoint) {
    for (const NamedRun& r : kRuns) {
        SCOPED_TRACE(r.name);
        {
            ScopedSquareFault seam(500, 500);
            StopAtTick(r.run, 1);
            EXPECT_GT(ScopedSquareFault::Squares(), 512u + 32u);  // the blocks done twice, the check
        }
        ExpectRecord(513, kBits - 1 - 512);
        ExpectCompletes(r.run, Text(512 * 100.0 / kBits));
    }
}

// A state at a bit between two blocks (as a run without the check wrote
// them) is resumed as a verified one.
TEST_F(PowerRunGfnResumeTest, StatesBetweenBlocksAreResumed) {
    const uint32_t steps = 700;
    RadixInt start(B);
    start.setUnsigned(a);
    for (const NamedRun& r : kRuns) {
        SCOPED_TRACE(r.name);
        GfnTransform t;
        t.plan(m, B);
        t.setValue(a);
        for (uint32_t s = 0; s < steps; ++s) {
            const uint32_t bit = kBits - 1 - s;
            t.square();
            const uint32_t multiplier = mpz_tstbit(e, bit) ? a : 1;
            if (r.run == PowerRunGfn) t.carry(multiplier);  // B^2 a is far below the limit
            else t.carryThenMultiply(multiplier);
        }
        DeleteCheckpoint(fixture.folder.path());
        store.saveGfn(kStage, GfnPowerParams(a, B, m), steps + 1, kBits - 1 - steps, start, t);
        ExpectCompletes(r.run, Text(steps * 100.0 / kBits));
    }
}

TEST_F(PowerRunGfnResumeTest, StopAtTheFirstStepAndAtTheLastBit) {
    // Stopped before any square: the state is the start value itself.
    fixture.running = false;
    RadixInt x(B);
    float err = 0;
    ASSERT_FALSE(PowerRunGfn(fixture.context(), B, m, a, exponent, kStage, x, err));
    ExpectRecord(1, kBits - 1);
    ExpectCompletes(PowerRunGfn, Text(0));
    // e = 2 and 3 (T = 1): a stop at the only step saves bit 0, which the
    // resumed run squares and reads out.
    for (uint32_t small : {2u, 3u}) {
        DeleteCheckpoint(fixture.folder.path());
        fixture.running = false;
        ASSERT_FALSE(PowerRunGfnAlt(fixture.context(), B, m, a, BigInt(int32_t(small)), kStage, x, err));
        ExpectRecord(1, 0);
        fixture.running = true;
        ASSERT_TRUE(PowerRunGfnAlt(fixture.context(), B, m, a, BigInt(int32_t(small)), kStage, x, err));
        EXPECT_TRUE(IsPower(x, B, m, a, Mpz(long(small))));
    }
}

// Each checkpoint that is not this run's is ignored: the run starts over
// (0.00%) and still gives the right value.
TEST_F(PowerRunGfnResumeTest, ForeignOrDamagedCheckpointsAreIgnored) {
    const fs::path dir = fixture.folder.path();
    const fs::path dtf = dir / kGfnCheckpointName;
    const std::string fresh = Text(0);
    // Without a previous pair to fall back on (its own tests are in
    // FolderCheckpointTest).
    auto dropPrevious = [&] {
        fs::remove(PreviousCheckpointPath(dir));
        fs::remove(PreviousTransformStatePath(dir));
    };

    // A state file of another bit index beside a good record: the record is
    // accepted, the state is not, and the transform is set afresh.
    StopAtTick(PowerRunGfn, 1);
    const std::string early = fixture.folder.read(kGfnCheckpointName);
    StopAtTick(PowerRunGfn, 2);
    ExpectRecord(1025, kBits - 1 - 1024);
    fixture.folder.write(kGfnCheckpointName, early);  // the state of bit T - 513
    dropPrevious();
    ExpectCompletes(PowerRunGfn, fresh);

    // A damaged state file: one byte of the array changed.
    StopAtTick(PowerRunGfn, 1);
    std::string damaged = fixture.folder.read(kGfnCheckpointName);
    damaged[20 + 16 * 77 + 3] ^= 0x10;
    fixture.folder.write(kGfnCheckpointName, damaged);
    dropPrevious();
    ExpectCompletes(PowerRunGfn, fresh);

    // A good record without its state file.
    StopAtTick(PowerRunGfn, 1);
    fs::remove(dtf);
    dropPrevious();
    ExpectCompletes(PowerRunGfn, fresh);

    // A checkpoint of another stage.
    StopAtTick(PowerRunGfn, 1, true, kStage + 1);
    ExpectCompletes(PowerRunGfn, fresh);

    // Records of another B, m or a beside this run's state file of the same
    // bit index.
    StopAtTick(PowerRunGfn, 1);
    uint32_t steps = 0, bit = 0;
    RadixInt start(B);
    ASSERT_TRUE(store.readPower(kStage, GfnPowerParams(a, B, m), B, steps, bit, start));
    for (const PowerRecordParams& other : {GfnPowerParams(a, B + 2, m), GfnPowerParams(a, B, 2 * m),
                                           GfnPowerParams(a + 2, B, m)}) {
        RadixInt otherStart(other.b);
        otherStart.setUnsigned(other.a);
        store.writePower(kStage, other, steps, bit, otherStart);
        ExpectCompletes(PowerRunGfn, fresh);
        // The run rewrote the files; put the state of `bit` back for the next.
        StopAtTick(PowerRunGfn, 1);
    }
}

TEST_F(PowerRunGfnResumeTest, WhatIsNotSavedIsNotResumed) {
    // Writes that fail: the run goes on and a stop leaves nothing to resume.
    stopping.refuseWrites = true;
    StopAtTick(PowerRunGfn, 1);
    EXPECT_FALSE(fs::exists(fixture.folder.path() / kGfnCheckpointName));
    ExpectCompletes(PowerRunGfn, Text(0));
    stopping.refuseWrites = false;
    // Stage 0 and a number below the large-number rule keep no checkpoint.
    DeleteCheckpoint(fixture.folder.path());
    RadixInt x(B);
    float err = 0;
    fixture.running = false;
    ASSERT_FALSE(PowerRunGfn(fixture.context(), B, m, a, exponent, 0, x, err));
    ASSERT_FALSE(PowerRunGfn(fixture.context(), 1000, 8192, a, exponent, kStage, x, err));  // 8192 ln 1000 < 69315
    EXPECT_FALSE(fs::exists(CheckpointPath(fixture.folder.path())));
    EXPECT_FALSE(fs::exists(TransformStatePath(fixture.folder.path())));
}

}  // namespace
}  // namespace numen::testing
