// A published prime of about 213,000 bits, 3*2^213321 + 1, proven end to end
// by the N - 1 criterion in a search (two bases, both lines), and a stop in
// the middle of the first run continued to the same verdict.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ref/RunFixture.h"
#include "report/ResultLines.h"
#include "search/FolderCheckpoint.h"
#include "tests/GerbiczLi.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PlusOneTest.h"
#include "tests/RunCheckpoint.h"

namespace numen {
namespace {

using testing::RunFixture;

constexpr uint32_t kN = 213321;

TEST(PrimeProofLong, ThreeTimesTwoToThe213321PlusOneIsProvenInASearch) {
    RunFixture f;
    bool prime = false;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), 3, kN, 1, true, prime));
    EXPECT_TRUE(prime);
    const auto lines = f.paneLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("3*2^213321 + 1 is prime! (a = ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("3*2^213321 + 1 is prime! (verification : a = ", 0), 0u) << lines[1];
}

// Clears the running flag after the given number of writes: a stop at a tick.
class StoppingCheckpoint final : public RunCheckpoint {
public:
    StoppingCheckpoint(RunCheckpoint& inner, std::atomic<bool>& running, int stopAfter)
        : inner_(inner), running_(running), left_(stopAfter) {}
    bool readStage(uint32_t& s) override { return inner_.readStage(s); }
    bool readPower(uint32_t s, const PowerRecordParams& p, uint32_t& c, uint32_t& i, BigInt& r) override {
        return inner_.readPower(s, p, c, i, r);
    }
    bool readPower(uint32_t s, const PowerRecordParams& p, uint32_t x, uint32_t& c, uint32_t& i, RadixInt& r) override {
        return inner_.readPower(s, p, x, c, i, r);
    }
    void writePower(uint32_t s, const PowerRecordParams& p, uint32_t c, uint32_t i, const BigInt& r) override {
        inner_.writePower(s, p, c, i, r);
        if (--left_ == 0) running_ = false;
    }
    void writePower(uint32_t s, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& r) override {
        inner_.writePower(s, p, c, i, r);
        if (--left_ == 0) running_ = false;
    }
    bool resumeGfn(uint32_t s, const PowerRecordParams& p, uint32_t& c, uint32_t& i, RadixInt& r,
                   GfnTransform& t) override {
        return inner_.resumeGfn(s, p, c, i, r, t);
    }
    void saveGfn(uint32_t s, const PowerRecordParams& p, uint32_t c, uint32_t i, const RadixInt& r,
                 const GfnTransform& t) override {
        inner_.saveGfn(s, p, c, i, r, t);
    }
    bool readDivisibility(uint32_t s, uint32_t k, uint32_t n, uint32_t& c, uint32_t& r, BigInt& x2, BigInt& x3,
                          BigInt& x5) override {
        return inner_.readDivisibility(s, k, n, c, r, x2, x3, x5);
    }
    void writeDivisibility(uint32_t s, uint32_t k, uint32_t n, uint32_t c, uint32_t r, const BigInt& x2,
                           const BigInt& x3, const BigInt& x5) override {
        inner_.writeDivisibility(s, k, n, c, r, x2, x3, x5);
        if (--left_ == 0) running_ = false;
    }

private:
    RunCheckpoint& inner_;
    std::atomic<bool>& running_;
    int left_;
};

TEST(PrimeProofLong, StoppedInTheFirstRunAndContinuedGivesTheSameVerdict) {
    RunFixture f;
    FolderCheckpoint folder(f.folder.path());
    StoppingCheckpoint stopping(folder, f.running, 2);
    f.checkpoint = &stopping;
    f.live.nbIter = 50000;
    bool prime = false;
    ASSERT_FALSE(PlusOneTestBase2(f.context(), 3, kN, 0, true, prime));
    EXPECT_TRUE(f.paneLines().empty());  // a stop prints no verdict
    f.checkpoint = &folder;
    f.running = true;
    f.sink.clear();
    ASSERT_TRUE(PlusOneTestBase2(f.context(), 3, kN, 0, true, prime));
    EXPECT_TRUE(prime);
    // The continued run started at the saved step: 100,000 of 213,321 steps,
    // or, in the checked walk, the end of the block that step fell in.
    const auto texts = f.paneTexts();
    ASSERT_FALSE(texts.empty());
    const size_t open = texts[0].rfind('[');
    ASSERT_NE(open, std::string::npos) << texts[0];
    const double shown = std::stod(texts[0].substr(open + 1));
    const double block = UsesWeightedTransform(3, kN, 1) ? PlanGerbiczLi(kN).blockLength * 100.0 / kN : 0;
    EXPECT_GE(shown, 46.87) << texts[0];
    EXPECT_LE(shown, 46.88 + block + 0.01) << texts[0];
}

}  // namespace
}  // namespace numen
