// Division of BigInt: by a word, and Knuth's long division (TAOCP vol. 2,
// 4.3.1 algorithm D) with normalisation by multiplication.
#include <cstring>
#include <vector>

#include "arith/BigInt.h"
#include "arith/WordArray.h"

namespace numen {

uint32_t BigInt::divMagnitudeWord(uint32_t w) {
    if (w == 0) throw ArithmeticFault("division by zero");
    uint32_t n = length();
    size_ = int32_t(n);
    if (n == 0) return 0;
    uint32_t rem;
    if ((w & (w - 1)) == 0) {
        rem = words_[0] & (w - 1);
        if (w != 1) words::shiftRight(words_, n, unsigned(__builtin_ctz(w)));
    } else {
        rem = words::divWord(words_, n, w);
    }
    strip();
    return rem;
}

int32_t BigInt::divInt(int32_t v) {
    return divSigned(v, [this](uint32_t w) { return divMagnitudeWord(w); });
}

void BigInt::divMod(BigInt& rem, const BigInt& d) {
    if (d.size_ == 0) throw ArithmeticFault("division by zero");
    if (&d == this || &d == &rem) {
        BigInt divisor(d);
        divMod(rem, divisor);
        return;
    }
    uint32_t m = length(), n = d.length();
    size_ = int32_t(m);
    if (m == 0) {
        rem.setUnsigned(0);
        return;
    }
    if (n == 1) {
        rem.setUnsigned(divMagnitudeWord(d.words_[0]));
        return;
    }
    if (m < n) {
        rem.assign(*this, 0);
        size_ = 0;
        return;
    }

    // Normalise so that the divisor's top word is at least 2^31: multiply
    // both operands by floor(2^32 / (top + 1)) (1 when top = 2^32 - 1).
    const uint32_t vTop = d.words_[n - 1];
    const uint32_t norm = vTop == 0xffffffffu ? 1 : uint32_t((uint64_t(1) << 32) / (uint64_t(vTop) + 1));
    std::vector<uint32_t> u(size_t(m) + 2), v(n);
    u[m] = words::mulWord(u.data(), words_, m, norm);
    u[m + 1] = 0;
    words::mulWord(v.data(), d.words_, n, norm);
    const uint32_t v1 = v[n - 1], v2 = v[n - 2];

    // Quotient words, top down; each window u[j .. j+n] yields one word.
    for (uint32_t j = m - n + 1; j-- > 0;) {
        uint32_t* window = u.data() + j;
        const uint32_t uTop = window[n], uNext = window[n - 1], uThird = window[n - 2];
        uint32_t qHat;
        if (uTop == v1) {
            qHat = 0xffffffffu;  // the window quotient is 2^32 - 1 or 2^32 - 2
        } else {
            uint64_t num = (uint64_t(uTop) << 32) | uNext;
            uint64_t q = num / v1, r = num % v1;
            while (q * v2 > ((r << 32) | uThird)) {
                --q;
                r += v1;
                if (r >> 32) break;
            }
            qHat = uint32_t(q);
        }
        uint32_t borrow = words::subMulWord(window, v.data(), n, qHat);
        uint32_t top = window[n];
        window[n] = top - borrow;
        if (borrow > top) {
            // One add-back always suffices once qHat passed the test above.
            --qHat;
            window[n] += words::add(window, window, v.data(), n);
        }
        words_[j] = qHat;
    }
    size_ = int32_t(m - n + 1);
    strip();

    rem.reserve(n);
    std::memcpy(rem.words_, u.data(), size_t(n) * 4);
    rem.setLengthAndSign(n, false);
    rem.divMagnitudeWord(norm);
}

BigInt& BigInt::divRem(BigInt& rem, const BigInt& d) {
    bool xNegative = size_ < 0, dNegative = d.size_ < 0;
    divMod(rem, d);
    if (xNegative != dNegative && size_ != 0) setNegative(true);
    if (xNegative && rem.size_ != 0) rem.setNegative(true);
    return rem;
}

BigInt operator/(const BigInt& x, int32_t v) {
    BigInt r(x);
    r.divInt(v);
    return r;
}

int32_t operator%(const BigInt& x, int32_t v) {
    BigInt r(x);
    return r.divInt(v);
}

BigInt mod(const BigInt& x, const BigInt& m) {
    BigInt q(x), r;
    q.divRem(r, m);
    return r;
}

}  // namespace numen
