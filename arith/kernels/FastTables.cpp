// Root-of-unity tables of the fast kernel families (see FastTables.h).
#include "arith/kernels/FastTables.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
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

// Tables are published once built and never freed: a reader takes the
// pointer with one acquire load, a builder takes the mutex and checks again.
std::mutex buildMutex;
std::atomic<const Complex*> levels[kMaxLog];
std::atomic<const Complex*> halves[kMaxLog];
struct TwistPair {
    const Complex* lo;
    const Complex* hi;
};
std::atomic<const TwistPair*> twists[kMaxLog + 1];

template <class T, class Build>
const T* Published(std::atomic<const T*>& slot, Build build) {
    const T* t = slot.load(std::memory_order_acquire);
    if (t != nullptr) return t;
    std::lock_guard<std::mutex> lock(buildMutex);
    t = slot.load(std::memory_order_relaxed);
    if (t == nullptr) {
        t = build();
        slot.store(t, std::memory_order_release);
    }
    return t;
}

}  // namespace

const Complex* FastLevelTable(size_t q) {
    return Published(levels[Log2(q)], [q] {
        Block b = Allocate(3 * q);
        for (size_t j = 0; j < q; ++j) {
            b[j] = Root(j, 4 * q);
            b[q + j] = Root(2 * j, 4 * q);
            b[2 * q + j] = Root(3 * j, 4 * q);
        }
        return static_cast<const Complex*>(b.release());
    });
}

const Complex* FastHalfTable(size_t h) {
    return Published(halves[Log2(h)], [h] {
        Block b = Allocate(h);
        for (size_t j = 0; j < h; ++j) b[j] = Root(j, 2 * h);
        return static_cast<const Complex*>(b.release());
    });
}

FastTwist FastTwistTables(uint64_t length) {
    const int l = Log2(length);
    const uint32_t shift = uint32_t((l + 1) / 2);
    const TwistPair* pair = Published(twists[l], [length, shift] {
        const uint64_t loCount = uint64_t(1) << shift, hiCount = length >> shift;
        Block lo = Allocate(loCount), hi = Allocate(hiCount);
        for (uint64_t e = 0; e < loCount; ++e) lo[e] = Root(e, length);
        for (uint64_t e = 0; e < hiCount; ++e) hi[e] = Root(e << shift, length);
        auto* p = new TwistPair{lo.get(), hi.get()};
        lo.release();
        hi.release();
        return static_cast<const TwistPair*>(p);
    });
    return {pair->lo, pair->hi, shift, length - 1};
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
