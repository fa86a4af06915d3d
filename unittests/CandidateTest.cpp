// Candidate: the form rules (which offsets are the +-1 families, which are
// chain members, which numbers are generalized Fermat), |c| at the ends of
// the offset range, and equality over all four words.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "arith/Candidate.h"

namespace numen {
namespace {

TEST(Candidate, OffsetsSplitIntoTheTwoFamiliesAndChainMembers) {
    EXPECT_TRUE((Candidate{3, 2, 5, 1}.isPlusOne()));
    EXPECT_FALSE((Candidate{3, 2, 5, 1}.isMinusOne()));
    EXPECT_TRUE((Candidate{3, 2, 5, -1}.isMinusOne()));
    EXPECT_FALSE((Candidate{3, 2, 5, -1}.isPlusOne()));
    for (int32_t c : {1, -1}) EXPECT_FALSE((Candidate{3, 2, 5, c}.isChainOffset())) << c;
    for (int32_t c : {0, 3, -3, 7, 2, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        const Candidate N{3, 2, 5, c};
        EXPECT_TRUE(N.isChainOffset()) << c;
        EXPECT_FALSE(N.isPlusOne() || N.isMinusOne()) << c;
    }
}

TEST(Candidate, GeneralizedFermatNeedsKOneCPlusOneAndAPowerOfTwo) {
    for (uint32_t n : {1u, 2u, 4u, 64u, 1u << 23, 1u << 31})
        EXPECT_TRUE((Candidate{1, 123456, n, 1}.isGeneralizedFermat())) << n;
    for (uint32_t n : {0u, 3u, 6u, 96u, (1u << 31) + 1, 0xffffffffu})
        EXPECT_FALSE((Candidate{1, 123456, n, 1}.isGeneralizedFermat())) << n;
    EXPECT_FALSE((Candidate{2, 123456, 64, 1}.isGeneralizedFermat()));
    EXPECT_FALSE((Candidate{1, 123456, 64, -1}.isGeneralizedFermat()));
    EXPECT_FALSE((Candidate{1, 123456, 64, 3}.isGeneralizedFermat()));
    // A Fermat number is one of them, and still a member of the +1 family.
    const Candidate fermat{1, 2, 32, 1};
    EXPECT_TRUE(fermat.isGeneralizedFermat());
    EXPECT_TRUE(fermat.isPlusOne());
}

TEST(Candidate, OffsetMagnitudeAndEquality) {
    EXPECT_EQ((Candidate{1, 2, 3, 0}.offsetMagnitude()), 0u);
    EXPECT_EQ((Candidate{1, 2, 3, -7}.offsetMagnitude()), 7u);
    EXPECT_EQ((Candidate{1, 2, 3, 7}.offsetMagnitude()), 7u);
    EXPECT_EQ((Candidate{1, 2, 3, std::numeric_limits<int32_t>::min()}.offsetMagnitude()), 0x80000000u);
    EXPECT_EQ((Candidate{1, 2, 3, std::numeric_limits<int32_t>::max()}.offsetMagnitude()), 0x7fffffffu);

    const Candidate N{0xffffffffu, 999999, 33554400, -1};
    EXPECT_EQ(N, (Candidate{0xffffffffu, 999999, 33554400, -1}));
    // Each word counts: 3*2^5 + 1 and 1*2^5 + 3 are different candidates.
    EXPECT_NE(N, (Candidate{0xfffffffeu, 999999, 33554400, -1}));
    EXPECT_NE(N, (Candidate{0xffffffffu, 999998, 33554400, -1}));
    EXPECT_NE(N, (Candidate{0xffffffffu, 999999, 33554401, -1}));
    EXPECT_NE(N, (Candidate{0xffffffffu, 999999, 33554400, 1}));
    EXPECT_EQ(Candidate{}, (Candidate{0, 0, 0, 0}));
}

}  // namespace
}  // namespace numen
