// The two carry passes of the weighted transform (the baseline scalar one
// and the AVX2 sweeps) and the product by a word fused into a square's
// pass: on the same plan and residue both passes give the same residues,
// both equal to GMP's, over many k, n, c of both signs, one- and two-pass
// shapes and digit widths of an odd number of bits; the fused product
// equals squareStep then multiplySmall; the round-off guard fires in both.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "arith/ArithmeticFault.h"
#include "arith/ProcessorProfile.h"
#include "arith/WeightedState.h"
#include "arith/WeightedTransform.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/TransformOracle.h"

namespace numen::testing {
namespace {

constexpr WeightedCarry kPasses[] = {WeightedCarry::kScalar, WeightedCarry::kAvx2};

double Base0(const WeightedTransform& t) { return t.state()->base0; }

const char* PassName(WeightedCarry pass) { return pass == WeightedCarry::kAvx2 ? "avx2" : "scalar"; }

// The AVX family whose plans may take either pass; null on a host without.
const KernelFamily* AvxFamily() { return HostRuns(Avx2Kernels()) ? &Avx2Kernels() : nullptr; }

std::string Name(uint32_t k, uint32_t n, int32_t c, uint32_t D, WeightedCarry pass) {
    return "k=" + std::to_string(k) + " n=" + std::to_string(n) + " c=" + std::to_string(c) +
           " D=" + std::to_string(D) + " pass=" + PassName(pass);
}

struct Shape {
    uint32_t k, n;
    int32_t c;
    uint32_t D;
};

// n odd at half a bit below the rule's limit: digits of two widths, the
// rule's round-off or a little less.
Shape ShapeAt(uint32_t k, int32_t c, uint32_t D) {
    return {k, uint32_t(D * (WeightedBitLimit(D, k, c) - 0.5)) | 1u, c, D};
}

// One- and two-pass shapes (the AVX families take one pass up to 16384
// elements), offsets of both signs up to 2^16, digit 0's base beyond 2^22
// (k = 2^15 + 1: its product by a word passes 2^53).
const Shape kShapes[] = {
    ShapeAt(1, 1, 64),       ShapeAt(32769, 1, 64),     ShapeAt(3, -1, 256),       ShapeAt(5, 7, 1024),
    ShapeAt(1, -65536, 4096), ShapeAt(1, 65536, 8192),  ShapeAt(27, -3, 32768),    ShapeAt(3, -1, 65536),
    ShapeAt(7, 1, 131072),
};

// squareStep, squareStepTimes(a), multiplySmall(a) and carry with an
// addend, mirrored in mpz: after every operation both passes hold GMP's
// residue, and the round-off of a square is the same within 0.02 (the
// vector sweeps use fused multiply-adds, so the distances differ slightly).
TEST(WeightedCarryTest, VectorPassMatchesScalarPassAndGmp) {
    const KernelFamily* avx = AvxFamily();
    if (!avx) GTEST_SKIP() << "no AVX2 on this host";
    std::mt19937_64 rng(TestSeed() + 21);
    for (const Shape& s : kShapes) {
        const Mpz N = CandidateValue({s.k, 2, s.n, s.c});
        WeightedTransform t[2];
        for (int p = 0; p < 2; ++p) {
            t[p].planDigits(s.k, s.n, s.c, s.D, {avx, 0, 0, 1});
            UseWeightedCarryForTest(t[p], kPasses[p]);
        }
        const BigInt x = RandomResidue(N, rng);
        Mpz expected = ToMpz(x);
        for (WeightedTransform& w : t) w.set(x);
        // multiplySmall needs products of digits and a within 2^50; the
        // fused product takes any word.
        const uint32_t a = uint32_t(rng()) | 1u, small = uint32_t(rng() % 65536) | 1u;
        for (int op = 0; op < 4; ++op) {
            double err[2] = {0, 0};
            for (int p = 0; p < 2; ++p) {
                if (op == 0) err[p] = t[p].squareStep();
                if (op == 1) err[p] = t[p].squareStepTimes(a);
                if (op == 2) t[p].multiplySmall(small);
                if (op == 3) {
                    t[p].square();
                    err[p] = t[p].carry(-5);
                }
            }
            if (op != 2) mpz_mul(expected, expected, expected);
            if (op == 1 || op == 2) mpz_mul_ui(expected, expected, op == 1 ? a : small);
            if (op == 3) mpz_sub_ui(expected, expected, 5);
            mpz_mod(expected, expected, N);
            for (int p = 0; p < 2; ++p)
                EXPECT_TRUE(SameValue(t[p].value(), expected)) << Name(s.k, s.n, s.c, s.D, kPasses[p]) << " op " << op;
            EXPECT_NEAR(err[0], err[1], 0.02) << Name(s.k, s.n, s.c, s.D, kPasses[1]) << " op " << op;
        }
        EXPECT_LT(t[1].maxError(), 0.3) << Name(s.k, s.n, s.c, s.D, kPasses[1]);
    }
}

// The fused product against the separate pass, over multipliers up to
// 2^32 - 1 (digit 0's product beyond 2^53 when k is large), in the scalar
// family and in both passes of the AVX family: the same residue as
// squareStep then multiplySmall, GMP's, and the same round-off as
// squareStep (the product by a adds none).
TEST(WeightedCarryTest, FusedProductEqualsSquareThenMultiplySmall) {
    std::mt19937_64 rng(TestSeed() + 22);
    struct Run {
        const KernelFamily* family;
        WeightedCarry pass;
    };
    std::vector<Run> runs{{&Sse2Kernels(), WeightedCarry::kScalar}};
    if (const KernelFamily* avx = AvxFamily())
        for (WeightedCarry pass : kPasses) runs.push_back({avx, pass});
    for (const Run& run : runs) {
        for (const Shape& s : kShapes) {
            if (s.D > 8192) continue;  // the shapes' carries are covered above
            const Mpz N = CandidateValue({s.k, 2, s.n, s.c});
            const BigInt x = RandomResidue(N, rng);
            for (uint32_t a : {2u, 3u, 65537u, 4294967295u, uint32_t(rng())}) {
                if (a == 0) continue;
                WeightedTransform fused, separate;
                for (WeightedTransform* w : {&fused, &separate}) {
                    w->planDigits(s.k, s.n, s.c, s.D, {run.family, 0, 0, 1});
                    if (run.family->avxLevel >= 1) UseWeightedCarryForTest(*w, run.pass);
                    w->set(x);
                }
                const double fusedErr = fused.squareStepTimes(a);
                const double squareErr = separate.squareStep();
                Mpz expected = ToMpz(x);
                mpz_mul(expected, expected, expected);
                mpz_mul_ui(expected, expected, a);
                mpz_mod(expected, expected, N);
                const std::string name = Name(s.k, s.n, s.c, s.D, run.pass) + " a=" + std::to_string(a);
                EXPECT_TRUE(SameValue(fused.value(), expected)) << name;
                // The separate pass refuses a product of a digit and a beyond
                // 2^50 (digit 0's, for large k and a); the fused one has none.
                try {
                    separate.multiplySmall(a);
                    EXPECT_TRUE(SameValue(separate.value(), expected)) << name;
                } catch (const ArithmeticFault&) {
                    EXPECT_GT(std::log2(Base0(separate)) + std::log2(double(a)), 49.0) << name;
                }
                EXPECT_EQ(fusedErr, squareErr) << name;
                EXPECT_EQ(fused.maxError(), squareErr) << name;
            }
        }
    }
}

// A coefficient moved by half an integer, a NaN, or a coefficient beyond
// 2^50 between the square and the carry pass raises ArithmeticFault in
// both passes, in both forms and shapes, and so does an infinite element
// before a fused step; the same residue squared afterwards is GMP's again.
TEST(WeightedCarryTest, GuardFiresInBothPasses) {
    const KernelFamily* avx = AvxFamily();
    if (!avx) GTEST_SKIP() << "no AVX2 on this host";
    std::mt19937_64 rng(TestSeed() + 23);
    for (const Shape& s : {kShapes[2], kShapes[3], kShapes[7], kShapes[8]}) {
        const Mpz N = CandidateValue({s.k, 2, s.n, s.c});
        const BigInt x = RandomResidue(N, rng);
        Mpz expected = ToMpz(x);
        mpz_powm_ui(expected, expected, 2, N);
        for (WeightedCarry pass : kPasses) {
            const std::string name = Name(s.k, s.n, s.c, s.D, pass);
            WeightedTransform t;
            t.planDigits(s.k, s.n, s.c, s.D, {avx, 0, 0, 1});
            UseWeightedCarryForTest(t, pass);
            const WeightedState& st = *t.state();
            const uint32_t j = 1 + uint32_t(rng() % (st.length - 1));
            Complex* z = t.elementsForTest() + size_t(j / st.rowLength) * st.rowStride() + j % st.rowLength;
            // Element j's real coefficient moves by delta (see WeightedTransformTest).
            auto corrupt = [&](double delta) {
                double C = 1, S = 0;
                if (st.negacyclic) st.rotation(j, C, S);
                const double scale = delta * st.length * st.weight[j];
                z->re += scale * C;
                z->im -= scale * S;
            };
            t.set(x);
            t.square();
            corrupt(0.5);
            EXPECT_THROW(t.carry(3), ArithmeticFault) << name;
            t.set(x);
            t.square();
            z->im = std::numeric_limits<double>::quiet_NaN();
            EXPECT_THROW(t.carry(), ArithmeticFault) << name;
            t.set(x);
            t.square();
            corrupt(std::ldexp(1.0, 51));
            EXPECT_THROW(t.carry(), ArithmeticFault) << name;
            t.set(x);
            z->re = std::numeric_limits<double>::infinity();
            EXPECT_THROW(t.squareStepTimes(3), ArithmeticFault) << name;
            t.set(x);
            t.squareStep();
            EXPECT_TRUE(SameValue(t.value(), expected)) << name;
        }
    }
}

}  // namespace
}  // namespace numen::testing
