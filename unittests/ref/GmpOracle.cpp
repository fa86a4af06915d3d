#include "ref/GmpOracle.h"

#include <cstdlib>
#include <vector>

namespace numen::testing {

Mpz CandidateValue(const Candidate& N) {
    Mpz m;
    mpz_ui_pow_ui(m, N.b, N.n);
    mpz_mul_ui(m, m, N.k);
    if (N.c >= 0) mpz_add_ui(m, m, uint32_t(N.c));
    else mpz_sub_ui(m, m, N.offsetMagnitude());
    return m;
}

bool GmpPrime(const Candidate& N) {
    Mpz v = CandidateValue(N);
    return mpz_cmp_ui(v.v, 1) > 0 && mpz_probab_prime_p(v.v, 30) > 0;
}

uint32_t GmpDigits(const Candidate& N) { return uint32_t(CandidateValue(N).str().size()); }

std::string Mpz::str() const {
    char* s = mpz_get_str(nullptr, 10, v);
    std::string r(s);
    void (*freeFunction)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(s, r.size() + 1);
    return r;
}

void ToMpz(mpz_t out, const BigInt& x) {
    mpz_import(out, x.length(), -1, 4, 0, 0, x.words());
    if (x.isNegative()) mpz_neg(out, out);
}

Mpz ToMpz(const BigInt& x) {
    Mpz m;
    ToMpz(m.v, x);
    return m;
}

BigInt FromMpz(mpz_srcptr x) {
    size_t count = (mpz_sizeinbase(x, 2) + 31) / 32 + 1;
    std::vector<uint32_t> w(count, 0);
    size_t written = 0;
    mpz_export(w.data(), &written, -1, 4, 0, 0, x);
    BigInt r;
    r.reserve(uint32_t(written));
    for (size_t i = 0; i < written; ++i) r.words()[i] = w[i];
    r.setLengthAndSign(uint32_t(written), mpz_sgn(x) < 0);
    return r;
}

bool SameValue(const BigInt& x, mpz_srcptr m) {
    uint32_t n = x.length();
    if (n > x.capacity()) return false;
    if (n != 0 && x.words()[n - 1] == 0) return false;
    Mpz mine = ToMpz(x);
    return mpz_cmp(mine.v, m) == 0;
}

BigInt RandomOperands::value(uint32_t words, bool signed_) {
    BigInt r;
    if (words == 0) return r;
    r.reserve(words);
    uint32_t* w = r.words();
    switch (rng_() % 6) {
        case 0:  // all ones
            for (uint32_t i = 0; i < words; ++i) w[i] = 0xffffffffu;
            break;
        case 1: {  // long runs of ones and zeros
            uint32_t bits = words * 32, pos = 0;
            for (uint32_t i = 0; i < words; ++i) w[i] = 0;
            bool one = rng_() & 1;
            while (pos < bits) {
                uint32_t run = 1 + uint32_t(rng_() % 200);
                for (uint32_t b = pos; b < pos + run && b < bits; ++b)
                    if (one) w[b / 32] |= 1u << (b % 32);
                pos += run;
                one = !one;
            }
            w[words - 1] |= 0x80000000u >> (rng_() % 32);
            break;
        }
        case 2: {  // 2^a +- 1 within the length
            for (uint32_t i = 0; i < words; ++i) w[i] = 0;
            w[words - 1] = 1u << (rng_() % 32);
            r.setLengthAndSign(words, false);
            if (rng_() & 1) r.addInt(1); else r.subInt(1);
            if (r.isZero()) r.setInt(1);
            if (signed_ && (rng_() & 1)) r.negate();
            return r;
        }
        default:
            for (uint32_t i = 0; i < words; ++i) w[i] = uint32_t(rng_());
            if (w[words - 1] == 0) w[words - 1] = 1;
    }
    r.setLengthAndSign(words, signed_ && (rng_() & 1));
    return r;
}

uint64_t TestSeed() {
    const char* s = std::getenv("NUMEN_TEST_SEED");
    return s ? std::strtoull(s, nullptr, 0) : 20261208;
}

int Repeats(int base) {
    const char* s = std::getenv("NUMEN_TEST_REPEAT");
    double scale = s ? std::strtod(s, nullptr) : 1.0;
    int n = int(base * scale);
    return n < 1 ? 1 : n;
}

BigInt RandomResidue(const Mpz& N, std::mt19937_64& rng) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, rng());
    Mpz r;
    mpz_urandomm(r, state, N);
    gmp_randclear(state);
    return FromMpz(r);
}

}  // namespace numen::testing
