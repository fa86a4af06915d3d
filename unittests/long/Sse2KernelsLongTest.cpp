// SSE2 kernel family at the largest lengths (label long): one-pass rows up to
// 2^16 and two-pass shapes up to 2^21 elements, squares and products. Each
// result must round to the x87 family's integers and be the exact cyclic
// convolution, checked in O(N) by evaluating both sides modulo the prime
// p = 119 * 2^23 + 1 at random N-th roots of unity (z(t) = x(t) y(t) when
// t^N = 1; a wrong coefficient escapes with probability below N/p per root).
#include <gtest/gtest.h>

#include <cstdio>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"
#include "ref/KernelPipeline.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

constexpr uint64_t kP = 998244353;  // 119 * 2^23 + 1, primitive root 3

uint64_t PowMod(uint64_t a, uint64_t e) {
    uint64_t r = 1;
    for (a %= kP; e; e >>= 1, a = a * a % kP)
        if (e & 1) r = r * a % kP;
    return r;
}
uint64_t Residue(int64_t v) { return uint64_t(v % int64_t(kP) + int64_t(kP)) % kP; }

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

struct AlignedArray {
    explicit AlignedArray(size_t n)
        : p(static_cast<Complex*>(std::aligned_alloc(4096, (n * sizeof(Complex) + 4095) / 4096 * 4096))) {}
    AlignedArray(const AlignedArray&) = delete;
    AlignedArray& operator=(const AlignedArray&) = delete;
    ~AlignedArray() { std::free(p); }
    Complex* p;
};

struct Operand {
    std::vector<int64_t> re, im;
};

Operand RandomOperand(size_t n, int64_t r, std::mt19937_64& rng) {
    Operand x{std::vector<int64_t>(n), std::vector<int64_t>(n)};
    std::uniform_int_distribution<int64_t> digit(-r, r);
    for (size_t j = 0; j < n; ++j) {
        const bool edge = rng() % 8 == 0;
        x.re[j] = edge ? (rng() & 1 ? r : -r) : digit(rng);
        x.im[j] = edge ? (rng() & 1 ? r : -r) : digit(rng);
    }
    return x;
}

void Load(Complex* a, const Shape& s, const Operand& x) {
    for (size_t j = 0; j < s.N(); ++j) a[s.Index(j)] = {double(x.re[j]), double(x.im[j])};
}

void Square(const KernelFamily& f, Complex* a, const Shape& s) {
    testing::PipelineSquare(f, a, s.g, s.b, s.gap);
}

void Multiply(const KernelFamily& f, Complex* a, Complex* b, const Shape& s) {
    testing::PipelineMultiply(f, a, b, s.g, s.b, s.gap);
}

// The integers z with result = N * conj(z); the largest rounding distance.
Operand ReadScaledConjugate(const Complex* a, const Shape& s, double* worst) {
    Operand z{std::vector<int64_t>(s.N()), std::vector<int64_t>(s.N())};
    const double n = double(s.N());
    for (size_t j = 0; j < s.N(); ++j) {
        const double re = a[s.Index(j)].re / n, im = -a[s.Index(j)].im / n;
        z.re[j] = std::llround(re);
        z.im[j] = std::llround(im);
        *worst = std::max({*worst, std::fabs(re - double(z.re[j])), std::fabs(im - double(z.im[j]))});
    }
    return z;
}

// (re(t), im(t)) mod p.
std::pair<uint64_t, uint64_t> Evaluate(const Operand& x, uint64_t t) {
    uint64_t re = 0, im = 0, power = 1;
    for (size_t j = 0; j < x.re.size(); ++j, power = power * t % kP) {
        re = (re + Residue(x.re[j]) * power) % kP;
        im = (im + Residue(x.im[j]) * power) % kP;
    }
    return {re, im};
}

::testing::AssertionResult IsCyclicConvolution(const Operand& z, const Operand& x, const Operand& y,
                                               std::mt19937_64& rng) {
    const size_t n = x.re.size();
    const uint64_t root = PowMod(3, (kP - 1) / n);
    for (int k = 0; k < 3; ++k) {
        const uint64_t t = PowMod(root, rng() % n);
        const auto [xr, xi] = Evaluate(x, t);
        const auto [yr, yi] = Evaluate(y, t);
        const auto [zr, zi] = Evaluate(z, t);
        const uint64_t wantRe = (xr * yr % kP + kP - xi * yi % kP) % kP;
        const uint64_t wantIm = (xr * yi + xi * yr) % kP;
        if (zr != wantRe || zi != wantIm) return ::testing::AssertionFailure() << "differs at t = " << t;
    }
    return ::testing::AssertionSuccess();
}

const Shape kShapes[] = {
    {8192, 1, 0}, {16384, 1, 0}, {32768, 1, 0}, {65536, 1, 0},  // one-pass rows beyond 4096
    {1024, 64, 4}, {4096, 16, 1}, {64, 2048, 1}, {2048, 512, 1}, {2048, 1024, 1},
};

class Sse2KernelsLongTest : public ::testing::TestWithParam<Shape> {};

TEST_P(Sse2KernelsLongTest, SquareAndProductAreExactAndMatchX87Family) {
    const Shape s = GetParam();
    std::mt19937_64 rng(testing::TestSeed() + s.N() + s.gap);
    const std::string where = s.Name() + " seed " + std::to_string(testing::TestSeed());
    const Operand x = RandomOperand(s.N(), 1 << 7, rng);
    const Operand y = RandomOperand(s.N(), 1 << 7, rng);
    AlignedArray ours(s.Elements()), theirs(s.Elements()), ours2(s.Elements()), theirs2(s.Elements());

    for (bool product : {false, true}) {
        Load(ours.p, s, x);
        Load(theirs.p, s, x);
        if (product) {
            Load(ours2.p, s, y);
            Load(theirs2.p, s, y);
            Multiply(Sse2Kernels(), ours.p, ours2.p, s);
            Multiply(X87Kernels(), theirs.p, theirs2.p, s);
        } else {
            Square(Sse2Kernels(), ours.p, s);
            Square(X87Kernels(), theirs.p, s);
        }
        double worst = 0;
        const Operand z = ReadScaledConjugate(ours.p, s, &worst);
        const Operand w = ReadScaledConjugate(theirs.p, s, &worst);
        EXPECT_LT(worst, 0.25) << where;
        EXPECT_TRUE(z.re == w.re && z.im == w.im) << (product ? "product, " : "square, ") << where;
        EXPECT_TRUE(IsCyclicConvolution(z, x, product ? y : x, rng)) << (product ? "product, " : "square, ")
                                                                    << where;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Sse2KernelsLongTest, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             const Shape& s = info.param;
                             char name[64];
                             std::snprintf(name, sizeof name, "g%u_b%u_gap%u", unsigned(s.g), unsigned(s.b),
                                           unsigned(s.gap));
                             return std::string(name);
                         });

}  // namespace
}  // namespace numen
