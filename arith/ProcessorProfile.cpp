// ProcessorProfile: the rules that turn a probe and the settings file into
// the profile; see ProcessorProfile.h.
//
// Cache sizes come from the leaf-2 descriptor bytes (Intel's table in the
// CPUID reference, "Encoding of CPUID Leaf 2 Descriptors"); only the data
// caches the transforms care about are listed.
#include "arith/ProcessorProfile.h"

#include <string>
#include <string_view>

namespace numen {

namespace {

constexpr uint32_t KB = 1024;
constexpr uint32_t MB = 1024 * KB;

enum class Cache { L1, L2, L3 };

struct CacheDescriptor {
    uint8_t code;
    Cache cache;
    uint32_t bytes;
};

constexpr CacheDescriptor kCacheDescriptors[] = {
    {0x0A, Cache::L1, 8 * KB},   {0x66, Cache::L1, 8 * KB},
    {0x0C, Cache::L1, 16 * KB},  {0x67, Cache::L1, 16 * KB},
    {0x68, Cache::L1, 32 * KB},
    {0x39, Cache::L2, 128 * KB}, {0x3B, Cache::L2, 128 * KB},
    {0x41, Cache::L2, 128 * KB}, {0x79, Cache::L2, 128 * KB},
    {0x3C, Cache::L2, 256 * KB}, {0x42, Cache::L2, 256 * KB},
    {0x7A, Cache::L2, 256 * KB}, {0x82, Cache::L2, 256 * KB},
    {0x43, Cache::L2, 512 * KB}, {0x7B, Cache::L2, 512 * KB},
    {0x83, Cache::L2, 512 * KB},
    {0x44, Cache::L2, 1 * MB},   {0x7C, Cache::L2, 1 * MB},
    {0x84, Cache::L2, 1 * MB},
    {0x45, Cache::L2, 2 * MB},   {0x85, Cache::L2, 2 * MB},
    {0x22, Cache::L3, 512 * KB},
    {0x23, Cache::L3, 1 * MB},
    {0x25, Cache::L3, 2 * MB},
    {0x29, Cache::L3, 4 * MB},
};

constexpr uint32_t kFeatureSse = 1u << 25;     // leaf 1 EDX
constexpr uint32_t kFeatureSse2 = 1u << 26;    // leaf 1 EDX
constexpr uint32_t kFeatureAmdMmxExt = 1u << 22;   // leaf 0x80000001 EDX, AMD only

constexpr uint32_t kFeatureFma = 1u << 12;       // leaf 1 ECX
constexpr uint32_t kFeatureOsxsave = 1u << 27;   // leaf 1 ECX
constexpr uint32_t kFeatureAvx = 1u << 28;       // leaf 1 ECX
constexpr uint32_t kFeatureAvx2 = 1u << 5;       // leaf 7 EBX
constexpr uint32_t kFeatureAvx512f = 1u << 16;   // leaf 7 EBX
constexpr uint64_t kStateSseAvx = (1u << 1) | (1u << 2);                  // XCR0: XMM, YMM upper halves
constexpr uint64_t kStateAvx512 = (1u << 5) | (1u << 6) | (1u << 7);     // XCR0: opmask, ZMM hi256, hi16 ZMM

// Base family 15: Intel's Pentium 4 line, and AMD's K8 and every later AMD
// processor (those count further in the extended family field). Its tuning
// is fixed: more row padding, no latency sweep.
constexpr int32_t kFamilyPentium4 = 15;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The vendor string as the settings file gives it back: blanks around a
// value are not kept there, and some vendors ("  Shanghai  ") pad theirs.
std::string StoredFormOfVendor(const char* vendorString) {
    std::string_view v(vendorString);
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return std::string(v);
}

int32_t ChooseSseLevel(const ProcessorProbe& probe, int32_t vendor, int32_t xmmTest) {
    if (xmmTest >= 10) return xmmTest - 10 > 2 ? 2 : xmmTest - 10;
    int32_t level = ((probe.features & kFeatureSse2) ? 1 : 0) + ((probe.features & kFeatureSse) ? 1 : 0);
    if (level == 0 && vendor == kVendorAmd) level = (probe.extFeatures & kFeatureAmdMmxExt) ? 1 : 0;
    return level;
}

}  // namespace

int32_t AvxLevelOf(const ProcessorProbe& probe) {
    constexpr uint32_t ecxNeeded = kFeatureFma | kFeatureOsxsave | kFeatureAvx;
    if ((probe.featuresEcx & ecxNeeded) != ecxNeeded || !(probe.leaf7Ebx & kFeatureAvx2) ||
        (probe.xcr0 & kStateSseAvx) != kStateSseAvx)
        return 0;
    if ((probe.leaf7Ebx & kFeatureAvx512f) && (probe.xcr0 & kStateAvx512) == kStateAvx512) return 2;
    return 1;
}

int32_t ClassifyVendor(const char* vendorString) {
    if (EqualsIgnoringCase(vendorString, "GenuineIntel")) return kVendorIntel;
    if (EqualsIgnoringCase(vendorString, "AuthenticAMD")) return kVendorAmd;
    return kVendorOther;
}

CacheSizes DecodeCacheDescriptors(const uint8_t (&descriptors)[16]) {
    CacheSizes sizes;
    for (int i = 1; i < 16; ++i) {
        for (const CacheDescriptor& d : kCacheDescriptors) {
            if (d.code != descriptors[i]) continue;
            (d.cache == Cache::L1 ? sizes.L1 : d.cache == Cache::L2 ? sizes.L2 : sizes.L3) = d.bytes;
        }
    }
    return sizes;
}

ProcessorProfile LoadProcessorProfile(const ProcessorProbe& probe, IniFile& ini,
                                      const std::function<int32_t()>& measureLatency64k,
                                      const std::function<void()>& deleteCheckpoints) {
    ProcessorProfile p;
    p.probe = probe;
    p.probe.vendor[12] = '\0';
    p.family = probe.family;
    p.vendor = ClassifyVendor(p.probe.vendor);

    // A checkpoint made with another processor's tuning cannot be read back.
    std::string vendorString = StoredFormOfVendor(p.probe.vendor);
    if (ini.readInt("cpu") != p.family || ini.readText("vendor") != vendorString) {
        deleteCheckpoints();
        ini.writeInt("cpu", p.family);
        ini.writeText("vendor", vendorString);
    }

    // A forced SSE level is the code path the user wants to test, so no AVX
    // family may take over from it.
    const int32_t xmmTest = ini.readInt("xmm_test");
    p.sseLevel = ChooseSseLevel(probe, p.vendor, xmmTest);
    p.avxLevel = xmmTest >= 10 ? 0 : AvxLevelOf(probe);
    ini.writeInt("xmm", p.sseLevel);

    // A negative value would be as meaningless as 0, and as harmful.
    p.gap = ini.readInt("gap");
    if (p.gap <= 0) {
        p.gap = (p.vendor == kVendorAmd || p.family == kFamilyPentium4) ? 4 : 1;
        ini.writeInt("gap", p.gap);
    }

    p.lat64k = ini.readInt("lat64k");
    if (p.lat64k <= 0) {
        p.lat64k = p.family == kFamilyPentium4 ? 2 : measureLatency64k();
        // A fast cache can round to 0, which would mean "measure" next time.
        if (p.lat64k < 1) p.lat64k = 1;
        ini.writeInt("lat64k", p.lat64k);
    }

    if (p.vendor == kVendorIntel && p.family == kFamilyPentium4) {
        CacheSizes sizes = DecodeCacheDescriptors(probe.descriptors);
        p.L1 = sizes.L1;
        p.L2 = sizes.L2;
        p.L3 = sizes.L3;
        ini.writeUnsigned("L1cache", p.L1);
        ini.writeUnsigned("L2cache", p.L2);
        ini.writeUnsigned("L3cache", p.L3);
    }
    return p;
}

void DeleteCheckpointFiles(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::remove(folder / "Numen.dta", ignored);
    std::filesystem::remove(folder / "Numen.dtf", ignored);
}

namespace {
ProcessorProfile currentProfile;
}

const ProcessorProfile& CurrentProcessorProfile() { return currentProfile; }

void SetCurrentProcessorProfile(const ProcessorProfile& profile) { currentProfile = profile; }

}  // namespace numen
