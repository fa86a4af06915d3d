// BigInt against GMP on random and adversarial operands, plus the
// representation rules (sign of zero, block cache, serialised form).
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "arith/BigInt.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RandomOperands;
using testing::Repeats;
using testing::SameValue;
using testing::TestSeed;
using testing::ToMpz;

// Sizes in words around every boundary the code has (one word, the
// two-word 64-bit forms, the transform thresholds 16/17 and 32/33).
const std::vector<uint32_t> kSizes = {0,  1,  2,  3,  4,   5,   7,   8,   15,  16,  17,  31,  32,
                                      33, 63, 64, 65, 100, 128, 129, 255, 500, 999, 1500, 2000};

#define EXPECT_SAME(x, m) EXPECT_TRUE(SameValue((x), (m))) << "seed " << TestSeed() << ": got " << (x).toString(16) << " want " << Mpz(m).str()

Mpz MpzOf(const BigInt& x) { return ToMpz(x); }

TEST(BigIntRepresentation, ZeroHasNoSignAndSmallValuesKeepTheirWords) {
    BigInt x;
    x.setInt(0);
    EXPECT_EQ(x.size(), 0);
    x.setInt64(0);
    EXPECT_EQ(x.size(), 0);
    x.setUnsigned64(0, 0);
    EXPECT_EQ(x.size(), 0);
    x.negate();
    EXPECT_EQ(x.size(), 0);

    x.setInt64(-1);
    EXPECT_EQ(x.size(), -1);
    EXPECT_EQ(x.words()[0], 1u);
    x.setInt64(-(int64_t(1) << 32));
    ASSERT_EQ(x.size(), -2);
    EXPECT_EQ(x.words()[0], 0u);
    EXPECT_EQ(x.words()[1], 1u);

    BigInt a(12345), b(12345);
    a.subMagnitude(b);
    EXPECT_EQ(a.size(), 0);
    a.setInt(-5);
    a.add(BigInt(5));
    EXPECT_EQ(a.size(), 0);
}

TEST(BigIntRepresentation, CompareSignsOnlyAndZeroReceiver) {
    BigInt zero, big;
    big.setUnsigned64(0, 7);  // two words
    EXPECT_LT(zero.compare(big), 0);
    big.negate();
    EXPECT_GT(zero.compare(big), 0);
    EXPECT_EQ(zero.compare(BigInt()), 0);
    EXPECT_LT(big.compare(BigInt(-1)), 0);
    EXPECT_GT(BigInt(-1).compare(big), 0);
    EXPECT_GT(BigInt(3).compareInt(-7), 0);
    EXPECT_LT(BigInt(-8).compareInt(-7), 0);
    EXPECT_EQ(BigInt(INT32_MIN).compareInt(INT32_MIN), 0);
    EXPECT_GT(big.compareInt(0) * -1, 0);
}

TEST(BigIntRepresentation, EdgeCasesOfTheOperations) {
    BigInt q(-7), r;
    q.divRem(r, BigInt(2));
    EXPECT_EQ(q.compareInt(-3), 0);
    EXPECT_EQ(r.compareInt(-1), 0);
    q.setInt(7);
    q.divRem(r, BigInt(-2));
    EXPECT_EQ(q.compareInt(-3), 0);
    EXPECT_EQ(r.compareInt(1), 0);

    EXPECT_EQ(BigInt().toString(10), "0");
    BigInt t;
    t.setInt64(-(int64_t(1) << 40));
    EXPECT_EQ(t.toString(10), "-1099511627776");

    const int roots[] = {0, 1, 1, 1, 2};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(isqrt(BigInt(i)).compareInt(roots[i]), 0) << i;
    EXPECT_EQ(isqrt(BigInt(-4)).size(), 0);

    EXPECT_EQ(gcd(BigInt(0), BigInt(0)).size(), 0);
    EXPECT_EQ(gcd(BigInt(12), BigInt(18)).compareInt(6), 0);
    EXPECT_EQ(gcd(BigInt(-12), BigInt(18)).compareInt(6), 0);
    EXPECT_EQ(gcd(BigInt(0), BigInt(-9)).compareInt(9), 0);

    EXPECT_EQ(jacobi(BigInt(2), BigInt(7)), 1);
    EXPECT_EQ(jacobi(BigInt(3), BigInt(7)), -1);
    EXPECT_EQ(jacobi(BigInt(5), BigInt(15)), 0);
    EXPECT_EQ(jacobi(BigInt(1), BigInt(0)), 1);
    EXPECT_EQ(jacobi(BigInt(2), BigInt(0)), 0);
    EXPECT_EQ(jacobi(BigInt(1), BigInt(-3)), 1);  // (1/n) = 1 for every n

    BigInt c;
    c.setCandidate(3, 2, 2, 1);
    EXPECT_EQ(c.compareInt(13), 0);
    c.setCandidate(2, 3, 4, -1);
    EXPECT_EQ(c.compareInt(161), 0);

    BigInt w;
    w.setUnsigned(5);
    w.setBitsAt(70, 3);  // 5 + 3*2^70
    Mpz want(5), p;
    mpz_ui_pow_ui(p, 2, 70);
    mpz_addmul_ui(want, p, 3);
    EXPECT_SAME(w, want);
    w.setBitsAt(2, 0);  // keeps the low two bits only
    EXPECT_EQ(w.compareInt(1), 0);
}

TEST(BigIntRepresentation, ZeroDivisorsRaise) {
    BigInt x(10), r;
    EXPECT_THROW(x.divMod(r, BigInt()), ArithmeticFault);
    EXPECT_THROW(x.divRem(r, BigInt()), ArithmeticFault);
    EXPECT_THROW(mod(x, BigInt()), ArithmeticFault);
    EXPECT_THROW(powMod(x, 3, BigInt()), ArithmeticFault);
    EXPECT_THROW(x.divMagnitudeWord(0), ArithmeticFault);
    EXPECT_THROW(x.divInt(0), ArithmeticFault);
    EXPECT_THROW(x / 0, ArithmeticFault);
    EXPECT_THROW(x % 0, ArithmeticFault);
}

TEST(BigIntBlockCache, SlotsKeepTheLargestBlocksInDecreasingOrder) {
    WordBlockCache& cache = BigIntBlockCache();
    cache.clear();
    {
        BigInt a, b, c;
        a.reserve(100);
        b.reserve(300);
        c.reserve(200);
    }  // destroyed in reverse order: c (200), b (300), a (100)
    EXPECT_EQ(cache.slotSize(0), 300u);
    EXPECT_EQ(cache.slotSize(1), 200u);
    EXPECT_EQ(cache.slotSize(2), 100u);
    EXPECT_EQ(cache.slotSize(3), 0u);

    BigInt x;
    x.reserve(150);  // first slot that fits is the 300-word one
    EXPECT_EQ(x.capacity(), 300u);
    EXPECT_EQ(cache.slotSize(0), 0u);
    BigInt y;
    y.reserve(50);  // slot 1 (200 words) is now the first that fits
    EXPECT_EQ(y.capacity(), 200u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(x.words()) % 32, 0u);
    cache.clear();
}

TEST(BigIntBlockCache, OverflowBeyondSixteenSlotsDropsTheSmallest) {
    WordBlockCache& cache = BigIntBlockCache();
    cache.clear();
    {
        std::vector<BigInt> many(20);
        for (size_t i = 0; i < many.size(); ++i) many[i].reserve(uint32_t(10 + i));
    }
    for (int i = 0; i < WordBlockCache::kSlots; ++i) EXPECT_EQ(cache.slotSize(i), uint32_t(29 - i)) << i;
    BigInt fresh;
    fresh.reserve(100);  // nothing fits: a new block of exactly that size
    EXPECT_EQ(fresh.capacity(), 100u);
    cache.clear();
}

TEST(BigIntBlockCache, GrowthKeepsTheValue) {
    RandomOperands rnd(TestSeed());
    BigInt x = rnd.value(40);
    Mpz want = MpzOf(x);
    x.reserve(5000);
    EXPECT_GE(x.capacity(), 5000u);
    EXPECT_SAME(x, want);
}

TEST(BigIntArithmetic, AddSubtractMultiplyAgainstGmp) {
    RandomOperands rnd(TestSeed());
    for (int rep = 0; rep < Repeats(3); ++rep) {
        for (uint32_t sa : kSizes) {
            for (uint32_t sb : {0u, 1u, 2u, 16u, 17u, 33u, sa, sa + 1, sa > 0 ? sa - 1 : 0u}) {
                BigInt a = rnd.value(sa), b = rnd.value(sb);
                Mpz ma = MpzOf(a), mb = MpzOf(b), want;
                BigInt r(a);
                r.add(b);
                mpz_add(want, ma, mb);
                EXPECT_SAME(r, want) << " add " << sa << " " << sb;
                r = a;
                r.sub(b);
                mpz_sub(want, ma, mb);
                EXPECT_SAME(r, want) << " sub " << sa << " " << sb;
                r = a;
                r.mul(b);
                mpz_mul(want, ma, mb);
                EXPECT_SAME(r, want) << " mul " << sa << " " << sb;
                r = a;
                r.mulTransform(b);
                EXPECT_SAME(r, want) << " mulTransform " << sa << " " << sb;
                r = a;
                r.addMagnitude(b);
                mpz_abs(want, ma);
                mpz_t absB;
                mpz_init(absB);
                mpz_abs(absB, mb);
                mpz_add(want, want, absB);
                EXPECT_SAME(r, want) << " addMagnitude";
                r = a;
                r.subMagnitude(b);
                mpz_abs(want, ma);
                mpz_sub(want, want, absB);
                EXPECT_SAME(r, want) << " subMagnitude";
                mpz_clear(absB);
            }
            BigInt a = rnd.value(sa);
            Mpz ma = MpzOf(a), want;
            BigInt r(a);
            r.square();
            mpz_mul(want, ma, ma);
            EXPECT_SAME(r, want) << " square " << sa;
            r = a;
            r.mul(r);
            EXPECT_SAME(r, want) << " self mul " << sa;
            r = a;
            r.add(r);
            mpz_add(want, ma, ma);
            EXPECT_SAME(r, want) << " self add";
            r.sub(r);
            EXPECT_EQ(r.size(), 0);
        }
    }
}

TEST(BigIntArithmetic, WordOperandsAgainstGmp) {
    RandomOperands rnd(TestSeed() + 1);
    const int32_t ints[] = {0, 1, -1, 2, -2, 3, 7, -10, 65536, INT32_MAX, INT32_MIN, -INT32_MAX};
    for (uint32_t sa : kSizes) {
        for (int32_t v : ints) {
            BigInt a = rnd.value(sa);
            Mpz ma = MpzOf(a), mv(v), want;
            BigInt r(a);
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
            EXPECT_SAME(a * v, want);
            r = a;
            r.addUnsigned(uint32_t(v));
            mpz_add_ui(want, ma, uint32_t(v));
            EXPECT_SAME(r, want) << " addUnsigned " << v;
            r = a;
            r.mulUnsigned(uint32_t(v));
            mpz_mul_ui(want, ma, uint32_t(v));
            EXPECT_SAME(r, want) << " mulUnsigned " << v;
            if (v != 0) {
                r = a;
                int32_t rem = r.divInt(v);
                Mpz q, mr;
                mpz_tdiv_qr(q, mr, ma, mv);
                EXPECT_SAME(r, q) << " divInt " << v;
                EXPECT_EQ(rem, mpz_get_si(mr)) << " divInt rem " << v;
                EXPECT_SAME(a / v, q);
                EXPECT_EQ(a % v, mpz_get_si(mr));
                r = a;
                uint32_t w = uint32_t(v);
                uint32_t wr = r.divMagnitudeWord(w);
                mpz_abs(want, ma);
                uint32_t wantRem = uint32_t(mpz_fdiv_q_ui(want, want, w));
                EXPECT_SAME(r, want) << " divMagnitudeWord " << w;
                EXPECT_EQ(wr, wantRem);
            }
            r = a;
            r.subMagnitudeWord(uint32_t(v));
            mpz_abs(want, ma);
            mpz_sub_ui(want, want, uint32_t(v));
            EXPECT_SAME(r, want) << " subMagnitudeWord " << v;
        }
    }
}

void CheckDivision(const BigInt& a, const BigInt& b) {
    Mpz ma = MpzOf(a), mb = MpzOf(b), q, r;
    BigInt quotient(a), rem;
    quotient.divRem(rem, b);
    mpz_tdiv_qr(q, r, ma, mb);
    EXPECT_SAME(quotient, q) << " divRem of " << a.length() << " by " << b.length() << " words";
    EXPECT_SAME(rem, r);
    EXPECT_SAME(mod(a, b), r);

    BigInt mq(a), mr;
    mq.divMod(mr, b);
    mpz_abs(ma, ma);
    mpz_abs(mb, mb);
    mpz_tdiv_qr(q, r, ma, mb);
    EXPECT_SAME(mq, q) << " divMod";
    EXPECT_SAME(mr, r);
}

TEST(BigIntDivision, RandomOperandsAgainstGmp) {
    RandomOperands rnd(TestSeed() + 2);
    for (int rep = 0; rep < Repeats(2); ++rep) {
        for (uint32_t sb : kSizes) {
            if (sb == 0) continue;
            for (uint32_t sa : {0u, sb > 0 ? sb - 1 : 0u, sb, sb + 1, 2 * sb, 2 * sb + 3}) {
                CheckDivision(rnd.value(sa), rnd.value(sb));
            }
        }
    }
}

TEST(BigIntDivision, AdversarialShapes) {
    RandomOperands rnd(TestSeed() + 3);
    for (uint32_t n : {2u, 3u, 5u, 17u, 64u, 300u}) {
        for (int rep = 0; rep < 8; ++rep) {
            // Divisor top word 2^32 - 1: normalisation factor 1.
            BigInt d = rnd.value(n, false);
            d.words()[n - 1] = 0xffffffffu;
            BigInt x = rnd.value(2 * n + rep % 3);
            CheckDivision(x, d);
            // Dividend whose top word equals the divisor's: qHat = 2^32 - 1.
            BigInt y = rnd.value(n + 1 + rep, false);
            y.words()[y.length() - 1] = d.words()[n - 1];
            CheckDivision(y, d);
            // Top words equal after a small divisor top (normalised by a big factor).
            BigInt e = rnd.value(n, false);
            e.words()[n - 1] = 1 + rep;
            BigInt z = rnd.value(n + 3, false);
            z.words()[n + 2] = 1 + rep;
            z.words()[n + 1] = e.words()[n - 2];
            CheckDivision(z, e);
            // All-ones dividend, powers of two +- 1.
            BigInt ones = rnd.value(3 * n, false);
            for (uint32_t i = 0; i < 3 * n; ++i) ones.words()[i] = 0xffffffffu;
            CheckDivision(ones, d);
            CheckDivision(ones, e);
            BigInt p;
            p.setBitsAt(32 * n + rep, 1);
            BigInt pm = p - 1;
            CheckDivision(pm, p - 1 + 2);
            CheckDivision(p, pm);
        }
    }
    // The quotient is exact: x*d + r divided by d.
    BigInt d = rnd.value(40, false), q = rnd.value(60, false), r = rnd.value(39, false);
    BigInt x = d * q + r, rem;
    x.divMod(rem, d);
    EXPECT_EQ(x.compare(q), 0);
    EXPECT_EQ(rem.compare(r), 0);
}

TEST(BigIntDivision, AliasedDivisor) {
    BigInt x(1000), r;
    x.divMod(r, x);
    EXPECT_EQ(x.compareInt(1), 0);
    EXPECT_EQ(r.size(), 0);
    BigInt y(1000), d(7);
    y.divRem(d, d);  // remainder written over the divisor
    EXPECT_EQ(y.compareInt(142), 0);
    EXPECT_EQ(d.compareInt(6), 0);
}

TEST(BigIntShift, BothDirectionsAgainstGmp) {
    RandomOperands rnd(TestSeed() + 4);
    for (uint32_t sa : kSizes) {
        for (int32_t bits : {0, 1, 5, 31, 32, 33, 64, 95, 1000, 70000}) {
            BigInt a = rnd.value(sa);
            Mpz ma = MpzOf(a), want;
            BigInt r(a);
            r.shift(bits);
            mpz_tdiv_q_2exp(want, ma, bits);
            EXPECT_SAME(r, want) << " right " << bits;
            EXPECT_SAME(BigInt(a, uint32_t(bits)), want);
            r = a;
            r.shift(-bits);
            mpz_mul_2exp(want, ma, bits);
            EXPECT_SAME(r, want) << " left " << bits;
            r = a;
            r.assign(r, uint32_t(bits));  // in place
            mpz_tdiv_q_2exp(want, ma, bits);
            EXPECT_SAME(r, want) << " self assign " << bits;
        }
    }
}

TEST(BigIntQueries, TopBitChecksumHashLowBits) {
    RandomOperands rnd(TestSeed() + 5);
    for (uint32_t sa : kSizes) {
        for (int rep = 0; rep < 4; ++rep) {
            BigInt a = rnd.value(sa);
            Mpz ma = MpzOf(a), absA;
            mpz_abs(absA, ma);
            if (sa != 0) {
                EXPECT_EQ(a.topBitIndex(), mpz_sizeinbase(absA, 2) - 1);
            }
            uint32_t residue = uint32_t(mpz_fdiv_ui(absA, 0xffffffffu));
            uint32_t want = (residue == 0 && mpz_sgn(absA.v) != 0) ? 0xffffffffu : residue;
            EXPECT_EQ(a.checksum(), want) << sa;
            uint32_t h = uint32_t(a.size());
            for (uint32_t i = 0; i < a.length(); ++i) h ^= a.words()[i];
            EXPECT_EQ(a.xorHash(), h);
            EXPECT_EQ(a.lowBits(0xff), uint32_t(mpz_fdiv_ui(absA, 256)));
        }
    }
    BigInt m;
    m.setUnsigned(0xffffffffu);
    EXPECT_EQ(m.checksum(), 0xffffffffu);
    m.mul(m);  // (2^32-1)^2: a multiple of 2^32 - 1
    EXPECT_EQ(m.checksum(), 0xffffffffu);
    EXPECT_EQ(BigInt().checksum(), 0u);
    EXPECT_EQ(BigInt().topBitIndex(), 0u);
}

TEST(BigIntNumberTheory, IsqrtGcdAgainstGmp) {
    RandomOperands rnd(TestSeed() + 6);
    for (uint32_t sa : kSizes) {
        if (sa > 500) continue;
        for (int rep = 0; rep < 3; ++rep) {
            BigInt a = rnd.value(sa, false);
            Mpz want;
            mpz_sqrt(want, MpzOf(a));
            EXPECT_SAME(isqrt(a), want) << sa;
            // Perfect squares and their neighbours.
            BigInt s = a * a;
            EXPECT_SAME(isqrt(s), MpzOf(a));
            BigInt below = s - 1;
            if (!a.isZero()) {
                EXPECT_SAME(isqrt(below), MpzOf(a - 1));
            }

            BigInt b = rnd.value(sa / 2 + rep);
            BigInt common = rnd.value(1 + rep, false);
            BigInt x = a * common, y = b * common;
            x.shift(-int32_t(rep * 7));
            y.shift(-int32_t(rep * 3));
            mpz_gcd(want, MpzOf(x), MpzOf(y));
            EXPECT_SAME(gcd(x, y), want) << sa;
        }
    }
}

TEST(BigIntNumberTheory, JacobiMatchesKroneckerForEveryShape) {
    RandomOperands rnd(TestSeed() + 7);
    for (int a = -40; a <= 40; ++a) {
        for (int n = -40; n <= 40; ++n) {
            EXPECT_EQ(jacobi(BigInt(a), BigInt(n)), mpz_kronecker(Mpz(a), Mpz(n))) << a << " " << n;
        }
    }
    for (uint32_t sa : {1u, 2u, 3u, 8u, 33u, 100u}) {
        for (int rep = 0; rep < 20; ++rep) {
            BigInt a = rnd.value(sa), n = rnd.value(1 + rnd.below(sa + 2));
            if (rep % 4 == 0) n.shift(-int32_t(rep % 5));  // even n
            EXPECT_EQ(jacobi(a, n), mpz_kronecker(MpzOf(a), MpzOf(n))) << a.toString() << " " << n.toString();
        }
    }
}

TEST(BigIntNumberTheory, PowModAgainstGmp) {
    RandomOperands rnd(TestSeed() + 8);
    for (uint32_t sm : {1u, 2u, 5u, 17u, 40u}) {
        for (int32_t e : {-3, 0, 1, 2, 3, 17, 65537, INT32_MAX}) {
            BigInt x = rnd.value(sm + 1), m = rnd.value(sm);
            BigInt r = powMod(x, e, m);
            Mpz want(1);
            if (e > 0) {
                Mpz absX, absM;
                mpz_abs(absX, MpzOf(x));
                mpz_abs(absM, MpzOf(m));
                mpz_powm_ui(want, absX, uint32_t(e), absM);
                if (x.isNegative() && (e & 1)) mpz_neg(want, want);
            }
            EXPECT_SAME(r, want) << " e=" << e;
        }
    }
}

TEST(BigIntPowers, SetPowerAndSetCandidateAgainstGmp) {
    for (uint32_t b : {0u, 1u, 2u, 3u, 10u, 12u, 65535u, 999999u, 0xffffffffu}) {
        for (uint32_t n : {0u, 1u, 2u, 31u, 32u, 33u, 100u, 1000u, 4097u}) {
            BigInt x;
            x.setPower(b, n);
            Mpz want;
            mpz_ui_pow_ui(want, b, n);
            EXPECT_SAME(x, want) << b << "^" << n;
        }
    }
    const uint32_t ks[] = {1, 3, 1000001, 0xffffffffu};
    const int32_t cs[] = {1, -1, 3, -7, 15};
    for (uint32_t k : ks) {
        for (uint32_t b : {2u, 3u, 10u, 999999u}) {
            for (uint32_t n : {1u, 31u, 32u, 64u, 1001u}) {
                for (int32_t c : cs) {
                    BigInt x;
                    x.setCandidate(k, b, n, c);
                    Mpz want;
                    mpz_ui_pow_ui(want, b, n);
                    mpz_mul_ui(want, want, k);
                    if (c >= 0) mpz_add_ui(want, want, uint32_t(c)); else mpz_sub_ui(want, want, uint32_t(-c));
                    EXPECT_SAME(x, want) << k << "*" << b << "^" << n << "+" << c;
                }
            }
        }
    }
}

TEST(BigIntText, ToStringAgainstGmp) {
    RandomOperands rnd(TestSeed() + 9);
    for (uint32_t sa : kSizes) {
        BigInt a = rnd.value(sa);
        Mpz ma = MpzOf(a);
        EXPECT_EQ(a.toString(10), ma.str()) << sa;
        for (int radix : {2, 7, 16, 36}) {
            char* s = mpz_get_str(nullptr, radix, ma);
            EXPECT_EQ(a.toString(uint32_t(radix)), std::string(s)) << radix;
            void (*freeFunction)(void*, size_t);
            mp_get_memory_functions(nullptr, nullptr, &freeFunction);
            freeFunction(s, std::strlen(s) + 1);
        }
    }
    BigInt t;
    t.setPower(10, 27);  // zeros inside every 9-digit chunk
    EXPECT_EQ(t.toString(), "1" + std::string(27, '0'));
    t.subInt(1);
    EXPECT_EQ(t.toString(), std::string(27, '9'));
}

TEST(BigIntSerialisation, RoundTripsAndRefusals) {
    RandomOperands rnd(TestSeed() + 10);
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::vector<BigInt> values;
    for (uint32_t sa : kSizes) values.push_back(rnd.value(sa));
    values.push_back(BigInt(-5));
    for (const BigInt& v : values) EXPECT_EQ(writeBigInt(f, v), 1 + v.length());
    std::rewind(f);
    for (const BigInt& v : values) {
        BigInt back(77);
        EXPECT_EQ(readBigInt(f, back), 1 + v.length());
        EXPECT_EQ(back.size(), v.size());
        EXPECT_EQ(back.compare(v), 0);
    }
    // Little-endian layout: size, then the words.
    std::rewind(f);
    unsigned char head[8];
    ASSERT_EQ(std::fread(head, 1, 8, f), 8u);
    std::fclose(f);

    // A size beyond the limit is refused without touching the value.
    f = std::tmpfile();
    const unsigned char huge[] = {0xff, 0xff, 0xff, 0x7f, 1, 0, 0, 0};
    std::fwrite(huge, 1, sizeof huge, f);
    std::rewind(f);
    BigInt x(9);
    EXPECT_EQ(readBigInt(f, x), 1u);
    EXPECT_EQ(x.compareInt(9), 0);
    std::fclose(f);

    // A truncated body is reported by its count and leaves the value alone.
    f = std::tmpfile();
    const unsigned char shortBody[] = {0xfd, 0xff, 0xff, 0xff, 1, 0, 0, 0, 2, 0, 0, 0};  // size -3, two words
    std::fwrite(shortBody, 1, sizeof shortBody, f);
    std::rewind(f);
    EXPECT_EQ(readBigInt(f, x), 3u);
    EXPECT_EQ(x.compareInt(9), 0);
    std::fclose(f);

    // A stored negative value: size -2, words 1, 2 (= -(2*2^32 + 1)).
    f = std::tmpfile();
    const unsigned char neg[] = {0xfe, 0xff, 0xff, 0xff, 1, 0, 0, 0, 2, 0, 0, 0};
    std::fwrite(neg, 1, sizeof neg, f);
    std::rewind(f);
    EXPECT_EQ(readBigInt(f, x), 3u);
    BigInt want;
    want.setInt64(-((int64_t(2) << 32) + 1));
    EXPECT_EQ(x.compare(want), 0);
    std::fclose(f);
}

// --- readBigInt against damaged files: nothing allocated beyond the file ---

// The growth of the peak resident size while fn runs, in KiB, measured in a
// child process: a fork starts its own peak at the current size, so what
// earlier tests used cannot hide an allocation. -1 when fn fails (exit 1)
// or the child cannot be run.
template <class Fn>
long PeakGrowthKiBInChild(Fn fn) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        bool ok = fn();
        getrusage(RUSAGE_SELF, &after);
        long growth = after.ru_maxrss - before.ru_maxrss;
        // The growth in MiB, capped: 255 when more than that was touched.
        _exit(!ok ? 1 : 2 + int(std::min<long>(growth >> 10, 253)));
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) < 2)
        return -1;
    return long(WEXITSTATUS(status) - 2) << 10;
}

TEST(BigIntSerialisationDamage, SizeWordWithoutItsBodyAllocatesNothing) {
    // Four bytes: the size 2^26, exactly the default limit, and no body.
    // Allocating for the size first would touch 256 MiB.
    long growth = PeakGrowthKiBInChild([] {
        std::FILE* f = std::tmpfile();
        if (f == nullptr) return false;
        const unsigned char head[] = {0, 0, 0, 4};
        std::fwrite(head, 1, sizeof head, f);
        std::rewind(f);
        BigInt x(9);
        bool refused = readBigInt(f, x) == 1 && x.compareInt(9) == 0;
        std::fclose(f);
        return refused;
    });
    ASSERT_GE(growth, 0) << "the read was not refused, or the child failed";
    EXPECT_LT(growth, 64L << 10);
}

TEST(BigIntSerialisationDamage, BodiesAcrossSliceBoundaries) {
    // Lengths around the 2^16-word slices the body is read in.
    RandomOperands rnd(TestSeed() + 11);
    for (uint32_t len : {65535u, 65536u, 65537u, 2 * 65536u + 5}) {
        SCOPED_TRACE(len);
        BigInt v;
        v.reserve(len);
        for (uint32_t i = 0; i < len; ++i) v.words()[i] = rnd.word() | (i + 1 == len);
        v.setLengthAndSign(len, true);
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(writeBigInt(f, v), 1 + size_t(len));
        std::rewind(f);
        BigInt back;
        EXPECT_EQ(readBigInt(f, back), 1 + size_t(len));
        EXPECT_EQ(back.size(), v.size());
        EXPECT_EQ(back.compare(v), 0);

        // The last five bytes missing: one word whole, one in part.
        std::rewind(f);
        ASSERT_EQ(ftruncate(fileno(f), off_t(4) * len - 1), 0);
        BigInt untouched(-3);
        EXPECT_EQ(readBigInt(f, untouched), size_t(len) - 1);
        EXPECT_EQ(untouched.compareInt(-3), 0);
        std::fclose(f);
    }
}

}  // namespace
}  // namespace numen
