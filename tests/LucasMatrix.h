// The Lucas matrix M = [[P, -Q], [1, 0]] and its powers, four residues
// modulo N stored row by row. For M^m: m00 = U_{m+1}, m01 = -Q U_m,
// m10 = U_m, m11 = -Q U_{m-1}; the tests read m10 = U_m.
//
// Two variants: BigInt entries modulo k*2^n - 1 and RadixInt entries (the
// radix of b) modulo k*b^n - 1; the modulus is passed as a ModulusForm
// (ModulusKind::Base2 or ModulusKind::Radix with c = -1).
//
// Every product of two entries is a transform product (mulTransform or
// square, checksum-verified; short entries take the schoolbook path inside
// them), and each entry of a result is one reduction by the form. Entries
// must lie in [0, N) and stay there. Failures raise ArithmeticFault.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/ModularSteps.h"
#include "arith/RadixInt.h"
#include "tests/RunContext.h"

namespace numen {

class RunProgress;

template <class Value>
struct LucasMatrix {
    Value m00, m01, m10, m11;
};

using LucasMatrixBase2 = LucasMatrix<BigInt>;
using LucasMatrixRadix = LucasMatrix<RadixInt>;

// The form of k*2^n - 1 on BigInt entries and of k*b^n - 1 on RadixInt
// entries.
inline ModulusForm LucasFormBase2(uint32_t k, uint32_t n) { return {ModulusKind::Base2, {k, 2, n, -1}}; }
inline ModulusForm LucasFormRadix(uint32_t k, uint32_t b, uint32_t n) {
    return {ModulusKind::Radix, {k, b, n, -1}};
}

// The identity, its entries in the radix of `like` (any value of the
// variant).
template <class Value>
LucasMatrix<Value> LucasIdentity(const Value& like);

// R := B A: r00 = b00 a00 + b01 a10, r01 = b00 a01 + b01 a11,
// r10 = b10 a00 + b11 a10, r11 = b10 a01 + b11 a11; eight products and four
// reductions. R may be B or A.
template <class Value>
void LucasProduct(LucasMatrix<Value>& R, const LucasMatrix<Value>& B, const LucasMatrix<Value>& A,
                  const ModulusForm& form);

// R := A A with two squares and three products (the off-diagonal products
// share a00 + a11, the diagonal ones a01 a10); four reductions. R may be A.
template <class Value>
void LucasSquare(LucasMatrix<Value>& R, const LucasMatrix<Value>& A, const ModulusForm& form);

// M^e for a 32-bit e, right to left: R := identity, T := M; while e != 1: if
// e is odd R := R T; T := T T; e := e / 2; finally R := R T. e <= 0 gives the
// identity, e = 1 a copy of M. No polling.
template <class Value>
LucasMatrix<Value> LucasSmallPower(const LucasMatrix<Value>& M, int32_t e, const ModulusForm& form);

// R := M^e for a BigInt e >= 1, left to right over the bits below the top
// one: R := M, then per bit R := R R and, for a 1 bit, R := M R. Before each
// bit the step is counted on `progress` when one is given (its ticks post
// the timed text), then the stop request is polled: false when stopped (R
// is then meaningless). e <= 0 gives the identity. R may not be M.
template <class Value>
bool LucasLargePower(const RunContext& run, const LucasMatrix<Value>& M, const BigInt& e,
                     const ModulusForm& form, LucasMatrix<Value>& R, RunProgress* progress = nullptr);

}  // namespace numen
