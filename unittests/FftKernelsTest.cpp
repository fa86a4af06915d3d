// FFT kernels: the transform buffer, the twiddle tables and their records, and
// every kernel family (x87, x87-prefetch, AMD, SSE2) against the slow
// references of ref/DirectDft.h -- forward passes against the direct DFT in
// bit-reversed order, round trips, one-pass and two-pass squares and
// products against the direct cyclic convolution of small complex integers,
// the edge cases of the layout (padding untouched, one-pass never twisted),
// and the dispatch from made-up processor profiles.
//
// The pipelines compute N * conj(x (*) y); the checks divide by N (a power of
// two, exact) and compare with the exact integers. Larger lengths are in
// long/FftKernelsLongTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/ProcessorProfile.h"
#include "arith/TransformBuffer.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"
#include "platform/Fpu.h"
#include "ref/KernelPipeline.h"
#include "ref/DirectDft.h"
#include "ref/GmpOracle.h"
#include "ref/TransformOracle.h"

namespace numen {
namespace {

using testing::BitReverse;
using testing::Cld;
using testing::TestSeed;

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
const Complex kSentinel{-12345.25, 6789.5};

// b rows of g elements, each followed by `gap` padding elements; b = 1 is
// the one-pass shape.
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

std::vector<const KernelFamily*> Families() {
    std::vector<const KernelFamily*> all{&X87Kernels(), &X87PrefetchKernels(), &AmdKernels()};
    const KernelFamily& sse2 = Sse2Kernels();
    if (sse2.columnForward && sse2.columnInverse && sse2.rowSquare && sse2.rowForward && sse2.rowInverse &&
        sse2.pointwiseMultiply)
        all.push_back(&sse2);
    for (const KernelFamily* f : {&Avx2Kernels(), &Avx512Kernels()})
        if (testing::HostRuns(*f)) all.push_back(f);
    return all;
}

// Complex integers with both parts uniform in [-bound, bound]; one vector in
// four is edge-biased (every part +-bound), the worst case for round-off.
std::vector<Cld> RandomInts(size_t n, int bound, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> part(-bound, bound);
    const bool extreme = rng() % 4 == 0;
    std::vector<Cld> v(n);
    for (Cld& z : v) {
        if (extreme)
            z = {static_cast<long double>(rng() & 1 ? bound : -bound),
                 static_cast<long double>(rng() & 1 ? bound : -bound)};
        else
            z = {static_cast<long double>(part(rng)), static_cast<long double>(part(rng))};
    }
    return v;
}

// Loads x (element j at row j/g, column j%g) into the transform buffer's
// array A (or B), every padding element and one row of guard elements after
// the array set to the sentinel.
TransformBuffer& TestBuffer() {
    static TransformBuffer buffer;
    return buffer;
}

Complex* Load(const std::vector<Cld>& x, const Shape& s, bool second = false) {
    TestBuffer().reserve(s.Elements() + s.g);
    Complex* a = second ? TestBuffer().second() : TestBuffer().first();
    std::fill(a, a + s.Elements() + s.g, kSentinel);
    for (size_t j = 0; j < s.N(); ++j) a[s.Index(j)] = {double(x[j].real()), double(x[j].imag())};
    return a;
}

std::vector<Cld> Read(const Complex* a, const Shape& s) {
    std::vector<Cld> out(s.N());
    for (size_t j = 0; j < s.N(); ++j) out[j] = {a[s.Index(j)].re, a[s.Index(j)].im};
    return out;
}

// Padding elements and the guard row still hold the sentinel.
bool PaddingIntact(const Complex* a, const Shape& s) {
    for (size_t i = 0; i < s.Elements() + s.g; ++i) {
        const bool padding = i >= s.Elements() || i % (s.g + s.gap) >= s.g;
        if (padding && (a[i].re != kSentinel.re || a[i].im != kSentinel.im)) return false;
    }
    return true;
}

// The column passes over all g columns, in the family's groups.
void Columns(const KernelFamily& f, Complex* a, const Shape& s, bool forward) {
    // Column passes read only the column tables: any row length will do
    // (these tests take column groups that are no power of two).
    const KernelTables& t = KernelTablesFor(16, s.b);
    for (uint32_t c = 0; c < s.g; c += f.columnsPerCall)
        (forward ? f.columnForward : f.columnInverse)(a + c, s.b, s.g + s.gap, t);
}

// The calling orders of a squaring and of a product of A by B.
void Square(const KernelFamily& f, Complex* a, const Shape& s) {
    testing::PipelineSquare(f, a, s.g, s.b, s.gap);
}

void Multiply(const KernelFamily& f, Complex* a, Complex* b, const Shape& s) {
    testing::PipelineMultiply(f, a, b, s.g, s.b, s.gap);
}

// Largest distance of out/N from conj(z), z exact integers.
double RoundOff(const std::vector<Cld>& out, const std::vector<Cld>& z) {
    const long double n = static_cast<long double>(out.size());
    long double worst = 0;
    for (size_t k = 0; k < out.size(); ++k) {
        worst = std::max(worst, fabsl(out[k].real() / n - z[k].real()));
        worst = std::max(worst, fabsl(out[k].imag() / n + z[k].imag()));
    }
    return static_cast<double>(worst);
}

// Largest difference between two families' raw outputs, divided by N.
double Distance(const std::vector<Cld>& x, const std::vector<Cld>& y) {
    long double worst = 0;
    for (size_t k = 0; k < x.size(); ++k) worst = std::max(worst, std::abs(x[k] - y[k]));
    return static_cast<double>(worst / static_cast<long double>(x.size()));
}

// Round-off allowed before a product is considered wrong: far below 0.5 so
// that a real fault cannot hide, far above the few 1e-4 these inputs give.
constexpr double kRoundOffLimit = 0.05;

// The inputs are 10-bit parts: coefficients up to 2^21 * N, round-off well
// inside the limit for N <= 4096.
constexpr int kBound = 1023;

class FftKernelsTest : public ::testing::Test {
protected:
    void SetUp() override { SetX87ExtendedPrecision(); }

    // Squares x with every family in shape s; checks against the direct
    // convolution, the families against the x87 values, and the padding.
    void CheckSquare(const std::vector<Cld>& x, const Shape& s, const std::vector<Cld>& z) {
        std::vector<Cld> reference;
        for (const KernelFamily* f : Families()) {
            SCOPED_TRACE(std::string(f->name) + " " + s.Name() + " seed " + std::to_string(TestSeed()));
            Complex* a = Load(x, s);
            Square(*f, a, s);
            EXPECT_TRUE(PaddingIntact(a, s));
            const std::vector<Cld> out = Read(a, s);
            const double err = RoundOff(out, z);
            EXPECT_LT(err, kRoundOffLimit);
            worstRoundOff_ = std::max(worstRoundOff_, err);
            if (reference.empty())
                reference = out;
            else
                EXPECT_LT(Distance(out, reference), 1e-3) << "differs from x87";
        }
    }

    void CheckProduct(const std::vector<Cld>& x, const std::vector<Cld>& y, const Shape& s,
                      const std::vector<Cld>& z) {
        for (const KernelFamily* f : Families()) {
            SCOPED_TRACE(std::string(f->name) + " " + s.Name() + " seed " + std::to_string(TestSeed()));
            Complex* a = Load(x, s);
            Complex* b = Load(y, s, true);
            Multiply(*f, a, b, s);
            EXPECT_TRUE(PaddingIntact(a, s));
            const double err = RoundOff(Read(a, s), z);
            EXPECT_LT(err, kRoundOffLimit);
            worstRoundOff_ = std::max(worstRoundOff_, err);
        }
    }

    void TearDown() override {
        char text[32];
        std::snprintf(text, sizeof text, "%.3g", worstRoundOff_);
        RecordProperty("worst_round_off", text);
    }

    std::mt19937_64 rng_{TestSeed()};
    double worstRoundOff_ = 0;
};

// --- transform buffer -------------------------------------------------------

TEST(FftKernelsBuffer, PageAlignedGrowOnlyWithSecondArrayAfterCapacity) {
    TransformBuffer buffer;
    EXPECT_EQ(buffer.first(), nullptr);
    EXPECT_EQ(buffer.second(), nullptr);
    const size_t cap = buffer.reserve(1000);
    ASSERT_GE(cap, 1000u);
    Complex* a = buffer.first();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 4096, 0u);
    EXPECT_EQ(buffer.second(), a + cap);
    // The whole of both arrays is usable.
    std::fill(a, a + 2 * cap, Complex{1.0, -1.0});

    EXPECT_EQ(buffer.reserve(10), cap);   // never shrinks
    EXPECT_EQ(buffer.first(), a);

    const size_t bigger = buffer.reserve(cap + 5000);
    EXPECT_GE(bigger, cap + 5000);
    EXPECT_EQ(buffer.capacity(), bigger);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.first()) % 4096, 0u);
    EXPECT_EQ(buffer.second(), buffer.first() + bigger);
}

// A buffer is a value: moving hands the block over (the source is left
// empty), two buffers never share one, and a one-array buffer has no B.
TEST(FftKernelsBuffer, MovesOwnershipAndKeepsBuffersApart) {
    TransformBuffer one(1);
    const size_t cap = one.reserve(4096);
    EXPECT_EQ(one.second(), nullptr);
    std::fill(one.first(), one.first() + cap, Complex{3.0, 4.0});  // the whole array is usable
    Complex* block = one.first();
    TransformBuffer moved(std::move(one));
    EXPECT_EQ(moved.first(), block);
    EXPECT_EQ(moved.capacity(), cap);
    EXPECT_EQ(one.first(), nullptr);
    EXPECT_EQ(one.capacity(), 0u);
    TransformBuffer other;
    other.reserve(64);
    EXPECT_NE(other.first(), moved.first());
    other = std::move(moved);
    EXPECT_EQ(other.first(), block);
    EXPECT_EQ(other.second(), nullptr);
    EXPECT_EQ(other.first()[cap - 1].im, 4.0);
}

TEST(FftKernelsBuffer, ImpossibleSizeRaisesArithmeticFault) {
    TransformBuffer buffer;
    EXPECT_THROW(buffer.reserve(SIZE_MAX / 16), ArithmeticFault);
    EXPECT_EQ(buffer.first(), nullptr);
    // The buffer is usable again afterwards.
    EXPECT_GE(buffer.reserve(64), 64u);
    EXPECT_NE(buffer.first(), nullptr);
}

// --- twiddle tables ---------------------------------------------------------

// Both layouts of every entry describe the angle 2*pi*i/m (the SSE2 family
// reads the layouts written here), entry 0 holds the constants, and the
// twist entries sit at bit-reversed positions.
TEST(FftKernelsTables, LayoutsDescribeTheDocumentedAngles) {
    constexpr double tol = 1e-15;
    for (uint32_t m : {16u, 32u, 256u}) {
        SCOPED_TRACE("m=" + std::to_string(m));
        const KernelTables& columns = KernelTablesFor(16, m);
        const KernelTables& rows = KernelTablesFor(m, 8);
        const double h = std::sqrt(0.5);
        const double* cx = columns.columnX87;
        const double* cs = columns.columnSse2;
        const double* rx = rows.rowX87;
        const double* rs = rows.rowSse2;
        EXPECT_NEAR(cx[0], h, 1e-16);
        EXPECT_EQ(cx[1], 2.0);
        EXPECT_NEAR(rx[0], h, 1e-16);
        EXPECT_EQ(rx[1], 2.0);
        const double colHead[6] = {h, h, -h, h, 2.0, 2.0};
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(cs[k], colHead[k], 1e-16) << k;
        EXPECT_EQ(rs[0], -2.0);
        EXPECT_EQ(rs[1], -2.0);
        for (uint32_t i = 1; i < m / 4; ++i) {
            double c[4], sn[4];
            for (int k = 1; k <= 3; ++k) {
                c[k] = double(cosl(kTwoPi * k * i / m));
                sn[k] = double(sinl(kTwoPi * k * i / m));
            }
            for (const double* e : {cx + 6 * i, rx + 6 * i}) {
                for (int k = 1; k <= 3; ++k) {
                    EXPECT_NEAR(e[2 * k - 1], sn[k], tol) << i;
                    EXPECT_NEAR(e[2 * k - 2] * e[2 * k - 1], c[k], 4 * tol) << i;
                }
            }
            const double colWant[8] = {c[1], c[3], sn[1], -sn[3], c[2], c[2], sn[2], -sn[2]};
            const double rowWant[8] = {c[1], c[1], sn[1], sn[1], c[2], c[2], sn[2], sn[2]};
            for (int k = 0; k < 8; ++k) {
                EXPECT_NEAR(cs[8 * i + k], colWant[k], tol) << i << " " << k;
                EXPECT_NEAR(rs[8 * i + k], rowWant[k], tol) << i << " " << k;
            }
        }
        const TwistEntry* tw = rows.twist;
        for (uint32_t d = 1; d < 8; ++d) {
            const long double phi = kTwoPi * d / (8.0L * m);
            const TwistEntry& e = tw[BitReverse(d, 3)];
            EXPECT_NEAR(double(e.sin), double(sinl(phi)), 1e-18);
            EXPECT_NEAR(double(e.cot * e.sin), double(cosl(phi)), 1e-17);
        }
    }
}

// A record is built once per shape and never changes: asking again gives
// the same record, records of many shapes stay valid side by side (asked
// for in turn, from two threads at once), a shape's tables are those of its
// lengths, and one row length's tables are shared by every row count.
TEST(FftKernelsTables, RecordsOfDifferentKeysStayValidTogether) {
    struct Key {
        uint32_t g, b;
    };
    const Key keys[] = {{16, 1}, {64, 1}, {64, 4}, {64, 8}, {1024, 4}, {16, 256}, {4096, 1}, {64, 16}};
    std::vector<const KernelTables*> first;
    for (const Key& k : keys) first.push_back(&KernelTablesFor(k.g, k.b));
    // Copies of the tables as first built, to see that nothing rewrites them.
    std::vector<std::vector<double>> rowCopies, columnCopies;
    for (const KernelTables* t : first) {
        rowCopies.emplace_back(t->rowX87, t->rowX87 + 6 * (t->rowLength / 4));
        columnCopies.emplace_back(t->columnX87, t->columnX87 + (t->onePass() ? 0 : 6 * (t->rows / 4)));
    }
    std::vector<const KernelTables*> other(std::size(keys));
    auto ask = [&](std::vector<const KernelTables*>& out) {
        for (int round = 0; round < 50; ++round)
            for (size_t i = std::size(keys); i-- > 0;) out[i] = &KernelTablesFor(keys[i].g, keys[i].b);
    };
    std::vector<const KernelTables*> here(std::size(keys));
    std::thread worker(ask, std::ref(other));
    ask(here);
    worker.join();
    for (size_t i = 0; i < std::size(keys); ++i) {
        SCOPED_TRACE("g=" + std::to_string(keys[i].g) + " b=" + std::to_string(keys[i].b));
        const KernelTables& t = *first[i];
        EXPECT_EQ(here[i], &t);
        EXPECT_EQ(other[i], &t);
        EXPECT_EQ(t.rowLength, keys[i].g);
        EXPECT_EQ(t.rows, keys[i].b);
        EXPECT_EQ(t.onePass(), keys[i].b == 1);
        EXPECT_EQ(t.twist == nullptr, t.onePass());
        EXPECT_EQ(t.columnSse2 == nullptr, t.onePass());
        EXPECT_TRUE(std::equal(rowCopies[i].begin(), rowCopies[i].end(), t.rowX87));
        EXPECT_TRUE(std::equal(columnCopies[i].begin(), columnCopies[i].end(), t.columnX87));
        // Entry 1 of the row table: cot and sin of 2 pi/g.
        EXPECT_NEAR(t.rowX87[7], std::sin(double(kTwoPi) / t.rowLength), 1e-15);
    }
    EXPECT_EQ(first[1]->rowX87, first[2]->rowX87);  // g = 64 for b = 1, 4, 8, 16
    EXPECT_EQ(first[2]->rowSse2, first[7]->rowSse2);
    EXPECT_EQ(first[2]->columnX87, first[4]->columnX87);  // b = 4 for g = 64, 1024
    EXPECT_NE(first[2]->twist, first[4]->twist);          // the twist depends on both
}

// --- single passes ----------------------------------------------------------

// The forward passes leave the DFT (negative exponent) in bit-reversed
// order: rows of every length 16 ... 1024, columns of every length 4 ... 256
// (three columns side by side per group, so a pass that strays into the
// neighbouring columns is caught).
TEST_F(FftKernelsTest, ForwardPassesGiveTheDirectDftInBitReversedOrder) {
    for (const KernelFamily* f : Families()) {
        for (uint32_t m = 16; m <= 1024; m *= 2) {
            SCOPED_TRACE(std::string(f->name) + " row m=" + std::to_string(m));
            const std::vector<Cld> x = RandomInts(m, kBound, rng_);
            const Shape s{m, 1, 0};
            Complex* a = Load(x, s);
            f->rowForward(a, m, 0, KernelTablesFor(m, 1));
            const std::vector<Cld> want = testing::DirectDft(x);
            long double worst = 0;
            for (uint32_t k = 0; k < m; ++k) {
                const Complex& e = a[BitReverse(k, __builtin_ctz(m))];
                worst = std::max(worst, std::abs(Cld(e.re, e.im) - want[k]));
            }
            EXPECT_LT(double(worst), 1e-12 * m * kBound);
        }
        for (uint32_t b = 4; b <= 256; b *= 2) {
            SCOPED_TRACE(std::string(f->name) + " column b=" + std::to_string(b));
            const uint32_t g = 3 * f->columnsPerCall;
            const Shape s{g, b, 1};
            const std::vector<Cld> x = RandomInts(s.N(), kBound, rng_);
            Complex* a = Load(x, s);
            Columns(*f, a, s, true);
            EXPECT_TRUE(PaddingIntact(a, s));
            for (uint32_t c = 0; c < g; ++c) {
                std::vector<Cld> column(b);
                for (uint32_t r = 0; r < b; ++r) column[r] = x[size_t(r) * g + c];
                const std::vector<Cld> want = testing::DirectDft(column);
                long double worst = 0;
                for (uint32_t k = 0; k < b; ++k) {
                    const Complex& e = a[BitReverse(k, __builtin_ctz(b)) * (g + 1) + c];
                    worst = std::max(worst, std::abs(Cld(e.re, e.im) - want[k]));
                }
                EXPECT_LT(double(worst), 1e-12 * b * kBound) << "column " << c;
            }
        }
    }
}

// Forward, conjugate, inverse gives N * conj(x): rows of every length
// 16 ... 4096 (also twisted at a row position > 0, whose untwist must undo
// the twist), columns of every length 4 ... 1024.
TEST_F(FftKernelsTest, EveryLengthRoundTrips) {
    // Largest distance of a/n from conj(x).
    auto check = [](const Complex* a, const Shape& s, const std::vector<Cld>& x, long double n) {
        long double worst = 0;
        for (size_t j = 0; j < x.size(); ++j) {
            const Complex& e = a[s.Index(j)];
            worst = std::max(worst, std::abs(Cld(e.re, e.im) / n - std::conj(x[j])));
        }
        return double(worst);
    };
    for (const KernelFamily* f : Families()) {
        for (uint32_t m = 16; m <= 4096; m *= 2) {
            for (uint32_t position : {0u, 3u}) {
                SCOPED_TRACE(std::string(f->name) + " row m=" + std::to_string(m) + " position " +
                             std::to_string(position));
                const std::vector<Cld> x = RandomInts(m, kBound, rng_);
                const Shape s{m, 1, 0};
                Complex* a = Load(x, s);
                const KernelTables& t = KernelTablesFor(m, position == 0 ? 1 : 8);
                f->rowForward(a, m, position, t);
                for (uint32_t k = 0; k < m; ++k) a[k].im = -a[k].im;
                f->rowInverse(a, m, position, t);
                EXPECT_LT(check(a, s, x, m), 1e-9);
            }
        }
        for (uint32_t b = 4; b <= 1024; b *= 2) {
            SCOPED_TRACE(std::string(f->name) + " column b=" + std::to_string(b));
            // As many columns as one call of the family covers.
            const Shape s{std::max(4u, f->columnsPerCall), b, 3};
            const std::vector<Cld> x = RandomInts(s.N(), kBound, rng_);
            Complex* a = Load(x, s);
            Columns(*f, a, s, true);
            for (size_t j = 0; j < s.N(); ++j) a[s.Index(j)].im = -a[s.Index(j)].im;
            Columns(*f, a, s, false);
            EXPECT_TRUE(PaddingIntact(a, s));
            EXPECT_LT(check(a, s, x, b), 1e-9);
        }
    }
}

// --- squares and products ---------------------------------------------------

// One-pass square (the fused row kernel alone) of every length 16 ... 4096,
// both parities of log2 N.
TEST_F(FftKernelsTest, OnePassSquareIsTheCyclicConvolution) {
    for (uint32_t n = 16; n <= 4096; n *= 2) {
        const std::vector<Cld> x = RandomInts(n, kBound, rng_);
        CheckSquare(x, Shape{n, 1, 0}, testing::CyclicConvolution(x, x));
    }
}

// Two-pass shapes: both parities of log2 g and log2 b, the smallest rows
// (16) and columns (4), the planner's 1024 x 4, gaps 0 to 4.
const Shape kTwoPassShapes[] = {
    {16, 4, 1}, {32, 4, 4}, {16, 8, 1}, {64, 8, 0}, {32, 32, 3}, {16, 128, 2}, {128, 16, 4}, {1024, 4, 1},
};

TEST_F(FftKernelsTest, TwoPassSquareIsTheCyclicConvolutionInRowMajorOrder) {
    for (const Shape& s : kTwoPassShapes) {
        const std::vector<Cld> x = RandomInts(s.N(), kBound, rng_);
        CheckSquare(x, s, testing::CyclicConvolution(x, x));
    }
}

TEST_F(FftKernelsTest, ProductsOnePassAndTwoPass) {
    for (uint32_t n = 16; n <= 4096; n *= 4) {
        const std::vector<Cld> x = RandomInts(n, kBound, rng_), y = RandomInts(n, kBound, rng_);
        CheckProduct(x, y, Shape{n, 1, 0}, testing::CyclicConvolution(x, y));
    }
    for (uint32_t n = 32; n <= 2048; n *= 4) {
        const std::vector<Cld> x = RandomInts(n, kBound, rng_), y = RandomInts(n, kBound, rng_);
        CheckProduct(x, y, Shape{n, 1, 0}, testing::CyclicConvolution(x, y));
    }
    for (const Shape& s : kTwoPassShapes) {
        const std::vector<Cld> x = RandomInts(s.N(), kBound, rng_), y = RandomInts(s.N(), kBound, rng_);
        CheckProduct(x, y, s, testing::CyclicConvolution(x, y));
    }
}

// --- edge cases -------------------------------------------------------------

// A single 1 at element k squares to N at element 2k mod N (k = 0: N at 0),
// real, everything else zero: one-pass and two-pass, every family.
TEST_F(FftKernelsTest, UnitImpulseSquaresToNAtTwiceItsIndex) {
    for (const Shape& s : {Shape{64, 1, 0}, Shape{128, 1, 0}, Shape{32, 8, 1}, Shape{16, 16, 4}}) {
        for (size_t k : {size_t(0), size_t(1), size_t(5), s.N() / 2 + 3, s.N() - 1}) {
            std::vector<Cld> x(s.N(), 0);
            x[k] = 1;
            for (const KernelFamily* f : Families()) {
                SCOPED_TRACE(std::string(f->name) + " " + s.Name() + " k=" + std::to_string(k));
                Complex* a = Load(x, s);
                Square(*f, a, s);
                const std::vector<Cld> out = Read(a, s);
                const size_t at = 2 * k % s.N();
                for (size_t j = 0; j < s.N(); ++j) {
                    const long double want = j == at ? static_cast<long double>(s.N()) : 0;
                    ASSERT_NEAR(double(out[j].real()), double(want), 1e-9) << j;
                    ASSERT_NEAR(double(out[j].imag()), 0.0, 1e-9) << j;
                }
            }
        }
    }
}

// A two-pass square and a one-pass square of the same row length, in turn,
// each with its own record: the one-pass square applies no twist.
TEST_F(FftKernelsTest, OnePassNeverTwistsAfterTwoPassUse) {
    const Shape twoPass{64, 8, 1};
    const Shape onePass{64, 1, 0};
    const std::vector<Cld> x = RandomInts(twoPass.N(), kBound, rng_);
    const std::vector<Cld> y = RandomInts(onePass.N(), kBound, rng_);
    const std::vector<Cld> zx = testing::CyclicConvolution(x, x);
    const std::vector<Cld> zy = testing::CyclicConvolution(y, y);
    for (const KernelFamily* f : Families()) {
        SCOPED_TRACE(f->name);
        for (int round = 0; round < 2; ++round) {
            Complex* a = Load(x, twoPass);
            Square(*f, a, twoPass);
            EXPECT_LT(RoundOff(Read(a, twoPass), zx), kRoundOffLimit);
            a = Load(y, onePass);
            f->rowSquare(a, 64, 1, 0, KernelTablesFor(64, 1));
            EXPECT_LT(RoundOff(Read(a, onePass), zy), kRoundOffLimit);
        }
    }
}

// Squares of one shape with different gaps share its record (the stride is
// the caller's) and compute the right values.
TEST_F(FftKernelsTest, GapChangeBetweenSquaresKeepsTablesAndValues) {
    const std::vector<Cld> x = RandomInts(32 * 16, kBound, rng_);
    const std::vector<Cld> z = testing::CyclicConvolution(x, x);
    const KernelTables* record = &KernelTablesFor(32, 16);
    for (const KernelFamily* f : Families()) {
        for (uint32_t gap : {1u, 4u, 0u, 7u}) {
            const Shape s{32, 16, gap};
            Complex* a = Load(x, s);
            Square(*f, a, s);
            EXPECT_EQ(&KernelTablesFor(32, 16), record);
            EXPECT_TRUE(PaddingIntact(a, s)) << f->name << " " << s.Name();
            EXPECT_LT(RoundOff(Read(a, s), z), kRoundOffLimit) << f->name << " " << s.Name();
        }
    }
}

}  // namespace
}  // namespace numen
