// The modular steps of the power loops: a modular squaring is the exact
// square of the residue (BigInt::square, RadixInt::square, both transform
// products when long) followed by the reduction of the number's form, and a
// multiplication by the test's small base a is a word product followed by
// the same reduction. A residue is a plain BigInt or RadixInt; the moduli
// live in the reductions' caches (ReduceBase2.h, ReduceGeneral.h,
// ReduceRadix.h, ReduceGfn.h).
//
// For k*2^n + c the loop keeps a partially reduced residue (foldBase2: of
// the order of N, possibly negative) and pays the full correction once, with
// FinishBase2, after the last step. Every other form keeps x in [0, N).
//
// All steps raise ArithmeticFault when a product fails its checksum or
// memory runs out; maxErr, when not null, receives the square's largest
// round-off error (the benchmarks measure selected squarings).
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/RadixInt.h"

namespace numen {

// --- N = k*2^n + c on a BigInt: |x| of the order of N on entry and on
// return. N.b must be 2; it is not read. ---
void SquareStepBase2(BigInt& x, const Candidate& N, double* maxErr = nullptr);
void MulStepBase2(BigInt& x, uint32_t a, const Candidate& N);
// Brings a folded residue into [0, N): adds N while x < 0, subtracts it while
// x >= N (one or two steps after foldBase2).
void FinishBase2(BigInt& x, const Candidate& N);

// --- N = k*b^n + c on a BigInt (Barrett; b = 2 reduces by shifts): x in [0, N) ---
void SquareStepGeneral(BigInt& x, const Candidate& N, double* maxErr = nullptr);
// Requires a < N (so that a*x stays in the Barrett range).
void MulStepGeneral(BigInt& x, uint32_t a, const Candidate& N);

// --- N = k*b^n + c on a RadixInt in a radix b^mu: x in [0, N) ---
void SquareStepRadix(RadixInt& x, const Candidate& N, double* maxErr = nullptr);
// Requires 0 <= a < 2^31.
void MulStepRadix(RadixInt& x, int32_t a, const Candidate& N);

// --- Phi_m(b) on a BigInt (Barrett): x in [0, Phi_m(b)) ---
void SquareStepCyclotomic(BigInt& x, uint32_t m, uint32_t b, double* maxErr = nullptr);
// Requires a < Phi_m(b).
void MulStepCyclotomic(BigInt& x, uint32_t a, uint32_t m, uint32_t b);

// --- B^n + 1 on a RadixInt in radix B (the square itself is the
// generalized-Fermat transform's): any x in, [0, N) out ---
void MulStepGfn(RadixInt& x, int32_t a, uint32_t base, uint32_t n);

// --- general products: the modulus as a value, for powers and Lucas terms ---
enum class ModulusKind {
    Base2,       // k*2^n + c, BigInt, full reduction (reduceBase2)
    General,     // k*b^n + c, BigInt (reduceGeneral)
    Cyclotomic,  // Phi_n(b), BigInt (reduceCyclotomic); k and c unused
    Radix,       // k*b^n + c, RadixInt in a radix b^mu (reduceRadix)
    Gfn,         // b^n + 1, RadixInt in radix b (reduceGfn); k and c unused
};

struct ModulusForm {
    ModulusKind kind;
    Candidate N;  // the modulus's k, b, n, c as the kind reads them
};

// x := x mod N by the form's reduction; x must lie in that reduction's input
// range (for a BigInt form, 0 <= x below about N^2; the RadixInt kinds must
// match the value type: ArithmeticFault otherwise).
void ReduceByForm(BigInt& x, const ModulusForm& form);
void ReduceByForm(RadixInt& x, const ModulusForm& form);

// x^e mod N for a one-word exponent, computed right to left (squarings of x,
// products into the result by mulTransform), each step reduced by the form;
// 1 for e = 0. Requires 0 <= x < N.
BigInt PowerByForm(const BigInt& x, uint32_t e, const ModulusForm& form);
RadixInt PowerByForm(const RadixInt& x, uint32_t e, const ModulusForm& form);

}  // namespace numen
