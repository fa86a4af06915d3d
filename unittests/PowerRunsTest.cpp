// Power runs: every run against GMP's mpz_powm over the forms, bases, sizes
// and squaring kernel families; the progress texts and their intervals; the
// stop, the checkpoint at ticks and at a stop, and the resume (matching,
// foreign, damaged, unwritable); SmallPower.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "arith/CyclotomicValue.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "ref/TransformOracle.h"
#include "report/ProgressLines.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "tests/PowerRuns.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RunFixture;
using testing::ToMpz;

Mpz ModulusOf(const Candidate& N) {
    Mpz m;
    mpz_ui_pow_ui(m, N.b, N.n);
    mpz_mul_ui(m, m, N.k);
    if (N.c >= 0) mpz_add_ui(m, m, uint32_t(N.c));
    else mpz_sub_ui(m, m, N.offsetMagnitude());
    return m;
}

Mpz Powm(uint32_t a, const BigInt& e, mpz_srcptr modulus) {
    Mpz base{long(a)}, r;
    mpz_powm(r, base, ToMpz(e), modulus);
    return r;
}

// e = (N - 1) / 2, the exponent of the Euler test (any e >= 1 otherwise).
BigInt HalfOf(const Mpz& N) {
    Mpz e;
    mpz_sub_ui(e, N, 1);
    mpz_fdiv_q_2exp(e, e, 1);
    return FromMpz(e);
}

std::string Name(const Candidate& N) {
    return std::to_string(N.k) + "*" + std::to_string(N.b) + "^" + std::to_string(N.n) + (N.c < 0 ? "" : "+") +
           std::to_string(N.c);
}

// Restores the squaring family chosen at start-up when a test has forced
// others.
class PowerRunsTest : public ::testing::Test {
protected:
    ~PowerRunsTest() override { ForceSquaringKernels(before); }
    const KernelFamily& before = SquaringKernels();
};

TEST_F(PowerRunsTest, Base2GeneralAndRadixAgreeWithGmp) {
    RunFixture f;
    const RunContext run = f.context();
    const Candidate forms[] = {
        {3, 2, 5, 1},  {5, 2, 40, -1}, {1, 2, 127, -1}, {15, 2, 1000, 1}, {3, 2, 1100, 7},
        {3, 2, 3000, -1}, {7, 3, 50, 1}, {2, 5, 700, -1}, {3, 10, 900, 1}, {5, 12, 600, -1},
        {3, 1000, 250, 1}, {2, 999999, 150, -1},
    };
    for (const Candidate& N : forms) {
        SCOPED_TRACE(Name(N));
        const Mpz modulus = ModulusOf(N);
        const BigInt e = HalfOf(modulus);
        const Mpz want = Powm(3, e, modulus);
        BigInt x;
        if (N.b == 2) {
            ASSERT_TRUE(PowerRunBase2(run, N, 3, e, 1, x));
            EXPECT_EQ(mpz_cmp(ToMpz(x), want), 0);
        }
        ASSERT_TRUE(PowerRunGeneral(run, N, 3, e, 1, x));
        EXPECT_EQ(mpz_cmp(ToMpz(x), want), 0);
        RadixInt r(2);
        ASSERT_TRUE(PowerRunRadix(run, N, 3, e, 1, r));
        EXPECT_EQ(r.radix(), RadixOf(N.b));
        EXPECT_EQ(mpz_cmp(ToMpz(r), want), 0);
    }
}

}  // namespace
}  // namespace numen
