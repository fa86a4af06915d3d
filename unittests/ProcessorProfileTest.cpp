// ProcessorProfile: the decision rule with made-up processors and stored
// tuning values -- SSE level and its override, the AVX level from feature
// bits and the OS-saved state, gap and lat64k kept or chosen, a change of
// processor, and what is to be written back -- and the cache sizes from the
// descriptor table, the deterministic cache leaves and AMD's extended leaves
// (register values recorded on real processors). Then the probe and the x87
// mode on this machine. The keys in a real "Numen.ini" are StartupTest's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "arith/ProcessorProfile.h"
#include "platform/CpuProbe.h"
#include "platform/Fpu.h"

namespace numen {
namespace {

constexpr uint32_t kSse = 1u << 25;
constexpr uint32_t kSse2 = 1u << 26;
constexpr uint32_t kAmdMmxExt = 1u << 22;
constexpr uint32_t kFma = 1u << 12, kOsxsave = 1u << 27, kAvx = 1u << 28;   // leaf 1 ECX
constexpr uint32_t kAvx2 = 1u << 5, kAvx512f = 1u << 16;                     // leaf 7 EBX
constexpr uint64_t kXcr0Avx = 0x7, kXcr0Avx512 = 0xE7;                        // x87, SSE, AVX (+ opmask, ZMM)

ProcessorProbe MadeUpProcessor(const char* vendor, int32_t family, uint32_t features = 0,
                               uint32_t extFeatures = 0) {
    ProcessorProbe p;
    std::memcpy(p.vendor, vendor, std::min<std::size_t>(std::strlen(vendor), 12));
    p.family = family;
    p.signature = static_cast<uint32_t>(family) << 8;
    p.features = features;
    p.extFeatures = extFeatures;
    return p;
}

// A processor with everything AVX-512F needs, the OS saving all of it.
ProcessorProbe Avx512Processor() {
    ProcessorProbe p = MadeUpProcessor("GenuineIntel", 6, kSse | kSse2);
    p.featuresEcx = kFma | kOsxsave | kAvx;
    p.leaf7Ebx = kAvx2 | kAvx512f;
    p.xcr0 = kXcr0Avx512;
    return p;
}

// The decision with a latency sweep that counts its calls.
struct Decider {
    int measurements = 0;
    int32_t measuredLatency = 3;
    ProfileDecision operator()(const ProcessorProbe& probe, const StoredTuning& stored = {}) {
        return DecideProcessorProfile(probe, stored, [this] { ++measurements; return measuredLatency; });
    }
};

StoredTuning Stored(int32_t cpu, const char* vendor, int32_t gap = 0, int32_t lat64k = 0) {
    StoredTuning t;
    t.cpu = cpu;
    t.vendor = vendor;
    t.gap = gap;
    t.lat64k = lat64k;
    return t;
}

TEST(ProcessorProfileDecision, FirstStartWritesEverythingAndTheSameProcessorOnlyXmm) {
    Decider decide;
    const ProcessorProbe probe = MadeUpProcessor("GenuineIntel", 6, kSse | kSse2);
    ProfileDecision first = decide(probe);
    EXPECT_TRUE(first.writeBack.processorChanged);
    EXPECT_EQ(first.writeBack.cpu, 6);
    EXPECT_EQ(first.writeBack.vendor, "GenuineIntel");
    EXPECT_EQ(first.writeBack.xmm, 2);
    EXPECT_TRUE(first.writeBack.gapChosen);
    EXPECT_EQ(first.writeBack.gap, 1);
    EXPECT_TRUE(first.writeBack.lat64kChosen);
    EXPECT_EQ(first.writeBack.lat64k, 3);
    EXPECT_FALSE(first.writeBack.cachesStored);
    EXPECT_EQ(first.profile.family, 6);
    EXPECT_EQ(first.profile.vendor, kVendorIntel);
    EXPECT_EQ(first.profile.sseLevel, 2);
    EXPECT_EQ(first.profile.probe.features, kSse | kSse2);

    // What the first start wrote, read back at the next.
    ProfileDecision again = decide(probe, Stored(6, "GenuineIntel", 1, 3));
    EXPECT_FALSE(again.writeBack.processorChanged);
    EXPECT_FALSE(again.writeBack.gapChosen);
    EXPECT_FALSE(again.writeBack.lat64kChosen);
    EXPECT_EQ(again.writeBack.xmm, 2);
    EXPECT_EQ(decide.measurements, 1);
}

TEST(ProcessorProfileDecision, ChangeOfFamilyOrVendorIsAChangeOfProcessor) {
    struct Case {
        int32_t storedCpu;
        const char* storedVendor;
        const char* vendor;
        int32_t family;
        bool changed;
    } cases[] = {
        {6, "GenuineIntel", "AuthenticAMD", 6, true},    // vendor
        {6, "GenuineIntel", "GenuineIntel", 15, true},   // family
        {6, "genuineintel", "GenuineIntel", 6, true},    // case counts here
        {7, "Shanghai", "  Shanghai  ", 7, false},       // stored without its blanks
        {0, "", "", 0, false},                           // no CPUID, nothing stored
    };
    for (const Case& c : cases) {
        ProfileDecision d = Decider()(MadeUpProcessor(c.vendor, c.family), Stored(c.storedCpu, c.storedVendor));
        EXPECT_EQ(d.writeBack.processorChanged, c.changed) << c.storedVendor << " -> " << c.vendor;
        EXPECT_EQ(d.writeBack.cpu, c.family);
    }
    EXPECT_EQ(Decider()(MadeUpProcessor("  Shanghai  ", 7)).writeBack.vendor, "Shanghai");
}

TEST(ProcessorProfileDecision, SseLevelFromFeaturesOrForcedByXmmTest) {
    struct Case {
        const char* vendor;
        uint32_t features, extFeatures;
        int32_t xmmTest;
        int32_t level;
    } cases[] = {
        {"GenuineIntel", kSse | kSse2, 0, 0, 2},
        {"GenuineIntel", kSse, 0, 0, 1},
        {"GenuineIntel", 0, kAmdMmxExt, 0, 0},   // extended MMX counts only for AMD
        {"AuthenticAMD", 0, kAmdMmxExt, 0, 1},
        {"AuthenticAMD", 0, 0, 0, 0},
        {"AuthenticAMD", kSse | kSse2, 0, 10, 0},
        {"GenuineIntel", 0, 0, 12, 2},
        {"GenuineIntel", kSse, 0, 11, 1},
        {"GenuineIntel", kSse | kSse2, 0, 9, 2},    // below 10: ignored
        {"GenuineIntel", kSse, 0, 15, 2},           // no level above 2
    };
    for (const Case& c : cases) {
        StoredTuning stored;
        stored.xmmTest = c.xmmTest;
        ProfileDecision d = Decider()(MadeUpProcessor(c.vendor, 6, c.features, c.extFeatures), stored);
        EXPECT_EQ(d.profile.sseLevel, c.level) << c.vendor << " " << c.features << " " << c.xmmTest;
        EXPECT_EQ(d.writeBack.xmm, c.level);
    }
}

TEST(ProcessorProfileAvx, EveryMissingBitDropsTheLevel) {
    EXPECT_EQ(AvxLevelOf(Avx512Processor()), 2);
    struct Case {
        const char* what;
        uint32_t ecxCleared, ebxCleared;
        uint64_t xcr0Cleared;
        int32_t level;
    } cases[] = {
        {"AVX512F", 0, kAvx512f, 0, 1},
        {"opmask state", 0, 0, 1u << 5, 1},
        {"ZMM hi256 state", 0, 0, 1u << 6, 1},
        {"hi16 ZMM state", 0, 0, 1u << 7, 1},
        {"AVX2", 0, kAvx2, 0, 0},   // AVX-512F alone is no level
        {"FMA", kFma, 0, 0, 0},
        {"AVX", kAvx, 0, 0, 0},
        {"OSXSAVE", kOsxsave, 0, 0, 0},
        {"SSE state", 0, 0, 1u << 1, 0},
        {"AVX state", 0, 0, 1u << 2, 0},
    };
    for (const Case& c : cases) {
        ProcessorProbe p = Avx512Processor();
        p.featuresEcx &= ~c.ecxCleared;
        p.leaf7Ebx &= ~c.ebxCleared;
        p.xcr0 &= ~c.xcr0Cleared;
        EXPECT_EQ(AvxLevelOf(p), c.level) << "without " << c.what;
    }
    // The processor has AVX-512F but the OS saves only the AVX state.
    ProcessorProbe p = Avx512Processor();
    p.xcr0 = kXcr0Avx;
    EXPECT_EQ(AvxLevelOf(p), 1);
    p.xcr0 = 0;
    EXPECT_EQ(AvxLevelOf(p), 0);
    EXPECT_EQ(AvxLevelOf(ProcessorProbe{}), 0);
}

TEST(ProcessorProfileDecision, AvxLevelComesFromTheProbeUnlessXmmTestForcesSse) {
    EXPECT_EQ(Decider()(Avx512Processor()).profile.avxLevel, 2);
    for (int32_t forced : {10, 11, 12}) {
        StoredTuning stored;
        stored.xmmTest = forced;
        ProcessorProfile p = Decider()(Avx512Processor(), stored).profile;
        EXPECT_EQ(p.avxLevel, 0) << forced;
        EXPECT_EQ(p.sseLevel, forced - 10) << forced;
    }
    StoredTuning stored;
    stored.xmmTest = 9;
    EXPECT_EQ(Decider()(Avx512Processor(), stored).profile.avxLevel, 2);
}

TEST(ProcessorProfileDecision, StoredGapIsKeptAndMissingGapGetsTheDefault) {
    ProfileDecision kept = Decider()(MadeUpProcessor("GenuineIntel", 6), Stored(6, "GenuineIntel", 7));
    EXPECT_EQ(kept.profile.gap, 7);
    EXPECT_FALSE(kept.writeBack.gapChosen);

    struct Case {
        const char* vendor;
        int32_t family;
        int32_t storedGap;
        int32_t gap;
    } cases[] = {
        {"GenuineIntel", 6, 0, 1},
        {"GenuineIntel", 15, 0, 4},
        {"AuthenticAMD", 6, 0, 4},
        {"CyrixInstead", 5, -3, 1},
    };
    for (const Case& c : cases) {
        ProfileDecision d = Decider()(MadeUpProcessor(c.vendor, c.family), Stored(0, "", c.storedGap));
        EXPECT_EQ(d.profile.gap, c.gap) << c.vendor << c.family;
        EXPECT_TRUE(d.writeBack.gapChosen);
        EXPECT_EQ(d.writeBack.gap, c.gap);
    }
}

TEST(ProcessorProfileDecision, LatencyIsMeasuredOnlyWhenMissingAndNeverOnFamily15) {
    Decider decide;
    ProfileDecision p4 = decide(MadeUpProcessor("GenuineIntel", 15, kSse | kSse2));
    EXPECT_EQ(p4.profile.lat64k, 2);
    EXPECT_TRUE(p4.writeBack.lat64kChosen);
    EXPECT_EQ(p4.writeBack.lat64k, 2);
    EXPECT_EQ(decide.measurements, 0);

    EXPECT_EQ(decide(MadeUpProcessor("AuthenticAMD", 15), Stored(0, "", 0, 9)).profile.lat64k, 9);
    ProfileDecision kept = decide(MadeUpProcessor("GenuineIntel", 6), Stored(0, "", 0, 9));
    EXPECT_EQ(kept.profile.lat64k, 9);
    EXPECT_FALSE(kept.writeBack.lat64kChosen);
    EXPECT_EQ(decide.measurements, 0);

    ProfileDecision measured = decide(MadeUpProcessor("GenuineIntel", 6), Stored(0, "", 0, -1));
    EXPECT_EQ(measured.profile.lat64k, 3);
    EXPECT_EQ(measured.writeBack.lat64k, 3);
    EXPECT_EQ(decide.measurements, 1);

    // A sweep that rounds to 0 cycles is stored as 1, or it would be redone
    // at every start.
    decide.measuredLatency = 0;
    ProfileDecision fast = decide(MadeUpProcessor("GenuineIntel", 6));
    EXPECT_EQ(fast.profile.lat64k, 1);
    EXPECT_EQ(fast.writeBack.lat64k, 1);
}

TEST(ProcessorProfileCaches, DescriptorBytesSkipTheRepeatCountAndLaterOnesWin) {
    const uint8_t repeatCountOnly[16] = {0x66};
    CacheSizes none = DecodeCacheDescriptors(repeatCountOnly);
    EXPECT_EQ(none.L1 | none.L2 | none.L3, 0u);

    const uint8_t mixed[16] = {0x01, 0x0A, 0x45, 0x29, 0xFF, 0x68, 0, 0, 0, 0, 0, 0, 0x22, 0x3C, 0, 0};
    CacheSizes c = DecodeCacheDescriptors(mixed);
    EXPECT_EQ(c.L1, 32u * 1024);         // 0x68 after 0x0A
    EXPECT_EQ(c.L2, 256u * 1024);        // 0x3C after 0x45
    EXPECT_EQ(c.L3, 512u * 1024);        // 0x22 after 0x29
}

// Recorded on an Intel Core i5-8350U (signature 0x806EA): leaf 2 names no
// data cache of the table (0xFF: "see leaf 4"); leaf 4 lists L1 data 32 KB,
// L1 instruction 32 KB, L2 256 KB and L3 6 MB; 0x80000006 ECX says L2
// 256 KB, 0x80000005 is empty.
ProcessorProbe RecordedIntelCore() {
    ProcessorProbe p = MadeUpProcessor("GenuineIntel", 6, kSse | kSse2);
    p.signature = 0x000806EA;
    const uint8_t leaf2[16] = {0x01, 0x63, 0x03, 0x76, 0x00, 0x00, 0xC3, 0x00,
                               0xFF, 0xB5, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(p.descriptors, leaf2, 16);
    p.intelCaches[0] = {0x1C004121, 0x01C0003F, 0x0000003F};
    p.intelCaches[1] = {0x1C004122, 0x01C0003F, 0x0000003F};
    p.intelCaches[2] = {0x1C004143, 0x00C0003F, 0x000003FF};
    p.intelCaches[3] = {0x1C03C163, 0x02C0003F, 0x00001FFF};
    p.extL2Ecx = 0x01006040;
    return p;
}

// Recorded on an AMD EPYC (Zen 3, signature 0xA00F11): no leaf 2, leaf 4
// all zero; 0x8000001D lists L1 data 32 KB, L1 instruction 32 KB, L2 512 KB
// and the L3 of one core complex, 32 MB; 0x80000006 EDX gives the 256 MB of
// the whole package.
ProcessorProbe RecordedAmdEpyc() {
    ProcessorProbe p = MadeUpProcessor("AuthenticAMD", 15, kSse | kSse2);
    p.signature = 0x00A00F11;
    p.amdCaches[0] = {0x00000121, 0x01C0003F, 0x0000003F};
    p.amdCaches[1] = {0x00000122, 0x01C0003F, 0x0000003F};
    p.amdCaches[2] = {0x00000143, 0x01C0003F, 0x000003FF};
    p.amdCaches[3] = {0x00004163, 0x03C0003F, 0x00007FFF};
    p.extL1Ecx = 0x20080140;
    p.extL2Ecx = 0x02006140;
    p.extL3Edx = 0x08009140;
    return p;
}

constexpr uint32_t KB = 1024, MB = 1024 * KB;

TEST(ProcessorProfileCaches, DeterministicLeavesOfRecordedProcessors) {
    CacheSizes intel = DecodeCacheLeaves(RecordedIntelCore().intelCaches);
    EXPECT_EQ(intel.L1, 32 * KB);   // the data cache, not the instruction cache beside it
    EXPECT_EQ(intel.L2, 256 * KB);
    EXPECT_EQ(intel.L3, 6 * MB);    // 12 ways of 8192 sets
    CacheSizes amd = DecodeCacheLeaves(RecordedAmdEpyc().amdCaches);
    EXPECT_EQ(amd.L1, 32 * KB);
    EXPECT_EQ(amd.L2, 512 * KB);
    EXPECT_EQ(amd.L3, 32 * MB);
    CacheSizes none = DecodeCacheLeaves(RecordedAmdEpyc().intelCaches);
    EXPECT_EQ(none.L1 | none.L2 | none.L3, 0u);
}

TEST(ProcessorProfileCaches, DeterministicLeavesSkipInstructionCachesAndStopAtTheNullType) {
    const CacheLeaf l1Instruction = {0x00000122, 0x01C0003F, 0x0000003F};   // 32 KB
    const CacheLeaf l2Data16k = {0x00000141, 0x00C0003F, 0x0000003F};       // 4 ways, 64 sets: 16 KB
    const CacheLeaf l2Unified1m = {0x00000143, 0x03C0003F, 0x000003FF};     // 16 ways, 1024 sets: 1 MB
    const CacheLeaf nullType = {0x00000000, 0, 0};
    const CacheLeaf partitioned = {0x00000163, 0x0000103F, 0x000000FF};     // 1 way, 2 partitions, 256 sets
    const CacheLeaf level4 = {0x00000183, 0x03C0003F, 0x0000FFFF};

    const CacheLeaf list[] = {l1Instruction, l2Unified1m, l2Data16k, level4, partitioned, nullType, l2Data16k};
    CacheSizes c = DecodeCacheLeaves(list);
    EXPECT_EQ(c.L1, 0u);            // instruction caches do not count
    EXPECT_EQ(c.L2, 1 * MB);        // the largest of the level, in either order
    EXPECT_EQ(c.L3, 32 * KB);       // partitions count; a fourth level is ignored

    const CacheLeaf afterNull[] = {nullType, l2Unified1m};
    CacheSizes stopped = DecodeCacheLeaves(afterNull);
    EXPECT_EQ(stopped.L1 | stopped.L2 | stopped.L3, 0u);

    // 1024 ways * 1024 partitions * 4096 bytes * 2^32 sets saturates.
    const CacheLeaf huge[] = {{0x00000063, 0xFFFFFFFF, 0xFFFFFFFF}};
    EXPECT_EQ(DecodeCacheLeaves(huge).L3, UINT32_MAX);
}

TEST(ProcessorProfileCaches, ExtendedLeavesOfRecordedProcessors) {
    const ProcessorProbe amd = RecordedAmdEpyc();
    CacheSizes a = DecodeExtendedCacheLeaves(amd.extL1Ecx, amd.extL2Ecx, amd.extL3Edx);
    EXPECT_EQ(a.L1, 32 * KB);
    EXPECT_EQ(a.L2, 512 * KB);
    EXPECT_EQ(a.L3, 256 * MB);
    const ProcessorProbe intel = RecordedIntelCore();
    CacheSizes i = DecodeExtendedCacheLeaves(intel.extL1Ecx, intel.extL2Ecx, intel.extL3Edx);
    EXPECT_EQ(i.L1, 0u);
    EXPECT_EQ(i.L2, 256 * KB);
    EXPECT_EQ(i.L3, 0u);
    // The largest L3 the 14-bit field can say is above 4 GB.
    EXPECT_EQ(DecodeExtendedCacheLeaves(0, 0, 0xFFFC0000).L3, UINT32_MAX);
}

TEST(ProcessorProfileCaches, EachLevelTakesTheFirstSourceThatReportsIt) {
    // Current processors: nothing from the table, everything from their
    // deterministic leaf; the EPYC's L3 is its core complex's, not the package's.
    CacheSizes intel = CacheSizesOf(RecordedIntelCore());
    EXPECT_EQ(intel.L1, 32 * KB);
    EXPECT_EQ(intel.L2, 256 * KB);
    EXPECT_EQ(intel.L3, 6 * MB);
    CacheSizes amd = CacheSizesOf(RecordedAmdEpyc());
    EXPECT_EQ(amd.L1, 32 * KB);
    EXPECT_EQ(amd.L2, 512 * KB);
    EXPECT_EQ(amd.L3, 32 * MB);

    // An AMD processor without topology extensions: the extended leaves.
    ProcessorProbe olderAmd = RecordedAmdEpyc();
    std::fill(std::begin(olderAmd.amdCaches), std::end(olderAmd.amdCaches), CacheLeaf{});
    CacheSizes older = CacheSizesOf(olderAmd);
    EXPECT_EQ(older.L1, 32 * KB);
    EXPECT_EQ(older.L3, 256 * MB);

    // The table wins where it names a cache: its L1 and L2, leaf 4's L3.
    ProcessorProbe mixed = RecordedIntelCore();
    const uint8_t table[16] = {0x01, 0x0C, 0x7C};   // L1 16 KB, L2 1 MB
    std::memcpy(mixed.descriptors, table, 16);
    CacheSizes m = CacheSizesOf(mixed);
    EXPECT_EQ(m.L1, 16 * KB);
    EXPECT_EQ(m.L2, 1 * MB);
    EXPECT_EQ(m.L3, 6 * MB);

    EXPECT_EQ(CacheSizesOf(ProcessorProbe{}).L2, 0u);
}

TEST(ProcessorProfileDecision, EveryProcessorGetsCacheSizesButOnlyIntelFamily15StoresThem) {
    ProcessorProbe p4 = MadeUpProcessor("GenuineIntel", 15, kSse | kSse2);
    const uint8_t descriptors[16] = {0x01, 0x66, 0x5B, 0x50, 0, 0, 0, 0, 0x7B, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(p4.descriptors, descriptors, 16);
    ProfileDecision d = Decider()(p4);
    EXPECT_EQ(d.profile.L1, 8192u);
    EXPECT_EQ(d.profile.L2, 524288u);
    EXPECT_EQ(d.profile.L3, 0u);
    EXPECT_TRUE(d.writeBack.cachesStored);
    EXPECT_EQ(d.writeBack.L1, 8192u);
    EXPECT_EQ(d.writeBack.L2, 524288u);
    EXPECT_EQ(d.writeBack.L3, 0u);

    for (const ProcessorProbe& other : {RecordedIntelCore(), RecordedAmdEpyc()}) {
        ProfileDecision o = Decider()(other);
        EXPECT_NE(o.profile.L2, 0u) << other.vendor;
        EXPECT_EQ(o.profile.L2, CacheSizesOf(other).L2) << other.vendor;
        EXPECT_FALSE(o.writeBack.cachesStored) << other.vendor;
    }
}

TEST(ProcessorProfileDecision, ProcessorWithoutCpuidGetsThePlainestProfile) {
    ProcessorProfile p = Decider()(ProcessorProbe{}).profile;
    EXPECT_EQ(p.family, 0);
    EXPECT_EQ(p.vendor, kVendorOther);
    EXPECT_EQ(p.sseLevel, 0);
    EXPECT_EQ(p.avxLevel, 0);
    EXPECT_EQ(p.gap, 1);
    EXPECT_EQ(p.L1 | p.L2 | p.L3, 0u);
    EXPECT_EQ(ClassifyVendor("genuineINTEL"), kVendorIntel);
    EXPECT_EQ(ClassifyVendor("AuthenticAMD"), kVendorAmd);
    EXPECT_EQ(ClassifyVendor("AuthenticAM"), kVendorOther);
}

// This machine: every x86-64 processor has CPUID, SSE and SSE2.
TEST(ProcessorProfileHost, ProbeAndSweepGiveSaneAnswers) {
    ProcessorProbe probe = ProbeProcessor();
    EXPECT_EQ(std::strlen(probe.vendor), 12u);
    EXPECT_NE(probe.family, 0);
    EXPECT_EQ(probe.family, static_cast<int32_t>((probe.signature >> 8) & 15));
    EXPECT_EQ(probe.features & (kSse | kSse2), kSse | kSse2);
    // XCR0 is read exactly when OSXSAVE says XGETBV exists; x87 and SSE
    // state are then always saved.
    if (probe.featuresEcx & kOsxsave)
        EXPECT_EQ(probe.xcr0 & 3u, 3u);
    else
        EXPECT_EQ(probe.xcr0, 0u);
    // The compiler's runtime checks the same bits and OS state on its own.
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    EXPECT_EQ(AvxLevelOf(probe), avx2 ? (__builtin_cpu_supports("avx512f") ? 2 : 1) : 0);
    int32_t latency = MeasureLatency64k();
    EXPECT_GE(latency, 0);
    EXPECT_LT(latency, 1000);
}

TEST(ProcessorProfileHost, X87RunsAt64BitMantissaAndRoundsToNearest) {
    SetX87ExtendedPrecision();
    EXPECT_EQ(X87ControlWord() & 0xF00, 0x300);
    volatile long double one = 1.0L;
    volatile long double tiny = 0x1p-63L;
    EXPECT_NE(one + tiny, one);             // needs the 64-bit mantissa
    volatile long double half = 0x1p-64L;   // exactly half an ulp: ties to even
    EXPECT_EQ(one + half, one);
}

}  // namespace
}  // namespace numen
