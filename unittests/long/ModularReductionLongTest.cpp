// The power-loop steps at the sizes of real candidates (about 2^17 to 2^20
// bits, two-pass transform products) compared with GMP after every step, and
// many random operands per reduction. Run with `ctest -L long`.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "arith/Candidate.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/ReduceBase2.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceRadix.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::Repeats;
using testing::SameValue;
using testing::TestSeed;
using testing::ToMpz;

Mpz ModulusOf(const Candidate& f) {
    Mpz m;
    mpz_ui_pow_ui(m, f.b, f.n);
    mpz_mul_ui(m, m, f.k);
    if (f.c >= 0) mpz_add_ui(m, m, uint32_t(f.c));
    else mpz_sub_ui(m, m, uint32_t(-int64_t(f.c)));
    return m;
}

std::string Describe(const Candidate& f, int step) {
    return std::to_string(f.k) + "*" + std::to_string(f.b) + "^" + std::to_string(f.n) + "+(" +
           std::to_string(f.c) + ") step " + std::to_string(step) + " seed " + std::to_string(TestSeed());
}

TEST(ModularLong, LargeSquaringChainsFollowGmp) {
    const Candidate forms[] = {
        {0xffffffffu, 2, 1u << 17, 1},  {3, 2, (1u << 20) - 7, -1},   {0x80000001u, 2, 200000, 15},
        {5, 10, 40000, 1},              {0xfffffffbu, 10, 39999, -1}, {7, 3, 83000, 3},
        {1, 999999, 7000, -1},
    };
    for (const Candidate& f : forms) {
        const uint32_t a = 3;
        std::mt19937 rng(uint32_t(TestSeed()) ^ f.n);
        Mpz N = ModulusOf(f), want(a);
        // Start from a full-size residue so every step is a long product.
        mpz_sub_ui(want, N, 12345);
        BigInt x = FromMpz(want);
        RadixInt rx(RadixOf(f.b), x);
        for (int i = 0; i < Repeats(12); ++i) {
            bool multiply = (rng() & 1) != 0;
            mpz_mul(want, want, want);
            if (multiply) mpz_mul_ui(want, want, a);
            mpz_mod(want, want, N);
            if (f.b == 2) {
                SquareStepBase2(x, f);
                if (multiply) MulStepBase2(x, a, f);
                BigInt finished(x);
                FinishBase2(finished, f);
                ASSERT_TRUE(SameValue(finished, want)) << Describe(f, i);
            } else {
                SquareStepGeneral(x, f);
                if (multiply) MulStepGeneral(x, a, f);
                ASSERT_TRUE(SameValue(x, want)) << Describe(f, i);
                SquareStepRadix(rx, f);
                if (multiply) MulStepRadix(rx, int32_t(a), f);
                ASSERT_TRUE(SameValue(rx.toBigInt(), want)) << Describe(f, i) << " radix";
            }
        }
    }
}

TEST(ModularLong, ManyRandomProductsOfResidues) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, (unsigned long)TestSeed());
    std::mt19937 rng{uint32_t(TestSeed())};
    for (int round = 0; round < Repeats(300); ++round) {
        uint32_t b = std::uniform_int_distribution<uint32_t>(2, 999999)(rng);
        if (round % 3 == 0) b = 2;
        uint32_t k = uint32_t(rng()) | 1u;
        uint32_t n = std::uniform_int_distribution<uint32_t>(1, b == 2 ? 20000 : 1500)(rng);
        int32_t c = int32_t(rng() % 31) - 15;
        const Candidate f{k, b, n, c};
        Mpz N = ModulusOf(f);
        if (mpz_cmp_ui(N.v, 1) <= 0) continue;
        Mpz u, v, w, want;
        mpz_urandomm(u, state, N);
        mpz_urandomm(v, state, N);
        mpz_mul(w, u, v);
        mpz_mod(want, w, N);
        BigInt x = FromMpz(w);
        reduceGeneral(x, f);
        ASSERT_TRUE(SameValue(x, want)) << Describe(f, round);
        if (b != 2) {
            RadixInt r(RadixOf(b), FromMpz(w));
            reduceRadix(r, f);
            ASSERT_TRUE(SameValue(r.toBigInt(), want)) << Describe(f, round) << " radix";
        }
    }
    gmp_randclear(state);
}

}  // namespace
}  // namespace numen
