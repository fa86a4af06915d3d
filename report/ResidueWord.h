// The 64-bit word of a residue that "Numen.json" reports for a composite:
// the low 64 bits of x reduced to its canonical value in [0, N), so runs on
// different machines and arithmetics (BigInt, RadixInt) compare equal.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"

namespace numen {

uint64_t ResidueWord(const BigInt& x, const BigInt& N);
uint64_t ResidueWord(const RadixInt& x, const BigInt& N);

}  // namespace numen
