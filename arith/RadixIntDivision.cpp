// Division of RadixInt by a word (long division from the top digit with a
// 64-bit running remainder) and shifts by whole digits, which are what make
// the special-form reductions cheap for bases other than 2.
#include <cstring>

#include "arith/RadixInt.h"
#include "arith/RadixIntDigits.h"

namespace numen {

uint32_t RadixInt::divMagnitudeWord(uint32_t v) {
    if (v == 0) throw ArithmeticFault("division by zero");
    uint32_t n = length();
    size_ = int32_t(n);
    if (n == 0 || v == 1) return 0;
    uint32_t rem = radix::divWord(words_, n, v, radix_);
    strip();
    return rem;
}

int32_t RadixInt::divInt(int32_t v) {
    if (v == 0) throw ArithmeticFault("division by zero");
    bool xNegative = size_ < 0;
    bool negative = xNegative != (v < 0);
    uint32_t rem = divMagnitudeWord(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v));
    if (negative && size_ != 0) setNegative(true);
    // |rem| < |v| <= 2^31, so it fits with either sign.
    return xNegative ? -int32_t(rem) : int32_t(rem);
}

void RadixInt::shiftDigits(int32_t d) {
    uint32_t n = length();
    if (d == 0 || n == 0) return;
    bool negative = size_ < 0;
    if (d > 0) {
        uint32_t drop = uint32_t(d);
        if (n <= drop) {
            size_ = 0;
            return;
        }
        std::memmove(words_, words_ + drop, size_t(n - drop) * 4);
        n -= drop;
    } else {
        uint32_t move = uint32_t(-int64_t(d));
        if (uint64_t(n) + move > 0x7fffffffu) throw ArithmeticFault("integer too large");
        reserve(n + move);
        std::memmove(words_ + move, words_, size_t(n) * 4);
        std::memset(words_, 0, size_t(move) * 4);
        n += move;
    }
    size_ = negative ? -int32_t(n) : int32_t(n);
}

}  // namespace numen
