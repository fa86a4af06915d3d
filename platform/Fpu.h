// Fpu: the x87 unit's mode for the transforms.
//
// Rounding a product to integers by adding and subtracting 3*2^62 in 80-bit
// arithmetic only works with the 64-bit mantissa and round-to-nearest; the
// x87 control word is per thread, so every thread that computes calls
// SetX87ExtendedPrecision before its first arithmetic.
#pragma once

#include <cstdint>

namespace numen {

// x87: 64-bit mantissa, round-to-nearest; SSE (MXCSR) rounding: to nearest.
// Exception masks are left as they are.
void SetX87ExtendedPrecision();

// The calling thread's x87 control word (0x037f after the call above with
// all exceptions masked).
uint16_t X87ControlWord();

}  // namespace numen
