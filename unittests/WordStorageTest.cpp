// The storage core shared by BigInt and RadixInt (WordStorage.h), seen
// through both owners: self-assignment, the moved-from value, reserve and
// release with sign and length, growth that keeps every word of the old
// capacity, and each type's blocks staying in its own cache.
#include <gmp.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::SameValue;
using testing::ToMpz;

// -(2^64 + 2^32·5 + 7): three words, negative.
BigInt ThreeWordNegative() {
    BigInt x;
    x.setInt64(int64_t(5) << 32 | 7);
    x.setBitsAt(64, 1);
    x.negate();
    return x;
}

TEST(WordStorage, SelfAssignmentKeepsValueAndBlock) {
    BigInt x = ThreeWordNegative();
    Mpz want = ToMpz(x);
    const uint32_t* block = x.words();
    BigInt& alias = x;
    x = alias;
    EXPECT_TRUE(SameValue(x, want));
    x = std::move(alias);
    EXPECT_TRUE(SameValue(x, want));
    EXPECT_EQ(x.words(), block);
    x.assign(alias, 0);
    EXPECT_TRUE(SameValue(x, want));
    swap(x, alias);
    EXPECT_TRUE(SameValue(x, want));

    RadixInt r(1000, -123456789);
    RadixInt& rAlias = r;
    r = rAlias;
    r = std::move(rAlias);
    EXPECT_EQ(r.size(), -3);
    EXPECT_EQ(r.radix(), 1000u);
    EXPECT_EQ(r.toBigInt().compareInt(-123456789), 0);
    r.assign(rAlias, 1);  // in place: a digit shift
    EXPECT_EQ(r.toBigInt().compareInt(-123456), 0);
}

TEST(WordStorage, MoveLeavesAUsableEmptyValue) {
    BigIntBlockCache().clear();
    BigInt src = ThreeWordNegative();
    Mpz want = ToMpz(src);
    BigInt dst(std::move(src));
    EXPECT_TRUE(SameValue(dst, want));
    EXPECT_EQ(src.size(), 0);
    EXPECT_EQ(src.capacity(), 0u);
    EXPECT_FALSE(src.isNegative());
    src.subInt(5);  // from no block at all
    EXPECT_EQ(src.compareInt(-5), 0);

    // Move assignment hands the target's old block back to the cache.
    BigInt target;
    target.reserve(700);
    target = std::move(dst);
    EXPECT_TRUE(SameValue(target, want));
    EXPECT_EQ(BigIntBlockCache().slotSize(0), 700u);
    EXPECT_EQ(dst.size(), 0);
    EXPECT_EQ(dst.capacity(), 0u);
    dst.mul(target);  // zero times anything, without a block
    EXPECT_EQ(dst.size(), 0);
    BigIntBlockCache().clear();

    // A moved-from RadixInt stays zero in its own radix and computes in it.
    RadixInt ten(10, 4321), thousand(1000, -999999);
    ten = std::move(thousand);
    EXPECT_EQ(ten.radix(), 1000u);
    EXPECT_EQ(ten.toBigInt().compareInt(-999999), 0);
    EXPECT_EQ(thousand.size(), 0);
    EXPECT_EQ(thousand.capacity(), 0u);
    EXPECT_EQ(thousand.radix(), 1000u);
    thousand.addMagnitudeWord(123456);
    EXPECT_EQ(thousand.size(), 2);
    EXPECT_EQ(thousand.toBigInt().compareInt(123456), 0);
    RadixInt fresh(std::move(ten));
    EXPECT_EQ(fresh.radix(), 1000u);
    EXPECT_EQ(fresh.radixLog2(), -1);
    ten.subMagnitudeWord(7);
    EXPECT_EQ(ten.toBigInt().compareInt(-7), 0);
}

TEST(WordStorage, ReserveAndReleaseKeepSignAndLength) {
    BigIntBlockCache().clear();
    BigInt x = ThreeWordNegative();
    Mpz want = ToMpz(x);
    const uint32_t* block = x.words();
    const uint32_t capacity = x.capacity();
    x.reserve(1);  // already room: nothing moves
    EXPECT_EQ(x.words(), block);
    EXPECT_EQ(x.capacity(), capacity);
    x.reserve(capacity + 100);
    EXPECT_EQ(x.capacity(), capacity + 100);
    EXPECT_EQ(x.size(), -3);
    EXPECT_TRUE(SameValue(x, want));
    EXPECT_EQ(BigIntBlockCache().slotSize(0), capacity);  // the old block went back

    x.release();
    EXPECT_EQ(x.size(), 0);
    EXPECT_EQ(x.capacity(), 0u);
    EXPECT_EQ(BigIntBlockCache().slotSize(0), capacity + 100);
    x.release();  // twice is harmless
    x.setInt(-3);
    EXPECT_EQ(x.compareInt(-3), 0);
    BigIntBlockCache().clear();

    RadixInt r(7, -100000);
    const uint32_t n = r.length();
    r.reserve(r.capacity() + 50);
    EXPECT_EQ(r.size(), -int32_t(n));
    EXPECT_EQ(r.toBigInt().compareInt(-100000), 0);
    r.release();
    EXPECT_EQ(r.size(), 0);
    EXPECT_EQ(r.radix(), 7u);
    r.setInt(-100000);
    EXPECT_EQ(r.size(), -int32_t(n));

    // setLengthAndSign strips to the words in use; a zero gets no sign.
    BigInt s;
    s.reserve(4);
    s.words()[0] = 9;
    s.words()[1] = 0;
    s.words()[2] = 0;
    s.setLengthAndSign(3, true);
    EXPECT_EQ(s.size(), -1);
    s.words()[0] = 0;
    s.setLengthAndSign(3, true);
    EXPECT_EQ(s.size(), 0);
}

TEST(WordStorage, GrowthKeepsEveryWordOfTheOldCapacity) {
    // Callers write above the words in use and then grow (the carry appends,
    // the transform intake): every word of the old capacity must survive.
    BigIntBlockCache().clear();
    RadixIntBlockCache().clear();
    BigInt x;
    x.reserve(8);
    ASSERT_EQ(x.capacity(), 8u);
    for (uint32_t i = 0; i < 8; ++i) x.words()[i] = 0x01010101u * (i + 1);
    x.setLengthAndSign(2, false);
    x.reserve(1000);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(x.words()[i], 0x01010101u * (i + 1)) << i;

    RadixInt r(10);
    r.reserve(6);
    ASSERT_EQ(r.capacity(), 6u);
    for (uint32_t i = 0; i < 6; ++i) r.digits()[i] = i + 1;
    r.setLengthAndSign(1, false);
    r.reserve(600);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(r.digits()[i], i + 1) << i;

    // A full array whose product carries several digits out of the top
    // grows one digit at a time, each growth exact.
    RadixIntBlockCache().clear();
    RadixInt nines(10);
    nines.reserve(40);
    ASSERT_EQ(nines.capacity(), 40u);
    for (uint32_t i = 0; i < 40; ++i) nines.digits()[i] = 9;
    nines.setLengthAndSign(40, true);
    Mpz want = ToMpz(nines.toBigInt());
    nines.mulMagnitudeWord(0xffffffffu);
    mpz_neg(want, want);
    mpz_mul_ui(want, want, 0xffffffffu);
    EXPECT_EQ(nines.size(), 50);
    EXPECT_TRUE(SameValue(nines.toBigInt(), want));
    EXPECT_EQ(nines.capacity(), 50u);
    RadixIntBlockCache().clear();
}

TEST(WordStorage, EachTypeReusesOnlyItsOwnBlocks) {
    RadixInt r(1000, -123456789);
    BigIntBlockCache().clear();
    RadixIntBlockCache().clear();
    const uint32_t* bigBlock;
    const uint32_t* radixBlock;
    {
        BigInt big;
        big.reserve(400);
        bigBlock = big.words();
        RadixInt digits(10);
        digits.reserve(400);
        radixBlock = digits.digits();
    }
    EXPECT_EQ(BigIntBlockCache().slotSize(0), 400u);
    EXPECT_EQ(RadixIntBlockCache().slotSize(0), 400u);
    {
        // Each conversion's result comes from its own type's cache.
        BigInt b = r.toBigInt();
        EXPECT_EQ(b.words(), bigBlock);
        RadixInt back(1000, b);
        EXPECT_EQ(back.digits(), radixBlock);
        EXPECT_EQ(back.compare(r), 0);
        EXPECT_EQ(BigIntBlockCache().slotSize(0), 0u);
        EXPECT_EQ(RadixIntBlockCache().slotSize(0), 0u);
    }
    EXPECT_EQ(BigIntBlockCache().slotSize(0), 400u);
    EXPECT_EQ(BigIntBlockCache().slotSize(1), 0u);
    EXPECT_EQ(RadixIntBlockCache().slotSize(0), 400u);
    EXPECT_EQ(RadixIntBlockCache().slotSize(1), 0u);

    // A schoolbook product builds in a fresh block and returns the old one
    // to BigInt's cache; the radix cache does not see either.
    {
        BigInt a = ThreeWordNegative(), c = ThreeWordNegative();
        Mpz want = ToMpz(a);
        mpz_mul(want, want, want);
        a.mul(c);
        EXPECT_TRUE(SameValue(a, want));
    }
    EXPECT_NE(BigIntBlockCache().slotSize(1), 0u);
    EXPECT_EQ(RadixIntBlockCache().slotSize(0), 400u);
    EXPECT_EQ(RadixIntBlockCache().slotSize(1), 0u);
    BigIntBlockCache().clear();
    RadixIntBlockCache().clear();
}

TEST(WordStorage, OversizedShiftsRaiseAndKeepTheValue) {
    RadixInt r(10, -4321);
    EXPECT_THROW(r.shiftDigits(INT32_MIN), ArithmeticFault);
    EXPECT_EQ(r.toBigInt().compareInt(-4321), 0);
    r.shiftDigits(5);  // drops every digit
    EXPECT_EQ(r.size(), 0);
    RadixInt copy(RadixInt(10, -4321), 9);
    EXPECT_EQ(copy.size(), 0);
    BigInt big = ThreeWordNegative();
    BigInt shifted(big, 96);
    EXPECT_EQ(shifted.size(), 0);
    BigInt top(big, 64);
    EXPECT_EQ(top.compareInt(-1), 0);
}

}  // namespace
}  // namespace numen
