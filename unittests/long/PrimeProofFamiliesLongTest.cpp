// Published primes of about 120,000 to 260,000 bits, one per run family
// beside base 2 (see PrimeProofLongTest.cpp): each goes through its
// probable-prime stage and its proof exactly as a search takes it, and both
// must say prime with the lines the search prints.
//   8*3^130592 + 1    radix run, Pocklington's proof (207,000 bits)
//   151023*2^151023 - 1  (a Woodall prime) Euler stage, Lucas doubling run
//   2*3^75551 - 1     Lucas matrix run of a base other than 2 (120,000 bits)
//   67234^16384 + 1   generalized-Fermat run of the proof (262,000 bits)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ref/RunFixture.h"
#include "tests/MinusOneTest.h"
#include "tests/PlusOneTest.h"

namespace numen {
namespace {

using testing::RunFixture;

// The prime line is followed by the notes of a special form, if any.
bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

TEST(PrimeProofFamiliesLong, EightTimesThreeToThe130592PlusOneByTheRadixRun) {
    RunFixture f;
    bool mayBePrime = false, prime = false;
    ASSERT_TRUE(FermatProbableTest(f.context(), 8, 3, 130592, 1, 0, mayBePrime));
    ASSERT_TRUE(mayBePrime);
    ASSERT_TRUE(PocklingtonProof(f.context(), 8, 3, 130592, 0, prime));
    EXPECT_TRUE(prime);
    EXPECT_TRUE(HasLineStartingWith(f.paneLines(), "8*3^130592 + 1 is prime! (a = "));
}

TEST(PrimeProofFamiliesLong, WoodallPrime151023ByTheLucasDoublingRun) {
    RunFixture f;
    bool mayBePrime = false, prime = false;
    ASSERT_TRUE(EulerProbableTestBase2(f.context(), 151023, 151023, -1, 0, mayBePrime));
    ASSERT_TRUE(mayBePrime);
    ASSERT_TRUE(LucasProofBase2(f.context(), 151023, 151023, prime));
    EXPECT_TRUE(prime);
    EXPECT_TRUE(HasLineStartingWith(f.paneLines(), "151023*2^151023 - 1 is prime! (P = "));
}

TEST(PrimeProofFamiliesLong, TwoTimesThreeToThe75551MinusOneByTheLucasMatrixRun) {
    RunFixture f;
    bool mayBePrime = false, prime = false;
    ASSERT_TRUE(FermatProbableTest(f.context(), 2, 3, 75551, -1, 0, mayBePrime));
    ASSERT_TRUE(mayBePrime);
    ASSERT_TRUE(LucasProofGeneral(f.context(), 2, 3, 75551, prime));
    EXPECT_TRUE(prime);
    EXPECT_TRUE(HasLineStartingWith(f.paneLines(), "2*3^75551 - 1 is prime! (P = "));
}

TEST(PrimeProofFamiliesLong, GeneralizedFermat67234ToThe16384PlusOneByTheTransformRun) {
    RunFixture f;
    bool prime = false;
    ASSERT_TRUE(PocklingtonProof(f.context(), 1, 67234, 16384, 0, prime));
    EXPECT_TRUE(prime);
    EXPECT_TRUE(HasLineStartingWith(f.paneLines(), "1*67234^16384 + 1 is prime! (a = "));
}

}  // namespace
}  // namespace numen
