// FFT kernels at the planner's full sizes (label long; CI skips them):
// two-pass squares and products of 2^13 ... 2^22 points in the planner's
// shapes, every family. A direct convolution of that length is out of reach,
// so each result is checked three ways: every element must be within the
// round-off limit of an integer, 64 coefficients are compared with their
// direct O(N) evaluation, and all families must give the same integers
// everywhere. The round-off figures are printed for the README of
// arith/kernels: random balanced 16-bit digits, as the products load them
// (without the weights, which do not change the magnitudes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "arith/TransformBuffer.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"
#include "platform/Fpu.h"
#include "ref/TransformOracle.h"
#include "ref/KernelPipeline.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

using testing::TestSeed;

struct Shape {
    uint32_t g;
    uint32_t b;
    uint32_t gap;
    size_t N() const { return size_t(g) * b; }
    size_t Elements() const { return size_t(b) * (g + gap); }
    size_t Index(size_t j) const { return j / g * (g + gap) + j % g; }
    std::string Name() const {
        return "g=" + std::to_string(g) + " b=" + std::to_string(b) + " gap=" + std::to_string(gap);
    }
};

// The two-pass shape the products' planner gives length L.
Shape PlannerShape(uint32_t L, uint32_t gap) {
    const int lambda = __builtin_ctz(L);
    uint32_t b = 1u << ((lambda - 1) / 2), g = L / b;
    while (g < 1024 && b > 4) {
        g *= 2;
        b /= 2;
    }
    return {g, b, gap};
}

std::vector<const KernelFamily*> Families() { return testing::AllFamilies(); }

// Real and imaginary parts as small integers.
struct Operand {
    std::vector<int32_t> re, im;
};

Operand Random(size_t n, int32_t lo, int32_t hi, bool complexParts, std::mt19937_64& rng) {
    std::uniform_int_distribution<int32_t> part(lo, hi);
    Operand x{std::vector<int32_t>(n), std::vector<int32_t>(n, 0)};
    for (size_t j = 0; j < n; ++j) {
        x.re[j] = part(rng);
        if (complexParts) x.im[j] = part(rng);
    }
    return x;
}

// Coefficient k of x (*) y, exact (|sum| < 2^63 for these operands).
void ConvolutionAt(const Operand& x, const Operand& y, size_t k, __int128& re, __int128& im) {
    const size_t n = x.re.size();
    re = im = 0;
    for (size_t j = 0; j < n; ++j) {
        const size_t i = (k + n - j) % n;
        re += int64_t(x.re[j]) * y.re[i] - int64_t(x.im[j]) * y.im[i];
        im += int64_t(x.re[j]) * y.im[i] + int64_t(x.im[j]) * y.re[i];
    }
}

Complex* Load(const Operand& x, const Shape& s, bool second) {
    static TransformBuffer buffer;
    buffer.reserve(s.Elements());
    Complex* a = second ? buffer.second() : buffer.first();
    for (size_t j = 0; j < s.N(); ++j) a[s.Index(j)] = {double(x.re[j]), double(x.im[j])};
    return a;
}

// Squares (y == nullptr) or multiplies in the documented calling order.
void Run(const KernelFamily& f, Complex* a, Complex* b, const Shape& s) {
    if (b == nullptr) {
        testing::PipelineSquare(f, a, s.g, s.b, s.gap);
    } else {
        testing::PipelineMultiply(f, a, b, s.g, s.b, s.gap);
    }
}

// The result as rounded integers of out/N and conj removed; `roundOff`
// receives the largest distance to them.
struct Rounded {
    std::vector<int64_t> re, im;
    double roundOff = 0;
};

Rounded Read(const Complex* a, const Shape& s) {
    Rounded r{std::vector<int64_t>(s.N()), std::vector<int64_t>(s.N())};
    const double n = double(s.N());
    for (size_t j = 0; j < s.N(); ++j) {
        const double re = a[s.Index(j)].re / n, im = -a[s.Index(j)].im / n;
        r.re[j] = std::llround(re);
        r.im[j] = std::llround(im);
        r.roundOff = std::max({r.roundOff, std::fabs(re - double(r.re[j])), std::fabs(im - double(r.im[j]))});
    }
    return r;
}

void CheckAll(const Operand& x, const Operand* y, const Shape& s, std::mt19937_64& rng) {
    const Operand& other = y ? *y : x;
    std::vector<size_t> probes{0, 1, s.N() - 1};
    while (probes.size() < 64) probes.push_back(rng() % s.N());
    std::vector<__int128> wantRe(probes.size()), wantIm(probes.size());
    for (size_t p = 0; p < probes.size(); ++p) ConvolutionAt(x, other, probes[p], wantRe[p], wantIm[p]);

    Rounded first;
    for (const KernelFamily* f : Families()) {
        SCOPED_TRACE(std::string(f->name) + (y ? " product " : " square ") + s.Name() + " seed " +
                     std::to_string(TestSeed()));
        Complex* a = Load(x, s, false);
        Complex* b = y ? Load(*y, s, true) : nullptr;
        Run(*f, a, b, s);
        Rounded r = Read(a, s);
        std::printf("  %-13s %-8s N=2^%-2d %-22s round-off %.3g\n", f->name, y ? "product" : "square",
                    __builtin_ctzll(s.N()), s.Name().c_str(), r.roundOff);
        EXPECT_LT(r.roundOff, 0.25);
        for (size_t p = 0; p < probes.size(); ++p) {
            EXPECT_TRUE(r.re[probes[p]] == wantRe[p] && r.im[probes[p]] == wantIm[p]) << "coefficient " << probes[p];
        }
        if (first.re.empty())
            first = std::move(r);
        else
            EXPECT_TRUE(r.re == first.re && r.im == first.im) << "differs from x87 after rounding";
    }
}

class FftKernelsLongTest : public ::testing::Test {
protected:
    void SetUp() override { SetX87ExtendedPrecision(); }
    std::mt19937_64 rng_{TestSeed()};
};

// Squares of the planner's two-pass shapes with balanced 16-bit digits (real
// inputs, the magnitudes of a BigInt product), gap 1 and 4.
TEST_F(FftKernelsLongTest, PlannerShapesSquareBalanced16BitDigits) {
    for (uint32_t L = 1u << 13; L <= (1u << 21); L *= 2) {
        for (uint32_t gap : {1u, 4u}) {
            const Shape s = PlannerShape(L, gap);
            CheckAll(Random(L, -32768, 32767, false, rng_), nullptr, s, rng_);
        }
    }
}

// The largest length (a generalized Fermat number of 2^23 digits in pairs):
// 2^22 points, small complex digits; and rows of 4096.
TEST_F(FftKernelsLongTest, LargestShapes) {
    CheckAll(Random(1u << 22, -255, 255, true, rng_), nullptr, Shape{2048, 2048, 4}, rng_);
    CheckAll(Random(1u << 20, -4095, 4095, true, rng_), nullptr, Shape{4096, 256, 1}, rng_);
}

TEST_F(FftKernelsLongTest, PlannerShapesProducts) {
    for (uint32_t L = 1u << 13; L <= (1u << 21); L *= 4) {
        const Shape s = PlannerShape(L, 1);
        const Operand x = Random(L, -32768, 32767, false, rng_), y = Random(L, -32768, 32767, false, rng_);
        CheckAll(x, &y, s, rng_);
    }
}

}  // namespace
}  // namespace numen
