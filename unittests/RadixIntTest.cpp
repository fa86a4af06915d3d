// RadixInt against GMP in every radix the system uses (B(b) for small and
// large bases, a power of two, a generalized-Fermat base above 2^30) on
// random and adversarial digits, plus the representation rules (sign of
// zero, digits in [0, B), its own block cache, the serialised form and the
// refusal of damaged records).
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::Repeats;
using testing::TestSeed;
using testing::ToMpz;

// B(3), B(5), B(7), B(10), B(12), B(999999), B(4) = 2^20, a generalized-Fermat
// base above 2^30 (schoolbook only), and radix 10 where carries travel far.
const std::vector<uint32_t> kRadices = {RadixOf(3),  RadixOf(5),      RadixOf(7),
                                        RadixOf(10), RadixOf(12),     RadixOf(999999),
                                        RadixOf(4),  (1u << 30) + 6u, 10u};

// Digit counts around the boundaries of the code (one digit, the transform
// threshold 16/17) and up to the longest operands of the tests.
const std::vector<uint32_t> kSizes = {0, 1, 2, 3, 5, 16, 17, 31, 33, 100, 257, 1000, 1500};

// |value| of a digit array read as signed 32-bit digits, by Horner's rule:
// independent of the conversions under test.
Mpz Evaluate(const int32_t* digits, uint32_t n, uint32_t radix) {
    Mpz acc;
    for (uint32_t i = n; i-- > 0;) {
        mpz_mul_ui(acc, acc, radix);
        if (digits[i] < 0) mpz_sub_ui(acc, acc, uint32_t(-int64_t(digits[i])));
        else mpz_add_ui(acc, acc, uint32_t(digits[i]));
    }
    return acc;
}

Mpz ValueOf(const RadixInt& x) {
    Mpz acc;
    for (uint32_t i = x.length(); i-- > 0;) {
        mpz_mul_ui(acc, acc, x.radix());
        mpz_add_ui(acc, acc, x.digits()[i]);
    }
    if (x.isNegative()) mpz_neg(acc, acc);
    return acc;
}

// Empty when x has the value m and keeps the invariants, else what is wrong.
std::string Check(const RadixInt& x, mpz_srcptr m) {
    uint32_t n = x.length();
    if (n > x.capacity()) return "length above capacity";
    if (n != 0 && x.digits()[n - 1] == 0) return "leading zero digit";
    for (uint32_t i = 0; i < n; ++i)
        if (x.digits()[i] >= x.radix()) return "digit " + std::to_string(i) + " out of range";
    Mpz mine = ValueOf(x);
    if (mpz_cmp(mine, m) != 0) {
        Mpz want;
        mpz_set(want, m);
        return "got " + mine.str() + " want " + want.str();
    }
    return "";
}

#define EXPECT_SAME(x, m) EXPECT_EQ(Check((x), (m)), "")

// Edge-biased operands: random digits, all B - 1, runs of zeros and of
// B - 1, B^k +- 1, a single non-zero top digit.
class RadixOperands {
public:
    explicit RadixOperands(uint64_t seed) : rng_(seed) {}

    RadixInt value(uint32_t radix, uint32_t n, bool signed_ = true) {
        RadixInt r(radix);
        if (n == 0) return r;
        r.reserve(n);
        uint32_t* d = r.digits();
        switch (rng_() % 6) {
            case 0:  // all B - 1
                for (uint32_t i = 0; i < n; ++i) d[i] = radix - 1;
                break;
            case 1: {  // runs of zeros and of B - 1
                bool top = rng_() & 1;
                for (uint32_t i = 0; i < n;) {
                    uint32_t run = 1 + uint32_t(rng_() % 40);
                    for (uint32_t j = 0; j < run && i < n; ++j, ++i) d[i] = top ? radix - 1 : 0;
                    top = !top;
                }
                break;
            }
            case 2:  // B^(n-1) + 1 or B^n - 1 - ... : 1 at the top and bottom, zeros between
                for (uint32_t i = 0; i < n; ++i) d[i] = 0;
                d[0] = rng_() & 1;
                break;
            case 3:  // B^n - B^k: zeros below, B - 1 above
                for (uint32_t i = 0, k = uint32_t(rng_() % n); i < n; ++i) d[i] = i < k ? 0 : radix - 1;
                break;
            default:
                for (uint32_t i = 0; i < n; ++i) d[i] = uint32_t(rng_() % radix);
        }
        if (d[n - 1] == 0) d[n - 1] = 1 + uint32_t(rng_() % (radix - 1));
        r.setLengthAndSign(n, signed_ && (rng_() & 1));
        return r;
    }
    uint64_t next() { return rng_(); }

private:
    std::mt19937_64 rng_;
};

std::string Where(uint64_t seed, uint32_t radix, uint32_t na, uint32_t nb = 0) {
    std::ostringstream s;
    s << "seed " << seed << " radix " << radix << " sizes " << na << ", " << nb;
    return s.str();
}

Mpz Abs(const Mpz& m) {
    Mpz r;
    mpz_abs(r, m);
    return r;
}

int Sign(int c) { return (c > 0) - (c < 0); }

// --- radix choice ---------------------------------------------------------

TEST(RadixIntChoice, LargestPowerNotAboveTwoToTheTwenty) {
    for (uint64_t b = 2; b <= 5000; ++b) {
        uint32_t m = RadixExponent(uint32_t(b));
        uint64_t p = 1;
        for (uint32_t i = 0; i < m; ++i) p *= b;
        ASSERT_LE(p, uint64_t(1) << 20) << b;
        ASSERT_GT(p * b, uint64_t(1) << 20) << b;
        ASSERT_EQ(RadixOf(uint32_t(b)), m <= 1 ? b : p) << b;
    }
    EXPECT_EQ(RadixExponent(10), 6u);
    EXPECT_EQ(RadixOf(10), 1000000u);
    EXPECT_EQ(RadixExponent(4), 10u);
    EXPECT_EQ(RadixOf(4), 1u << 20);
    EXPECT_EQ(RadixExponent(999999), 1u);
    EXPECT_EQ(RadixOf(999999), 999999u);
    EXPECT_EQ(RadixExponent(1u << 20), 1u);
    EXPECT_EQ(RadixExponent((1u << 20) + 1), 0u);
    EXPECT_EQ(RadixOf(36000000), 36000000u);  // a generalized-Fermat base is its own radix
}

// --- representation and the documented edge cases ------------------------

TEST(RadixIntRepresentation, EdgeCasesOfTheOperations) {
    RadixInt a(100, 123);
    ASSERT_EQ(a.size(), 2);
    EXPECT_EQ(a.digits()[0], 23u);
    EXPECT_EQ(a.digits()[1], 1u);
    RadixInt b(1000000, 7);
    ASSERT_EQ(b.size(), 1);
    EXPECT_EQ(b.digits()[0], 7u);
    EXPECT_EQ(RadixInt(10, -1234567).size(), -7);
    EXPECT_EQ(RadixInt(2, INT32_MIN).size(), -32);
    EXPECT_EQ(RadixInt(10, 0).size(), 0);

    RadixInt x(10, 999);
    x.add(RadixInt(10, 1));
    ASSERT_EQ(x.size(), 4);
    EXPECT_EQ(x.compareInt(0), 1);
    EXPECT_EQ(x.toBigInt().compareInt(1000), 0);
    RadixInt y(10, 1000);
    y.sub(RadixInt(10, 1001));  // borrow out of the top: radix complement
    EXPECT_EQ(y.size(), -1);
    EXPECT_EQ(y.digits()[0], 1u);
    RadixInt z(10, 1000);
    z.subMagnitude(RadixInt(10, 1000));
    EXPECT_EQ(z.size(), 0);  // not negative zero
    z.setInt(-5);
    z.add(RadixInt(10, 5));
    EXPECT_EQ(z.size(), 0);
    z.negate();
    EXPECT_EQ(z.size(), 0);

    RadixInt n(10);
    const int32_t list[] = {-1, 0, 1};
    n.fromGfnTransform(3, nullptr, [&](int32_t* d, uint32_t count, double*) {
        for (uint32_t i = 0; i < count; ++i) d[i] = list[i];
    });
    ASSERT_EQ(n.size(), 2);
    EXPECT_EQ(n.digits()[0], 9u);
    EXPECT_EQ(n.digits()[1], 9u);
    n.fromGfnTransform(1, nullptr, [](int32_t* d, uint32_t, double*) { d[0] = 15; });
    ASSERT_EQ(n.size(), 2);
    EXPECT_EQ(n.digits()[0], 5u);
    EXPECT_EQ(n.digits()[1], 1u);

    RadixInt neg(1000, -123456789);
    BigInt want(-123456789);
    EXPECT_EQ(neg.toBigInt().compare(want), 0);
    EXPECT_EQ(RadixInt(1000).toBigInt().size(), 0);

    EXPECT_EQ(RadixInt(1000000, 999999).checksum(), 0u);
    EXPECT_EQ(RadixInt(1000000).checksum(), 0u);
    EXPECT_EQ(RadixInt(1000, 1002003).checksum(), 6u);

    EXPECT_EQ(RadixInt(10, -5).compareMagnitudeInt(0), 1);
    EXPECT_EQ(RadixInt(10).compareMagnitudeInt(0), 0);
    EXPECT_GT(RadixInt(10, 10).compareMagnitudeInt(9), 0);
    EXPECT_LT(RadixInt(10, -99).compareMagnitudeInt(100), 0);
    EXPECT_EQ(RadixInt(10, -100).compareMagnitudeInt(100), 0);

    RadixInt d(1000, 123456);
    EXPECT_EQ(d.divMagnitudeWord(1), 0u);
    EXPECT_EQ(d.toBigInt().compareInt(123456), 0);
    RadixInt nd(1000, -123456);
    EXPECT_EQ(nd.divMagnitudeWord(1), 0u);
    EXPECT_EQ(nd.size(), 2);  // magnitude operation: the sign goes
    EXPECT_THROW(d.divMagnitudeWord(0), ArithmeticFault);
    EXPECT_THROW(d.divInt(0), ArithmeticFault);
    EXPECT_EQ(RadixInt(1000).divMagnitudeWord(7), 0u);

    EXPECT_THROW(RadixInt(1), ArithmeticFault);
    EXPECT_THROW(RadixInt(0x80000000u), ArithmeticFault);
    RadixInt ten(10, 5), hundred(100, 5);
    EXPECT_THROW(ten.add(hundred), ArithmeticFault);
    EXPECT_THROW(ten.mul(hundred), ArithmeticFault);
    EXPECT_THROW((void)ten.compare(hundred), ArithmeticFault);

    EXPECT_EQ(RadixInt(1u << 20).radixLog2(), 20);
    EXPECT_EQ(RadixInt(1000000).radixLog2(), -1);
    RadixInt copy(RadixInt(1u << 20, 77));
    EXPECT_EQ(copy.radix(), 1u << 20);
    EXPECT_EQ(copy.radixLog2(), 20);
}

TEST(RadixIntRepresentation, CompareSignsFirstThenDigits) {
    const uint32_t B = 1000;
    EXPECT_EQ(RadixInt(B).compare(RadixInt(B)), 0);
    EXPECT_LT(RadixInt(B).compare(RadixInt(B, 1)), 0);
    EXPECT_GT(RadixInt(B).compare(RadixInt(B, -1)), 0);
    EXPECT_LT(RadixInt(B, -2000000).compare(RadixInt(B, -1)), 0);  // more digits, negative
    EXPECT_GT(RadixInt(B, -1).compare(RadixInt(B, -2)), 0);
    EXPECT_GT(RadixInt(B, 2000000).compare(RadixInt(B, 1999999)), 0);
    EXPECT_LT(RadixInt(B, -5).compareInt(3), 0);
    EXPECT_GT(RadixInt(B, 5).compareInt(-3), 0);
    EXPECT_LT(RadixInt(B, -5).compareInt(-3), 0);
    EXPECT_EQ(RadixInt(B, 123456).compareInt(123456), 0);  // |v| >= B
    EXPECT_LT(RadixInt(B, -123456).compareInt(-123455), 0);
    EXPECT_EQ(RadixInt(B, INT32_MIN).compareInt(INT32_MIN), 0);
    EXPECT_LT(RadixInt(B).compareInt(1), 0);
    EXPECT_EQ(RadixInt(B, -7).compareMagnitude(RadixInt(B, 7)), 0);
}

// --- arithmetic against GMP ---------------------------------------------------

TEST(RadixIntArithmetic, AddSubMultiplyAgainstGmp) {
    const uint64_t seed = TestSeed() + 100;
    RadixOperands rnd(seed);
    for (int rep = 0; rep < Repeats(1); ++rep) {
        for (uint32_t radix : kRadices) {
            for (uint32_t sa : kSizes) {
                for (uint32_t sb : {0u, 1u, 2u, 16u, 17u, sa, sa + 1, sa > 0 ? sa - 1 : 0u}) {
                    SCOPED_TRACE(Where(seed, radix, sa, sb));
                    RadixInt a = rnd.value(radix, sa), b = rnd.value(radix, sb);
                    Mpz ma = ValueOf(a), mb = ValueOf(b), want;
                    RadixInt r(a);
                    r.add(b);
                    mpz_add(want, ma, mb);
                    EXPECT_SAME(r, want) << " add";
                    r = a;
                    r.sub(b);
                    mpz_sub(want, ma, mb);
                    EXPECT_SAME(r, want) << " sub";
                    r = a;
                    r.addMagnitude(b);
                    mpz_add(want, Abs(ma), Abs(mb));
                    EXPECT_SAME(r, want) << " addMagnitude";
                    r = a;
                    r.subMagnitude(b);
                    mpz_sub(want, Abs(ma), Abs(mb));
                    EXPECT_SAME(r, want) << " subMagnitude";
                    EXPECT_EQ(Sign(a.compare(b)), mpz_cmp(ma, mb) > 0 ? 1 : (mpz_cmp(ma, mb) < 0 ? -1 : 0));
                    EXPECT_EQ(Sign(a.compareMagnitude(b)), Sign(mpz_cmpabs(ma, mb)));
                    if (sa > 600 && sb > 600 && radix != kRadices[0]) continue;  // long products: one radix
                    r = a;
                    r.mul(b);
                    mpz_mul(want, ma, mb);
                    EXPECT_SAME(r, want) << " mul";
                    r = a;
                    double err = 1.0;
                    r.mulTransform(b, true, &err);
                    EXPECT_SAME(r, want) << " mulTransform";
                    // Schoolbook below 17 digits (and above radix 2^20) is exact.
                    bool exact = sa <= 16 || sb <= 16 || radix > (1u << 20);
                    if (exact) EXPECT_EQ(err, 0.0);
                    else EXPECT_TRUE(err >= 0.0 && err < 0.5) << err;
                    r = b;
                    r.mulMagnitude(a);
                    mpz_abs(want, want);
                    EXPECT_SAME(r, want) << " mulMagnitude";
                }
                SCOPED_TRACE(Where(seed, radix, sa));
                RadixInt a = rnd.value(radix, sa);
                Mpz ma = ValueOf(a), want;
                RadixInt r(a);
                double err = 1.0;
                r.square(true, &err);
                mpz_mul(want, ma, ma);
                EXPECT_SAME(r, want) << " square";
                if (sa <= 16 || radix > (1u << 20)) EXPECT_EQ(err, 0.0);
                else EXPECT_TRUE(err >= 0.0 && err < 0.5) << err;
                r = a;
                r.mul(r);
                EXPECT_SAME(r, want) << " self mul";
                r = a;
                r.add(r);
                mpz_add(want, ma, ma);
                EXPECT_SAME(r, want) << " self add";
                r.sub(r);
                EXPECT_EQ(r.size(), 0);
                r = a;
                r.addMagnitude(r);
                mpz_mul_ui(want, Abs(ma), 2);
                EXPECT_SAME(r, want) << " self addMagnitude";
            }
        }
    }
}

TEST(RadixIntArithmetic, WordOperandsAgainstGmp) {
    const uint64_t seed = TestSeed() + 101;
    RadixOperands rnd(seed);
    for (uint32_t radix : kRadices) {
        const int32_t ints[] = {0,  1,  -1, 2,          -2,         3,        int32_t(radix - 1), -int32_t(radix - 1),
                                int32_t(radix < 0x7fffffffu ? radix : 7), -7, 65536, INT32_MAX, INT32_MIN};
        const uint32_t words[] = {0, 1, 2, 3, radix - 1, radix, radix + 1, 0x7fffffffu, 0xffffffffu};
        for (uint32_t sa : kSizes) {
            SCOPED_TRACE(Where(seed, radix, sa));
            for (int32_t v : ints) {
                RadixInt a = rnd.value(radix, sa);
                Mpz ma = ValueOf(a), mv(v), want;
                RadixInt r(a);
                r.addInt(v);
                mpz_add(want, ma, mv);
                EXPECT_SAME(r, want) << " addInt " << v;
                r = a;
                r.subInt(v);
                mpz_sub(want, ma, mv);
                EXPECT_SAME(r, want) << " subInt " << v;
                r = a;
                r.mulInt(v);
                mpz_mul_si(want, ma, v);
                EXPECT_SAME(r, want) << " mulInt " << v;
                int wantCmp = Sign(mpz_cmp(ma, mv));
                EXPECT_EQ(Sign(a.compareInt(v)), wantCmp) << " compareInt " << v;
                if (v != 0) {
                    r = a;
                    int32_t rem = r.divInt(v);
                    Mpz q, mr;
                    mpz_tdiv_qr(q, mr, ma, mv);
                    EXPECT_SAME(r, q) << " divInt " << v;
                    EXPECT_EQ(rem, mpz_get_si(mr)) << " divInt rem " << v;
                }
                r.setInt(v);
                EXPECT_SAME(r, mv) << " setInt " << v;
            }
            for (uint32_t w : words) {
                RadixInt a = rnd.value(radix, sa);
                Mpz ma = ValueOf(a), absA = Abs(ma), want;
                Mpz mw;
                mpz_set_ui(mw, w);
                RadixInt r(a);
                r.addMagnitudeWord(w);
                mpz_add_ui(want, absA, w);
                EXPECT_SAME(r, want) << " addMagnitudeWord " << w;
                r = a;
                r.subMagnitudeWord(w);
                mpz_sub_ui(want, absA, w);
                EXPECT_SAME(r, want) << " subMagnitudeWord " << w;
                r = a;
                r.mulMagnitudeWord(w);
                mpz_mul_ui(want, absA, w);
                EXPECT_SAME(r, want) << " mulMagnitudeWord " << w;
                if (w != 0) {
                    r = a;
                    uint32_t rem = r.divMagnitudeWord(w);
                    uint32_t wantRem = uint32_t(mpz_fdiv_q_ui(want, absA, w));
                    EXPECT_SAME(r, want) << " divMagnitudeWord " << w;
                    EXPECT_EQ(rem, wantRem);
                }
                EXPECT_EQ(Sign(a.compareMagnitudeInt(w)), w == 0 ? (sa != 0) : Sign(mpz_cmp(absA, mw)))
                    << " compareMagnitudeInt " << w;
                r.setUnsigned(w);
                EXPECT_SAME(r, mw) << " setUnsigned " << w;
            }
        }
    }
}

TEST(RadixIntArithmetic, CarriesAndBorrowsThroughWholeNumbers) {
    // B^k - 1 + 1, B^k - (B^k + 1), (B^k - 1)^2 in every radix: the carry
    // or borrow crosses every digit.
    for (uint32_t radix : kRadices) {
        for (uint32_t k : {1u, 2u, 7u, 300u}) {
            SCOPED_TRACE(Where(0, radix, k));
            Mpz pk, want;
            mpz_ui_pow_ui(pk, radix, k);
            RadixInt nines(radix);
            nines.reserve(k);
            for (uint32_t i = 0; i < k; ++i) nines.digits()[i] = radix - 1;
            nines.setLengthAndSign(k, false);
            RadixInt r(nines);
            r.addInt(1);
            EXPECT_SAME(r, pk);
            r.sub(nines);
            r.sub(RadixInt(radix, 2));  // B^k - (B^k - 1) - 2 = -1
            EXPECT_SAME(r, Mpz(-1));
            RadixInt p1(radix);
            p1.setUnsigned(1);
            p1.shiftDigits(-int32_t(k));
            p1.addInt(1);
            RadixInt m(nines);
            m.sub(p1);  // B^k - 1 - (B^k + 1) = -2
            EXPECT_SAME(m, Mpz(-2));
            r = nines;
            r.square();
            mpz_sub_ui(want, pk, 1);
            mpz_mul(want, want, want);
            EXPECT_SAME(r, want);
            r = nines;
            r.mulMagnitudeWord(0xffffffffu);
            mpz_sub_ui(want, pk, 1);
            mpz_mul_ui(want, want, 0xffffffffu);
            EXPECT_SAME(r, want);
        }
    }
}

TEST(RadixIntShift, DigitShiftsBothWaysAndAssign) {
    const uint64_t seed = TestSeed() + 102;
    RadixOperands rnd(seed);
    for (uint32_t radix : kRadices) {
        for (uint32_t sa : kSizes) {
            for (int32_t d : {0, 1, 2, 16, 17, 999, 1500, 1501}) {
                SCOPED_TRACE(Where(seed, radix, sa, uint32_t(d)));
                RadixInt a = rnd.value(radix, sa);
                Mpz ma = ValueOf(a), pd, want;
                mpz_ui_pow_ui(pd, radix, uint32_t(d));
                RadixInt r(a);
                r.shiftDigits(d);
                mpz_tdiv_q(want, ma, pd);
                EXPECT_SAME(r, want) << " right";
                EXPECT_SAME(RadixInt(a, uint32_t(d)), want) << " copy";
                RadixInt s(radix);
                s.assign(a, uint32_t(d));
                EXPECT_SAME(s, want) << " assign";
                s = a;
                s.assign(s, uint32_t(d));
                EXPECT_SAME(s, want) << " self assign";
                r = a;
                r.shiftDigits(-d);
                mpz_mul(want, ma, pd);
                EXPECT_SAME(r, want) << " left";
            }
        }
    }
}

// --- conversions, normalisation, checksums --------------------------------------

TEST(RadixIntConversion, BigIntBothWaysChecksumAndHash) {
    const uint64_t seed = TestSeed() + 103;
    RadixOperands rnd(seed);
    for (uint32_t radix : {2u, 3u, 7u, 10u, 65536u, RadixOf(3), RadixOf(10), RadixOf(4), 999999u,
                           (1u << 30) + 6u, 0x7fffffffu}) {
        for (uint32_t sa : kSizes) {
            SCOPED_TRACE(Where(seed, radix, sa));
            RadixInt a = rnd.value(radix, sa);
            Mpz ma = ValueOf(a);
            BigInt big = a.toBigInt();
            EXPECT_EQ(mpz_cmp(ToMpz(big), ma), 0) << " toBigInt";
            EXPECT_SAME(RadixInt(radix, big), ma) << " from BigInt";
            RadixInt back(radix, 5);
            back.setBigInt(big);
            EXPECT_SAME(back, ma) << " setBigInt";

            EXPECT_EQ(a.checksum(), mpz_fdiv_ui(Abs(ma), radix - 1)) << " checksum";
            uint32_t h = uint32_t(a.size()) ^ radix;
            for (uint32_t i = 0; i < a.length(); ++i) h ^= a.digits()[i];
            EXPECT_EQ(a.xorHash(), h);
        }
    }
    // A product keeps the checksum rule the transform products will verify.
    RadixInt x = rnd.value(RadixOf(7), 500), y = rnd.value(RadixOf(7), 300);
    uint64_t cx = x.checksum(), cy = y.checksum();
    x.mul(y);
    EXPECT_EQ(x.checksum(), cx * cy % (RadixOf(7) - 1));
}

TEST(RadixIntNormalize, OutOfRangeAndNegativeDigitsAgainstGmp) {
    const uint64_t seed = TestSeed() + 104;
    std::mt19937_64 rng(seed);
    for (uint32_t radix : kRadices) {
        for (uint32_t n : {1u, 2u, 3u, 17u, 200u, 1500u}) {
            for (int shape = 0; shape < 6; ++shape) {
                SCOPED_TRACE(Where(seed, radix, n, uint32_t(shape)));
                std::vector<int32_t> raw(n);
                for (uint32_t i = 0; i < n; ++i) {
                    int64_t r = int64_t(rng() >> 1);
                    switch (shape) {
                        case 0: raw[i] = int32_t(r % (2 * int64_t(radix)) - radix); break;  // balanced
                        case 1: raw[i] = int32_t(r);  break;                    // up to 2^31
                        case 2: raw[i] = -int32_t(r % 0x7fffffff);  break;      // all negative
                        case 3: raw[i] = i + 1 == n ? -1 : int32_t(radix - 1);  break;  // negative total
                        case 4: raw[i] = int32_t(r % 2 == 0 ? INT32_MIN : INT32_MAX); break;
                        default: raw[i] = i + 1 == n ? 0 : int32_t(r % radix);  // zero top digits
                    }
                }
                Mpz want = Evaluate(raw.data(), n, radix);
                RadixInt x(radix, 3);
                double err = 0.25;
                x.fromGfnTransform(n, &err, [&](int32_t* d, uint32_t count, double* maxErr) {
                    ASSERT_EQ(count, n);
                    for (uint32_t i = 0; i < count; ++i) d[i] = raw[i];
                    *maxErr = 0.125;
                });
                EXPECT_SAME(x, want) << " fromGfnTransform";
                EXPECT_EQ(err, 0.125);
                EXPECT_GE(x.capacity(), n + 32);

                // The same raw digits under a negative size give the negated value.
                RadixInt y(radix);
                y.reserve(n);
                std::memcpy(y.digits(), raw.data(), size_t(n) * 4);
                y.setLengthAndSign(n, true);  // strips zero top digits only
                y.normalize();
                Mpz negWant;
                mpz_neg(negWant, want);
                EXPECT_SAME(y, negWant) << " normalize under a negative size";
                x.normalize();  // already in range: unchanged
                EXPECT_SAME(x, want) << " normalize of an in-range value";

                // 64-bit rounded digits, far beyond B.
                std::vector<int64_t> wide(n);
                Mpz wideWant;
                for (uint32_t i = n; i-- > 0;) {
                    wide[i] = int64_t(rng() >> 2) - (int64_t(1) << 61);
                    if (shape == 3) wide[i] = i + 1 == n ? -(int64_t(1) << 62) : (int64_t(1) << 62);
                    mpz_mul_ui(wideWant, wideWant, radix);
                    Mpz term;
                    mpz_set_si(term, wide[i]);
                    mpz_add(wideWant, wideWant, term);
                }
                RadixInt z(radix);
                z.fromSignedDigits(wide.data(), n);
                EXPECT_SAME(z, wideWant) << " fromSignedDigits";
            }
        }
    }
}

TEST(RadixIntNormalize, NegativeSizeNormalisesTheMagnitude) {
    RadixInt x(10);
    x.reserve(3);
    const int32_t list[] = {-1, 0, 1};
    std::memcpy(x.digits(), list, sizeof list);
    // setLengthAndSign strips zero top digits only, so the raw digits stay.
    x.setLengthAndSign(3, true);
    x.normalize();
    EXPECT_SAME(x, Mpz(-99));
}

// --- serialised form -------------------------------------------------------------

std::FILE* FileWith(const std::vector<uint32_t>& items) {
    std::FILE* f = std::tmpfile();
    for (uint32_t v : items) {
        unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, f);
    }
    std::rewind(f);
    return f;
}

TEST(RadixIntSerialisation, RoundTripsInEveryRadix) {
    const uint64_t seed = TestSeed() + 105;
    RadixOperands rnd(seed);
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::vector<RadixInt> values;
    for (uint32_t radix : kRadices)
        for (uint32_t sa : kSizes) values.push_back(rnd.value(radix, sa));
    values.push_back(RadixInt(1000000, -5));
    for (const RadixInt& v : values) EXPECT_EQ(writeRadixInt(f, v), 5 + v.length());
    std::rewind(f);
    for (const RadixInt& v : values) {
        SCOPED_TRACE(Where(seed, v.radix(), v.length()));
        RadixInt back(10, 77);
        EXPECT_EQ(readRadixInt(f, back), 5 + v.length());
        EXPECT_EQ(back.radix(), v.radix());
        EXPECT_EQ(back.radixLog2(), v.radixLog2());
        EXPECT_EQ(back.size(), v.size());
        EXPECT_EQ(back.compare(v), 0);
    }
    std::fclose(f);

    // Layout: size, radix, 0, radixLog2, 0, digits, little-endian.
    f = std::tmpfile();
    writeRadixInt(f, RadixInt(1u << 20, -((1 << 20) + 3)));
    std::rewind(f);
    unsigned char bytes[28];
    ASSERT_EQ(std::fread(bytes, 1, 28, f), 28u);
    const unsigned char want[28] = {0xfe, 0xff, 0xff, 0xff, 0, 0, 0x10, 0, 0, 0, 0, 0, 20, 0,
                                    0,    0,    0,    0,    0, 0, 3,    0, 0, 0, 1, 0, 0,  0};
    EXPECT_EQ(std::memcmp(bytes, want, 28), 0);
    std::fclose(f);
}

TEST(RadixIntSerialisation, DamagedRecordsAreRefusedAndLeaveTheValue) {
    struct Case {
        const char* what;
        std::vector<uint32_t> items;
        size_t count;
    };
    const Case cases[] = {
        {"size beyond the limit", {0x7fffffffu, 10, 0, 0xffffffffu, 0, 1}, 1},
        {"most negative size", {0x80000000u, 10, 0, 0xffffffffu, 0, 1}, 1},
        {"radix 1", {1, 1, 0, 0, 0, 0}, 2},
        {"radix 0", {1, 0, 0, 0, 0, 0}, 2},
        {"negative radix", {0, 0x80000006u, 0, 0, 0}, 2},
        {"digit equal to the radix", {3, 10, 0, 0xffffffffu, 0, 1, 10, 2}, 6},
        {"huge digit", {0xfffffffdu, 1000, 0, 0xffffffffu, 0, 0xffffffffu, 1, 2}, 5},
        {"truncated head", {2, 10}, 2},
        {"truncated body", {3, 10, 0, 0xffffffffu, 0, 1, 2}, 7},
        {"empty file", {}, 0},
    };
    for (const Case& c : cases) {
        std::FILE* f = FileWith(c.items);
        ASSERT_NE(f, nullptr);
        RadixInt x(1000, 987654);
        EXPECT_EQ(readRadixInt(f, x), c.count) << c.what;
        EXPECT_EQ(x.radix(), 1000u) << c.what;
        EXPECT_EQ(x.toBigInt().compareInt(987654), 0) << c.what;
        std::fclose(f);
    }
    // A limit below the stored size refuses it too.
    std::FILE* f = FileWith({3, 10, 0, 0xffffffffu, 0, 1, 2, 3});
    RadixInt x(1000, 4);
    EXPECT_EQ(readRadixInt(f, x, 2), 1u);
    EXPECT_EQ(x.compareInt(4), 0);
    std::rewind(f);
    EXPECT_EQ(readRadixInt(f, x, 3), 8u);
    EXPECT_SAME(x, Mpz(321));
    std::fclose(f);

    // Leading zero digits are stripped, a zero value loses its sign, and a
    // stored radixLog2 that does not match the radix is not believed.
    f = FileWith({0xfffffffcu, 16, 0, 7, 0, 5, 1, 0, 0, 0xffffffffu, 10, 0, 3, 0, 0});
    EXPECT_EQ(readRadixInt(f, x), 9u);
    EXPECT_SAME(x, Mpz(-21));
    EXPECT_EQ(x.radixLog2(), 4);
    EXPECT_EQ(readRadixInt(f, x), 6u);
    EXPECT_EQ(x.size(), 0);
    EXPECT_EQ(x.radix(), 10u);
    std::fclose(f);
}

TEST(RadixIntSerialisation, FileInATemporaryFolder) {
    testing::TempFolder folder;
    const std::string path = (folder / "residue.bin").string();
    RadixOperands rnd(TestSeed() + 106);
    RadixInt v = rnd.value(RadixOf(12), 700);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(writeRadixInt(f, v), 705u);
    std::fclose(f);
    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    RadixInt back(10);
    EXPECT_EQ(readRadixInt(f, back), 705u);
    EXPECT_EQ(back.compare(v), 0);
    std::fclose(f);
}

// --- block cache ---------------------------------------------------------------------

TEST(RadixIntBlockCache, SeparateFromBigIntsWithTheSameRules) {
    WordBlockCache& cache = RadixIntBlockCache();
    ASSERT_NE(&cache, &BigIntBlockCache());
    cache.clear();
    BigIntBlockCache().clear();
    {
        RadixInt a(10), b(10), c(10);
        a.reserve(100);
        b.reserve(300);
        c.reserve(200);
        BigInt big;
        big.reserve(1000);
    }
    EXPECT_EQ(cache.slotSize(0), 300u);
    EXPECT_EQ(cache.slotSize(1), 200u);
    EXPECT_EQ(cache.slotSize(2), 100u);
    EXPECT_EQ(cache.slotSize(3), 0u);
    EXPECT_EQ(BigIntBlockCache().slotSize(0), 1000u);
    EXPECT_EQ(BigIntBlockCache().slotSize(1), 0u);

    RadixInt x(10);
    x.reserve(150);  // first slot that fits is the 300-digit one
    EXPECT_EQ(x.capacity(), 300u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(x.digits()) % 32, 0u);
    BigInt y;
    y.reserve(50);  // comes from BigInt's cache, not from the radix slots
    EXPECT_EQ(y.capacity(), 1000u);
    EXPECT_EQ(cache.slotSize(0), 0u);  // taken slots are emptied, not compacted
    EXPECT_EQ(cache.slotSize(1), 200u);

    // Growth keeps the value and returns the old block to the cache.
    RadixInt g(1000, 123456789);
    g.reserve(5000);
    EXPECT_EQ(g.toBigInt().compareInt(123456789), 0);
    RadixInt moved(std::move(g));
    EXPECT_EQ(g.capacity(), 0u);
    EXPECT_EQ(moved.toBigInt().compareInt(123456789), 0);
    cache.clear();
    BigIntBlockCache().clear();

    // Each thread has its own.
    WordBlockCache* other = nullptr;
    std::thread([&] { other = &RadixIntBlockCache(); }).join();
    EXPECT_NE(other, &cache);
}

}  // namespace
}  // namespace numen
