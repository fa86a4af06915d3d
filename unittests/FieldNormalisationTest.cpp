// Field normalisation before Start / Continue: exponent limits by form and
// base, the k parity rules, values that read as negative, the a = b = c = 0
// rule, the write-back, and Continue's range check per mode.
#include <gtest/gtest.h>

#include "ref/TempFolder.h"
#include "shell/FieldNormalisation.h"

namespace numen {
namespace {

Settings Fields(int form, uint32_t base, uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax, uint32_t kStep) {
    Settings s;
    s.Mode2 = form;
    s.Base = base;
    s.nMin = nMin;
    s.nMax = nMax;
    s.kMin = kMin;
    s.kMax = kMax;
    s.kStep = kStep;
    return s;
}

TEST(FieldNormalisationTest, ExponentLimitByFormAndBase) {
    EXPECT_EQ(ExponentLimit(GfnForm, 2), 8388608u);
    EXPECT_EQ(ExponentLimit(GfnForm, 10), 8388608u);
    EXPECT_EQ(ExponentLimit(PlusOneForm, 2), 33554400u);
    EXPECT_EQ(ExponentLimit(MinusOneForm, 10), 6u * 1048576 - 32);
    EXPECT_EQ(ExponentLimit(AnyForm, 3), 12u * 1048576 - 32);  // 3^12 < 2^20 < 3^13
    // Exact powers of two: 4^10 and 1024^2 are exactly 2^20 and fill the word.
    EXPECT_EQ(ExponentLimit(PlusOneForm, 4), 10u * 1048576 - 32);
    EXPECT_EQ(ExponentLimit(PlusOneForm, 1024), 2u * 1048576 - 32);
    EXPECT_EQ(ExponentLimit(PlusOneForm, 1025), 1u * 1048576 - 32);
    EXPECT_EQ(ExponentLimit(PlusOneForm, 999999), 1u * 1048576 - 32);
}

TEST(FieldNormalisationTest, ExponentRangeLowerBoundsLimitsAndOrder) {
    // nMin 0 becomes 2, except for Any.
    EXPECT_EQ(NormaliseFields(Fields(PlusOneForm, 2, 0, 100, 3, 9, 2)).nMin, 2u);
    Settings any = NormaliseFields(Fields(AnyForm, 2, 0, 0, 3, 9, 2));
    EXPECT_EQ(any.nMin, 0u);
    EXPECT_EQ(any.nMax, 0u);
    // nMax below the lower bound or above the limit becomes the limit.
    EXPECT_EQ(NormaliseFields(Fields(PlusOneForm, 2, 5, 1, 3, 9, 2)).nMax, 33554400u);
    EXPECT_EQ(NormaliseFields(Fields(PlusOneForm, 10, 5, 7000000, 3, 9, 2)).nMax, 6291424u);
    Settings high = NormaliseFields(Fields(GfnForm, 2, 9000000, 9500000, 2, 4, 2));
    EXPECT_EQ(high.nMin, 8388608u);
    EXPECT_EQ(high.nMax, 8388608u);
    // nMax below nMin becomes nMin.
    Settings reversed = NormaliseFields(Fields(PlusOneForm, 2, 500, 100, 3, 9, 2));
    EXPECT_EQ(reversed.nMin, 500u);
    EXPECT_EQ(reversed.nMax, 500u);
}

TEST(FieldNormalisationTest, ExponentsThatReadNegativeAreTakenAsTheLargestSigned) {
    // 2^31 and above read as negative signed values: 2,147,483,647, then the limit.
    Settings s = NormaliseFields(Fields(PlusOneForm, 2, 0xFFFFFFF0u, 0x80000000u, 3, 9, 2));
    EXPECT_EQ(s.nMin, 33554400u);
    EXPECT_EQ(s.nMax, 33554400u);
}

TEST(FieldNormalisationTest, KRangeBasicRules) {
    Settings s = NormaliseFields(Fields(PlusOneForm, 10, 2, 10, 0, 1, 0));
    EXPECT_EQ(s.kMin, 2u);
    EXPECT_EQ(s.kMax, 2u);
    EXPECT_EQ(s.kStep, 1u);
}

TEST(FieldNormalisationTest, ParityOfKByBase) {
    // Base 2: k odd, step even.
    Settings two = NormaliseFields(Fields(PlusOneForm, 2, 2, 10, 4, 10, 1));
    EXPECT_EQ(two.kMin, 5u);
    EXPECT_EQ(two.kMax, 11u);
    EXPECT_EQ(two.kStep, 2u);
    EXPECT_EQ(NormaliseFields(Fields(MinusOneForm, 2, 2, 10, 3, 99, 7)).kStep, 6u);
    // Base 2 takes every 32-bit odd k.
    EXPECT_EQ(NormaliseFields(Fields(PlusOneForm, 2, 2, 10, 3, 0xFFFFFFFFu, 2)).kMax, 0xFFFFFFFFu);
    // Odd base: k and step even.
    Settings three = NormaliseFields(Fields(PlusOneForm, 3, 2, 10, 5, 11, 1));
    EXPECT_EQ(three.kMin, 4u);
    EXPECT_EQ(three.kMax, 10u);
    EXPECT_EQ(three.kStep, 2u);
    // Even base other than 2: nothing changes.
    Settings ten = NormaliseFields(Fields(MinusOneForm, 10, 2, 10, 5, 11, 1));
    EXPECT_EQ(ten.kMin, 5u);
    EXPECT_EQ(ten.kMax, 11u);
    EXPECT_EQ(ten.kStep, 1u);
}

TEST(FieldNormalisationTest, KThatReadsNegativeIsCappedForBasesOtherThanTwo) {
    Settings ten = NormaliseFields(Fields(PlusOneForm, 10, 2, 10, 0x90000000u, 0xFFFFFFFFu, 0x80000001u));
    EXPECT_EQ(ten.kMin, 2147483647u);
    EXPECT_EQ(ten.kMax, 2147483647u);
    EXPECT_EQ(ten.kStep, 2147483647u);
    // An odd base keeps k even after the cap.
    Settings three = NormaliseFields(Fields(MinusOneForm, 3, 2, 10, 4, 0xFFFFFFFFu, 2));
    EXPECT_EQ(three.kMax, 2147483646u);
}

TEST(FieldNormalisationTest, GeneralizedFermatKIsEvenAndCappedByTheExponent) {
    Settings s = NormaliseFields(Fields(GfnForm, 2, 2, 2048, 3, 0xFFFFFFFFu, 1));
    EXPECT_EQ(s.kMin, 2u);
    EXPECT_EQ(s.kMax, 3655134u);  // floor(36e6 / 2048^0.3) = 3655135, made even
    EXPECT_EQ(s.kStep, 2u);
    EXPECT_EQ(NormaliseFields(Fields(GfnForm, 2, 2, 4096, 2, 0xFFFFFFFFu, 2)).kMax, 3298768u);  // C = 40e6
    Settings small = NormaliseFields(Fields(GfnForm, 2, 2, 1024, 101, 201, 4));
    EXPECT_EQ(small.kMin, 100u);
    EXPECT_EQ(small.kMax, 200u);
    EXPECT_EQ(small.kStep, 4u);
    // A kMin above the cap is brought down to it.
    Settings above = NormaliseFields(Fields(GfnForm, 2, 2, 2048, 4000000, 5000000, 2));
    EXPECT_EQ(above.kMax, 3655134u);
    EXPECT_EQ(above.kMin, 3655134u);
}

TEST(FieldNormalisationTest, CoefficientsAllZeroMeanKEqualsN) {
    Settings s = Fields(PlusOneForm, 2, 2, 10, 3, 9, 2);
    s = NormaliseFields(s);
    EXPECT_EQ(s.a, 0);
    EXPECT_EQ(s.b, 1);
    EXPECT_EQ(s.c, 0);
    Settings negative = Fields(PlusOneForm, 2, 2, 10, 3, 9, 2);
    negative.a = -100;
    negative.c = 1;
    negative = NormaliseFields(negative);
    EXPECT_EQ(negative.a, -100);
    EXPECT_EQ(negative.b, 0);
    EXPECT_EQ(negative.c, 1);
}

TEST(FieldNormalisationTest, ContinueRangeCheckPerMode) {
    Settings s = NormaliseFields(Fields(PlusOneForm, 2, 1000, 2000, 3, 99, 2));
    s.n = "1500";
    s.k = "41";
    EXPECT_TRUE(CurrentValuesInRange(s));
    s.k = "101";
    EXPECT_FALSE(CurrentValuesInRange(s));
    s.k = "";  // empty reads as 0
    EXPECT_FALSE(CurrentValuesInRange(s));
    s.Mode1 = AlgebraicMode;  // k does not matter
    EXPECT_TRUE(CurrentValuesInRange(s));
    s.n = "2001";
    EXPECT_FALSE(CurrentValuesInRange(s));
    s.Mode1 = CullenMode;  // only n = nMin
    s.n = "1000";
    EXPECT_TRUE(CurrentValuesInRange(s));
    s.n = "1001";
    EXPECT_FALSE(CurrentValuesInRange(s));
    s.Mode1 = FileMode;
    EXPECT_TRUE(CurrentValuesInRange(s));
    s.Mode1 = VerifierMode;
    EXPECT_TRUE(CurrentValuesInRange(s));
}

TEST(FieldNormalisationTest, WriteBackStoresTheOwnedKeysAndFillsTheJob) {
    testing::TempFolder temp;
    IniFile ini(temp.path());
    Settings s = Fields(PlusOneForm, 2, 0, 300, 4, 98, 1);
    s.n = "17";
    s.k = "33";
    s.Info = 0;
    s.Morehead = 1;
    s.VerifComposites = 1;
    s.nbIter = 1000;
    s = NormaliseFields(s);
    StoreNormalisedFields(ini, s);
    Settings back = ReadSettings(ini);
    EXPECT_EQ(back.nMin, 2u);
    EXPECT_EQ(back.kMin, 5u);
    EXPECT_EQ(back.kMax, 99u);
    EXPECT_EQ(back.kStep, 2u);
    EXPECT_EQ(back.b, 1);
    EXPECT_EQ(back.n, "");  // the position is the worker's, not written here

    SearchJob job;
    FillSearchJob(s, job);
    EXPECT_EQ(job.nMin, 2u);
    EXPECT_EQ(job.nMax, 300u);
    EXPECT_EQ(job.kMin, 5u);
    EXPECT_EQ(job.currentN, 17u);
    EXPECT_EQ(job.currentK, 33u);
    EXPECT_FALSE(job.rangeInfo);
    EXPECT_TRUE(job.morehead);
    EXPECT_TRUE(job.options.verifComposites);
    EXPECT_FALSE(job.options.use16bitBRT);
    EXPECT_EQ(job.live.nbIter.load(), 1000u);
}

}  // namespace
}  // namespace numen
