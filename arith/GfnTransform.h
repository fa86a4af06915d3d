// The generalized-Fermat transform: a residue x modulo N = B^m + 1 (m a power
// of two, m >= 64) kept in weighted form inside its own transform buffer
// for a whole powering, one squaring kernel call plus one carry pass per step.
//
// The m balanced radix-B digits d_0 .. d_{m-1} are paired into L = m/2
// complex elements, the low half in the real parts and the high half in the
// imaginary parts, each pair weighted by w^j, w = e^{i pi/(2L)}:
//
//     element j:   z_j = (d_j + i d_{j+L}) * w^j          (j = 0 .. L-1)
//
//        re:  d_0      d_1      ...   d_{L-1}   --carry-->  d_L (im of z_0)
//        im:  d_L      d_{L+1}  ...   d_{m-1}   --carry-->  -d_0 (re of z_0)
//
// Since w^L = i, the kernels' cyclic convolution of length L of the weighted
// elements is the product modulo X^L - i, which for real coefficients is the
// product modulo X^m + 1 (Y = X^L plays the part of i, Y^2 = -1): the square
// comes back negacyclic, and the carries out of the top of either half wrap
// into the bottom of the other, the one out of d_{m-1} with a minus sign
// (Crandall and Fagin, "Discrete weighted transforms", Math. Comp. 62, 1994).
//
// Weights are produced row by row from b row starts and the rotation by
// theta = -pi/(2L), all in 80-bit precision; nothing is stored per element.
// The AVX2 and AVX-512 carry passes multiply two double tables instead (a
// lane-row start and a column weight, GfnLanes.h) and run several carry
// chains side by side.
//
// The transform has no checksum: the largest rounding distance of the carry
// passes is the only guard. It is kept since setValue (or a checkpoint
// load); every pass that takes it to 0.45 or beyond raises ArithmeticFault,
// because at that distance a coefficient may already have rounded to the
// wrong integer.
//
// One GfnTransform object is one computation: it owns its buffer, shape,
// weights, carries and largest error, and shares only the read-only kernel
// tables (KernelTablesFor). Any number may exist at once, beside exact
// products of any shape; one object is used by one thread at a time. A
// copy is a second computation at the same point (the array copied, the
// kernel tables shared), which is what the error check of the power runs
// keeps of its verified residues. The x87 unit must be at 64-bit
// precision, round-to-nearest.
#pragma once
#include <cstdint>
#include <memory>

#include "arith/kernels/KernelFamily.h"

namespace numen {

// Rounding distance from which a carry pass refuses its result.
inline constexpr float kGfnErrorLimit = 0.45f;

// The shape of a transform of L = m/2 elements: `rows` rows of `rowLength`
// elements padded by the processor's gap, or one row of L elements
// (rows = 1, rowLength = L), the convention of every transform shape
// (TransformPlan.h).
struct GfnShape {
    uint32_t rowLength = 0;  // g, L when one-pass
    uint32_t rows = 0;       // b, 1 when one-pass
    bool onePass() const { return rows == 1; }
};

// The shape for L (a power of two, >= 32) from the second-level cache size
// in bytes (0: not detected) and lat64k. A pure function:
//   L2 = 256 KB: one-pass up to 4096; g = 512 (L = 8192), 1024 (L = 16384,
//                32768, 65536, 262144), else 2048; b = L/g, then b doubled
//                and g halved while b < 4.
//   L2 > 256 KB: one-pass up to 4096; g = 1024 (L = 16384), 4096 (L = 2^18,
//                2^20), else 2048; b as above.
//   L2 < 256 KB, lat64k >= 6: one-pass up to 1024; b = 2^floor((l-1)/2),
//                l = log2 L, g = L/b.
//   L2 < 256 KB, lat64k < 6: one-pass up to 2048; g = 256 up to L = 8192,
//                else 1024; b = L/g.
// With a fast kernel family (AVX2, AVX-512), whose row passes recurse by
// quarters and stay in the first-level cache, one pass serves up to
// L = 32768 (512 KB) and the rule above applies beyond: a step at
// m = 2^16 is about 15 % faster one-pass than in 32 rows of 1024, while
// longer rows (2048, 4096) at m = 2^20 are slower than 1024.
inline constexpr uint32_t kGfnOnePassFastFamily = 32768;
GfnShape GfnChooseShape(uint32_t length, uint32_t l2Bytes, int32_t lat64k, bool fastFamily = false);

// What a transform is planned with: the squaring kernel family and the
// carry pass (the dispatch pairs them, KernelFamily.h), and the processor
// values that choose the shape.
struct GfnSettings {
    const KernelFamily* family;
    GfnCarryVariant carry;
    uint32_t l2Bytes;
    int32_t lat64k;
    int32_t gap;
};

// This process's settings: SquaringKernels() and GfnCarryKernels() with L2,
// lat64k and gap of CurrentProcessorProfile(), read at every call.
GfnSettings CurrentGfnSettings();

struct GfnState;

class GfnTransform {
public:
    GfnTransform();
    GfnTransform(GfnTransform&&) noexcept;
    GfnTransform& operator=(GfnTransform&&) noexcept;
    // Deep copies: plan, array, carries and largest error (between passes).
    // The copy reuses the target's buffer when it is large enough; a failed
    // reserve (ArithmeticFault) leaves the target unplanned.
    GfnTransform(const GfnTransform&);
    GfnTransform& operator=(const GfnTransform&);
    ~GfnTransform();

    // Starts a powering modulo B^m + 1: m a power of two from 64 to 2^23,
    // 2 <= B <= 2^31. Chooses the shape from the settings (a checkpoint
    // written under another family's shape is refused by its header, never
    // misread), reserves the buffer (ArithmeticFault when it cannot; the
    // object is then unplanned) and builds the weights. The first form takes
    // CurrentGfnSettings().
    void plan(uint32_t m, uint32_t radix);
    void plan(uint32_t m, uint32_t radix, const GfnSettings& settings);
    bool planned() const;
    uint32_t digitCount() const;     // m of the plan
    uint32_t radix() const;          // B of the plan
    GfnShape shape() const;
    uint32_t elementCount() const;   // elements in use: (g + gap) b, or L
    const GfnSettings& settings() const;

    // x := v (v < 2^31), weighted; resets the largest error to 0.
    void setValue(uint32_t v);
    // x := sum digits[j] B^j for m signed digits (|digit| < 2^30), weighted;
    // resets the largest error to 0.
    void setDigits(const int32_t* digits);
    // Reads the m digits of the weighted number between passes (not after a
    // square); the digits are those the last pass left, balanced.
    void readDigits(int32_t* digits) const;

    // x := x^2, left in transformed, conjugated form for the carry pass.
    void square();
    // x := x y, y of the same plan (same m, B, shape and family; else
    // ArithmeticFault), both between passes; left as square leaves it, for
    // the carry pass (carry(1) for the plain product). y is not changed: its
    // forward transform is taken in a second array of this object, reserved
    // at the first product. About 1.5 squares.
    void multiply(const GfnTransform& y);
    // After square: x := a x^2 mod N, weighted, balanced digits. a >= 1.
    // Raises ArithmeticFault when the largest error reaches kGfnErrorLimit.
    // The multiplier scales the square's round-off by a: at the limit radix
    // carry(3) measures about 0.3 with the x87 pass and x87 squares, and
    // reaches the limit at some lengths whenever the square or the pass is
    // in double precision (SSE2, AVX2, AVX-512), where carryThenMultiply
    // stays near 0.13 to 0.22: runs at the limit radix multiply after the
    // carry.
    void carry(uint32_t a);
    // carry(1), then multiplySmall(a) when a != 1.
    void carryThenMultiply(uint32_t a);
    // On the weighted (not transformed) number: x := a x mod N.
    void multiplySmall(uint32_t a);
    // After a final square: writes the m balanced digits of x^2 mod N (not
    // fully reduced, least significant first) and returns the largest error.
    // Raises ArithmeticFault when it reaches kGfnErrorLimit.
    float unload(int32_t* digits);

    // Whether x and y (same m and B, both between passes) hold the same
    // residue modulo B^m + 1: the exact digits of both read out and their
    // difference carried to see whether it is a multiple of N. O(m).
    bool sameValue(const GfnTransform& y) const;

    float maxError() const;
    void setMaxError(float error);

    // The internal state, for the carry passes, the checkpoint and tests of
    // the internals (GfnState.h); null before the first plan.
    GfnState* state() { return state_.get(); }
    const GfnState* state() const { return state_.get(); }

private:
    std::unique_ptr<GfnState> state_;
};

// A test seam: a function called on the array after every square (before
// its carry pass), with L; null (the default) for none. Tests inject one
// wrong coefficient through it to see the power runs' check catch it.
using GfnSquareDisturbance = void (*)(Complex* array, uint32_t length);
void SetGfnSquareDisturbance(GfnSquareDisturbance disturbance);

}  // namespace numen
