// The lane passes of the generalized-Fermat transform (GfnLanes.h), written
// once over a register type and instantiated by gfn_avx2.cpp and
// gfn_avx512.cpp, each with its own traits V declared in an anonymous
// namespace, so that every instantiation has internal linkage (as for
// FastPasses.h). Include only from those two files.
//
// The formulas are GfnCarryX87.cpp's. A register T holds the real parts (or
// the imaginary parts) of kLanes segments; a carry pass runs kSegments /
// kLanes such groups in step, lane i of group g carrying segment
// g kLanes + i. All lanes stand at the same column of their lane rows, so
// the column weight is a broadcast and only the row weights differ per lane.
// Element c of every lane's row, (f, e) = (re, im), comes in as
//
//     even lanes:  | f0 e0 | f2 e2 | ...      odd lanes:  | f1 e1 | f3 e3 | ...
//     unpack low:  | f0 f1 | f2 f3 | ...      unpack high: | e0 e1 | e2 e3 | ...
//
// and the digits go back by the same unpacks. Rounding is to nearest by the
// vector rounding instruction, exact at every magnitude: the coefficients
// can approach 2^51 at the limit radix, where the usual 1.5 2^52 addition
// would round wrongly.
//
// Plain lane-by-lane +, - and * (and unary -, and T{} for zero) are the
// register type's own operators, which is how the compiler's intrinsics for
// them are defined; negating an operand of a fused multiply-add is exact,
// so one fused operation serves for all four (the compiler still emits
// VFMSUB and VFNMADD for the negated forms). V supplies the rest, on
// registers T of kLanes doubles:
//   GatherPairs / ScatterPairs (lane, k): the elements (re, im) at lane[0] + k,
//     lane[2] + k, ..., lane[kLanes - 2] + k side by side (16-byte aligned);
//     UnpackLow / UnpackHigh within 128-bit pairs;
//   LoadSplit: kLanes consecutive complex values as a register of real
//     parts and one of imaginary parts, in a lane order of its choosing
//     (the same for every call); StoreInOrder writes such a register back
//     in memory order;
//   Splat, Load, Store (aligned); Abs, Max (the second operand where either
//     is NaN, as MAXPD), Fma (a b + c, rounded once), Round (to nearest);
//   Mask, NoNaN, NoteUnordered (the lanes where either value is NaN), HasBad.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/GfnLanes.h"

namespace numen::gfnlanes {

template <class V, uint32_t kSegments>
struct LanePasses {
    using T = typename V::T;
    static constexpr uint32_t kLanes = sizeof(T) / sizeof(double);
    static constexpr uint32_t kGroups = kSegments / kLanes;
    static_assert(kGroups * kLanes == kSegments && kSegments <= kGfnMaxSegments);

    struct Group {
        T rowCos, rowSin;    // weights of the lanes' current rows
        T carryRe, carryIm;  // the lanes' chains
        T error;
    };

    // Element `offset` of each lane's row: weigh, round, carry, store the digit.
    template <bool kFromSquare>
    static inline void Step(Group& q, double* const* lane, size_t offset, T colCos, T colSin, T scale, T radix,
                            T inverse) {
        const T even = V::GatherPairs(lane, offset), odd = V::GatherPairs(lane + 1, offset);
        const T f = V::UnpackLow(even, odd);   // re of every lane
        const T e = V::UnpackHigh(even, odd);  // im
        // (wc, ws) = (cos, sin) of the element's angle: row weight times column weight.
        const T wc = V::Fma(q.rowCos, colCos, -(q.rowSin * colSin));
        const T ws = V::Fma(q.rowSin, colCos, q.rowCos * colSin);
        T p, r;
        if constexpr (kFromSquare) {  // conj(z (c - i s))
            p = V::Fma(wc, f, ws * e);
            r = V::Fma(ws, f, -(wc * e));
        } else {  // z (c + i s)
            p = V::Fma(wc, f, -(ws * e));
            r = V::Fma(ws, f, wc * e);
        }
        p = p * scale;
        r = r * scale;
        const T P = V::Round(p), R = V::Round(r);
        const T distance = V::Max(V::Abs(p - P), V::Abs(r - R));
        q.error = V::Max(distance, q.error);  // a NaN distance is dropped here, caught by the carries
        const T tr = P + q.carryRe, ti = R + q.carryIm;
        q.carryRe = V::Round(tr * inverse);
        q.carryIm = V::Round(ti * inverse);
        const T dr = V::Fma(-q.carryRe, radix, tr), di = V::Fma(-q.carryIm, radix, ti);
        // (dr + i di)(c - i s)
        const T outRe = V::Fma(wc, dr, ws * di);
        const T outIm = V::Fma(wc, di, -(ws * dr));
        V::ScatterPairs(V::UnpackLow(outRe, outIm), lane, offset);
        V::ScatterPairs(V::UnpackHigh(outRe, outIm), lane + 1, offset);
    }

    template <bool kFromSquare>
    static void Run(GfnLaneJob& job) {
        const uint32_t G = job.laneRowLength, rowsPerSegment = job.laneRows / kSegments;
        const T scale = V::Splat(job.scale);
        const T radix = V::Splat(job.radix), inverse = V::Splat(job.inverseRadix);
        Group groups[kGroups];
        for (Group& q : groups) q.carryRe = q.carryIm = q.error = T{};
        double* lane[kSegments];
        for (uint32_t rr = 0; rr < rowsPerSegment; ++rr) {
            alignas(sizeof(T)) double cosines[kSegments], sines[kSegments];
            for (uint32_t k = 0; k < kSegments; ++k) {
                const uint32_t v = k * rowsPerSegment + rr, j = v * G;
                lane[k] = job.array + 2 * (size_t(j / job.rowLength) * job.rowStride + j % job.rowLength);
                cosines[k] = job.rowWeights[2 * v];
                sines[k] = job.rowWeights[2 * v + 1];
            }
            for (uint32_t g = 0; g < kGroups; ++g) {
                groups[g].rowCos = V::Load(cosines + kLanes * g);
                groups[g].rowSin = V::Load(sines + kLanes * g);
            }
            for (uint32_t c = 0; c < G; ++c) {
                const double* column = job.columnWeights + 2 * c;
                const T colCos = V::Splat(column[0]), colSin = V::Splat(column[1]);
                for (uint32_t g = 0; g < kGroups; ++g)
                    Step<kFromSquare>(groups[g], lane + kLanes * g, 2 * size_t(c), colCos, colSin, scale, radix,
                                      inverse);
            }
        }
        double error = 0;
        for (uint32_t g = 0; g < kGroups; ++g) {
            alignas(sizeof(T)) double re[kLanes], im[kLanes], err[kLanes];
            V::Store(re, groups[g].carryRe);
            V::Store(im, groups[g].carryIm);
            V::Store(err, groups[g].error);
            for (uint32_t i = 0; i < kLanes; ++i) {
                job.carries[2 * (kLanes * g + i)] = re[i];
                job.carries[2 * (kLanes * g + i) + 1] = im[i];
                if (err[i] > error) error = err[i];
            }
        }
        job.error = error;
    }

    static void Carry(GfnLaneJob& job) {
        if (job.fromSquare) Run<true>(job);
        else Run<false>(job);
    }

    // The read-out of GfnTransform::unload, kLanes consecutive elements of a lane row
    // at a time (G a multiple of kLanes).
    static void Unload(GfnLaneJob& job, double* coefficients) {
        const uint32_t G = job.laneRowLength, L = job.laneRows * G;
        const T scale = V::Splat(job.scale);
        T error = T{};
        typename V::Mask bad = V::NoNaN();
        for (uint32_t v = 0; v < job.laneRows; ++v) {
            const T rowCos = V::Splat(job.rowWeights[2 * v]), rowSin = V::Splat(job.rowWeights[2 * v + 1]);
            const uint32_t first = v * G;
            const double* row = job.array + 2 * (size_t(first / job.rowLength) * job.rowStride + first % job.rowLength);
            for (uint32_t c = 0; c < G; c += kLanes) {
                T f, e, colCos, colSin;
                V::LoadSplit(row + 2 * c, f, e);
                V::LoadSplit(job.columnWeights + 2 * c, colCos, colSin);
                const T wc = V::Fma(rowCos, colCos, -(rowSin * colSin));
                const T ws = V::Fma(rowSin, colCos, rowCos * colSin);
                const T p = V::Fma(wc, f, ws * e) * scale;
                const T q = V::Fma(ws, f, -(wc * e)) * scale;
                const T P = V::Round(p), Q = V::Round(q);
                const T dp = V::Abs(p - P), dq = V::Abs(q - Q);
                bad = V::NoteUnordered(bad, dp, dq);
                error = V::Max(error, V::Max(dp, dq));
                V::StoreInOrder(coefficients + first + c, P);
                V::StoreInOrder(coefficients + L + first + c, Q);
            }
        }
        // Without a NaN every lane holds a distance, and their largest does
        // not depend on the order they are compared in.
        alignas(sizeof(T)) double lanes[kLanes];
        V::Store(lanes, error);
        double largest = 0;
        for (double x : lanes) largest = x > largest ? x : largest;
        job.error = V::HasBad(bad) ? __builtin_nan("") : largest;
    }
};

}  // namespace numen::gfnlanes
