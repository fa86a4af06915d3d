// Lucas matrices and the two Lucas runs against U_m computed with GMP:
// products (also written over an operand), small and large powers in both
// variants, the doubling run of k*2^n - 1 and the matrix run of k*b^n - 1
// for several forms, their progress texts and their stop.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "arith/ArithmeticFault.h"
#include "arith/RadixChoice.h"
#include "arith/ReduceBase2.h"
#include "ref/GmpOracle.h"
#include "ref/LucasOracle.h"
#include "ref/RunFixture.h"
#include "tests/LucasMatrix.h"
#include "tests/LucasRuns.h"
#include "tests/PowerRunWeighted.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::LucasU;
using testing::Mpz;
using testing::RunFixture;
using testing::ToMpz;

// k*b^n - 1.
Mpz CandidateValue(uint32_t k, uint32_t b, uint32_t n) { return testing::CandidateValue({k, b, n, -1}); }

// The entries of M^m from GMP: U_{m+1}, -Q U_m, U_m, -Q U_{m-1} modulo N,
// with U_{m-1} = (P U_m - U_{m+1}) / Q, i.e. -Q U_{m-1} = U_{m+1} - P U_m.
void ExpectPower(const BigInt& m00, const BigInt& m01, const BigInt& m10, const BigInt& m11, long P,
                 long Q, mpz_srcptr m, mpz_srcptr N, const std::string& what) {
    Mpz u, next, t;
    LucasU(u, next, P, Q, m, N);
    EXPECT_EQ(ToMpz(m10).str(), u.str()) << what;
    EXPECT_EQ(ToMpz(m00).str(), next.str()) << what;
    mpz_mul_si(t, u, -Q);
    mpz_mod(t, t, N);
    EXPECT_EQ(ToMpz(m01).str(), t.str()) << what;
    mpz_mul_si(t, u, P);
    mpz_sub(t, next, t);
    mpz_mod(t, t, N);
    EXPECT_EQ(ToMpz(m11).str(), t.str()) << what;
}

void ExpectPower(const LucasMatrixBase2& R, long P, long Q, mpz_srcptr m, mpz_srcptr N, const std::string& what) {
    ExpectPower(R.m00, R.m01, R.m10, R.m11, P, Q, m, N, what);
}
void ExpectPower(const LucasMatrixRadix& R, long P, long Q, mpz_srcptr m, mpz_srcptr N, const std::string& what) {
    ExpectPower(R.m00.toBigInt(), R.m01.toBigInt(), R.m10.toBigInt(), R.m11.toBigInt(), P, Q, m, N, what);
}

LucasMatrixBase2 BaseMatrix2(uint32_t P, uint32_t k, uint32_t n) {
    LucasMatrixBase2 M{BigInt(int32_t(P)), BigInt(1), BigInt(1), BigInt()};  // Q = -1
    reduceBase2(M.m00, k, n, -1);
    return M;
}

LucasMatrixRadix RadixMatrix(int32_t P, int32_t Q, uint32_t b) {
    const uint32_t radix = RadixOf(b);
    return {RadixInt(radix, P), RadixInt(radix, -Q), RadixInt(radix, 1), RadixInt(radix)};
}

TEST(LucasMatrix, SmallPowersMatchTheSequencesInBothVariants) {
    const long exps[] = {-3, 0, 1, 2, 3, 7, 10, 64, 1000, 999999};
    {
        const uint32_t k = 3, n = 521;  // a residue of many words
        const Mpz N = CandidateValue(k, 2, n);
        const ModulusForm form = LucasFormBase2(k, n);
        const LucasMatrixBase2 M = BaseMatrix2(5, k, n);
        for (long e : exps) {
            const Mpz m(e < 0 ? 0 : e);
            ExpectPower(LucasSmallPower(M, int32_t(e), form), 5, -1, m, N, "base 2, e = " + std::to_string(e));
        }
    }
    for (uint32_t b : {3u, 10u, 999999u}) {
        const uint32_t k = 7, n = b == 999999 ? 40 : 300;
        const Mpz N = CandidateValue(k, b, n);
        const ModulusForm form = LucasFormRadix(k, b, n);
        const LucasMatrixRadix M = RadixMatrix(3, -2, b);
        for (long e : exps) {
            const Mpz m(e < 0 ? 0 : e);
            ExpectPower(LucasSmallPower(M, int32_t(e), form), 3, -2, m, N,
                        "b = " + std::to_string(b) + ", e = " + std::to_string(e));
        }
    }
}

TEST(LucasMatrix, ProductsMayBeWrittenOverEitherOperand) {
    const uint32_t k = 5, b = 6, n = 200;
    const Mpz N = CandidateValue(k, b, n);
    const ModulusForm form = LucasFormRadix(k, b, n);
    const LucasMatrixRadix M = RadixMatrix(7, -3, b);
    const LucasMatrixRadix A = LucasSmallPower(M, 37, form);
    const LucasMatrixRadix B = LucasSmallPower(M, 1234, form);
    LucasMatrixRadix R = A;
    LucasProduct(R, B, R, form);  // over A
    ExpectPower(R, 7, -3, Mpz(1271), N, "over A");
    R = B;
    LucasProduct(R, R, A, form);  // over B
    ExpectPower(R, 7, -3, Mpz(1271), N, "over B");
    R = A;
    LucasProduct(R, R, R, form);  // both
    ExpectPower(R, 7, -3, Mpz(74), N, "both operands");
    R = B;
    LucasSquare(R, R, form);
    ExpectPower(R, 7, -3, Mpz(2468), N, "square over its operand");
    // A matrix that is no power of M: the product is the plain 2x2 product.
    LucasMatrixRadix X{RadixInt(RadixOf(b), 11), RadixInt(RadixOf(b), 0), RadixInt(RadixOf(b), 12345),
                       RadixInt(RadixOf(b), 2)};
    LucasProduct(R, X, A, form);
    Mpz want, t;
    Mpz a00 = ToMpz(A.m00.toBigInt()), a10 = ToMpz(A.m10.toBigInt());
    mpz_mul_ui(want, a00, 12345);
    mpz_mul_ui(t, a10, 2);
    mpz_add(want, want, t);
    mpz_mod(want, want, N);
    EXPECT_EQ(ToMpz(R.m10.toBigInt()).str(), want.str());
}

TEST(LucasMatrix, LargePowerPollsOncePerBitAndStops) {
    RunFixture f;
    const RunContext run = f.context();
    const uint32_t k = 9, n = 400;
    const Mpz N = CandidateValue(k, 2, n);
    const ModulusForm form = LucasFormBase2(k, n);
    const LucasMatrixBase2 M = BaseMatrix2(4, k, n);
    Mpz m;
    mpz_ui_pow_ui(m, 3, 150);
    mpz_add_ui(m, m, 12345);
    LucasMatrixBase2 R;
    ASSERT_TRUE(LucasLargePower(run, M, FromMpz(m), form, R));
    ExpectPower(R, 4, -1, m, N, "3^150 + 12345");
    ASSERT_TRUE(LucasLargePower(run, M, BigInt(1), form, R));
    ExpectPower(R, 4, -1, Mpz(1), N, "e = 1");
    EXPECT_TRUE(f.paneTexts().empty());  // no progress text
    f.running = false;
    EXPECT_FALSE(LucasLargePower(run, M, FromMpz(m), form, R));
    EXPECT_TRUE(LucasLargePower(run, M, BigInt(1), form, R));  // no bit, no poll
}

TEST(LucasRuns, DoublingRunGivesThePowerOfTwoForSeveralForms) {
    struct Case {
        uint32_t k, n, P;
    } cases[] = {{1, 2, 1}, {1, 3, 1}, {3, 5, 2}, {5, 64, 3}, {1, 127, 1}, {27, 1000, 4}, {4294967295u, 3000, 7},
                 {12345, 2500, 3}};
    for (const Case& c : cases) {
        RunFixture f;
        const RunContext run = f.context();
        const Mpz N = CandidateValue(c.k, 2, c.n);
        LucasMatrixBase2 R;
        ASSERT_TRUE(LucasDoublingRun(run, c.k, c.n, c.P, R));
        Mpz m;
        mpz_ui_pow_ui(m, 2, c.n - 1);
        ExpectPower(R, c.P, -1, m, N, std::to_string(c.k) + "*2^" + std::to_string(c.n) + "-1");
    }
}

// The doubling run in the weighted transform (where it serves k*2^n - 1)
// and with NoWeighted set gives the same power; a fault of the transform
// (a NaN, refused by the next carry pass) sends the run back to the values
// of its last tick, from which the exact steps give the same power; a
// wrong value is caught by the pair's identity.
TEST(LucasRuns, DoublingRunInTheWeightedTransformAndAfterItsFault) {
    const bool before = WeightedRunsEnabled();
    struct Case {
        uint32_t k, n, P;
    } cases[] = {{1, 127, 1}, {3, 200, 2}, {27, 1000, 4}, {1023, 3001, 5}, {5, 9000, 3}};
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.k) + "*2^" + std::to_string(c.n) + "-1";
        SCOPED_TRACE(what);
        const Mpz N = CandidateValue(c.k, 2, c.n);
        Mpz m;
        mpz_ui_pow_ui(m, 2, c.n - 1);
        for (bool weighted : {true, false}) {
            SetWeightedRuns(weighted, 0);
            RunFixture f;
            LucasMatrixBase2 R;
            ASSERT_TRUE(LucasDoublingRun(f.context(), c.k, c.n, c.P, R));
            ExpectPower(R, c.P, -1, m, N, what);
            EXPECT_EQ(LastWeightedRunStats().weighted, weighted && PlanWeighted(c.k, c.n, -1).served);
        }
    }
    SetWeightedRuns(true, 0);
    for (uint64_t at : {3ull, 450ull, 2990ull}) {
        SCOPED_TRACE(at);
        SetWeightedStepSeam([at](WeightedTransform& t, uint64_t step) {
            if (step == at) t.elementsForTest()[1].re = std::numeric_limits<double>::quiet_NaN();
        });
        RunFixture f;
        f.live.nbIter = 200;  // ticks every 100 steps
        LucasMatrixBase2 R;
        ASSERT_TRUE(LucasDoublingRun(f.context(), 1023, 3001, 5, R));
        Mpz m;
        mpz_ui_pow_ui(m, 2, 3000);
        ExpectPower(R, 5, -1, m, CandidateValue(1023, 2, 3001), "after a fault");
        EXPECT_TRUE(LastWeightedRunStats().fellBack);
        // The tick at count c comes before step c, with c - 1 steps done.
        EXPECT_EQ(LastWeightedRunStats().fellBackAt, at < 100 ? 0 : at / 100 * 100 - 1);
        // The progress goes back with the run: its last text is the tick at
        // 2900 of 2999 steps, never beyond.
        const auto texts = f.paneTexts();
        EXPECT_EQ(texts.back().rfind("1023*2^3001 - 1 ? Computing Lucas seq. [96.70%, ", 0), 0u) << texts.back();
    }
    // A wrong V (one more in digit 0) breaks V^2 - D U^2 = 4 at the next
    // tick or at the end: the run goes back to the last pair that held and
    // gives the right power; a fault that comes back raises.
    for (uint64_t at : {150ull, 2995ull}) {
        SCOPED_TRACE(at);
        SetWeightedStepSeam([at](WeightedTransform& t, uint64_t step) {
            if (step == at) t.elementsForTest()[0].re += 1.0;
        });
        RunFixture f;
        f.live.nbIter = 200;
        LucasMatrixBase2 R;
        ASSERT_TRUE(LucasDoublingRun(f.context(), 1023, 3001, 5, R));
        Mpz m;
        mpz_ui_pow_ui(m, 2, 3000);
        ExpectPower(R, 5, -1, m, CandidateValue(1023, 2, 3001), "after a rollback");
        EXPECT_EQ(LastWeightedRunStats().counts.rollbacks, 1u);
        EXPECT_FALSE(LastWeightedRunStats().fellBack);
        EXPECT_EQ(f.paneTexts().back().rfind("1023*2^3001 - 1 ? Computing Lucas seq. [96.70%, ", 0), 0u)
            << f.paneTexts().back();
    }
    SetWeightedStepSeam([](WeightedTransform& t, uint64_t step) {
        if (step % 50 == 0) t.elementsForTest()[0].re += 1.0;
    });
    RunFixture f;
    f.live.nbIter = 200;
    LucasMatrixBase2 R;
    EXPECT_THROW(LucasDoublingRun(f.context(), 1023, 3001, 5, R), ArithmeticFault);
    SetWeightedStepSeam({});
    SetWeightedRuns(before, 0);
}

TEST(LucasRuns, DoublingRunProgressAndStop) {
    RunFixture f;
    f.live.nbIter = 200;  // interval 100 steps
    const RunContext run = f.context();
    LucasMatrixBase2 R;
    ASSERT_TRUE(LucasDoublingRun(run, 3, 502, 2, R));  // 500 steps
    const auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], "3*2^502 - 1 ? Computing Lucas seq.");
    EXPECT_EQ(texts[1].rfind("3*2^502 - 1 ? Computing Lucas seq. [20.00%, ", 0), 0u) << texts[1];
    EXPECT_EQ(texts[5].rfind("3*2^502 - 1 ? Computing Lucas seq. [100.00%, ", 0), 0u) << texts[5];
    f.running = false;
    EXPECT_FALSE(LucasDoublingRun(run, 3, 502, 2, R));
    EXPECT_TRUE(f.paneLines().empty());
}

TEST(LucasRuns, MatrixRunMatchesTheSequencesForSeveralBases) {
    struct Case {
        uint32_t k, b, n;
        int32_t P, Q;
    } cases[] = {{1, 3, 1, 1, -1}, {2, 3, 200, 1, -2}, {7, 5, 300, 3, -1}, {11, 6, 150, 2, -3},
                 {3, 10, 120, 5, -7}, {13, 12, 100, 1, -1}, {4000000000u, 19, 90, 9, -2}, {2, 999999, 30, 4, -5}};
    for (const Case& c : cases) {
        RunFixture f;
        const RunContext run = f.context();
        const Mpz N = CandidateValue(c.k, c.b, c.n);
        const ModulusForm form = LucasFormRadix(c.k, c.b, c.n);
        LucasMatrixRadix M = RadixMatrix(c.P, c.Q, c.b);
        ReduceByForm(M.m00, form);
        ReduceByForm(M.m01, form);
        Mpz e;  // (N + 1)/b
        mpz_ui_pow_ui(e, c.b, c.n - 1);
        mpz_mul_ui(e, e, c.k);
        LucasMatrixRadix R = M;
        ASSERT_TRUE(LucasMatrixRun(run, c.k, c.b, c.n, M, FromMpz(e), R));
        ExpectPower(R, c.P, c.Q, e, N, std::to_string(c.k) + "*" + std::to_string(c.b) + "^" + std::to_string(c.n));
    }
}

TEST(LucasRuns, MatrixRunProgressAndStop) {
    RunFixture f;
    f.live.nbIter = 400;  // interval 100 bits
    const RunContext run = f.context();
    const LucasMatrixRadix M = RadixMatrix(3, -1, 10);
    BigInt e;
    e.setPower(2, 300);  // T = 300
    LucasMatrixRadix R = M;
    ASSERT_TRUE(LucasMatrixRun(run, 3, 10, 100, M, e, R));
    const auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "3*10^100 - 1 ? Computing Lucas seq.");
    EXPECT_EQ(texts[1].rfind("3*10^100 - 1 ? Computing Lucas seq. [33.33%, ", 0), 0u) << texts[1];
    f.running = false;
    EXPECT_FALSE(LucasMatrixRun(run, 3, 10, 100, M, e, R));
    EXPECT_TRUE(f.paneLines().empty());
}

}  // namespace
}  // namespace numen
