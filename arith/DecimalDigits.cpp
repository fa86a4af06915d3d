#include "arith/DecimalDigits.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "arith/WordArray.h"

namespace numen {

namespace {

// Below this many words the schoolbook square beats another Karatsuba level.
constexpr size_t kKaratsubaThreshold = 40;

void schoolbookSquare(uint32_t* r, const uint32_t* a, size_t n) {
    std::memset(r, 0, 2 * n * 4);
    for (size_t i = 0; i < n; ++i) r[i + n] = words::addMulWord(r + i, a, n, a[i]);
}

// x[0 .. xn) -= y[0 .. yn), yn <= xn, x >= y.
void subtractFrom(uint32_t* x, size_t xn, const uint32_t* y, size_t yn) {
    uint32_t borrow = words::sub(x, x, y, yn);
    words::subWord(x + yn, xn - yn, borrow);
}

// r[0 .. 2n) = a^2 by Karatsuba: with a = a1*W^h + a0,
// a^2 = a1^2 W^2h + ((a0 + a1)^2 - a0^2 - a1^2) W^h + a0^2.
void karatsubaSquare(uint32_t* r, const uint32_t* a, size_t n) {
    if (n < kKaratsubaThreshold) {
        schoolbookSquare(r, a, n);
        return;
    }
    const size_t h = n / 2, hi = n - h;  // hi >= h
    karatsubaSquare(r, a, h);               // a0^2 in r[0 .. 2h)
    karatsubaSquare(r + 2 * h, a + h, hi);  // a1^2 in r[2h .. 2n)

    std::vector<uint32_t> sum(hi + 1), middle(2 * (hi + 1));
    std::memcpy(sum.data(), a + h, hi * 4);
    uint32_t carry = words::add(sum.data(), sum.data(), a, h);
    sum[hi] = words::addWord(sum.data() + h, hi - h, carry);
    karatsubaSquare(middle.data(), sum.data(), hi + 1);
    subtractFrom(middle.data(), middle.size(), r, 2 * h);
    subtractFrom(middle.data(), middle.size(), r + 2 * h, 2 * hi);

    // r += 2 a0 a1 W^h; the sum fits in 2n words.
    size_t m = words::stripped(middle.data(), middle.size());
    if (m > 2 * n - h) m = 2 * n - h;
    carry = words::add(r + h, r + h, middle.data(), m);
    words::addWord(r + h + m, 2 * n - h - m, carry);
}

// 5^e as a word array (little-endian), by left-to-right binary powering.
std::vector<uint32_t> powerOfFive(uint32_t e) {
    std::vector<uint32_t> x{1}, sq;
    for (int bit = 31; bit >= 0; --bit) {
        size_t n = words::stripped(x.data(), x.size());
        sq.assign(2 * n + 1, 0);
        karatsubaSquare(sq.data(), x.data(), n);
        if ((e >> bit) & 1) sq[2 * n] = words::mulWord(sq.data(), sq.data(), 2 * n, 5);
        sq.resize(words::stripped(sq.data(), sq.size()));
        x.swap(sq);
    }
    return x;
}

// |x| >= 10^d, decided exactly as floor(|x| / 2^d) >= 5^d.
bool atLeastPowerOfTen(const BigInt& x, uint32_t d) {
    BigInt high(x, d);
    std::vector<uint32_t> five = powerOfFive(d);
    size_t n = high.length();
    if (n != five.size()) return n > five.size();
    return words::compare(high.words(), five.data(), n) >= 0;
}

}  // namespace

uint32_t DecimalDigitCount(const BigInt& x) {
    const uint32_t n = x.length();
    if (n <= 2) {
        uint64_t v = n == 0 ? 0 : (n == 1 ? x.words()[0] : (uint64_t(x.words()[1]) << 32 | x.words()[0]));
        uint32_t digits = 1;
        while (v >= 10) {
            v /= 10;
            ++digits;
        }
        return digits;
    }
    // log10|x| from the top 64 bits and the bit count, in 80-bit arithmetic:
    // the absolute error stays far below 1e-9 for any size a BigInt can have.
    const uint32_t* w = x.words();
    const unsigned lead = unsigned(__builtin_clz(w[n - 1]));
    uint64_t top = (uint64_t(w[n - 1]) << 32 | w[n - 2]);
    if (lead != 0) top = top << lead | (w[n - 3] >> (32 - lead));
    const long double belowTop = (long double)(n - 2) * 32.0L - lead;  // bits below `top`
    const long double log10x = std::log10((long double)top) + belowTop * 0.301029995663981195213738894724493027L;
    const long double floorLog = std::floor(log10x);
    const long double fraction = log10x - floorLog;
    constexpr long double kUndecided = 1e-9L;
    if (fraction > kUndecided && fraction < 1.0L - kUndecided) return uint32_t(floorLog) + 1;
    // So close to a power of ten that only an exact comparison can tell.
    const uint32_t d = uint32_t(std::lround(double(log10x)));
    return atLeastPowerOfTen(x, d) ? d + 1 : d;
}

}  // namespace numen
