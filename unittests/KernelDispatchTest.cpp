// KernelDispatch: which family each processor profile gets for squarings
// and products and which generalized-Fermat carry pass (the AVX rule first, then vendor, family and SSE level), the
// NoSSE2 / NoAVX switches, a profile whose SSE level xmm_test forced, which
// families a profile can run, and the fallbacks for incomplete tables.
#include <gtest/gtest.h>

#include <string>

#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/TempFolder.h"
#include "shell/IniFile.h"

namespace numen {
namespace {

ProcessorProfile Profile(int32_t vendor, int32_t family, int32_t sse, int32_t avx = 0) {
    ProcessorProfile p;
    p.vendor = vendor;
    p.family = family;
    p.sseLevel = sse;
    p.avxLevel = avx;
    return p;
}

std::string Trace(const ProcessorProfile& p, bool noSse2, bool noAvx) {
    return "vendor " + std::to_string(p.vendor) + " family " + std::to_string(p.family) + " sse " +
           std::to_string(p.sseLevel) + " avx " + std::to_string(p.avxLevel) + (noSse2 ? " NoSSE2" : "") +
           (noAvx ? " NoAVX" : "");
}

// Restores the process-wide choice so other suites see the start-up state.
class KernelDispatchTest : public ::testing::Test {
protected:
    ~KernelDispatchTest() override { ForceSquaringKernels(before); }
    const KernelFamily& before = SquaringKernels();
};

TEST_F(KernelDispatchTest, RuleGivesEachProfileItsFamilies) {
    struct Case {
        ProcessorProfile p;
        bool noSse2, noAvx;
        const char* squaring;
        const char* products;
        const char* carry;  // the generalized-Fermat carry pass
    } cases[] = {
        // Without AVX: vendor, family and SSE level; products always x87;
        // the carry pass by SSE level alone (an AMD squaring family too).
        {Profile(kVendorAmd, 6, 2), false, false, "amd", "x87-prefetch", "sse2"},
        {Profile(kVendorAmd, 15, 2), true, false, "amd", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorAmd, 5, 1), false, false, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorAmd, 5, 2), false, false, "sse2", "x87-prefetch", "sse2"},
        {Profile(kVendorIntel, 6, 2), false, false, "sse2", "x87-prefetch", "sse2"},
        {Profile(kVendorIntel, 15, 2), true, false, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorIntel, 6, 1), false, false, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorOther, 5, 0), false, false, "x87", "x87", "x87"},
        {Profile(kVendorIntel, 6, 0), false, false, "x87", "x87", "x87"},
        // The widest AVX family, for products too, ahead of the AMD rule.
        {Profile(kVendorIntel, 6, 2, 1), false, false, "avx2", "avx2", "avx2"},
        {Profile(kVendorIntel, 6, 2, 2), false, false, "avx512", "avx512", "avx512"},
        {Profile(kVendorAmd, 15, 2, 1), false, false, "avx2", "avx2", "avx2"},
        {Profile(kVendorAmd, 15, 2, 2), false, false, "avx512", "avx512", "avx512"},
        {Profile(kVendorOther, 6, 2, 2), false, false, "avx512", "avx512", "avx512"},
        // Either switch, or an SSE level below 2, and the old rule decides.
        {Profile(kVendorIntel, 6, 2, 2), false, true, "sse2", "x87-prefetch", "sse2"},
        {Profile(kVendorIntel, 6, 2, 1), true, false, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorIntel, 6, 2, 2), true, true, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorAmd, 15, 2, 2), false, true, "amd", "x87-prefetch", "sse2"},
        {Profile(kVendorAmd, 15, 2, 1), true, false, "amd", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorIntel, 6, 1, 2), false, false, "x87-prefetch", "x87-prefetch", "x87-prefetch"},
        {Profile(kVendorIntel, 6, 0, 1), false, false, "x87", "x87", "x87"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Trace(c.p, c.noSse2, c.noAvx));
        KernelChoice choice = ChosenKernelFamilies(c.p, c.noSse2, c.noAvx);
        EXPECT_STREQ(choice.squaring->name, c.squaring);
        EXPECT_STREQ(choice.products->name, c.products);
        EXPECT_STREQ(GfnCarryVariantName(choice.gfnCarry), c.carry);
    }
}

// What start-up installs: the rule's choice when its tables are complete; an
// AVX family still missing kernels gives way to the rule without AVX, so
// the answers stay right before and after the AVX families are filled in.
TEST_F(KernelDispatchTest, ChooseInstallsTheRuleOrTheRuleWithoutAvx) {
    for (int32_t vendor : {kVendorIntel, kVendorAmd}) {
        for (int32_t avx : {0, 1, 2}) {
            for (bool noAvx : {false, true}) {
                const ProcessorProfile p = Profile(vendor, 15, 2, avx);
                SCOPED_TRACE(Trace(p, false, noAvx));
                KernelChoice rule = ChosenKernelFamilies(p, false, noAvx);
                KernelChoice plain = ChosenKernelFamilies(p, false, true);
                bool complete = KernelFamilyComplete(*rule.squaring) && KernelFamilyComplete(*rule.products);
                ChooseKernelFamilies(p, false, noAvx);
                EXPECT_EQ(&SquaringKernels(), complete ? rule.squaring : plain.squaring);
                EXPECT_EQ(&ProductKernels(), complete ? rule.products : plain.products);
                EXPECT_EQ(GfnCarryKernels(), complete ? rule.gfnCarry : plain.gfnCarry);
                EXPECT_TRUE(KernelFamilyRuns(SquaringKernels(), p));
                EXPECT_TRUE(KernelFamilyRuns(ProductKernels(), p));
            }
        }
    }
    ChooseKernelFamilies(ProcessorProfile{}, false, false);   // no CPUID: plain x87
    EXPECT_EQ(&SquaringKernels(), &X87Kernels());
    EXPECT_EQ(&ProductKernels(), &X87Kernels());
    EXPECT_EQ(GfnCarryKernels(), GfnCarryVariant::kX87);
}

// xmm_test is how a user tests one SSE code path: even on a processor with
// AVX-512 the profile it yields must keep the AVX families out.
TEST_F(KernelDispatchTest, XmmTestForcedProfileKeepsAvxOut) {
    ProcessorProbe probe;
    probe.family = 6;
    probe.features = (1u << 25) | (1u << 26);
    probe.featuresEcx = (1u << 12) | (1u << 27) | (1u << 28);
    probe.leaf7Ebx = (1u << 5) | (1u << 16);
    probe.xcr0 = 0xE7;
    testing::TempFolder temp;
    IniFile ini(temp.path());
    auto load = [&] {
        StoredTuning stored;
        stored.xmmTest = ini.readInt("xmm_test");
        return DecideProcessorProfile(probe, stored, [] { return 3; }).profile;
    };

    EXPECT_STREQ(ChosenKernelFamilies(load(), false, false).squaring->name, "avx512");
    ini.writeInt("xmm_test", 12);
    EXPECT_STREQ(ChosenKernelFamilies(load(), false, false).squaring->name, "sse2");
    ini.writeInt("xmm_test", 11);
    EXPECT_STREQ(ChosenKernelFamilies(load(), false, false).squaring->name, "x87-prefetch");
}

TEST_F(KernelDispatchTest, ProfileRunsTheFamiliesItsAvxLevelAllows) {
    const KernelFamily* always[] = {&X87Kernels(), &X87PrefetchKernels(), &AmdKernels(), &Sse2Kernels()};
    for (int32_t avx : {0, 1, 2}) {
        const ProcessorProfile p = Profile(kVendorIntel, 6, 2, avx);
        for (const KernelFamily* f : always) EXPECT_TRUE(KernelFamilyRuns(*f, p)) << f->name << " avx " << avx;
        EXPECT_EQ(KernelFamilyRuns(Avx2Kernels(), p), avx >= 1) << avx;
        EXPECT_EQ(KernelFamilyRuns(Avx512Kernels(), p), avx >= 2) << avx;
    }
}

TEST_F(KernelDispatchTest, IncompleteTablesAreReplacedByTheReference) {
    for (const KernelFamily* f : {&X87Kernels(), &X87PrefetchKernels(), &AmdKernels(), &Sse2Kernels()})
        EXPECT_TRUE(KernelFamilyComplete(*f)) << f->name;

    KernelFamily made = Sse2Kernels();
    made.rowInverse = nullptr;
    EXPECT_FALSE(KernelFamilyComplete(made));
    ForceSquaringKernels(made);
    EXPECT_EQ(&SquaringKernels(), &X87Kernels());

    made = Sse2Kernels();
    made.columnsPerCall = 3;
    EXPECT_FALSE(KernelFamilyComplete(made));

    // An AVX family needs its weighting and read-out as well.
    made = Sse2Kernels();
    made.avxLevel = 1;
    EXPECT_FALSE(KernelFamilyComplete(made));
    made.weightRow = [](Complex*, const double*, uint32_t, Complex, const Complex*) {};
    EXPECT_FALSE(KernelFamilyComplete(made));
    made.roundRow = [](const Complex*, uint32_t, Complex, const Complex*, double*, double*) { return 0.0; };
    EXPECT_TRUE(KernelFamilyComplete(made));

    ForceSquaringKernels(AmdKernels());
    EXPECT_EQ(&SquaringKernels(), &AmdKernels());
    EXPECT_EQ(AmdKernels().columnsPerCall, 2u);
    EXPECT_EQ(X87Kernels().columnsPerCall, 1u);
}

}  // namespace
}  // namespace numen
