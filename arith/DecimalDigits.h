// Exact number of decimal digits of a BigInt, without building its text.
//
// Every prime announcement prints the digit count, so it must cost nothing
// beside the test that found the prime: the count comes from the bit length
// and a double-precision logarithm, and only when N lies so close to a power
// of ten that the logarithm cannot decide is N compared exactly with 10^d
// (as floor(N / 2^d) against 5^d, with a Karatsuba power).
#pragma once

#include <cstdint>

#include "arith/BigInt.h"

namespace numen {

// Digits of |x| in radix 10; 1 for zero.
uint32_t DecimalDigitCount(const BigInt& x);

}  // namespace numen
