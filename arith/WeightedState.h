// The state of one weighted computation modulo k*2^n + c (see
// WeightedTransform.h), shared by its planner, its operations and the tests
// of its internals. Internal to arith/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/BigInt.h"
#include "arith/MixedRadixPass.h"
#include "arith/TransformBuffer.h"
#include "arith/WeightedTransform.h"
#include "arith/kernels/Complex.h"
#include "arith/kernels/Twiddles.h"
#include "arith/kernels/WeightedSweeps.h"

namespace numen {

// Everything but the buffers: copied whole when a computation is copied.
struct WeightedLayout {
    WeightedSettings settings{};
    uint32_t k = 0, n = 0;
    int32_t c = 0;
    BigInt modulus;           // N, for the read-out's last correction
    bool negacyclic = false;  // c > 0: digit pairs in D/2 elements; c < 0: one digit per element
    uint32_t digits = 0;      // D = p 2^s, p = radix
    uint32_t lowBits = 0;     // floor(n / D), the narrower digits' bits
    uint32_t length = 0;      // elements of the transform: D/2 or D
    uint32_t radix = 1;       // p: 1, or 3, 5, 7 sub-arrays (MixedRadixPass.h)
    uint32_t rowLength = 0;   // g, a sub-array's length when one-pass
    uint32_t kernelRows = 0;  // b of each sub-array, 1 when one-pass
    uint32_t rows = 0;        // buffer rows: p b
    uint32_t gap = 0;         // padding after each row (0 one-pass)
    uint32_t rowShift = 0;    // log2 g
    const KernelTables* tables = nullptr;  // a sub-array's (length / p)
    MixedRadixTables mixed;   // the radix-p passes' rotations (radix > 1)
    // Bits of digit j >= 1 (e_{j+1} - e_j), per digit: the carry pass
    // reads them instead of dividing by D.
    std::vector<uint8_t> digitWidth;

    // Digit 0's base k 2^{e_1} and its reciprocal; e_1.
    double base0 = 0, inverseBase0 = 0;
    uint32_t firstExponent = 0;
    // u_j and 1/u_j per digit.
    std::vector<double> weight, inverseWeight;
    // Negacyclic only: e^{i pi j/(2L)} as the product of the start of j's
    // buffer row and the rotation of its column, (cos, sin) pairs per row,
    // cosines and sines per column (g entries).
    std::vector<double> rotationRows, columnCos, columnSin;
    double maxError = 0;
    // The carry pass, chosen with the squaring family (kAvx2 for an AVX
    // family when rows hold a multiple of 4 elements and D a multiple of 64),
    // and for the vector carry sweep its segment stride (the last segment
    // runs to D) and one word per block of 4 digits of its segments: bit
    // 4 s + t set when digit s vectorRun + 4 block + t has floor(n/D) + 1
    // bits (WeightedSweeps.h).
    WeightedCarry carryPass = WeightedCarry::kScalar;
    uint32_t vectorRun = 0;
    std::vector<uint64_t> wideMasks;

    uint32_t rowStride() const { return rowLength + gap; }
    uint32_t elementCount() const { return rows * rowStride(); }
    // e_j = ceil(j n / D), for 0 <= j <= D (e_D = n): a division, for
    // the planner and the read-out.
    uint32_t exponent(uint32_t j) const { return uint32_t((uint64_t(j) * n + digits - 1) / digits); }
    // Bits of digit j >= 1: e_{j+1} - e_j.
    uint32_t digitBits(uint32_t j) const { return digitWidth[j]; }
    // The rotation of element j (negacyclic).
    void rotation(uint32_t j, double& cosine, double& sine) const {
        const uint32_t r = j >> rowShift, col = j & (rowLength - 1);
        const double rc = rotationRows[2 * r], rs = rotationRows[2 * r + 1];
        cosine = rc * columnCos[col] - rs * columnSin[col];
        sine = rs * columnCos[col] + rc * columnSin[col];
    }
};

struct WeightedState : WeightedLayout {
    TransformBuffer buffer{1};
    Complex* array = nullptr;
    // The second factor of a product, transformed there (grown on first use).
    TransformBuffer factor{1};
    // The digits of a pass (D doubles), reused.
    std::vector<double> scratch;

    Complex* element(uint32_t j) const {
        return array + size_t(j >> rowShift) * rowStride() + (j & (rowLength - 1));
    }
};

// The kernel calls of one square of the buffer, and of one product of the
// buffer by `other` (a buffer of the same shape, transformed in place).
// Both leave L conj(x (*) y) for the carry pass.
void SquareWeightedElements(const WeightedState& st);
void MultiplyWeightedElements(const WeightedState& st, Complex* other);
// The carry pass (WeightedTransform.cpp): after the kernels (kFromSquare,
// scale 1/L) or between passes (scale a). `addend` joins digit 0 before the
// carries; a multiplier above 1 multiplies the carried digits, which are
// then carried once more. Returns the round-off; ArithmeticFault at the limit.
template <bool kFromSquare>
double WeightedPass(WeightedState& st, double scale, int32_t addend, uint32_t multiplier = 1);

// Whether the shape allows the vector sweeps, and the tests' switch
// between the two passes of one plan (kAvx2 only where the processor runs
// an AVX family; ArithmeticFault when the shape does not allow it).
bool WeightedVectorCarryFits(const WeightedLayout& layout);
void UseWeightedCarryForTest(WeightedTransform& t, WeightedCarry pass);

// Balanced digits (int64) of D: digit 0 in [-base0/2, base0/2], digit j in
// [-2^{b_j - 1}, 2^{b_j - 1}], carried with the wrap (the carry out of
// digit D - 1 enters digit 0 times -c) until it settles. ArithmeticFault
// when it does not (it always does for digits of a reduced residue).
void BalanceWeightedDigits(const WeightedState& st, std::vector<int64_t>& digits);
// The integer digits the buffer holds between passes (rounded after
// unweighting); the largest rounding distance raised into `error`.
void ReadWeightedDigits(const WeightedState& st, std::vector<int64_t>& digits, double& error);
// Writes the digits weighted into the buffer (padding untouched).
void WriteWeightedDigits(WeightedState& st, const std::vector<int64_t>& digits);

}  // namespace numen
