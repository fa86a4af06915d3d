// The sieve headers File mode recognises on a list's first line: what each
// says the list holds, and which lines are no header at all.
#include <gtest/gtest.h>

#include "search/SearchJob.h"
#include "search/SieveHeader.h"

namespace numen {
namespace {

using Kind = SieveHeader::Kind;

void ExpectPairs(const char* line, Kind kind, int form, uint32_t base) {
    const SieveHeader h = ReadSieveHeader(line);
    EXPECT_EQ(h.kind, kind) << line;
    EXPECT_TRUE(h.pairs) << line;
    EXPECT_EQ(h.form, form) << line;
    EXPECT_EQ(h.base, base) << line;
}

void ExpectUnreadable(const char* line, Kind kind, const std::string& numbers) {
    const SieveHeader h = ReadSieveHeader(line);
    EXPECT_EQ(h.kind, kind) << line;
    EXPECT_FALSE(h.pairs) << line;
    EXPECT_EQ(h.numbers, numbers) << line;
}

TEST(SieveHeader, ColonHeaderFormFromTheModeOrTheLetter) {
    ExpectPairs("1000000000:P:1:2:257", Kind::Colon, PlusOneForm, 2);
    ExpectPairs("1000000000:M:1:2:258", Kind::Colon, MinusOneForm, 2);
    // The flag bits 0x100 and 0x400 do not change the form.
    ExpectPairs("50000000000:P:0:3:1", Kind::Colon, PlusOneForm, 3);
    ExpectPairs("50000000000:M:0:10:1026", Kind::Colon, MinusOneForm, 10);
    ExpectPairs("50000000000:P:0:999999:1281\r\n", Kind::Colon, PlusOneForm, 999999);
    // Without a mode field the letter says it.
    ExpectPairs("1000000000:P:1:5", Kind::Colon, PlusOneForm, 5);
    ExpectPairs("1000000000:M:1:5", Kind::Colon, MinusOneForm, 5);
    // Twins, chains and the like are no single form of pairs.
    ExpectUnreadable("1000000000:T:1:2:3", Kind::Colon, "numbers of sieve mode 3");
    ExpectUnreadable("1000000000:C:3:2:264", Kind::Colon, "numbers of sieve mode 264");
    ExpectUnreadable("1000000000:S:1:2", Kind::Colon, "numbers of sieve kind S");
    ExpectUnreadable("1000000000:P:1:99999999999:257", Kind::Colon, "numbers of base 99999999999");
}

TEST(SieveHeader, AbcHeaderExpressions) {
    ExpectPairs("ABC $a*2^$b+1", Kind::Abc, PlusOneForm, 2);
    ExpectPairs("ABC $a*3^$b+1", Kind::Abc, PlusOneForm, 3);
    ExpectPairs("ABC $a*10^$b-1 // sieved to 2^40", Kind::Abc, MinusOneForm, 10);
    ExpectPairs("ABC  $a * 6 ^ $b - 1\r\n", Kind::Abc, MinusOneForm, 6);
    ExpectPairs("ABC $a^$b+1", Kind::Abc, GfnForm, 0);
    ExpectUnreadable("ABC $a*$b^$c-1", Kind::Abc, "$a*$b^$c-1 numbers");
    ExpectUnreadable("ABC $a*2^$b+$c", Kind::Abc, "$a*2^$b+$c numbers");
    ExpectUnreadable("ABC $b*2^$a+1", Kind::Abc, "$b*2^$a+1 numbers");
    ExpectUnreadable("ABC $a*2^$b+3", Kind::Abc, "$a*2^$b+3 numbers");
    ExpectUnreadable("ABC", Kind::Abc, "unnamed numbers");
    ExpectUnreadable("ABCD $a*2^$b+1 [3 1000]", Kind::Abc, "numbers in the ABCD format");
    ExpectUnreadable("ABC2 $a*2^$b+1", Kind::Abc, "numbers in the ABC2 format");
}

TEST(SieveHeader, OrdinaryLinesAreNoHeader) {
    for (const char* line : {"3 100", "", "1000000000:P:1", "12:30 tea", "1000:PP:1:2:257", "1000:P:x:2:257",
                             "1000:P:1:2:257:9", "ABCDEF", "abc $a*2^$b+1", ":P:1:2:257"}) {
        EXPECT_EQ(ReadSieveHeader(line).kind, Kind::None) << line;
        EXPECT_EQ(HeaderRefusal(ReadSieveHeader(line), "l", PlusOneForm, 2), "") << line;
    }
}

TEST(SieveHeader, RefusalOnlyWhenFormOrBaseDisagree) {
    const SieveHeader plus3 = ReadSieveHeader("ABC $a*3^$b+1");
    EXPECT_EQ(HeaderRefusal(plus3, "l", PlusOneForm, 3), "");
    EXPECT_EQ(HeaderRefusal(plus3, "l", PlusOneForm, 2), "The list \"l\" holds k*3^n+1 numbers, not k*2^n+1: not started.\r\n");
    EXPECT_EQ(HeaderRefusal(plus3, "l", MinusOneForm, 3),
              "The list \"l\" holds k*3^n+1 numbers, not k*3^n-1: not started.\r\n");
    // A generalized Fermat list suits a generalized Fermat run of any base.
    EXPECT_EQ(HeaderRefusal(ReadSieveHeader("ABC $a^$b+1"), "l", GfnForm, 2), "");
    EXPECT_EQ(HeaderRefusal(ReadSieveHeader("ABC $a^$b+1"), "l", GfnForm, 10), "");
    EXPECT_TRUE(IsHeaderRefusal(HeaderRefusal(plus3, "l", AnyForm, 3)));
}

}  // namespace
}  // namespace numen
