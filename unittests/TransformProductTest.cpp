// Exact transform products of BigInt: the plan, the weights, and squares and
// products against GMP at every power-of-two length boundary, on every
// kernel family and both layouts, with the checksum catching a disturbed
// product. A direct cyclic convolution standing in for the kernels checks
// the load and read-out on their own. Sizes here stop at L = 2^15; the
// largest lengths are in long/TransformProductLongTest.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "arith/TransformBuffer.h"
#include "arith/TransformPlan.h"
#include "arith/TransformProduct.h"
#include "arith/TransformWeights.h"
#include "ref/DirectDft.h"
#include "ref/GmpOracle.h"
#include "ref/TransformOracle.h"

namespace numen {
namespace {

using testing::AllFamilies;
using testing::Describe;
using testing::Mpz;
using testing::Settings;

// --- plan ---------------------------------------------------------------------

TEST(TransformPlan, SizeRuleAndShapes) {
    EXPECT_EQ(TransformLength(33, DigitSystem::kBinary16), 128u);
    EXPECT_EQ(TransformLength(17, DigitSystem::kBinary16), 64u);
    EXPECT_EQ(TransformLength(1500, DigitSystem::kBinary16), 4096u);
    EXPECT_EQ(TransformLength(17, DigitSystem::kRadix), 32u);
    EXPECT_EQ(TransformLength(1u << 20, DigitSystem::kRadix), 1u << 20);

    struct Case {
        uint32_t length;
        int32_t lat64k;
        uint32_t g, b;
    } cases[] = {
        {1024, 9, 1024, 1}, {2048, 5, 2048, 1},       {4096, 5, 4096, 1},      {2048, 6, 512, 4},
        {4096, 6, 1024, 4}, {8192, 2, 1024, 8},       {1u << 20, 5, 2048, 512}, {1u << 21, 5, 2048, 1024},
        {1u << 15, 5, 1024, 32},
    };
    for (const Case& c : cases) {
        TransformPlan p = PlanTransform(c.length, c.lat64k, 7);
        EXPECT_EQ(p.rowLength, c.g) << c.length;
        EXPECT_EQ(p.rows, c.b) << c.length;
        EXPECT_EQ(p.onePass(), c.b == 1) << c.length;
        EXPECT_EQ(p.elements(), c.b > 1 ? size_t(c.b) * (c.g + 7) : c.length);
    }
    // Every length the products and the generalized-Fermat numbers use: a
    // shape the kernels accept (rows of 16+, columns of 4+, g a multiple of 4).
    for (uint32_t length = 32; length <= (1u << 22); length *= 2) {
        for (int32_t lat : {5, 6}) {
            TransformPlan p = PlanTransform(length, lat, 1);
            EXPECT_EQ(size_t(p.rowLength) * p.rows, length);
            EXPECT_EQ(p.rowLength % 4, 0u);
            if (!p.onePass()) {
                EXPECT_GE(p.rows, 4u);
            }
            EXPECT_EQ(p.index(length - 1), p.elements() - 1 - p.gap);
        }
    }
}

// --- weights ------------------------------------------------------------------

TEST(TransformWeights, RecurrenceFollowsTheDirectFormulaAndTablesAreReused) {
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<const ProductWeights*> records;
    for (uint32_t length : {64u, 4096u, 1u << 21}) {
        TransformPlan p = PlanTransform(length, 6, 0);
        const ProductWeights& w = ProductWeightsFor(p.rowLength, p.rows);
        records.push_back(&w);
        EXPECT_EQ(w.rowLength, p.rowLength);
        EXPECT_EQ(w.rows, p.rows);
        long double s = w.rowStarts[0].re;
        EXPECT_NEAR(double(s * s * s * length), 1.0, 1e-15) << length;
        long double worst = 0;
        for (uint32_t r = 0; r < p.rows; r += std::max(1u, p.rows / 8)) {
            ExtendedComplex z = w.rowStarts[r];
            for (uint32_t c = 0; c < p.rowLength; ++c) {
                uint32_t j = r * p.rowLength + c;
                long double a = -pi * j / (2.0L * length);
                worst = std::max(worst, std::fabs(z.re - s * std::cos(a)) + std::fabs(z.im - s * std::sin(a)));
                z = RotateWeight(z, w.rotationCot, w.rotationSin);
            }
        }
        EXPECT_LT(double(worst / s), 1e-15) << length;
        // The double tables are the 80-bit weights rounded once.
        EXPECT_EQ(w.rowStartsDouble[p.rows - 1].im, double(w.rowStarts[p.rows - 1].im));
        EXPECT_NEAR(w.columnWeights[p.rowLength - 1].im, double(std::sin(-pi * (p.rowLength - 1) / (2.0L * length))),
                    1e-16);
    }
    // Each record stays what it was while the others are in use: asking
    // again, in any order, gives the same record.
    EXPECT_EQ(&ProductWeightsFor(2048, 1024), records[2]);
    EXPECT_EQ(&ProductWeightsFor(64, 1), records[0]);
    EXPECT_EQ(&ProductWeightsFor(1024, 4), records[1]);
    EXPECT_EQ(records[0]->rowLength, 64u);
    EXPECT_EQ(records[1]->rows, 4u);
}

// --- load and read-out against a direct convolution ------------------------------

// A stand-in family: no column passes; the row square (or the pointwise
// product of a one-pass product) computes L conj(x (*) y) of the whole
// array directly, which is what the real pipelines return.
std::vector<testing::Cld> Gather(const Complex* a, uint32_t g, uint32_t rows, uint32_t gap) {
    std::vector<testing::Cld> v;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < g; ++c) v.emplace_back(a[r * (g + gap) + c].re, a[r * (g + gap) + c].im);
    return v;
}
void Scatter(Complex* a, const std::vector<testing::Cld>& z, uint32_t g, uint32_t rows, uint32_t gap) {
    long double n = z.size();
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < g; ++c) {
            testing::Cld v = z[size_t(r) * g + c];
            a[r * (g + gap) + c] = {double(n * v.real()), double(-n * v.imag())};
        }
}
void NoColumns(Complex*, uint32_t, uint32_t, const KernelTables&) {}
void NoRow(Complex*, uint32_t, uint32_t, const KernelTables&) {}
void DirectRowSquare(Complex* a, uint32_t g, uint32_t rows, uint32_t gap, const KernelTables&) {
    auto x = Gather(a, g, rows, gap);
    Scatter(a, testing::CyclicConvolution(x, x), g, rows, gap);
}
void DirectPointwise(Complex* a, const Complex* b, uint32_t g) {
    auto x = Gather(a, g, 1, 0), y = Gather(b, g, 1, 0);
    Scatter(a, testing::CyclicConvolution(x, y), g, 1, 0);
}
const KernelFamily kDirect = {"direct", 1, NoColumns, NoColumns, DirectRowSquare, NoRow, NoRow, DirectPointwise, 0, nullptr, nullptr};

TEST(TransformProduct, LoadAndReadOutAgainstADirectConvolution) {
    testing::RandomOperands rnd(testing::TestSeed());
    // 33 words: L = 128 one-pass; 600 words: L = 2048 as 512 x 4 with lat64k 6.
    for (uint32_t words : {33u, 64u, 600u}) {
        for (int32_t lat : {5, 6}) {
            TransformSettings s = Settings(kDirect, lat, 3);
            BigInt x = rnd.value(words), y = rnd.value(words);
            Mpz want;
            mpz_mul(want, testing::ToMpz(x).v, testing::ToMpz(x).v);
            double err = -1;
            TransformSquare(x, s, &err);
            EXPECT_TRUE(testing::SameValue(x, want)) << words << " " << Describe(s);
            EXPECT_LT(err, 1e-3);  // only the rounding of the loaded doubles
            if (words <= 64) {  // the direct pointwise step is one-pass only
                BigInt z = rnd.value(words);
                mpz_mul(want, testing::ToMpz(y).v, testing::ToMpz(z).v);
                TransformMultiply(y, z, s, &err);
                EXPECT_TRUE(testing::SameValue(y, want)) << words << " " << Describe(s);
            }
        }
    }
}

// --- products against GMP -----------------------------------------------------------

// Squares and products of n-word operands, checked against GMP and against
// the reference family, with the measured round-off below 0.5.
void CheckAgainstGmp(testing::RandomOperands& rnd, uint32_t n, const TransformSettings& s, uint64_t seed) {
    SCOPED_TRACE("seed=" + std::to_string(seed) + " words=" + std::to_string(n) + " " + Describe(s));
    BigInt x = rnd.value(n), y = rnd.value(n), z = rnd.value(n / 2 + 17);
    Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), mz = testing::ToMpz(z), want;
    double err = -1;

    BigInt sq(x);
    TransformSquare(sq, s, &err);
    mpz_mul(want, mx, mx);
    EXPECT_TRUE(testing::SameValue(sq, want));
    EXPECT_GE(err, 0.0);
    EXPECT_LT(err, 0.5);
    BigInt reference(x);
    TransformSquare(reference, Settings(X87Kernels(), s.lat64k, s.gap));
    EXPECT_EQ(sq.compare(reference), 0) << "families disagree";

    BigInt p(x);
    TransformMultiply(p, y, s, &err);
    mpz_mul(want, mx, my);
    EXPECT_TRUE(testing::SameValue(p, want));
    EXPECT_LT(err, 0.5);

    BigInt q(z);  // shorter first factor: P comes from the longer one
    TransformMultiply(q, x, s, &err);
    mpz_mul(want, mz, mx);
    EXPECT_TRUE(testing::SameValue(q, want));
}

TEST(TransformProduct, EveryFamilyAtEveryLengthBoundary) {
    const uint64_t seed = testing::TestSeed();
    testing::RandomOperands rnd(seed);
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t p = 32; p <= (1u << 12); p *= 2) {
            for (uint32_t n : {p, p + 1}) {
                // lat64k 5 and 6 around the one-pass limit, several gaps.
                CheckAgainstGmp(rnd, n, Settings(*f, 5, 1), seed);
                if (n >= 512) CheckAgainstGmp(rnd, n, Settings(*f, 6, n % 2 == 0 ? 0 : 4), seed);
            }
        }
        CheckAgainstGmp(rnd, 1u << 13, Settings(*f, 6, 7), seed);  // L = 2^14, 1024 x 16
    }
}

TEST(TransformProduct, AllOnesAndWorstCaseOperands) {
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t n = 32; n <= (1u << 12) + 1; n = n % 2 == 0 ? n + 1 : 2 * n - 2) {
            TransformSettings s = Settings(*f, 6, 1);
            SCOPED_TRACE("words=" + std::to_string(n) + " " + Describe(s));
            for (bool worst : {false, true}) {
                BigInt x = worst ? testing::WorstCaseBigInt(n) : testing::AllOnesBigInt(n);
                BigInt y = testing::AllOnesBigInt(n, true);
                Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
                double err = -1;
                BigInt factor(x);
                TransformMultiply(y, factor, s, &err);  // opposite signs
                mpz_mul(want, mx, my);
                EXPECT_TRUE(testing::SameValue(y, want));
                EXPECT_LT(err, 0.5);
                TransformSquare(x, s, &err);
                mpz_mul(want, mx, mx);
                EXPECT_TRUE(testing::SameValue(x, want));
                EXPECT_LT(err, 0.5);
            }
        }
    }
}

// --- the entry points of BigInt -------------------------------------------------------

// Counts the products that went through a transform, and their lengths.
int gTransforms = 0;
uint32_t gLastLength = 0;
void CountTransform(Complex*, const TransformPlan& plan) {
    ++gTransforms;
    gLastLength = plan.length;
}

TEST(TransformProduct, SchoolbookThresholdsAndSigns) {
    testing::RandomOperands rnd(testing::TestSeed());
    SetTransformDisturbance(CountTransform);
    struct Case {
        uint32_t xWords, yWords;  // yWords 0: square
        uint32_t length;          // 0: schoolbook
    } cases[] = {{32, 0, 0}, {33, 0, 128}, {17, 16, 0}, {16, 17, 0}, {17, 17, 64}, {40, 1000, 2048}};
    for (const Case& c : cases) {
        SCOPED_TRACE("x=" + std::to_string(c.xWords) + " y=" + std::to_string(c.yWords));
        BigInt x = testing::AllOnesBigInt(c.xWords, true);
        BigInt y = rnd.value(c.yWords == 0 ? 1 : c.yWords);
        if (!y.isNegative()) y.negate();
        Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
        gTransforms = 0;
        double err = 99;
        if (c.yWords == 0) {
            x.square(true, &err);
            mpz_mul(want, mx, mx);
        } else {
            x.negate();  // opposite signs
            mpz_neg(mx, mx);
            x.mulTransform(y, true, &err);
            mpz_mul(want, mx, my);
        }
        EXPECT_TRUE(testing::SameValue(x, want));
        EXPECT_EQ(gTransforms, c.length == 0 ? 0 : 1);
        if (c.length != 0) {
            EXPECT_EQ(gLastLength, c.length);
        }
        EXPECT_LT(err, 0.5);  // reset for this product, 0 for schoolbook
        if (c.length == 0) {
            EXPECT_EQ(err, 0.0);
        }
    }
    // Product into a new value, and x * x through mulTransform.
    BigInt a = rnd.value(300), b = rnd.value(200);
    Mpz want;
    mpz_mul(want, testing::ToMpz(a).v, testing::ToMpz(b).v);
    EXPECT_TRUE(testing::SameValue(ProductOf(a, b), want));
    mpz_mul(want, testing::ToMpz(a).v, testing::ToMpz(a).v);
    a.mulTransform(a);
    EXPECT_TRUE(testing::SameValue(a, want));
    SetTransformDisturbance(nullptr);
}

// L = 2^11 and 2^12 (the radix-8 head and the plain radix-4 levels) in
// both layouts, alternating so that a one-pass transform follows a
// two-pass one whose twist table is still prepared, and repeated at the
// same length so that the tables are reused.
TEST(TransformProduct, AlternatingLayoutsAndReusedTables) {
    testing::RandomOperands rnd(testing::TestSeed() + 1);
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t words : {1024u, 2048u, 1024u, 2048u}) {
            for (int32_t lat : {6, 5, 6}) {
                TransformSettings s = Settings(*f, lat, 2);
                SCOPED_TRACE("words=" + std::to_string(words) + " " + Describe(s));
                BigInt x = rnd.value(words), y = rnd.value(words);
                Mpz want;
                mpz_mul(want, testing::ToMpz(x).v, testing::ToMpz(x).v);
                TransformSquare(x, s);
                EXPECT_TRUE(testing::SameValue(x, want));
                mpz_mul(want, testing::ToMpz(y).v, testing::ToMpz(y).v);
                TransformSquare(y, s);
                EXPECT_TRUE(testing::SameValue(y, want));
            }
        }
    }
}

// --- verification -----------------------------------------------------------------------

void Disturb(Complex* array, const TransformPlan& plan) { array[plan.index(plan.length / 3)].re += 1000.0; }

TEST(TransformProduct, DisturbedProductFailsItsChecksum) {
    testing::RandomOperands rnd(testing::TestSeed());
    SetTransformDisturbance(Disturb);
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t words : {40u, 3000u}) {  // one-pass, and two-pass with lat64k 6
            TransformSettings s = Settings(*f, 6, 1);
            SCOPED_TRACE("words=" + std::to_string(words) + " " + Describe(s));
            BigInt x = rnd.value(words), y = rnd.value(words);
            EXPECT_THROW(TransformSquare(x, s), ArithmeticFault);
            x = rnd.value(words);
            EXPECT_THROW(TransformMultiply(x, y, s), ArithmeticFault);
        }
    }
    SetTransformDisturbance(nullptr);
    BigInt x = rnd.value(40);
    Mpz want;
    mpz_mul(want, testing::ToMpz(x).v, testing::ToMpz(x).v);
    TransformSquare(x, Settings(X87Kernels()));
    EXPECT_TRUE(testing::SameValue(x, want));
}

}  // namespace
}  // namespace numen
