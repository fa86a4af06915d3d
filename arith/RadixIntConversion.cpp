// RadixInt normalisation (the signed carry pass after the generalized-Fermat
// transform), conversions to and from BigInt, and the serialised form.
#include <algorithm>
#include <cstring>
#include <vector>

#include "arith/RadixInt.h"
#include "arith/RadixIntDigits.h"
#include "arith/WordArray.h"

namespace numen {

namespace {

// One signed carry pass over n digits read from digitAt(i) (|value| <= 2^62):
// t = carry + digit; out[i] = t mod B in [0, B); carry = (t - out[i]) / B.
// out may be the source array: digit i is read before it is written.
template <class DigitAt>
int64_t CarrySigned(uint32_t* out, uint32_t n, DigitAt digitAt, const radix::Divider& d) {
    int64_t carry = 0;
    for (uint32_t i = 0; i < n; ++i) {
        int64_t t = carry + digitAt(i);
        uint64_t q;
        if (t >= 0) {
            out[i] = d.split(uint64_t(t), q);
            carry = int64_t(q);
        } else {
            // Floor division of a negative t: B - (|t| mod B), one more borrowed.
            uint32_t r = d.split(uint64_t(-t), q);
            out[i] = r == 0 ? 0 : uint32_t(d.b) - r;
            carry = -int64_t(q) - (r == 0 ? 0 : 1);
        }
    }
    return carry;
}

// Largest power of the radix below 2^32 and its exponent: conversions to
// and from binary words move that many digits per word operation.
uint32_t ChunkDigits(uint32_t radix, uint32_t& chunk) {
    uint32_t k = 1;
    chunk = radix;
    while (uint64_t(chunk) * radix <= 0xffffffffu) {
        chunk *= radix;
        ++k;
    }
    return k;
}

}  // namespace

// --- normalisation -----------------------------------------------------------

void RadixInt::finishCarry(uint32_t n, int64_t carry, bool negative) {
    size_ = int32_t(n);
    if (carry > 0) {
        appendCarry(n, uint64_t(carry));
    } else if (carry < 0) {
        // The value is D + carry·B^n with D = the n digits in [0, B^n), so
        // |value| = (-carry)·B^n - D: the radix complement of D below a top
        // part of -carry - 1 (or -carry when D = 0).
        uint64_t top = uint64_t(-carry);
        if (words::stripped(words_, n) != 0) {
            radix::complement(words_, n, radix_);
            --top;
        }
        appendCarry(n, top);
        negative = !negative;
    }
    strip();
    setNegative(negative && size_ != 0);
}

void RadixInt::normalize() {
    uint32_t n = length();
    bool negative = size_ < 0;
    if (n == 0) return;
    const uint32_t* in = words_;
    int64_t carry = CarrySigned(
        words_, n, [in](uint32_t i) { return int64_t(int32_t(in[i])); }, radix::Divider(radix_));
    finishCarry(n, carry, negative);
}

int32_t* RadixInt::signedDigitArea(uint32_t n) {
    if (uint64_t(n) + 32 > 0x7fffffffu) throw ArithmeticFault("integer too large");
    reserve(n + 32);  // spare digits for the carry out of the top
    return reinterpret_cast<int32_t*>(words_);
}

void RadixInt::takeSignedDigits(uint32_t n) {
    size_ = int32_t(n);
    normalize();
}

void RadixInt::fromSignedDigits(const int64_t* digits, uint32_t n) {
    if (n == 0) {
        size_ = 0;
        return;
    }
    signedDigitArea(n);
    int64_t carry = CarrySigned(
        words_, n, [digits](uint32_t i) { return digits[i]; }, radix::Divider(radix_));
    finishCarry(n, carry, false);
}

// --- conversions to and from BigInt ---------------------------------------------

BigInt RadixInt::toBigInt() const {
    // Horner's rule from the top digit, a chunk of k digits (B^k < 2^32) per
    // pass over the words: r := r·B^g + (the next g digits).
    BigInt r;
    uint32_t n = length();
    if (n == 0) return r;
    uint32_t chunk;
    const uint32_t k = ChunkDigits(radix_, chunk);
    r.reserve(n + 1);  // B < 2^31: n digits never need more than n words
    uint32_t* w = r.words();
    size_t len = 0;
    uint32_t i = n;
    uint32_t g = n % k == 0 ? k : n % k;  // the top group may be short
    while (i > 0) {
        uint64_t group = 0, scale = 1;
        for (uint32_t j = 0; j < g; ++j) {
            group = group * radix_ + words_[--i];
            scale *= radix_;
        }
        uint64_t carry = group;
        for (size_t j = 0; j < len; ++j) {
            uint64_t t = uint64_t(w[j]) * scale + carry;
            w[j] = uint32_t(t);
            carry = t >> 32;
        }
        if (carry != 0) w[len++] = uint32_t(carry);
        g = k;
    }
    r.setLengthAndSign(uint32_t(len), size_ < 0);
    return r;
}

void RadixInt::setBigInt(const BigInt& x) {
    // Repeated division of the words by B^k, each remainder split into k digits.
    uint32_t len = x.length();
    if (len == 0) {
        size_ = 0;
        return;
    }
    uint32_t chunk;
    const uint32_t k = ChunkDigits(radix_, chunk);
    const uint32_t bitsPerDigit = 31 - uint32_t(__builtin_clz(radix_));  // floor(log2 B) >= 1
    uint64_t bound = uint64_t(len) * 32 / bitsPerDigit + k + 1;
    if (bound > 0x7fffffffu) throw ArithmeticFault("integer too large");
    std::vector<uint32_t> work(x.words(), x.words() + len);
    size_t nw = len;
    reserve(uint32_t(bound));
    uint32_t count = 0;
    while (nw > 0) {
        uint32_t rem = words::divWord(work.data(), nw, chunk);
        nw = words::stripped(work.data(), nw);
        for (uint32_t j = 0; j < k && (nw != 0 || rem != 0); ++j) {
            words_[count++] = rem % radix_;
            rem /= radix_;
        }
    }
    setLengthAndSign(count, x.isNegative());
}

// --- serialised form ----------------------------------------------------------------

size_t writeRadixInt(std::FILE* file, const RadixInt& x) {
    unsigned char head[20];
    words::storeLittleEndian(head, uint32_t(x.size()));
    words::storeLittleEndian(head + 4, x.radix());
    words::storeLittleEndian(head + 8, 0);
    words::storeLittleEndian(head + 12, uint32_t(x.radixLog2()));
    words::storeLittleEndian(head + 16, 0);
    size_t count = std::fwrite(head, 4, 5, file);
    uint32_t n = x.length();
    std::vector<unsigned char> body(size_t(n) * 4);
    for (uint32_t i = 0; i < n; ++i) words::storeLittleEndian(&body[size_t(i) * 4], x.digits()[i]);
    if (n != 0) count += std::fwrite(body.data(), 4, n, file);
    return count;
}

size_t readRadixInt(std::FILE* file, RadixInt& x, uint32_t maxDigits) {
    unsigned char head[20];
    if (std::fread(head, 4, 1, file) != 1) return 0;
    int32_t size = int32_t(words::loadLittleEndian(head));
    uint32_t n = size < 0 ? uint32_t(0) - uint32_t(size) : uint32_t(size);
    if (n > maxDigits) return 1;
    size_t got = std::fread(head + 4, 4, 4, file);
    if (got != 4) return 1 + got;
    int32_t radix = int32_t(words::loadLittleEndian(head + 4));
    if (radix < 2) return 2;

    // The body is read in slices, so a damaged size costs at most the memory
    // of what the file really holds; each digit is checked against the radix.
    constexpr uint32_t kSlice = 1u << 16;
    std::vector<uint32_t> digits;
    digits.reserve(std::min(n, kSlice));
    std::vector<unsigned char> raw(size_t(std::min(n, kSlice)) * 4);
    while (digits.size() < n) {
        uint32_t want = std::min<uint32_t>(kSlice, n - uint32_t(digits.size()));
        size_t read = std::fread(raw.data(), 4, want, file);
        for (size_t i = 0; i < read; ++i) {
            uint32_t d = words::loadLittleEndian(&raw[i * 4]);
            if (d >= uint32_t(radix)) return 5 + digits.size();
            digits.push_back(d);
        }
        if (read != want) return 5 + digits.size();
    }
    x.setRadix(uint32_t(radix));
    if (n != 0) {
        x.reserve(n);
        std::memcpy(x.digits(), digits.data(), size_t(n) * 4);
    }
    x.setLengthAndSign(n, size < 0);
    return 5 + n;
}

}  // namespace numen
