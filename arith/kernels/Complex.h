// Complex element of the transform buffer: real part, then imaginary part.
#pragma once

namespace numen {

struct Complex {
    double re;
    double im;
};
static_assert(sizeof(Complex) == 16, "transform elements are 16 bytes");

}  // namespace numen
