// TransformBuffer: the one grow-only, page-aligned block of complex doubles
// used by every transform, as two arrays: A (the operand squared, or the
// first factor and the result) at the base, B (the second factor) right
// after A's capacity.
//
// Process-wide and unguarded: only the computation thread uses it. Contents
// do not survive a growth. A failed growth raises ArithmeticFault.
#pragma once

#include <cstddef>

#include "arith/kernels/Complex.h"

namespace numen {

class TransformBuffer {
public:
    // Ensures room for `count` elements per array; returns the capacity.
    static size_t Reserve(size_t count);
    static size_t Capacity();
    static Complex* First();   // array A, 4096-byte aligned
    static Complex* Second();  // array B
};

}  // namespace numen
