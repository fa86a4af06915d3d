// Composite verification: the multiplicativity decision on consistent and
// inconsistent residues (a mismatch prints its line and raises
// ArithmeticFault instead of turning into a prime verdict), and the lines
// of a verified composite whose second base claims a prime.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "tests/CompositeVerification.h"
#include "report/TextFormat.h"
#include "tests/PlusOneTest.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

using Fixture = testing::VerboseRunFixture;

TEST(CheckMultiplicativity, ConsistentResiduesGiveAComposite) {
    Fixture f;
    const Candidate N{6, 2, 1000, 1};
    EXPECT_NO_THROW(CheckMultiplicativity(f.context(), N, 15, BigInt(77), BigInt(77)));
    EXPECT_NO_THROW(CheckMultiplicativity(f.context(), Candidate{7, 10, 50, -1}, 6, RadixInt(1000000, 5),
                                          RadixInt(1000000, 5)));
    EXPECT_EQ(f.paneLines(), (Lines{"6*2^1000 + 1 is composite. (a = 15)\r\n", "7*10^50 - 1 is composite. (a = 6)\r\n"}));
}

TEST(CheckMultiplicativity, AMismatchIsAFaultNotAVerdict) {
    Fixture f;
    EXPECT_THROW(CheckMultiplicativity(f.context(), Candidate{6, 2, 1000, 1}, 15, BigInt(77), BigInt(78)),
                 ArithmeticFault);
    EXPECT_THROW(CheckMultiplicativity(f.context(), Candidate{7, 10, 50, 1}, 6, RadixInt(1000000, 5),
                                       RadixInt(1000000, 4)),
                 ArithmeticFault);
    // The line is printed first (PrintLine: pane and log).
    const Lines expected{"6*2^1000 + 1 : verification failed !? (a = 15)\r\n",
                         "7*10^50 + 1 : verification failed !? (a = 6)\r\n"};
    EXPECT_EQ(f.paneLines(), expected);
    EXPECT_EQ(f.logFile(), expected[0].substr(0, expected[0].size() - 2) + "\n" +
                               expected[1].substr(0, expected[1].size() - 2) + "\n");
}

// A composite whose second base claims a prime: the line of that base is
// the failed verification, the product line a plain composite. For
// k*2^n + 1 (k < 2^n) no non-residue can give -1 on a composite, so the
// Fermat stage shows it: 91 = 9*10^1 + 1 satisfies 3^90 = 1 but not 2^90 = 1.
TEST(VerifyCompositeFermat, SecondBaseClaimingPrimeIsAFailedVerification) {
    Mpz N{91}, e{90}, x, three{3};
    mpz_powm(x, three, e, N);
    ASSERT_EQ(mpz_cmp_ui(x.v, 1), 0);
    Fixture f;
    f.options.verifComposites = true;
    bool mayBePrime = true;
    ASSERT_TRUE(FermatProbableTest(f.context(), 9, 10, 1, 1, 0, mayBePrime));
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneLines(), (Lines{"9*10^1 + 1 is composite. (a = 2)\r\n", "9*10^1 + 1 : verification failed !? (a = 3)\r\n",
                                    "9*10^1 + 1 is composite. (a = 6)\r\n"}));
}

}  // namespace
}  // namespace numen
