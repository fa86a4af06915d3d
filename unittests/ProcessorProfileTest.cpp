// ProcessorProfile: the start-up rules with made-up processors -- SSE level
// and its override, gap and lat64k kept or chosen, the family-15 cache
// table, checkpoint deletion on a change of processor, the AVX level from
// feature bits and the OS-saved state -- checked through the
// keys they leave in a real "Numen.ini". Then the probe and the x87 mode on
// this machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "ref/TempFolder.h"
#include "arith/ProcessorProfile.h"
#include "platform/CpuProbe.h"
#include "platform/Fpu.h"
#include "shell/IniFile.h"

namespace numen {
namespace {

namespace fs = std::filesystem;

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

class ProcessorProfileTest : public ::testing::Test {
protected:

    void put(const std::string& text) const { std::ofstream(folder / "Numen.ini", std::ios::binary) << text; }
    std::string contents() const {
        std::ifstream in(folder / "Numen.ini", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool stored(const std::string& line) const { return contents().find("\n" + line + "\n") != std::string::npos; }
    bool hasKey(const std::string& key) const { return contents().find("\n" + key + "=") != std::string::npos; }
    void touch(const char* name) const { std::ofstream(folder / name) << "x"; }

    ProcessorProfile load(const ProcessorProbe& probe) {
        return LoadProcessorProfile(probe, ini, [this] { ++measurements; return measuredLatency; },
                                    [this] { ++deletions; DeleteCheckpointFiles(folder); });
    }

    testing::TempFolder temp;
    const fs::path folder = temp.path();
    IniFile ini{folder};
    int measurements = 0;
    int deletions = 0;
    int32_t measuredLatency = 3;
};

TEST_F(ProcessorProfileTest, FirstStartWritesTheProcessorAndDeletesNoOtherFile) {
    touch("Numen.log");
    touch("Numen.txt");
    ProcessorProfile p = load(MadeUpProcessor("GenuineIntel", 6, kSse | kSse2));
    EXPECT_EQ(deletions, 1);
    EXPECT_TRUE(fs::exists(folder / "Numen.log"));
    EXPECT_TRUE(fs::exists(folder / "Numen.txt"));
    EXPECT_EQ(contents(), "[Init]\ncpu=6\nvendor=GenuineIntel\nxmm=2\ngap=1\nlat64k=3\n");
    EXPECT_EQ(p.family, 6);
    EXPECT_EQ(p.vendor, kVendorIntel);
    EXPECT_EQ(p.sseLevel, 2);
    EXPECT_EQ(p.probe.features, kSse | kSse2);

    // The same processor again: nothing deleted, nothing measured, same file.
    touch("Numen.dta");
    load(MadeUpProcessor("GenuineIntel", 6, kSse | kSse2));
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(measurements, 1);
    EXPECT_TRUE(fs::exists(folder / "Numen.dta"));
    EXPECT_EQ(contents(), "[Init]\ncpu=6\nvendor=GenuineIntel\nxmm=2\ngap=1\nlat64k=3\n");
}

TEST_F(ProcessorProfileTest, ChangeOfFamilyOrVendorDeletesCheckpointsBeforeRewritingKeys) {
    struct Case {
        const char* storedFile;
        const char* vendor;
        int32_t family;
    } cases[] = {
        {"[Init]\ncpu=6\nvendor=GenuineIntel\n", "AuthenticAMD", 6},    // vendor
        {"[Init]\ncpu=6\nvendor=GenuineIntel\n", "GenuineIntel", 15},   // family
        {"[Init]\ncpu=6\nvendor=genuineintel\n", "GenuineIntel", 6},    // case counts here
    };
    for (const Case& c : cases) {
        put(c.storedFile);
        touch("Numen.dta");
        touch("Numen.dtf");
        touch("Numen.log");
        std::string seenAtDeletion;
        LoadProcessorProfile(MadeUpProcessor(c.vendor, c.family), ini, [] { return 3; },
                             [&] { seenAtDeletion = contents(); DeleteCheckpointFiles(folder); });
        EXPECT_EQ(seenAtDeletion.rfind(c.storedFile, 0), 0u) << "keys written before deletion";
        EXPECT_FALSE(fs::exists(folder / "Numen.dta"));
        EXPECT_FALSE(fs::exists(folder / "Numen.dtf"));
        EXPECT_TRUE(fs::exists(folder / "Numen.log"));
        EXPECT_TRUE(stored("cpu=" + std::to_string(c.family)));
        EXPECT_TRUE(stored(std::string("vendor=") + c.vendor));
    }
}

TEST_F(ProcessorProfileTest, PaddedVendorStringIsRecognisedAtTheNextStart) {
    load(MadeUpProcessor("  Shanghai  ", 7, kSse | kSse2));
    EXPECT_TRUE(stored("vendor=Shanghai"));
    load(MadeUpProcessor("  Shanghai  ", 7, kSse | kSse2));
    EXPECT_EQ(deletions, 1);
}

TEST_F(ProcessorProfileTest, SseLevelFromFeaturesOrForcedByXmmTest) {
    struct Case {
        const char* vendor;
        uint32_t features, extFeatures;
        const char* xmmTest;   // nullptr: key missing
        int32_t level;
    } cases[] = {
        {"GenuineIntel", kSse | kSse2, 0, nullptr, 2},
        {"GenuineIntel", kSse, 0, nullptr, 1},
        {"GenuineIntel", 0, kAmdMmxExt, nullptr, 0},   // extended MMX counts only for AMD
        {"AuthenticAMD", 0, kAmdMmxExt, nullptr, 1},
        {"AuthenticAMD", 0, 0, nullptr, 0},
        {"AuthenticAMD", kSse | kSse2, 0, "10", 0},
        {"GenuineIntel", 0, 0, "12", 2},
        {"GenuineIntel", kSse, 0, "11", 1},
        {"GenuineIntel", kSse | kSse2, 0, "9", 2},    // below 10: ignored
        {"GenuineIntel", kSse, 0, "0", 1},
        {"GenuineIntel", kSse, 0, "15", 2},           // no level above 2
    };
    for (const Case& c : cases) {
        put(c.xmmTest ? std::string("[Init]\nxmm_test=") + c.xmmTest + "\n" : "");
        ProcessorProfile p = load(MadeUpProcessor(c.vendor, 6, c.features, c.extFeatures));
        EXPECT_EQ(p.sseLevel, c.level) << c.vendor << " " << c.features << " " << (c.xmmTest ? c.xmmTest : "-");
        EXPECT_TRUE(stored("xmm=" + std::to_string(c.level)));
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

TEST_F(ProcessorProfileTest, AvxLevelComesFromTheProbeUnlessXmmTestForcesSse) {
    EXPECT_EQ(load(Avx512Processor()).avxLevel, 2);
    for (const char* forced : {"10", "11", "12"}) {
        put(std::string("[Init]\nxmm_test=") + forced + "\n");
        ProcessorProfile p = load(Avx512Processor());
        EXPECT_EQ(p.avxLevel, 0) << forced;
        EXPECT_EQ(p.sseLevel, forced[1] - '0') << forced;
    }
    put("[Init]\nxmm_test=9\n");
    EXPECT_EQ(load(Avx512Processor()).avxLevel, 2);
}

TEST_F(ProcessorProfileTest, StoredGapIsKeptAndMissingGapGetsTheDefault) {
    put("[Init]\ncpu=6\nvendor=GenuineIntel\ngap = 7\n");
    EXPECT_EQ(load(MadeUpProcessor("GenuineIntel", 6)).gap, 7);
    EXPECT_TRUE(stored("gap = 7"));   // not rewritten

    struct Case {
        const char* vendor;
        int32_t family;
        const char* storedGap;
        int32_t gap;
    } cases[] = {
        {"GenuineIntel", 6, "0", 1},
        {"GenuineIntel", 15, "", 4},
        {"AuthenticAMD", 6, "0", 4},
        {"CyrixInstead", 5, "-3", 1},
    };
    for (const Case& c : cases) {
        put(std::string("[Init]\ngap=") + c.storedGap + "\n");
        EXPECT_EQ(load(MadeUpProcessor(c.vendor, c.family)).gap, c.gap) << c.vendor << c.family;
        EXPECT_TRUE(stored("gap=" + std::to_string(c.gap)));
    }
}

TEST_F(ProcessorProfileTest, LatencyIsMeasuredOnlyWhenMissingAndNeverOnFamily15) {
    ProcessorProfile p = load(MadeUpProcessor("GenuineIntel", 15, kSse | kSse2));
    EXPECT_EQ(p.lat64k, 2);
    EXPECT_EQ(measurements, 0);
    EXPECT_TRUE(stored("lat64k=2"));

    put("[Init]\nlat64k=9\n");
    EXPECT_EQ(load(MadeUpProcessor("AuthenticAMD", 15)).lat64k, 9);
    EXPECT_EQ(load(MadeUpProcessor("GenuineIntel", 6)).lat64k, 9);
    EXPECT_EQ(measurements, 0);

    put("[Init]\nlat64k=0\n");
    EXPECT_EQ(load(MadeUpProcessor("GenuineIntel", 6)).lat64k, 3);
    EXPECT_EQ(measurements, 1);
    EXPECT_TRUE(stored("lat64k=3"));

    // A sweep that rounds to 0 cycles is stored as 1, or it would be redone
    // at every start.
    put("");
    measuredLatency = 0;
    EXPECT_EQ(load(MadeUpProcessor("GenuineIntel", 6)).lat64k, 1);
    EXPECT_TRUE(stored("lat64k=1"));
}

TEST_F(ProcessorProfileTest, CachesAreDecodedForIntelFamily15Only) {
    ProcessorProbe p4 = MadeUpProcessor("GenuineIntel", 15, kSse | kSse2);
    const uint8_t descriptors[16] = {0x01, 0x66, 0x5B, 0x50, 0, 0, 0, 0, 0x7B, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(p4.descriptors, descriptors, 16);
    ProcessorProfile p = load(p4);
    EXPECT_EQ(p.L1, 8192u);
    EXPECT_EQ(p.L2, 524288u);
    EXPECT_EQ(p.L3, 0u);
    EXPECT_TRUE(stored("L1cache=8192"));
    EXPECT_TRUE(stored("L2cache=524288"));
    EXPECT_TRUE(stored("L3cache=0"));

    for (auto [vendor, family] : {std::pair{"AuthenticAMD", 15}, std::pair{"GenuineIntel", 6}}) {
        put("");
        ProcessorProbe other = MadeUpProcessor(vendor, family);
        std::memcpy(other.descriptors, descriptors, 16);
        ProcessorProfile q = load(other);
        EXPECT_EQ(q.L1 | q.L2 | q.L3, 0u) << vendor;
        EXPECT_FALSE(hasKey("L1cache") || hasKey("L2cache") || hasKey("L3cache")) << vendor;
    }
}

TEST_F(ProcessorProfileTest, DescriptorBytesSkipTheRepeatCountAndLaterOnesWin) {
    const uint8_t repeatCountOnly[16] = {0x66};
    CacheSizes none = DecodeCacheDescriptors(repeatCountOnly);
    EXPECT_EQ(none.L1 | none.L2 | none.L3, 0u);

    const uint8_t mixed[16] = {0x01, 0x0A, 0x45, 0x29, 0xFF, 0x68, 0, 0, 0, 0, 0, 0, 0x22, 0x3C, 0, 0};
    CacheSizes c = DecodeCacheDescriptors(mixed);
    EXPECT_EQ(c.L1, 32u * 1024);         // 0x68 after 0x0A
    EXPECT_EQ(c.L2, 256u * 1024);        // 0x3C after 0x45
    EXPECT_EQ(c.L3, 512u * 1024);        // 0x22 after 0x29
}

TEST_F(ProcessorProfileTest, ProcessorWithoutCpuidGetsThePlainestProfile) {
    ProcessorProfile p = load(ProcessorProbe{});
    EXPECT_EQ(p.family, 0);
    EXPECT_EQ(p.vendor, kVendorOther);
    EXPECT_EQ(p.sseLevel, 0);
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
