// Slow, obviously correct references for the FFT kernels, in long double:
// the direct O(N^2) discrete Fourier transform and cyclic convolution, one
// coefficient of a cyclic convolution in O(N), and bit reversal.
//
// For integer inputs the convolutions are exact as long as every partial sum
// stays below 2^64 in magnitude (64-bit mantissa): N * max|x| * max|y| * 2 <
// 2^63 is plenty, e.g. N = 2^22 with 16-bit inputs.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace numen::testing {

using Cld = std::complex<long double>;

// z[k] = sum_j x[j] * y[(k - j) mod N], for one k.
inline Cld CyclicConvolutionAt(const std::vector<Cld>& x, const std::vector<Cld>& y, size_t k) {
    const size_t n = x.size();
    long double re = 0, im = 0;
    for (size_t j = 0; j < n; ++j) {
        const Cld a = x[j], b = y[(k + n - j) % n];
        re += a.real() * b.real() - a.imag() * b.imag();
        im += a.real() * b.imag() + a.imag() * b.real();
    }
    return {re, im};
}

// The whole cyclic convolution x (*) y (x and y of equal length N).
inline std::vector<Cld> CyclicConvolution(const std::vector<Cld>& x, const std::vector<Cld>& y) {
    const size_t n = x.size();
    std::vector<Cld> z(n);
    for (size_t k = 0; k < n; ++k) z[k] = CyclicConvolutionAt(x, y, k);
    return z;
}

// X[k] = sum_n x[n] e^{-2 pi i n k / N} (sign -1, the kernels' forward
// direction) or e^{+2 pi i n k / N} (sign +1). The powers come from a table
// of N roots indexed by n*k mod N, each computed directly with cosl/sinl.
inline std::vector<Cld> DirectDft(const std::vector<Cld>& x, int sign = -1) {
    const size_t n = x.size();
    const long double twoPi = 6.283185307179586476925286766559005768L;
    std::vector<Cld> root(n);
    for (size_t t = 0; t < n; ++t) {
        const long double a = twoPi * static_cast<long double>(t) / static_cast<long double>(n);
        root[t] = {cosl(a), sign * sinl(a)};
    }
    std::vector<Cld> out(n);
    for (size_t k = 0; k < n; ++k) {
        Cld sum = 0;
        for (size_t j = 0; j < n; ++j) sum += x[j] * root[(j * k) % n];
        out[k] = sum;
    }
    return out;
}

// The `bits` low bits of v in reverse order.
inline size_t BitReverse(size_t v, int bits) {
    size_t r = 0;
    for (int i = 0; i < bits; ++i, v >>= 1) r = (r << 1) | (v & 1);
    return r;
}

}  // namespace numen::testing
