// Conversions between BigInt and GMP's mpz_t, and edge-biased random
// operands, for cross-checking our arithmetic against GMP.
#pragma once

#include <gmp.h>

#include <cstdint>
#include <random>
#include <string>

#include "arith/BigInt.h"
#include "arith/Candidate.h"

namespace numen::testing {

// RAII holder of an mpz_t.
struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    explicit Mpz(long x) { mpz_init_set_si(v, x); }
    Mpz(const Mpz& o) { mpz_init_set(v, o.v); }
    Mpz& operator=(const Mpz& o) {
        mpz_set(v, o.v);
        return *this;
    }
    ~Mpz() { mpz_clear(v); }
    operator mpz_ptr() { return v; }
    operator mpz_srcptr() const { return v; }
    std::string str() const;
};

// N = k*b^n + c as a GMP integer.
Mpz CandidateValue(const Candidate& N);
// N > 1 and prime by mpz_probab_prime_p (30 rounds); its decimal digits.
bool GmpPrime(const Candidate& N);
uint32_t GmpDigits(const Candidate& N);

void ToMpz(mpz_t out, const BigInt& x);
Mpz ToMpz(const BigInt& x);
BigInt FromMpz(mpz_srcptr x);
// True when x has the value of m and satisfies the representation invariants.
bool SameValue(const BigInt& x, mpz_srcptr m);
// A uniformly random residue in [0, N), seeded from rng.
BigInt RandomResidue(const Mpz& N, std::mt19937_64& rng);

// Random values for the arithmetic tests: random words, but also all-ones
// words, long runs of ones and zeros, powers of two +- 1 (edge-biased, so
// carries and borrows travel far). Sign random when `signed_` is set.
class RandomOperands {
public:
    explicit RandomOperands(uint64_t seed) : rng_(seed) {}
    BigInt value(uint32_t words, bool signed_ = true);
    uint32_t below(uint32_t n) { return uint32_t(rng_() % n); }
    uint32_t word() { return uint32_t(rng_()); }
    std::mt19937_64& engine() { return rng_; }

private:
    std::mt19937_64 rng_;
};

// Seed for randomized tests: NUMEN_TEST_SEED if set, else a fixed value, so a
// failure can be replayed; NUMEN_TEST_REPEAT scales repeat counts.
uint64_t TestSeed();
int Repeats(int base);

}  // namespace numen::testing
