// Division of RadixInt by a word (long division from the top digit with a
// 64-bit running remainder) and shifts by whole digits, which are what make
// the special-form reductions cheap for bases other than 2.
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
    return divSigned(v, [this](uint32_t w) { return divMagnitudeWord(w); });
}

void RadixInt::shiftDigits(int32_t d) {
    uint32_t n = length();
    if (d == 0 || n == 0) return;
    bool negative = size_ < 0;
    n = d > 0 ? dropLowWords(uint32_t(d)) : moveWordsUp(uint32_t(-int64_t(d)), 0);
    size_ = negative ? -int32_t(n) : int32_t(n);
}

}  // namespace numen
