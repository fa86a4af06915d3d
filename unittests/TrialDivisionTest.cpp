// Trial division against GMP: the exponent word and start table, the
// residue kernels (k*b^n mod p against mpz_powm, b^(2^m) against -1), the
// limits, and the three entry points, whose reported factor must be the
// smallest in the order of the tested pairs and never a false one.
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "ref/GmpOracle.h"
#include "ref/PlainSieve.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "report/ResultLines.h"
#include "report/ResultLog.h"
#include "report/ResultLogTrialReport.h"
#include "arith/CyclotomicValue.h"
#include "sieve/ExponentWord.h"
#include "sieve/ResidueKernels.h"
#include "sieve/TrialDivide.h"
#include "sieve/TrialLimit.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::Mpz;

// k*b^n mod p by GMP.
uint64_t GmpResidue(uint32_t k, uint32_t b, uint32_t n, uint64_t p) {
    Mpz x, mod, base{long(b)};
    mpz_import(mod, 1, 1, sizeof(p), 0, 0, &p);
    mpz_powm_ui(x, base, n, mod);
    mpz_mul_ui(x, x, k);
    mpz_mod(x, x, mod);
    uint64_t r = 0;
    mpz_export(&r, nullptr, 1, sizeof(r), 0, 0, x);
    return r;
}

// k*b^n + c as an mpz.
Mpz CandidateMpz(uint32_t k, uint32_t b, uint32_t n, int32_t c) {
    Mpz x{long(b)};
    mpz_pow_ui(x, x, n);
    mpz_mul_ui(x, x, k);
    if (c >= 0) mpz_add_ui(x, x, uint32_t(c)); else mpz_sub_ui(x, x, 0u - uint32_t(c));
    return x;
}

// An exponent from 1 to 2^25, log-uniform, so short and long words both come up.
uint32_t RandomExponent(std::mt19937_64& rng) {
    const uint32_t bits = 1 + uint32_t(rng() % 25);
    return std::max<uint32_t>(1, uint32_t(rng() & ((uint64_t(1) << bits) - 1)) | (1u << (bits - 1)));
}

// A random odd modulus in [centre - spread, centre + spread) clamped below `top`.
uint64_t RandomModulus(std::mt19937_64& rng, uint64_t centre, uint64_t spread, uint64_t top) {
    uint64_t p = centre - spread + rng() % (2 * spread);
    if (p >= top) p = top - 1 - (rng() % spread);
    return p | 1;
}

TEST(TrialExponentWord, ReversesTheBitsBelowTheLeadingOne) {
    EXPECT_EQ(ExponentWord(1), 1u);
    EXPECT_EQ(ExponentWord(2), 2u);
    EXPECT_EQ(ExponentWord(3), 3u);
    EXPECT_EQ(ExponentWord(22), 0b10110u);   // 1 0110 -> bits 0110 read from bit 0
    EXPECT_EQ(ExponentWord(0b100000001u), 0b110000000u);
    EXPECT_EQ(ExponentWord(0xffffffffu), 0xffffffffu);
    std::mt19937_64 rng(testing::TestSeed());
    for (int i = 0; i < 1000; ++i) {
        const uint32_t n = uint32_t(rng()) | 1u;
        ASSERT_EQ(ExponentOfWord(ExponentWord(n)), n) << n;
    }
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t reversed = ((i & 1) << 3) | ((i & 2) << 1) | ((i & 4) >> 1) | ((i & 8) >> 3);
        EXPECT_EQ(kStartShift[i], 16 + reversed) << i;
    }
    // 43271 = 1010 1001 0000 0111b: start 2^21 (10101b), eleven bits left.
    const Base2Start plan = PlanBase2(ExponentWord(43271));
    EXPECT_EQ(plan.shift, 21u);
    EXPECT_EQ(ExponentOfWord(plan.rest | (1u << 11)) & 0x7ff, 43271u & 0x7ff);
}

TEST(TrialLimit, BoundariesOfEachRange) {
    EXPECT_EQ(TrialLimit(0), 1u);
    EXPECT_EQ(TrialLimit(1), 2u);
    EXPECT_EQ(TrialLimit(19), 524288u);
    EXPECT_EQ(TrialLimit(20), 1048576u);
    EXPECT_EQ(TrialLimit(2896), 1048576u);
    EXPECT_EQ(TrialLimit(2897), 1048714u);
    EXPECT_EQ(TrialLimit(43271), 234009568u);
    EXPECT_EQ(TrialLimit(33554400), 140737219920000u);
    EXPECT_EQ(TrialLimit(0xffffffffu), uint64_t(0xffffffffu) * (0xffffffffu / 8));
    // The manual limit wins, truncated; 0 disables.
    EXPECT_EQ(TrialLimit(43271, {true, 0}), 0u);
    EXPECT_EQ(TrialLimit(5, {true, 12345.9}), 12345u);
    EXPECT_EQ(TrialLimit(5, {true, 1.15e18}), 1150000000000000000u);
    EXPECT_EQ(TrialLimit(5, {false, 12345.9}), 32u);

    EXPECT_EQ(CandidateBits(2, 43271), 43271u);
    EXPECT_EQ(CandidateBits(10, 100), 332u);     // 332.19
    EXPECT_EQ(CandidateBits(3, 1000), 1584u);    // 1584.96
    EXPECT_EQ(CandidateBits(999999, 1), 19u);
}

TEST(TrialKernels, PairsMatchGmpForEveryWidthAndBase) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    const int repeats = testing::Repeats(3000);
    for (int i = 0; i < repeats; ++i) {
        const uint32_t k = i % 7 == 0 ? 1 : uint32_t(rng());
        const uint32_t n = i < 40 ? uint32_t(i + 1) : RandomExponent(rng);
        const uint32_t b = i % 2 == 0 ? 2 : i % 6 == 1 ? uint32_t(rng()) : 3 + uint32_t(rng() % 999997);
        const uint32_t w = ExponentWord(n);
        const Base2Start start = PlanBase2(w);
        auto where = [&](uint64_t p) {
            return "seed " + std::to_string(seed) + " k=" + std::to_string(k) + " b=" + std::to_string(b) +
                   " n=" + std::to_string(n) + " p=" + std::to_string(p);
        };

        // 32-bit: p near 2^31 (and small p, 2 first in a pair).
        uint32_t p32[4] = {uint32_t(RandomModulus(rng, 1u << 31, 1u << 20, 1u << 31)),
                           uint32_t(RandomModulus(rng, 1u << 31, 1u << 20, 1u << 31)),
                           i % 5 == 0 ? 2u : uint32_t(3 + rng() % 1000) | 1u, uint32_t(3 + rng() % 65536) | 1u};
        uint32_t r32[4];
        if (b == 2) ResiduesBase2W32<4>(k, start, p32, r32); else ResiduesW32<4>(k, b, w, p32, r32);
        for (int j = 0; j < 4; ++j) ASSERT_EQ(r32[j], GmpResidue(k, b, n, p32[j])) << where(p32[j]);
        uint32_t pair[2];
        if (b == 2) ResiduePairBase2W32(k, start, p32[2], p32[0], pair);
        else ResiduePairW32(k, b, w, p32[2], p32[0], pair);
        ASSERT_EQ(pair[0], r32[2]) << where(p32[2]);
        ASSERT_EQ(pair[1], r32[0]) << where(p32[0]);

        // 64-bit: p near 2^32, 2^61 and just below 2^62, and 2.
        uint64_t p64[4] = {RandomModulus(rng, uint64_t(1) << 32, 1u << 20, uint64_t(1) << 62),
                           RandomModulus(rng, uint64_t(1) << 61, uint64_t(1) << 40, uint64_t(1) << 62),
                           i % 5 == 0 ? 2 : RandomModulus(rng, uint64_t(1) << 62, uint64_t(1) << 40, uint64_t(1) << 62),
                           RandomModulus(rng, uint64_t(1) << 31, 1u << 20, uint64_t(1) << 62)};
        uint64_t r64[4];
        if (b == 2) ResiduesBase2W64<4>(k, start, p64, r64); else ResiduesW64<4>(k, b, w, p64, r64);
        for (int j = 0; j < 4; ++j) ASSERT_EQ(r64[j], GmpResidue(k, b, n, p64[j])) << where(p64[j]);
        uint64_t pair64[2];
        if (b == 2) ResiduePairBase2W64(k, start, p64[2], p64[1], pair64);
        else ResiduePairW64(k, b, w, p64[2], p64[1], pair64);
        ASSERT_EQ(pair64[0], r64[2]) << where(p64[2]);
        ASSERT_EQ(pair64[1], r64[1]) << where(p64[1]);
    }
}

// b^(2^m) = -1 mod q, by GMP.
bool GmpIsMinusOne(uint32_t b, uint32_t m, uint64_t q) {
    Mpz x, mod, base{long(b)}, e{1};
    mpz_import(mod, 1, 1, sizeof(q), 0, 0, &q);
    mpz_mul_2exp(e, e, m);
    mpz_powm(x, base, e, mod);
    mpz_add_ui(x, x, 1);
    return mpz_cmp(x, mod) == 0;
}

// A random prime q = 1 mod step, below top.
uint64_t RandomPrimeOneMod(std::mt19937_64& rng, uint64_t step, uint64_t top) {
    for (;;) {
        const uint64_t q = step * (1 + rng() % (top / step - 1)) + 1;
        Mpz x;
        mpz_import(x, 1, 1, sizeof(q), 0, 0, &q);
        if (q < top && mpz_probab_prime_p(x, 30)) return q;
    }
}

// A base b < q (q prime, q = 1 mod 2^(m+1), q < 2^32) with b^(2^m) = -1:
// g^((q-1)/2^(m+1)) for a random g, which has that order half the time or more.
uint32_t BaseOfOrder(std::mt19937_64& rng, uint64_t q, uint32_t m) {
    for (;;) {
        Mpz g{long(2 + rng() % (q - 2))}, mod{long(q)}, b;
        mpz_powm_ui(b, g, (q - 1) >> (m + 1), mod);
        const uint32_t base = uint32_t(mpz_get_ui(b));
        if (base >= 2 && GmpIsMinusOne(base, m, q)) return base;
    }
}

TEST(TrialKernels, GfnMaskMarksExactlyTheMinusOnes) {
    // Known factors of Fermat numbers, mixed with neighbours that are not.
    EXPECT_EQ(GfnMinusOneMask(2, 5, {641, 643, 6700417, 645}), 0b0101u);
    EXPECT_EQ(GfnMinusOneMask(2, 6, {129, 257, 274177, 274179}), 0b0100u);
    EXPECT_EQ(GfnMinusOneMask(2, 7, {59649589127497217ull, 3, 5, 59649589127497219ull}), 0b0001u);
    EXPECT_EQ(GfnMinusOneMask(2, 8, {7, 1238926361552897ull, 9, 11}), 0b0010u);

    // Random primes q = 1 mod 2^(m+1) below 2^32 with a base b < q of order
    // 2^(m+1), each in a random lane among random odd moduli up to 2^61.
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (int i = 0; i < testing::Repeats(100); ++i) {
        const uint32_t m = 1 + uint32_t(rng() % 25);
        const uint64_t q = RandomPrimeOneMod(rng, uint64_t(1) << (m + 1), uint64_t(1) << 32);
        const uint32_t b = BaseOfOrder(rng, q, m);
        std::array<uint64_t, 4> moduli;
        for (uint64_t& x : moduli) x = (3 + rng() % ((uint64_t(1) << 61) - 3)) | 1;
        moduli[rng() % 4] = q;
        unsigned expected = 0;
        for (int j = 0; j < 4; ++j) expected |= unsigned(GmpIsMinusOne(b, m, moduli[j])) << j;
        ASSERT_NE(expected, 0u);
        ASSERT_EQ(GfnMinusOneMask(b, m, moduli), expected) << "seed " << seed << " b=" << b << " m=" << m;
    }
}

// A fresh folder per test; verbose lines go to the pane so factor lines can be read.
class TrialDivision : public ::testing::Test {
protected:

    TrialContext Context(ManualLimit manual = {}) { return TrialContext{report, running, manual}; }
    // Pane texts after the progress text.
    std::vector<std::string> Reports() const {
        std::vector<std::string> texts = sink.texts();
        if (!texts.empty()) texts.erase(texts.begin());
        return texts;
    }

    testing::TempFolder folder;  // made before the log that writes into it
    RecordingSink sink;
    ResultLog log{&sink, folder.path(), OutputOptions{true, false, false}};
    ResultLogTrialReport report{log};
    std::atomic<bool> running{true};
};

// The factor TrialDivide must report: the first prime, in pair order, of the
// pairs whose second member is below the limit, that divides N; 0 if none.
uint64_t ExpectedFactor(const Mpz& candidate, uint64_t limit) {
    static const std::vector<uint32_t> primes = testing::PlainPrimes(1u << 21);
    for (size_t i = 0; i + 1 < primes.size() && primes[i + 1] < limit; i += 2) {
        if (mpz_divisible_ui_p(candidate, primes[i])) return primes[i];
        if (mpz_divisible_ui_p(candidate, primes[i + 1])) return primes[i + 1];
    }
    return 0;
}

TEST_F(TrialDivision, ReportsTheSmallestFactorOfEveryForm) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    const int32_t offsets[] = {1, -1, 1, -1, 3, -3, 5, 7, -7, 9, 15, 31, 105, -105};
    int withFactor = 0, without = 0;
    for (int i = 0; i < testing::Repeats(120); ++i) {
        const int32_t c = offsets[rng() % std::size(offsets)];
        const uint32_t b = i % 3 == 0 ? 3 + uint32_t(rng() % 999997) : 2;
        const uint32_t k = i % 4 == 0 ? 1 + uint32_t(rng() % 1000) : uint32_t(rng() | 1);
        // Sizes from 2^4 to 2^3000: the limit is 2^e, then 2^20.
        const uint32_t e = 4 + uint32_t(rng() % 3000);
        const uint32_t n = b == 2 ? e : std::max<uint32_t>(1, uint32_t(e / std::log2(double(b))));
        const Mpz candidate = CandidateMpz(k, b, n, c);
        const uint64_t limit = TrialLimit(CandidateBits(b, n));
        const uint64_t expected = ExpectedFactor(candidate, limit);
        if (expected != 0 && mpz_cmp_ui(candidate.v, expected) == 0) continue;   // N itself is prime
        sink.clear();
        bool found = !expected;
        ASSERT_TRUE(TrialDivide(found, {k, b, n, c}, Context()));
        const std::string where = "seed " + std::to_string(seed) + " N=" + std::to_string(k) + "*" +
                                  std::to_string(b) + "^" + std::to_string(n) + "+" + std::to_string(c);
        ASSERT_EQ(found, expected != 0) << where;
        if (expected != 0) {
            ASSERT_EQ(Reports(), std::vector<std::string>{FactorLine({k, b, n, c}, expected)}) << where;
            ++withFactor;
        } else {
            ASSERT_TRUE(Reports().empty()) << where;
            ++without;
        }
    }
    EXPECT_GT(withFactor, 0);
    EXPECT_GT(without, 0);
}

TEST_F(TrialDivision, ChainOffsetsAtPrimesNotAboveC) {
    // Every k, c with a small prime p <= |c| as the smallest factor: the
    // short rules r = p - c, r = -c would miss or invent these.
    for (uint32_t k = 1; k <= 60; ++k) {
        for (int32_t c : {3, -3, 5, -5, 7, -7, 9, 11, -11, 15, 21, -21, 105}) {
            const uint32_t n = 40;
            const Mpz candidate = CandidateMpz(k, 2, n, c);
            const uint64_t expected = ExpectedFactor(candidate, TrialLimit(n));
            sink.clear();
            bool found = false;
            ASSERT_TRUE(TrialDivide(found, {k, 2, n, c}, Context()));
            ASSERT_EQ(found, expected != 0) << k << "*2^40 + " << c;
            if (found) {
                ASSERT_EQ(Reports(), std::vector<std::string>{FactorLine({k, 2, n, c}, expected)}) << k << " " << c;
            }
        }
    }
}

TEST_F(TrialDivision, ProgressTextAndEdgeCases) {
    bool found = true;
    // n = 1, b = 2: limit 2, the pair (2, 3) is not tested.
    ASSERT_TRUE(TrialDivide(found, {3, 2, 1, 1}, Context()));
    EXPECT_FALSE(found);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"3*2^1 + 1 ? Trial division up to 2"});

    // k and b odd: k*b^n + 1 is even, found by the first pair.
    sink.clear();
    ASSERT_TRUE(TrialDivide(found, {5, 7, 200, -1}, Context()));
    EXPECT_TRUE(found);
    EXPECT_EQ(sink.texts(), (std::vector<std::string>{"5*7^200 - 1 ? Trial division up to 1048576",
                                                      FactorLine({5, 7, 200, -1}, 2)}));

    // A prime below the limit meets itself: announced as a prime, found set.
    sink.clear();
    ASSERT_TRUE(TrialDivide(found, {1, 2, 3, -1}, Context()));
    EXPECT_TRUE(found);
    ASSERT_FALSE(Reports().empty());
    EXPECT_EQ(Reports()[0], PrimeLine({1, 2, 3, -1}, 0, 0, true, 1));

    // A manual limit of 0 (or anything up to 3) tests nothing.
    sink.clear();
    ASSERT_TRUE(TrialDivide(found, {5, 7, 200, -1}, Context({true, 3})));
    EXPECT_FALSE(found);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"5*7^200 - 1 ? Trial division up to 3"});

    // The benchmark candidate's text.
    sink.clear();
    running = false;
    TrialDivide(found, {432711, 2, 43271, 1}, Context());
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"432711*2^43271 + 1 ? Trial division up to 234009568"});
}

TEST_F(TrialDivision, SixtyFourBitKernelsAboveTheSwitch) {
    // Same factors on both sides of 2100000000, from the prime 2 on.
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (double pMax : {2100000000.0, 2100000001.0}) {
        for (int i = 0; i < 40; ++i) {
            const uint32_t k = uint32_t(rng()), b = i % 2 ? 2 : 3 + uint32_t(rng() % 1000), n = 100 + uint32_t(rng() % 500);
            const int32_t c = i % 3 ? 1 : -1;
            const Mpz candidate = CandidateMpz(k, b, n, c);
            const uint64_t expected = ExpectedFactor(candidate, 1u << 21);
            if (expected == 0) continue;   // would run to the limit: the long tests do that
            sink.clear();
            bool found = false;
            ASSERT_TRUE(TrialDivide(found, {k, b, n, c}, Context({true, pMax})));
            ASSERT_TRUE(found);
            ASSERT_EQ(Reports(), std::vector<std::string>{FactorLine({k, b, n, c}, expected)}) << "seed " << seed;
        }
    }
}

TEST_F(TrialDivision, StopReturnsFalseWithoutWritingFound) {
    // 432711*2^43271 + 1 has no factor below its limit; the first pair is
    // still tested before the flag is read.
    running = false;
    for (bool before : {false, true}) {
        bool found = before;
        EXPECT_FALSE(TrialDivide(found, {432711, 2, 43271, 1}, Context()));
        EXPECT_EQ(found, before);
        EXPECT_FALSE(TrialDivideGfn(found, 2, 1u << 20, Context()));
        EXPECT_EQ(found, before);
        EXPECT_FALSE(TrialDividePhi(found, 1009, 3, Context()));   // 1009 prime, Phi = (3^1009 - 1)/2
        EXPECT_EQ(found, before);
    }
    bool found = false;
    EXPECT_TRUE(TrialDivide(found, {5, 7, 200, -1}, Context()));   // 2 divides: found before the poll
    EXPECT_TRUE(found);
}

// The divisor TrialDivideGfn must report: kept q = 2n*i + 1 (not divisible
// by 3, 5, 7) for 1 <= i < count, in full groups of four, first dividing one.
uint64_t ExpectedGfnFactor(uint32_t b, uint32_t n, uint64_t count) {
    Mpz candidate = CandidateMpz(1, b, n, 1);
    std::vector<uint64_t> kept;
    for (uint64_t i = 1; i < count; ++i) {
        const uint64_t q = 2 * uint64_t(n) * i + 1;
        if (q % 3 && q % 5 && q % 7) kept.push_back(q);
    }
    kept.resize(kept.size() / 4 * 4);
    for (uint64_t q : kept)
        if (mpz_divisible_ui_p(candidate, q)) return q;
    return 0;
}

TEST_F(TrialDivision, GfnFindsKnownFactorsInGroupsOfKeptDivisors) {
    bool found = false;
    ASSERT_TRUE(TrialDivideGfn(found, 2, 64, Context()));
    EXPECT_TRUE(found);
    EXPECT_EQ(sink.texts(), (std::vector<std::string>{"2^64 + 1 ? Trial division up to 75638*128 + 1",
                                                      FactorLine({1, 2, 64, 1}, 274177)}));
    // n = 32 is not divided at all.
    sink.clear();
    found = true;
    ASSERT_TRUE(TrialDivideGfn(found, 2, 32, Context()));
    EXPECT_FALSE(found);
    EXPECT_TRUE(sink.texts().empty());

    // Random bases with small manual limits, so the factor often sits in
    // or after the last, incomplete group.
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (int i = 0; i < testing::Repeats(60); ++i) {
        const uint32_t m = 6 + uint32_t(rng() % 5), n = 1u << m;
        const double pMax = double(1000 + rng() % 200000);
        const uint64_t count = uint64_t(pMax / std::log(pMax));
        // Half the bases have a factor 2n*i + 1 with i below about 1.2 count.
        const uint32_t b = i % 2 ? 2 + uint32_t(rng() % 5000)
                                 : BaseOfOrder(rng, RandomPrimeOneMod(rng, 2 * n, 2 * n * (count + count / 5)), m);
        const uint64_t expected = ExpectedGfnFactor(b, n, count);
        sink.clear();
        ASSERT_TRUE(TrialDivideGfn(found, b, n, Context({true, pMax})));
        const std::string where = "seed " + std::to_string(seed) + " " + std::to_string(b) + "^" + std::to_string(n);
        ASSERT_EQ(found, expected != 0) << where;
        if (found) {
            ASSERT_EQ(Reports(), std::vector<std::string>{FactorLine({1, b, n, 1}, expected)}) << where;
        }
    }
}

TEST(TrialCyclotomic, MoebiusAndValues) {
    // mu from the factorisation.
    for (uint32_t m = 1; m <= 5000; ++m) {
        int mu = 1;
        uint32_t x = m;
        for (uint32_t d = 2; d <= x; ++d) {
            if (x % d) continue;
            x /= d;
            if (x % d == 0) { mu = 0; break; }
            mu = -mu;
        }
        ASSERT_EQ(Moebius(m, 2), mu) << m;
    }
    EXPECT_EQ(CyclotomicValue(1, 10).toString(), "9");
    EXPECT_EQ(CyclotomicValue(2, 10).toString(), "11");
    EXPECT_EQ(CyclotomicValue(6, 10).toString(), "91");
    EXPECT_EQ(CyclotomicValue(12, 10).toString(), "9901");
    EXPECT_EQ(CyclotomicValue(5, 2).toString(), "31");
    // The product of Phi_d(b) over d | n is b^n - 1.
    for (uint32_t b : {2u, 3u, 10u, 999999u}) {
        for (uint32_t n = 1; n <= 60; ++n) {
            Mpz product(1);
            for (uint32_t d = 1; d <= n; ++d)
                if (n % d == 0) mpz_mul(product, product, testing::ToMpz(CyclotomicValue(d, b)));
            ASSERT_EQ(mpz_cmp(product, CandidateMpz(1, b, n, -1)), 0) << b << " " << n;
        }
    }
}

TEST_F(TrialDivision, PhiScansDivisorsOfNThenOneModN) {
    // Phi_3(2) = 7 = 2*3 + 1 is itself a divisor: not a factor.
    bool found = true;
    ASSERT_TRUE(TrialDividePhi(found, 3, 2, Context()));
    EXPECT_FALSE(found);
    EXPECT_TRUE(sink.texts().empty());
    // Phi_6(10) = 91 = 7 * 13: 7 = 6 + 1 first.
    ASSERT_TRUE(TrialDividePhi(found, 6, 10, Context()));
    EXPECT_TRUE(found);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{FactorLine({1, 10, 6, -1}, 7)});
    // Phi_p(b) is divisible by p when b = 1 mod p: Phi_3(7) = 57 = 3 * 19.
    sink.clear();
    ASSERT_TRUE(TrialDividePhi(found, 3, 7, Context()));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{FactorLine({1, 7, 3, -1}, 3)});

    // Random n, b against the same scan done by GMP.
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (int i = 0; i < testing::Repeats(10); ++i) {
        const uint32_t n = 200 + uint32_t(rng() % 2800), b = 2 + uint32_t(rng() % 30);
        const Mpz value = testing::ToMpz(CyclotomicValue(n, b));
        uint64_t expected = 0;
        for (uint32_t t = 2; t <= n && !expected; ++t)
            if (n % t == 0 && mpz_divisible_ui_p(value, t)) expected = t;
        for (uint32_t j = 1; j <= 100000000 / n && !expected; ++j)
            if (mpz_divisible_ui_p(value, j * n + 1)) expected = j * n + 1;
        sink.clear();
        ASSERT_TRUE(TrialDividePhi(found, n, b, Context()));
        ASSERT_EQ(found, expected != 0) << "seed " << seed << " n=" << n << " b=" << b;
        if (found) {
            ASSERT_EQ(sink.texts(), std::vector<std::string>{FactorLine({1, b, n, -1}, expected)});
        }
    }
}

}  // namespace
}  // namespace numen
