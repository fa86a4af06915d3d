// CpuProbe: what the processor says about itself (CPUID) and how fast it
// moves data through a 64 KB buffer (time-stamp counter). These are the only
// places that execute CPUID; the decisions built on the answers are in
// arith/ProcessorProfile, which takes a ProcessorProbe as plain data so that
// it can be tested with processors that do not exist.
#pragma once

#include <cstdint>

namespace numen {

// One subleaf of a deterministic cache parameters leaf (leaf 4 on Intel,
// 0x8000001D on AMD; both use the same layout).
struct CacheLeaf {
    uint32_t eax = 0, ebx = 0, ecx = 0;
};

// Subleaves kept per deterministic leaf; processors list four or five.
inline constexpr int kMaxCacheLeaves = 8;

// Raw answers of the processor. All zero (vendor empty) when it does not
// report them.
struct ProcessorProbe {
    int32_t family = 0;           // (signature >> 8) & 15, base family only
    uint32_t signature = 0;       // leaf 1 EAX
    uint32_t features = 0;        // leaf 1 EDX
    uint32_t featuresEcx = 0;     // leaf 1 ECX (FMA bit 12, OSXSAVE 27, AVX 28)
    uint32_t leaf7Ebx = 0;        // leaf 7 subleaf 0 EBX (AVX2 bit 5, AVX512F 16); 0 below leaf 7
    uint64_t xcr0 = 0;            // XGETBV(0): register state the OS saves; 0 without OSXSAVE
    uint32_t extFeatures = 0;     // leaf 0x80000001 EDX
    char vendor[13] = {};         // leaf 0 EBX, EDX, ECX, NUL-terminated
    uint8_t descriptors[16] = {}; // leaf 2 EAX, EDX, EBX, ECX, each little-endian
    // Leaf 4 subleaves 0, 1, ... up to the first of null cache type; none
    // below leaf 4 (AMD answers leaf 4 with zeros).
    CacheLeaf intelCaches[kMaxCacheLeaves] = {};
    // Leaf 0x8000001D subleaves likewise; only when leaf 0x80000001 ECX has
    // TopologyExtensions (bit 22), which says the leaf exists.
    CacheLeaf amdCaches[kMaxCacheLeaves] = {};
    uint32_t extL1Ecx = 0;        // leaf 0x80000005 ECX (AMD: L1 data cache)
    uint32_t extL2Ecx = 0;        // leaf 0x80000006 ECX (L2)
    uint32_t extL3Edx = 0;        // leaf 0x80000006 EDX (AMD: L3)
};

ProcessorProbe ProbeProcessor();

// Cycles per double of 128 load-and-store sweeps over a 64 KB buffer, in
// blocks of 8 doubles (one cache line), rounded to the nearest integer.
// Moves 8 MB; a few milliseconds.
int32_t MeasureLatency64k();

}  // namespace numen
