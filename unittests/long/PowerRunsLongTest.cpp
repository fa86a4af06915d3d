// The power runs at the size of real candidates (about 200,000 bits, two-pass
// transform products): base 2, general and radix runs against GMP, each
// stopped once at a tick with the working folder's checkpoint and continued
// by a fresh call. Run with `ctest -L long`.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "arith/RadixChoice.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "ref/TransformOracle.h"
#include "report/ProgressLines.h"
#include "search/FolderCheckpoint.h"
#include "tests/GerbiczLi.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RunFixture;
using testing::SameValue;
using testing::TestSeed;
using testing::ToMpz;

Mpz ModulusOf(const Candidate& N) { return testing::CandidateValue(N); }

// A random exponent of `bits` bits (top bit set).
BigInt RandomExponent(std::mt19937_64& rng, uint32_t bits) {
    Mpz e;
    for (uint32_t i = 0; i < bits; ++i)
        if (i + 1 == bits || (rng() & 1)) mpz_setbit(e, i);
    return FromMpz(e);
}

enum class Run { Base2, General, Radix };

struct Case {
    const char* name;
    Run run;
    Candidate N;
    uint32_t a;
    uint32_t exponentBits;  // the walk's length, kept to minutes in all
};

// Stops the run (clears the flag) at its n-th checkpoint write.
class StoppingStore final : public RunCheckpoint {
public:
    StoppingStore(const std::filesystem::path& folder, std::atomic<bool>& running, int stopAt)
        : inner_(folder), running_(running), stopAt_(stopAt) {}
    bool readStage(uint32_t& stage) override { return inner_.readStage(stage); }
    bool readPower(uint32_t st, const PowerRecordParams& p, uint32_t& s, uint32_t& i, BigInt& r) override {
        return inner_.readPower(st, p, s, i, r);
    }
    bool readPower(uint32_t st, const PowerRecordParams& p, uint32_t radix, uint32_t& s, uint32_t& i,
                   RadixInt& r) override {
        return inner_.readPower(st, p, radix, s, i, r);
    }
    void writePower(uint32_t st, const PowerRecordParams& p, uint32_t s, uint32_t i, const BigInt& r) override {
        inner_.writePower(st, p, s, i, r);
        if (++writes_ == stopAt_) running_ = false;
    }
    void writePower(uint32_t st, const PowerRecordParams& p, uint32_t s, uint32_t i, const RadixInt& r) override {
        inner_.writePower(st, p, s, i, r);
        if (++writes_ == stopAt_) running_ = false;
    }
    bool resumeGfn(uint32_t, const PowerRecordParams&, uint32_t&, uint32_t&, RadixInt&, GfnTransform&) override {
        return false;
    }
    void saveGfn(uint32_t, const PowerRecordParams&, uint32_t, uint32_t, const RadixInt&,
                 const GfnTransform&) override {}
    bool readDivisibility(uint32_t, uint32_t, uint32_t, uint32_t&, uint32_t&, BigInt&, BigInt&, BigInt&) override {
        return false;
    }
    void writeDivisibility(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const BigInt&, const BigInt&,
                           const BigInt&) override {}

private:
    FolderCheckpoint inner_;
    std::atomic<bool>& running_;
    int stopAt_;
    int writes_ = 0;
};

bool RunOnce(const Case& c, const RunContext& run, const BigInt& e, Mpz& out) {
    bool completed;
    if (c.run == Run::Radix) {
        RadixInt x(2);
        completed = PowerRunRadix(run, c.N, c.a, e, 1, x);
        EXPECT_EQ(x.radix(), RadixOf(c.N.b));
        if (completed) {
            EXPECT_TRUE(SameValue(x, ToMpz(x)));
        }
        out = ToMpz(x);
    } else {
        BigInt x;
        completed = c.run == Run::Base2 ? PowerRunBase2(run, c.N, c.a, e, 1, x) : PowerRunGeneral(run, c.N, c.a, e, 1, x);
        if (completed) {
            EXPECT_TRUE(SameValue(x, ToMpz(x)));
        }
        out = ToMpz(x);
    }
    return completed;
}

// The percentage a progress text shows ("... [66.67%]").
double ShownPercent(const std::string& text) {
    const size_t open = text.rfind('[');
    return open == std::string::npos ? -1.0 : std::stod(text.substr(open + 1));
}

TEST(PowerRunsLong, TwoHundredThousandBitRunsStoppedAndContinuedAgreeWithGmp) {
    const Case cases[] = {
        {"base2", Run::Base2, {3, 2, 200003, 1}, 3, 12000},
        {"general", Run::General, {5, 10, 60206, -1}, 7, 3000},
        {"radix", Run::Radix, {7, 12, 55800, 1}, 5, 12000},
    };
    std::mt19937_64 rng(TestSeed());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BigInt e = RandomExponent(rng, c.exponentBits);
        const Mpz modulus = ModulusOf(c.N);
        Mpz want, base{long(c.a)};
        mpz_powm(want, base, ToMpz(e), modulus);

        RunFixture f;
        f.live.nbIter = c.run == Run::General ? 2000 : 4000;  // ticks every 500 / 4000 steps
        StoppingStore store(f.folder.path(), f.running, 2);
        f.checkpoint = &store;
        Mpz got;
        ASSERT_FALSE(RunOnce(c, f.context(), e, got));
        f.running = true;
        f.sink.clear();
        ASSERT_TRUE(RunOnce(c, f.context(), e, got));
        EXPECT_EQ(mpz_cmp(got, want), 0);
        const uint32_t interval = c.run == Run::General ? 500 : 4000;
        ASSERT_FALSE(f.paneTexts().empty());
        const double atTick = (2.0 * interval - 1) * 100.0 / (c.exponentBits - 1);
        if (c.run == Run::Base2 && UsesWeightedTransform(c.N.k, c.N.n, c.N.c)) {
            // The checked walk records the verified state at the end of the
            // block the tick fell in: at most one block after the tick.
            const double block = PlanGerbiczLi(c.exponentBits - 1).blockLength * 100.0 / (c.exponentBits - 1);
            const double shown = ShownPercent(f.paneTexts()[0]);
            EXPECT_GE(shown, atTick - 0.01) << f.paneTexts()[0];
            EXPECT_LE(shown, atTick + block + 0.01) << f.paneTexts()[0];
        } else {
            EXPECT_EQ(f.paneTexts()[0], UntimedProgressText(PowerProgressStem(c.N), atTick));
        }
    }
}

}  // namespace
}  // namespace numen
