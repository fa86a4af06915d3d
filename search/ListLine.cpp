#include "search/ListLine.h"

#include <cstdint>
#include <limits>
#include <string_view>

#include "arith/RadixChoice.h"
#include "search/ExponentLimit.h"
#include "search/SearchJob.h"

namespace numen {

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr uint32_t kLargestSignedK = 2147483647u;
constexpr uint32_t kLargestBase = 999999u;
constexpr uint32_t kLargestGfnExponent = 1u << 23;
constexpr uint32_t kLargestRadixGfnBase = 1u << 23;

// "%u" reads "-5" and numbers beyond 2^32 - 1 as other numbers; the same
// scan in 64 bits tells them apart (strtoull gives 2^64 - 5, or its maximum
// on overflow).
bool Fits(unsigned long long v) { return v <= std::numeric_limits<uint32_t>::max(); }

bool IsPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// What the proofs can take: b^n + 1 with n a power of two through the
// generalized-Fermat transform when its round-off allows the base at n, and
// through the radix of b above that (published generalized Fermat primes,
// the self-test's among them, have bases up to a few million; checked
// products guard the radix run); anything else through the radix of b.
bool WithinReach(const ListedNumber& v) {
    if (v.b < 2) return false;
    if (v.k == 1 && v.plus && v.b != 2 && IsPowerOfTwo(v.n) && v.n <= kLargestGfnExponent &&
        (v.n <= 32 || v.b <= LargestGeneralizedFermatBase(v.n) || v.b <= kLargestRadixGfnBase))
        return true;
    return v.b <= kLargestBase && v.n <= ExponentLimit(v.plus ? PlusOneForm : MinusOneForm, v.b);
}

struct VerifierFields {
    uint32_t k = 1, b = 0, n = 0, c = 0;
    char sign1 = '*', sign2 = 0, sign3 = 0;
};

// Shapes 0 and 1 read k*b^n+c, 2 and 3 b^n+c (k = 1, sign1 "*"); 1 and 3
// skip a marker after the rank. True when every field was filled and "^"
// follows b.
bool Scan(const char* text, int shape, VerifierFields& f) {
    f = VerifierFields{};
    bool filled = false;
    if (shape == 0)
        filled = std::sscanf(text, "%*d%u%c%u%c%u%c%u", &f.k, &f.sign1, &f.b, &f.sign2, &f.n, &f.sign3, &f.c) == 7;
    else if (shape == 1)
        filled = std::sscanf(text, "%*d%*c%u%c%u%c%u%c%u", &f.k, &f.sign1, &f.b, &f.sign2, &f.n, &f.sign3, &f.c) == 7;
    else if (shape == 2)
        filled = std::sscanf(text, "%*d%u%c%u%c%u", &f.b, &f.sign2, &f.n, &f.sign3, &f.c) == 5;
    else
        filled = std::sscanf(text, "%*d%*c%u%c%u%c%u", &f.b, &f.sign2, &f.n, &f.sign3, &f.c) == 5;
    return filled && f.sign2 == '^';
}

// The same shape scanned in 64 bits: every number within 32 bits.
bool ScanFits(const char* text, int shape) {
    unsigned long long v[4] = {1, 0, 0, 0};
    char s1 = 0, s2 = 0, s3 = 0;
    bool filled = false;
    if (shape == 0)
        filled = std::sscanf(text, "%*d%llu%c%llu%c%llu%c%llu", &v[0], &s1, &v[1], &s2, &v[2], &s3, &v[3]) == 7;
    else if (shape == 1)
        filled = std::sscanf(text, "%*d%*c%llu%c%llu%c%llu%c%llu", &v[0], &s1, &v[1], &s2, &v[2], &s3, &v[3]) == 7;
    else if (shape == 2)
        filled = std::sscanf(text, "%*d%llu%c%llu%c%llu", &v[1], &s2, &v[2], &s3, &v[3]) == 5;
    else
        filled = std::sscanf(text, "%*d%*c%llu%c%llu%c%llu", &v[1], &s2, &v[2], &s3, &v[3]) == 5;
    return filled && Fits(v[0]) && Fits(v[1]) && Fits(v[2]) && Fits(v[3]);
}

}  // namespace

bool ListLineReader::next(std::string& line) {
    if (!started_) {
        started_ = true;
        for (char c : std::string_view(kByteOrderMark)) {
            const int got = std::getc(file_);
            if (got != EOF) pending_.push_back(char(got));
            if (got != static_cast<unsigned char>(c)) break;
        }
        if (pending_ == kByteOrderMark) pending_.clear();
    }
    line.clear();
    while (line.size() < kListLineLength) {
        const int c = read();
        if (c == EOF) return !line.empty();
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.push_back(char(c));
    }
    // A full line: its end may follow at once; anything else starts the
    // next line.
    const int c = read();
    if (c == '\n') {
        if (line.back() == '\r') line.pop_back();
    } else if (c == '\r') {
        const int d = read();
        if (d != '\n') {
            if (d != EOF) pending_.insert(pending_.begin(), char(d));
            pending_.insert(pending_.begin(), '\r');
        }
    } else if (c != EOF) {
        pending_.insert(pending_.begin(), char(c));
    }
    return true;
}

int ListLineReader::read() {
    if (pending_.empty()) return std::getc(file_);
    const int c = static_cast<unsigned char>(pending_.front());
    pending_.erase(0, 1);
    return c;
}

bool ReadFileLine(const std::string& line, int testForm, uint32_t base, uint32_t& k, uint32_t& n) {
    if (std::sscanf(line.c_str(), "%u%u", &k, &n) != 2) return false;
    unsigned long long wideK = 0, wideN = 0;
    if (std::sscanf(line.c_str(), "%llu%llu", &wideK, &wideN) != 2 || !Fits(wideK) || !Fits(wideN)) return false;
    if (k == 0 || (base != 2 && k > kLargestSignedK)) return false;
    return n >= 2 && n <= ExponentLimit(testForm, base);
}

bool ReadVerifierLine(const std::string& line, ListedNumber& number) {
    const char* text = line.c_str();
    // The four shapes in order: k*b^n+c, the same behind a marker, b^n+c,
    // the same behind a marker; the first that fills all its fields with
    // "^" after b is taken, the others are not tried.
    VerifierFields f;
    int shape = 0;
    while (shape < 4 && !Scan(text, shape, f)) ++shape;
    if (shape == 4 || !ScanFits(text, shape)) return false;
    if (f.sign1 != '*' || f.c != 1 || f.k == 0 || (f.sign3 != '+' && f.sign3 != '-')) return false;
    if (f.b != 2 && f.k > kLargestSignedK) return false;
    const ListedNumber candidate{f.k, f.b, f.n, f.sign3 == '+'};
    if (!WithinReach(candidate)) return false;
    number = candidate;
    return true;
}

}  // namespace numen
