// ProcessorProfile: what the kernels, transform shapes and sieve know about
// the processor, decided once at start-up from a probe and the tuning keys
// of "Numen.ini".
//
// The decision is a pure function of the raw probe (platform/CpuProbe.h),
// the stored tuning values and one injected action -- the 64 KB latency
// measurement -- so that tests can run it for processors that do not exist.
// It reads no file: the shell's start-up reads the keys, and writes back
// what the decision says, as values. Tuning values found in the settings
// file are used as they are and never re-measured, so a user can tune them
// by hand; "xmm_test" overrides the SSE level.
//
// Keys of [Init], in the order the start-up writes them back:
//   cpu, vendor   written (and checkpoints deleted first) when the family
//                 or the vendor string differs from the stored one
//   xmm_test      read: >= 10 forces the SSE level to value - 10 and the
//                 AVX level to 0
//   xmm           written at every start: the SSE level
//   gap           read; 0 or missing: default chosen and written
//   lat64k        read; 0 or missing: measured (family 15: 2) and written
//   L1cache, L2cache, L3cache   written for Intel family 15 only
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/CpuProbe.h"

namespace numen {

enum ProcessorVendor : int32_t {
    kVendorIntel = 0,   // "GenuineIntel"
    kVendorAmd = 1,     // "AuthenticAMD"
    kVendorOther = 2,   // anything else, or no CPUID
};

struct ProcessorProfile {
    int32_t family = 0;         // base family (CPUID leaf 1 EAX bits 8..11)
    int32_t vendor = kVendorOther;
    int32_t sseLevel = 0;       // 0 none, 1 SSE (or AMD extended MMX), 2 SSE2
    int32_t avxLevel = 0;       // 0 none, 1 AVX2 and FMA, 2 AVX-512F as well (OS state permitting)
    int32_t gap = 0;            // padding elements per transform row
    int32_t lat64k = 0;         // cycles per double of the 64 KB sweep
    uint32_t L1 = 0, L2 = 0, L3 = 0;   // data-cache bytes; 0 = not detected
    ProcessorProbe probe;       // the raw answers the profile was made from
};

// kVendorIntel / kVendorAmd / kVendorOther, ignoring case.
int32_t ClassifyVendor(const char* vendorString);

// Data-cache sizes in bytes per level; 0 = not reported.
struct CacheSizes {
    uint32_t L1 = 0, L2 = 0, L3 = 0;
};

// Cache sizes from leaf-2 descriptor bytes 1..15 (byte 0 is the repeat
// count); a later byte overrides an earlier one for the same cache, unknown
// bytes are ignored. Older Intel processors fill this table; current ones
// answer 0xFF ("see leaf 4") or nothing.
CacheSizes DecodeCacheDescriptors(const uint8_t (&descriptors)[16]);

// Cache sizes from deterministic cache parameter subleaves (leaf 4 or
// 0x8000001D, same layout): ways * partitions * line * sets of each data or
// unified cache of level 1..3, the largest per level; the list ends at the
// first subleaf of null type. Saturates at 4 GB - 1.
CacheSizes DecodeCacheLeaves(std::span<const CacheLeaf> leaves);

// Cache sizes from AMD's extended leaves: L1 data ECX[31:24] KB of
// 0x80000005, L2 ECX[31:16] KB and L3 EDX[31:18] * 512 KB of 0x80000006.
CacheSizes DecodeExtendedCacheLeaves(uint32_t l1Ecx, uint32_t l2Ecx, uint32_t l3Edx);

// The sizes the profile holds, per level the first non-zero answer of: the
// descriptor table (first, for the processors that fill it), leaf 4,
// leaf 0x8000001D, the extended leaves.
CacheSizes CacheSizesOf(const ProcessorProbe& probe);

// The AVX level the probe allows: 1 needs AVX, FMA, AVX2, OSXSAVE and the
// OS saving SSE and AVX state (XCR0 bits 1, 2); 2 needs AVX-512F and the
// opmask and ZMM state as well (XCR0 bits 5, 6, 7). Without the OS bits the
// registers would be lost at the first context switch.
int32_t AvxLevelOf(const ProcessorProbe& probe);

// The tuning keys as the settings file holds them (0 or "" when missing).
struct StoredTuning {
    int32_t cpu = 0;
    std::string vendor;
    int32_t xmmTest = 0;
    int32_t gap = 0;
    int32_t lat64k = 0;
};

// What the settings file must get back, as values. The start-up writes, in
// this order: cpu and vendor when `processorChanged` (after deleting the
// checkpoints), xmm always, gap when `gapChosen`, lat64k when
// `lat64kChosen`, L1cache, L2cache, L3cache when `cachesStored`.
struct TuningWriteBack {
    bool processorChanged = false;
    int32_t cpu = 0;
    std::string vendor;         // the vendor string without surrounding blanks
    int32_t xmm = 0;
    bool gapChosen = false;
    int32_t gap = 0;
    bool lat64kChosen = false;
    int32_t lat64k = 0;
    bool cachesStored = false;  // Intel family 15 only
    uint32_t L1 = 0, L2 = 0, L3 = 0;
};

struct ProfileDecision {
    ProcessorProfile profile;
    TuningWriteBack writeBack;
};

// The profile of `probe` with the tuning values `stored`, and what to write
// back. `measureLatency64k` is called only when lat64k must be measured.
ProfileDecision DecideProcessorProfile(const ProcessorProbe& probe, const StoredTuning& stored,
                                       const std::function<int32_t()>& measureLatency64k);

// The profile of this process. Set once by start-up before any worker thread
// exists; read without locking afterwards. Before it is set, the profile of
// a processor without CPUID (x87 code, no caches).
const ProcessorProfile& CurrentProcessorProfile();
void SetCurrentProcessorProfile(const ProcessorProfile& profile);

}  // namespace numen
