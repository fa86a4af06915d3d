// Twiddle tables of the FFT kernels: the column tables (key b), the row
// tables (key g) and the four-step twist table (key g and b). Every sine and
// cosine is computed in 80-bit extended precision (sinl, cosl) from the
// exact angle 2*pi*i/m, then rounded once to double (or kept in 80 bits for
// the twist), so each entry is within half an ulp of the true value and no
// error accumulates along a table. Layouts: see Twiddles.h.
//
// A column table of length b holds b/4 entries (b/4 * 48 bytes x87, b/4 * 64
// bytes SSE2); a row table of length g the same for g (at most 1024 entries
// for g = 4096); the twist table b entries of 32 bytes. Filling costs about
// ten transcendental calls per entry, once per key for the life of the
// process: a run meets a few dozen shapes at most, each table a few hundred
// kilobytes at the longest one-pass rows.
//
// The caches are guarded by one mutex; a thread's last answer is kept in
// front of it, so a powering or a run of products of one shape takes no
// lock. Tables are shared between records: every b of one g points at the
// same row tables.
#include "arith/kernels/Twiddles.h"

#include <cassert>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
constexpr double kSqrtHalf = 0.7071067811865476;

[[maybe_unused]] bool IsPowerOfTwo(uint32_t m) { return m != 0 && (m & (m - 1)) == 0; }

// The `bits` low bits of d in reverse order.
uint32_t ReverseBits(uint32_t d, int bits) {
    uint32_t r = 0;
    for (int i = 0; i < bits; ++i, d >>= 1) r = (r << 1) | (d & 1);
    return r;
}

// Angle 2*pi*i/m; i*3 < 3m, exact in 80 bits.
long double Angle(uint32_t i, uint32_t m) { return kTwoPi * static_cast<long double>(i) / static_cast<long double>(m); }

// x87 entry i >= 1 of a table of length m: cot t, sin t, cot 2t, sin 2t, cot 3t, sin 3t.
std::vector<double> FillX87(uint32_t m) {
    std::vector<double> x87(size_t(m / 4) * 6);
    x87[0] = kSqrtHalf;
    x87[1] = 2.0;
    for (uint32_t i = 1; i < m / 4; ++i) {
        double* e = &x87[size_t(i) * 6];
        for (uint32_t k = 1; k <= 3; ++k) {
            const long double t = Angle(k * i, m);
            const long double s = sinl(t), c = cosl(t);
            e[2 * (k - 1)] = static_cast<double>(c / s);
            e[2 * (k - 1) + 1] = static_cast<double>(s);
        }
    }
    return x87;
}

struct Tables {
    std::vector<double> x87;
    std::vector<double> sse2;
};

Tables ColumnTables(uint32_t b) {
    Tables t{FillX87(b), std::vector<double>(size_t(b / 4) * 8)};
    // SSE2 column entry: cos t, cos 3t, sin t, -sin 3t, cos 2t, cos 2t, sin 2t, -sin 2t.
    const double head[8] = {kSqrtHalf, kSqrtHalf, -kSqrtHalf, kSqrtHalf, 2.0, 2.0, 0.0, 0.0};
    for (int k = 0; k < 8; ++k) t.sse2[k] = head[k];
    for (uint32_t i = 1; i < b / 4; ++i) {
        double* e = &t.sse2[size_t(i) * 8];
        const long double t1 = Angle(i, b), t2 = Angle(2 * i, b), t3 = Angle(3 * i, b);
        e[0] = static_cast<double>(cosl(t1));
        e[1] = static_cast<double>(cosl(t3));
        e[2] = static_cast<double>(sinl(t1));
        e[3] = static_cast<double>(-sinl(t3));
        e[4] = e[5] = static_cast<double>(cosl(t2));
        e[6] = static_cast<double>(sinl(t2));
        e[7] = -e[6];
    }
    return t;
}

Tables RowTables(uint32_t g) {
    Tables t{FillX87(g), std::vector<double>(size_t(g / 4) * 8)};
    // SSE2 row entry: cos t, cos t, sin t, sin t, cos 2t, cos 2t, sin 2t, sin 2t.
    t.sse2[0] = t.sse2[1] = -2.0;
    for (uint32_t i = 1; i < g / 4; ++i) {
        double* e = &t.sse2[size_t(i) * 8];
        const long double t1 = Angle(i, g), t2 = Angle(2 * i, g);
        e[0] = e[1] = static_cast<double>(cosl(t1));
        e[2] = e[3] = static_cast<double>(sinl(t1));
        e[4] = e[5] = static_cast<double>(cosl(t2));
        e[6] = e[7] = static_cast<double>(sinl(t2));
    }
    return t;
}

std::vector<TwistEntry> TwistTable(uint32_t g, uint32_t b) {
    std::vector<TwistEntry> twist(b, TwistEntry{0, 0});
    const int bits = __builtin_ctz(b);
    const long double n = static_cast<long double>(g) * static_cast<long double>(b);
    for (uint32_t d = 1; d < b; ++d) {
        const long double phi = kTwoPi * static_cast<long double>(d) / n;
        const long double s = sinl(phi);
        twist[ReverseBits(d, bits)] = TwistEntry{cosl(phi) / s, s};
    }
    return twist;
}

struct Shape {
    KernelTables tables;
    std::vector<TwistEntry> twist;
};

struct Cache {
    std::mutex mutex;
    std::map<uint32_t, std::unique_ptr<const Tables>> columns, rows;
    std::map<uint64_t, std::unique_ptr<const Shape>> shapes;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

uint64_t Key(uint32_t g, uint32_t b) { return uint64_t(g) << 32 | b; }

const Tables& RowsOf(Cache& cache, uint32_t g) {
    std::unique_ptr<const Tables>& t = cache.rows[g];
    if (!t) t = std::make_unique<const Tables>(RowTables(g));
    return *t;
}

const Tables& ColumnsOf(Cache& cache, uint32_t b) {
    std::unique_ptr<const Tables>& t = cache.columns[b];
    if (!t) t = std::make_unique<const Tables>(ColumnTables(b));
    return *t;
}

const KernelTables& Build(uint32_t g, uint32_t b) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (auto it = cache.shapes.find(Key(g, b)); it != cache.shapes.end()) return it->second->tables;
    try {
        auto s = std::make_unique<Shape>();
        const Tables& row = RowsOf(cache, g);
        s->tables = KernelTables{g, b, nullptr, nullptr, row.x87.data(), row.sse2.data(), nullptr};
        if (b > 1) {
            const Tables& column = ColumnsOf(cache, b);
            s->tables.columnX87 = column.x87.data();
            s->tables.columnSse2 = column.sse2.data();
            s->twist = TwistTable(g, b);
            s->tables.twist = s->twist.data();
        }
        return cache.shapes.emplace(Key(g, b), std::move(s)).first->second->tables;
    } catch (const std::bad_alloc&) {
        throw ArithmeticFault("not enough memory for the twiddle tables");
    }
}

}  // namespace

const KernelTables& KernelTablesFor(uint32_t g, uint32_t b) {
    assert(IsPowerOfTwo(g) && g >= 4);
    assert(b == 1 || (IsPowerOfTwo(b) && b >= 4));
    thread_local const KernelTables* last = nullptr;
    if (last != nullptr && last->rowLength == g && last->rows == b) return *last;
    last = &Build(g, b);
    return *last;
}

}  // namespace numen
