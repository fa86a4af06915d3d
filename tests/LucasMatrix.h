// The Lucas matrix M = [[P, -Q], [1, 0]] and its powers, four residues
// modulo N stored row by row. For M^m: m00 = U_{m+1}, m01 = -Q U_m,
// m10 = U_m, m11 = -Q U_{m-1}; the tests read m10 = U_m.
//
// Two variants: BigInt entries modulo k*2^n - 1 and RadixInt entries (the
// radix of b) modulo k*b^n - 1; the modulus is passed as a ModulusForm.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/ModularSteps.h"
#include "arith/RadixInt.h"

namespace numen {

template <class Value>
struct LucasMatrix {
    Value m00, m01, m10, m11;
};

using LucasMatrixBase2 = LucasMatrix<BigInt>;
using LucasMatrixRadix = LucasMatrix<RadixInt>;

}  // namespace numen
