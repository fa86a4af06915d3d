// The generalized-Fermat transform against GMP at m = 2^17 .. 2^20 (label
// long): full-size squarings at the limit radix in the shapes of a large
// and of a small second-level cache, printing the largest round-off.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnCheckpoint.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GfnFixture.h"
#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"

namespace numen::testing {
namespace {


// NUMEN_GFN_MIN_LOG / NUMEN_GFN_MAX_LOG widen the range for a round-off table.
uint32_t LogFrom(const char* name, uint32_t fallback) {
    const char* v = std::getenv(name);
    return v != nullptr ? uint32_t(std::atoi(v)) : fallback;
}

TEST_F(GfnTransformTest, LargeFullSizeSquaringsMatchGmp) {
    const uint32_t minLog = LogFrom("NUMEN_GFN_MIN_LOG", 17), maxLog = LogFrom("NUMEN_GFN_MAX_LOG", 20);
    for (const ProcessorProfile& profile : {Profile(1024 * 1024, 8, 1), Profile(0, 2, 4)}) {
        Use(profile);
        for (uint32_t m = 1u << minLog; m <= (1u << maxLog); m *= 2) {
            const uint32_t B = LargestGeneralizedFermatBase(m);
            float err = 1;
            ExpectChainMatches(m, B, 2, TestSeed() + m, &err);
            EXPECT_LT(err, kGfnErrorLimit) << "m " << m;
            std::printf("m %u  B %u  shape g %u b %u  largest error %.4f\n", m, B, gfn.shape().rowLength,
                        gfn.shape().rows, double(err));
        }
    }
}

// The same table for the lane passes this processor runs, each squaring
// with its own AVX family as in a run (three squarings from random digits,
// the largest rounding distance of the carries and the read-out): clearly
// inside the guard.
TEST_F(GfnTransformTest, LargeLanePassRoundOff) {
    const uint32_t minLog = LogFrom("NUMEN_GFN_MIN_LOG", 17), maxLog = LogFrom("NUMEN_GFN_MAX_LOG", 20);
    for (GfnCarryVariant variant : RunnableAvxCarryVariants()) {
        UseVariant(variant);
        for (const ProcessorProfile& profile : {Profile(1024 * 1024, 8, 1), Profile(0, 2, 4)}) {
            Use(profile);
            for (uint32_t m = 1u << minLog; m <= (1u << maxLog); m *= 2) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                float err = 1;
                // The multiplier 3 after the carry, as runs at the limit radix
                // do: in the carry it would triple a square's round-off.
                ExpectChainMatches(m, B, 2, TestSeed() + 3 * m, &err, true);
                EXPECT_LT(err, 0.4f) << "m " << m << " " << GfnCarryVariantName(variant);
                std::printf("%s  m %u  B %u  shape g %u b %u  largest error %.4f\n", GfnCarryVariantName(variant), m, B,
                            gfn.shape().rowLength, gfn.shape().rows, double(err));
            }
        }
    }
}

TEST_F(GfnTransformTest, LargePoweringMatchesGmp) {
    Use(Profile(256 * 1024, 8, 1));
    const uint32_t m = 1u << 17;
    ExpectPowerMatches(m, LargestGeneralizedFermatBase(m), 3, 0x1b7, true, nullptr);
}

}  // namespace
}  // namespace numen::testing
