// Root-of-unity tables of the fast kernel families (see FastTables.h).
#include "arith/kernels/FastTables.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
constexpr int kMaxLog = 32;

// e^{-2 pi i k/m}, k and m exact in 80 bits.
Complex Root(uint64_t k, uint64_t m) {
    const long double t = -kTwoPi * static_cast<long double>(k) / static_cast<long double>(m);
    return {static_cast<double>(cosl(t)), static_cast<double>(sinl(t))};
}

struct AlignedFree {
    void operator()(Complex* p) const { std::free(p); }
};
using Block = std::unique_ptr<Complex[], AlignedFree>;

Block Allocate(size_t count) {
    const size_t bytes = (count * sizeof(Complex) + 63) / 64 * 64;
    void* p = std::aligned_alloc(64, bytes == 0 ? 64 : bytes);
    if (p == nullptr) throw ArithmeticFault("not enough memory for the transform tables");
    return Block(static_cast<Complex*>(p));
}

int Log2(uint64_t x) {
    int l = 0;
    while ((uint64_t(1) << (l + 1)) <= x) ++l;
    return l;
}

Block levels[kMaxLog];
Block halves[kMaxLog];
Block twistLo[kMaxLog + 1], twistHi[kMaxLog + 1];

}  // namespace

const Complex* FastLevelTable(size_t q) {
    Block& t = levels[Log2(q)];
    if (!t) {
        Block b = Allocate(3 * q);
        for (size_t j = 0; j < q; ++j) {
            b[j] = Root(j, 4 * q);
            b[q + j] = Root(2 * j, 4 * q);
            b[2 * q + j] = Root(3 * j, 4 * q);
        }
        t = std::move(b);
    }
    return t.get();
}

const Complex* FastHalfTable(size_t h) {
    Block& t = halves[Log2(h)];
    if (!t) {
        Block b = Allocate(h);
        for (size_t j = 0; j < h; ++j) b[j] = Root(j, 2 * h);
        t = std::move(b);
    }
    return t.get();
}

FastTwist FastTwistTables(uint64_t length) {
    const int l = Log2(length);
    const uint32_t shift = uint32_t((l + 1) / 2);
    if (!twistLo[l]) {
        const uint64_t loCount = uint64_t(1) << shift, hiCount = length >> shift;
        Block lo = Allocate(loCount), hi = Allocate(hiCount);
        for (uint64_t e = 0; e < loCount; ++e) lo[e] = Root(e, length);
        for (uint64_t e = 0; e < hiCount; ++e) hi[e] = Root(e << shift, length);
        twistLo[l] = std::move(lo);
        twistHi[l] = std::move(hi);
    }
    return {twistLo[l].get(), twistHi[l].get(), shift, length - 1};
}

Complex* FastScratch(int slot, size_t count) {
    struct Slot {
        Block block;
        size_t count = 0;
    };
    thread_local Slot slots[2];
    Slot& s = slots[slot];
    if (s.count < count) {
        s.block.reset();
        s.count = 0;
        s.block = Allocate(count);
        s.count = count;
    }
    return s.block.get();
}

}  // namespace numen
