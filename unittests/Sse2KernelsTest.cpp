// SSE2 kernel family: whole squarings and products (one-pass and two-pass)
// against a direct O(N^2) cyclic convolution of small complex integers, and
// against the x87 reference family, both as rounded integers and as the
// intermediate values after the forward passes (so that the families can be
// mixed within one transform). The padding elements of two-pass rows are
// filled with a sentinel and must come out untouched.
//
// The kernels compute N * conj(x (*) y); the checks divide by N (a power of
// two, exact) and round.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"
#include "ref/KernelPipeline.h"
#include "ref/DirectDft.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

// b rows of g elements, each row followed by `gap` padding elements; b = 1
// is the one-pass shape (no padding).
struct Shape {
    uint32_t g;
    uint32_t b;
    uint32_t gap;
    size_t N() const { return size_t(g) * b; }
    size_t Elements() const { return b == 1 ? g : size_t(b) * (g + gap); }
    size_t Index(size_t j) const { return j / g * (g + gap) + j % g; }
    std::string Name() const {
        return "g=" + std::to_string(g) + " b=" + std::to_string(b) + " gap=" + std::to_string(gap);
    }
};

// One transform array, 4096-byte aligned like the transform buffer, with
// every padding element and a tail of guard elements set to a sentinel.
class Grid {
public:
    explicit Grid(const Shape& s) : shape_(s), size_(s.Elements() + kGuard) {
        data_ = static_cast<Complex*>(std::aligned_alloc(4096, (size_ * sizeof(Complex) + 4095) / 4096 * 4096));
        for (size_t i = 0; i < size_; ++i) data_[i] = kSentinel;
    }
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    ~Grid() { std::free(data_); }

    Complex* data() { return data_; }
    Complex& at(size_t j) { return data_[shape_.Index(j)]; }
    const Complex& at(size_t j) const { return data_[shape_.Index(j)]; }

    void Load(const std::vector<testing::Cld>& x) {
        for (size_t j = 0; j < shape_.N(); ++j) at(j) = {double(x[j].real()), double(x[j].imag())};
    }
    // True when no padding or guard element was written.
    bool PaddingIntact() const {
        for (size_t i = 0; i < size_; ++i) {
            const bool used = i < shape_.Elements() && i % (shape_.g + shape_.gap) < shape_.g;
            if (!used && std::memcmp(&data_[i], &kSentinel, sizeof(Complex)) != 0) return false;
        }
        return true;
    }

private:
    static constexpr size_t kGuard = 8;
    static constexpr Complex kSentinel{-1.25e300, 7.5e-300};
    Shape shape_;
    size_t size_;
    Complex* data_;
};

// ---------------------------------------------------------------------------
// The calling orders of a squaring and a product.

void Square(const KernelFamily& f, Grid& a, const Shape& s) {
    testing::PipelineSquare(f, a.data(), s.g, s.b, s.gap);
}

void Multiply(const KernelFamily& f, Grid& a, Grid& b, const Shape& s) {
    testing::PipelineMultiply(f, a.data(), b.data(), s.g, s.b, s.gap);
}

// ---------------------------------------------------------------------------
// Operands and the direct reference.

using testing::Cld;
using Operand = std::vector<Cld>;

// Integers in [-r, r], one in eight at +-r (worst case for round-off).
Operand RandomOperand(size_t n, int64_t r, std::mt19937_64& rng) {
    Operand x(n);
    std::uniform_int_distribution<int64_t> digit(-r, r);
    for (Cld& z : x) {
        if (rng() % 8 == 0)
            z = {static_cast<long double>(rng() & 1 ? r : -r), static_cast<long double>(rng() & 1 ? r : -r)};
        else
            z = {static_cast<long double>(digit(rng)), static_cast<long double>(digit(rng))};
    }
    return x;
}

// Element j of a result divided by N: the rounding distance and the integer.
struct Rounded {
    int64_t re;
    int64_t im;
};
Rounded RoundScaled(const Complex& v, double n, double* worst) {
    const double re = v.re / n, im = v.im / n;
    const Rounded r{std::llround(re), std::llround(im)};
    *worst = std::max({*worst, std::fabs(re - double(r.re)), std::fabs(im - double(r.im))});
    return r;
}

// The result must be N * conj(z) to well under half a unit.
::testing::AssertionResult IsScaledConjugate(const Grid& a, const Shape& s, const Operand& z) {
    const double n = double(s.N());
    double worst = 0;
    for (size_t j = 0; j < s.N(); ++j) {
        const Rounded r = RoundScaled(a.at(j), n, &worst);
        if (static_cast<long double>(r.re) != z[j].real() || static_cast<long double>(r.im) != -z[j].imag()) {
            return ::testing::AssertionFailure()
                   << s.Name() << ": element " << j << " is (" << r.re << ", " << r.im << ")*N, want ("
                   << double(z[j].real()) << ", " << double(-z[j].imag()) << ")*N";
        }
    }
    if (worst > 0.125) return ::testing::AssertionFailure() << s.Name() << ": round-off " << worst;
    if (!a.PaddingIntact()) return ::testing::AssertionFailure() << s.Name() << ": padding written";
    return ::testing::AssertionSuccess();
}

// Two results round to the same integers.
::testing::AssertionResult SameIntegers(const Grid& a, const Grid& b, const Shape& s) {
    const double n = double(s.N());
    double worst = 0;
    for (size_t j = 0; j < s.N(); ++j) {
        const Rounded x = RoundScaled(a.at(j), n, &worst);
        const Rounded y = RoundScaled(b.at(j), n, &worst);
        if (x.re != y.re || x.im != y.im) {
            return ::testing::AssertionFailure() << s.Name() << ": element " << j << " differs: (" << x.re << ", "
                                                 << x.im << ") vs (" << y.re << ", " << y.im << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// Two intermediate arrays agree to a few units of the last place of their
// largest element.
::testing::AssertionResult CloseValues(const Grid& a, const Grid& b, const Shape& s) {
    double scale = 0, diff = 0;
    size_t at = 0;
    for (size_t j = 0; j < s.N(); ++j) {
        scale = std::max({scale, std::fabs(a.at(j).re), std::fabs(a.at(j).im)});
        const double d = std::max(std::fabs(a.at(j).re - b.at(j).re), std::fabs(a.at(j).im - b.at(j).im));
        if (d > diff) diff = d, at = j;
    }
    if (diff > scale * 1e-13) {
        return ::testing::AssertionFailure() << s.Name() << ": element " << at << " differs by " << diff
                                             << " (largest value " << scale << ")";
    }
    return ::testing::AssertionSuccess();
}

std::string Seed() { return "seed " + std::to_string(testing::TestSeed()); }

const KernelFamily& Sse2() { return Sse2Kernels(); }

// Two-pass shapes small enough for the direct convolution: row lengths of
// even and odd log2, column lengths 4 .. 64 (radix-4 and radix-8 ends),
// padding 0 .. 4. Consecutive shapes with the same b and a different gap
// check that the stride is taken at each call.
const Shape kTwoPassShapes[] = {
    {16, 4, 1}, {16, 4, 3}, {32, 8, 1}, {64, 16, 4}, {128, 4, 0}, {512, 8, 1}, {1024, 4, 1}, {32, 64, 1},
};
// Larger ones, checked against the x87 family only.
const Shape kLargerShapes[] = {{256, 32, 2}, {2048, 4, 4}, {4096, 4, 1}, {64, 256, 1}, {16, 128, 1}};

// ---------------------------------------------------------------------------

TEST(Sse2KernelsTest, OnePassSquareEveryLengthMatchesDirectConvolution) {
    std::mt19937_64 rng(testing::TestSeed());
    for (uint32_t L = 16; L <= 4096; L *= 2) {
        const Shape s{L, 1, 0};
        const Operand x = RandomOperand(L, 1000, rng);
        Grid a(s);
        a.Load(x);
        Square(Sse2(), a, s);
        EXPECT_TRUE(IsScaledConjugate(a, s, testing::CyclicConvolution(x, x))) << Seed();
    }
}

TEST(Sse2KernelsTest, TwoPassSquareMatchesDirectConvolution) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const Shape& s : kTwoPassShapes) {
        const Operand x = RandomOperand(s.N(), 1000, rng);
        Grid a(s);
        a.Load(x);
        Square(Sse2(), a, s);
        EXPECT_TRUE(IsScaledConjugate(a, s, testing::CyclicConvolution(x, x))) << Seed();
    }
}

TEST(Sse2KernelsTest, ProductsMatchDirectConvolution) {
    std::mt19937_64 rng(testing::TestSeed());
    std::vector<Shape> shapes = {{16, 1, 0}, {32, 1, 0}, {256, 1, 0}, {2048, 1, 0}};
    shapes.insert(shapes.end(), std::begin(kTwoPassShapes), std::end(kTwoPassShapes));
    for (const Shape& s : shapes) {
        const Operand x = RandomOperand(s.N(), 1000, rng);
        const Operand y = RandomOperand(s.N(), 1000, rng);
        Grid a(s), b(s);
        a.Load(x);
        b.Load(y);
        Multiply(Sse2(), a, b, s);
        EXPECT_TRUE(IsScaledConjugate(a, s, testing::CyclicConvolution(x, y))) << Seed();
    }
}

// Squares and products of every shape give the x87 family's integers.
TEST(Sse2KernelsTest, SameIntegersAsX87Family) {
    std::mt19937_64 rng(testing::TestSeed());
    std::vector<Shape> shapes;
    for (uint32_t L = 16; L <= 4096; L *= 2) shapes.push_back({L, 1, 0});
    shapes.insert(shapes.end(), std::begin(kTwoPassShapes), std::end(kTwoPassShapes));
    shapes.insert(shapes.end(), std::begin(kLargerShapes), std::end(kLargerShapes));
    for (const Shape& s : shapes) {
        const Operand x = RandomOperand(s.N(), 1 << 12, rng);
        const Operand y = RandomOperand(s.N(), 1 << 12, rng);
        Grid ours(s), theirs(s), ours2(s), theirs2(s);
        ours.Load(x);
        theirs.Load(x);
        Square(Sse2(), ours, s);
        Square(X87Kernels(), theirs, s);
        EXPECT_TRUE(SameIntegers(ours, theirs, s)) << "square, " << Seed();

        ours.Load(x);
        theirs.Load(x);
        ours2.Load(y);
        theirs2.Load(y);
        Multiply(Sse2(), ours, ours2, s);
        Multiply(X87Kernels(), theirs, theirs2, s);
        EXPECT_TRUE(SameIntegers(ours, theirs, s)) << "product, " << Seed();
    }
}

// The forward passes leave the same values (bit-reversed, twisted) as the
// x87 family's, to rounding: column passes, and twist plus row transform.
TEST(Sse2KernelsTest, ForwardPassesAgreeWithX87Family) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const Shape& s : kTwoPassShapes) {
        const Operand x = RandomOperand(s.N(), 1000, rng);
        Grid ours(s), theirs(s);
        ours.Load(x);
        theirs.Load(x);
        const KernelTables& t = KernelTablesFor(s.g, s.b);
        const uint32_t stride = s.g + s.gap;
        for (uint32_t c = 0; c < s.g; c += 4) Sse2().columnForward(ours.data() + c, s.b, stride, t);
        for (uint32_t c = 0; c < s.g; ++c) X87Kernels().columnForward(theirs.data() + c, s.b, stride, t);
        EXPECT_TRUE(CloseValues(ours, theirs, s)) << "columns, " << Seed();
        for (uint32_t r = 0; r < s.b; ++r) {
            Sse2().rowForward(ours.data() + size_t(r) * stride, s.g, r, t);
            X87Kernels().rowForward(theirs.data() + size_t(r) * stride, s.g, r, t);
        }
        EXPECT_TRUE(CloseValues(ours, theirs, s)) << "rows, " << Seed();
    }
}

// Families mixed inside one squaring: x87 column passes around SSE2 rows,
// and SSE2 column passes around x87 rows.
TEST(Sse2KernelsTest, MixesWithX87Family) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const Shape& s : {Shape{64, 8, 1}, Shape{128, 32, 1}}) {
        const Operand x = RandomOperand(s.N(), 1000, rng);
        const Operand z = testing::CyclicConvolution(x, x);
        for (bool sse2Columns : {false, true}) {
            const KernelFamily& columns = sse2Columns ? Sse2() : X87Kernels();
            const KernelFamily& rows = sse2Columns ? X87Kernels() : Sse2();
            Grid a(s);
            a.Load(x);
            const KernelTables& t = KernelTablesFor(s.g, s.b);
            const uint32_t stride = s.g + s.gap;
            for (uint32_t c = 0; c < s.g; c += columns.columnsPerCall)
                columns.columnForward(a.data() + c, s.b, stride, t);
            rows.rowSquare(a.data(), s.g, s.b, s.gap, t);
            for (uint32_t c = 0; c < s.g; c += columns.columnsPerCall)
                columns.columnInverse(a.data() + c, s.b, stride, t);
            EXPECT_TRUE(IsScaledConjugate(a, s, z)) << (sse2Columns ? "sse2 columns, " : "x87 columns, ") << Seed();
        }
    }
}

}  // namespace
}  // namespace numen
