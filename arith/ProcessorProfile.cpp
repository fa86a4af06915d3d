// ProcessorProfile: the rules that turn a probe and the stored tuning values
// into the profile; see ProcessorProfile.h.
//
// Cache sizes come first from the leaf-2 descriptor bytes (Intel's table in
// the CPUID reference, "Encoding of CPUID Leaf 2 Descriptors"); only the
// data caches the transforms care about are listed. Deterministic cache
// leaves, per subleaf:
//   EAX[4:0] type (0 none, 1 data, 2 instruction, 3 unified), EAX[7:5] level
//   EBX[11:0] line size - 1, EBX[21:12] partitions - 1, EBX[31:22] ways - 1
//   ECX sets - 1
#include "arith/ProcessorProfile.h"

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

constexpr uint32_t kCacheTypeData = 1, kCacheTypeUnified = 3;

// a unless it is 0, else b.
uint32_t FirstReported(uint32_t a, uint32_t b) { return a != 0 ? a : b; }

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

CacheSizes DecodeCacheLeaves(std::span<const CacheLeaf> leaves) {
    CacheSizes sizes;
    for (const CacheLeaf& leaf : leaves) {
        const uint32_t type = leaf.eax & 0x1F;
        if (type == 0) break;
        if (type != kCacheTypeData && type != kCacheTypeUnified) continue;
        const uint32_t level = (leaf.eax >> 5) & 7;
        if (level < 1 || level > 3) continue;
        const uint64_t ways = (leaf.ebx >> 22) + 1;
        const uint64_t partitions = ((leaf.ebx >> 12) & 0x3FF) + 1;
        const uint64_t line = (leaf.ebx & 0xFFF) + 1;
        const uint64_t sets = uint64_t(leaf.ecx) + 1;
        // Each factor fits 32 bits, their product not always 64.
        const uint64_t perSet = ways * partitions * line;   // at most 2^32
        const uint32_t size = sets > UINT32_MAX / perSet ? UINT32_MAX : uint32_t(perSet * sets);
        uint32_t& slot = level == 1 ? sizes.L1 : level == 2 ? sizes.L2 : sizes.L3;
        if (size > slot) slot = size;
    }
    return sizes;
}

CacheSizes DecodeExtendedCacheLeaves(uint32_t l1Ecx, uint32_t l2Ecx, uint32_t l3Edx) {
    CacheSizes sizes;
    sizes.L1 = (l1Ecx >> 24) * KB;
    sizes.L2 = (l2Ecx >> 16) * KB;
    // 14 bits of 512 KB units: up to 8 GB - 512 KB.
    const uint64_t l3 = uint64_t(l3Edx >> 18) * 512 * KB;
    sizes.L3 = l3 > UINT32_MAX ? UINT32_MAX : uint32_t(l3);
    return sizes;
}

CacheSizes CacheSizesOf(const ProcessorProbe& probe) {
    const CacheSizes table = DecodeCacheDescriptors(probe.descriptors);
    const CacheSizes intel = DecodeCacheLeaves(probe.intelCaches);
    const CacheSizes amd = DecodeCacheLeaves(probe.amdCaches);
    const CacheSizes ext = DecodeExtendedCacheLeaves(probe.extL1Ecx, probe.extL2Ecx, probe.extL3Edx);
    CacheSizes sizes;
    sizes.L1 = FirstReported(table.L1, FirstReported(intel.L1, FirstReported(amd.L1, ext.L1)));
    sizes.L2 = FirstReported(table.L2, FirstReported(intel.L2, FirstReported(amd.L2, ext.L2)));
    sizes.L3 = FirstReported(table.L3, FirstReported(intel.L3, FirstReported(amd.L3, ext.L3)));
    return sizes;
}

ProfileDecision DecideProcessorProfile(const ProcessorProbe& probe, const StoredTuning& stored,
                                       const std::function<int32_t()>& measureLatency64k) {
    ProfileDecision d;
    ProcessorProfile& p = d.profile;
    TuningWriteBack& w = d.writeBack;
    p.probe = probe;
    p.probe.vendor[12] = '\0';
    p.family = probe.family;
    p.vendor = ClassifyVendor(p.probe.vendor);

    // A checkpoint made with another processor's tuning cannot be read back.
    w.cpu = p.family;
    w.vendor = StoredFormOfVendor(p.probe.vendor);
    w.processorChanged = stored.cpu != w.cpu || stored.vendor != w.vendor;

    // A forced SSE level is the code path the user wants to test, so no AVX
    // family may take over from it.
    p.sseLevel = ChooseSseLevel(probe, p.vendor, stored.xmmTest);
    p.avxLevel = stored.xmmTest >= 10 ? 0 : AvxLevelOf(probe);
    w.xmm = p.sseLevel;

    // A negative value would be as meaningless as 0, and as harmful.
    p.gap = stored.gap;
    if (p.gap <= 0) {
        p.gap = (p.vendor == kVendorAmd || p.family == kFamilyPentium4) ? 4 : 1;
        w.gapChosen = true;
    }
    w.gap = p.gap;

    p.lat64k = stored.lat64k;
    if (p.lat64k <= 0) {
        p.lat64k = p.family == kFamilyPentium4 ? 2 : measureLatency64k();
        // A fast cache can round to 0, which would mean "measure" next time.
        if (p.lat64k < 1) p.lat64k = 1;
        w.lat64kChosen = true;
    }
    w.lat64k = p.lat64k;

    const CacheSizes sizes = CacheSizesOf(probe);
    p.L1 = sizes.L1;
    p.L2 = sizes.L2;
    p.L3 = sizes.L3;
    // The keys have only ever been written for this line of processors.
    if (p.vendor == kVendorIntel && p.family == kFamilyPentium4) {
        w.cachesStored = true;
        w.L1 = p.L1;
        w.L2 = p.L2;
        w.L3 = p.L3;
    }
    return d;
}

namespace {
ProcessorProfile currentProfile;
}

const ProcessorProfile& CurrentProcessorProfile() { return currentProfile; }

void SetCurrentProcessorProfile(const ProcessorProfile& profile) { currentProfile = profile; }

}  // namespace numen
