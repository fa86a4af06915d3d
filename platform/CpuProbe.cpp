// CpuProbe: CPUID and the 64 KB sweep; see CpuProbe.h.
//
// Cache sizes are asked three ways, since each generation answers only some:
// the leaf-2 descriptor table (older Intel), the deterministic cache leaves
// (leaf 4 Intel, 0x8000001D AMD) and AMD's 0x80000005 / 0x80000006 sizes.
// Which answer counts is decided in arith/ProcessorProfile.
//
// Leaf 2 packs up to 15 one-byte cache descriptors and a repeat count in
// EAX's low byte; the register order kept here is the one the descriptor
// table expects:
//
//   descriptors[ 0.. 3] = EAX (byte 0: repeat count, not a descriptor)
//   descriptors[ 4.. 7] = EDX
//   descriptors[ 8..11] = EBX
//   descriptors[12..15] = ECX
#include "platform/CpuProbe.h"

#include <cpuid.h>
#include <cstring>
#include <x86intrin.h>

namespace numen {

namespace {

constexpr uint32_t kOsxsave = 1u << 27;   // leaf 1 ECX: XGETBV usable
constexpr uint32_t kTopologyExtensions = 1u << 22;   // leaf 0x80000001 ECX: leaf 0x8000001D exists
constexpr uint32_t kCacheTypeMask = 0x1F;            // deterministic cache leaves, EAX: 0 = no more caches

// XGETBV(0) without compiling the file for AVX: the instruction exists
// whenever OSXSAVE is set, and the caller checks that first.
uint64_t ReadXcr0() {
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

void StoreLittleEndian(uint8_t* out, uint32_t word) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(word >> (8 * i));
}

// Subleaves 0, 1, ... of a deterministic cache leaf, up to the first one of
// null cache type.
void ReadCacheLeaves(unsigned leaf, CacheLeaf (&out)[kMaxCacheLeaves]) {
    for (int i = 0; i < kMaxCacheLeaves; ++i) {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        __cpuid_count(leaf, static_cast<unsigned>(i), eax, ebx, ecx, edx);
        if ((eax & kCacheTypeMask) == 0) return;
        out[i] = {eax, ebx, ecx};
    }
}

}  // namespace

ProcessorProbe ProbeProcessor() {
    ProcessorProbe probe;
    // Every x86-64 processor has CPUID, so the ID-flag test of 32-bit
    // processors is not needed here.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    unsigned highest = eax;
    std::memcpy(probe.vendor + 0, &ebx, 4);
    std::memcpy(probe.vendor + 4, &edx, 4);
    std::memcpy(probe.vendor + 8, &ecx, 4);
    probe.vendor[12] = '\0';
    if (highest < 1) return probe;

    __cpuid(1, eax, ebx, ecx, edx);
    probe.signature = eax;
    probe.features = edx;
    probe.featuresEcx = ecx;
    probe.family = static_cast<int32_t>((eax >> 8) & 15);
    if (ecx & kOsxsave) probe.xcr0 = ReadXcr0();

    // Below leaf 7 a processor answers with its highest basic leaf, whose
    // EBX would read as feature bits.
    if (highest >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        probe.leaf7Ebx = ebx;
    }

    // A processor without extended leaves answers with some basic leaf, so
    // only a value in the extended range counts.
    unsigned highestExtended = __get_cpuid_max(0x80000000u, nullptr);
    if (highestExtended < 0x80000000u || highestExtended > 0x8000FFFFu) highestExtended = 0;
    uint32_t extFeaturesEcx = 0;
    if (highestExtended >= 0x80000001u) {
        __cpuid(0x80000001u, eax, ebx, ecx, edx);
        probe.extFeatures = edx;
        extFeaturesEcx = ecx;
    }
    if (highestExtended >= 0x80000005u) {
        __cpuid(0x80000005u, eax, ebx, ecx, edx);
        probe.extL1Ecx = ecx;
    }
    if (highestExtended >= 0x80000006u) {
        __cpuid(0x80000006u, eax, ebx, ecx, edx);
        probe.extL2Ecx = ecx;
        probe.extL3Edx = edx;
    }
    if (highestExtended >= 0x8000001Du && (extFeaturesEcx & kTopologyExtensions))
        ReadCacheLeaves(0x8000001Du, probe.amdCaches);

    if (highest >= 2) {
        __cpuid(2, eax, ebx, ecx, edx);
        StoreLittleEndian(probe.descriptors + 0, eax);
        StoreLittleEndian(probe.descriptors + 4, edx);
        StoreLittleEndian(probe.descriptors + 8, ebx);
        StoreLittleEndian(probe.descriptors + 12, ecx);
    }
    if (highest >= 4) ReadCacheLeaves(4, probe.intelCaches);
    return probe;
}

int32_t MeasureLatency64k() {
    constexpr int kDoubles = 65536 / sizeof(double);
    constexpr int kSweeps = 128;
    alignas(64) static double buffer[kDoubles];
    std::memset(buffer, 0, sizeof buffer);
    // Volatile accesses: every load and store below must reach the memory
    // system, or the compiler would see a loop that changes nothing.
    volatile double* p = buffer;

    uint64_t start = __rdtsc();
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
        for (int i = 0; i < kDoubles; i += 8) {
            double v0 = p[i], v1 = p[i + 1], v2 = p[i + 2], v3 = p[i + 3];
            double v4 = p[i + 4], v5 = p[i + 5], v6 = p[i + 6], v7 = p[i + 7];
            p[i] = v0; p[i + 1] = v1; p[i + 2] = v2; p[i + 3] = v3;
            p[i + 4] = v4; p[i + 5] = v5; p[i + 6] = v6; p[i + 7] = v7;
        }
    }
    uint64_t end = __rdtsc();
    double moved = static_cast<double>(kSweeps) * kDoubles;   // 1048576
    return static_cast<int32_t>(static_cast<double>(end - start) / moved + 0.5);
}

}  // namespace numen
