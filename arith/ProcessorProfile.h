// ProcessorProfile: what the kernels, transform shapes and sieve know about
// the processor, decided once at start-up from a probe and "Numen.ini".
//
// The decision is a pure function of the raw probe (platform/CpuProbe.h),
// the settings file and two injected actions -- the 64 KB latency
// measurement and the deletion of the checkpoint files -- so that tests can
// run it for processors that do not exist. Tuning values found in the
// settings file are used as they are and never re-measured, so a user can
// tune them by hand; "xmm_test" overrides the SSE level.
//
// Keys of [Init], in the order LoadProcessorProfile treats them:
//   cpu, vendor   written (and checkpoints deleted) when the family or the
//                 vendor string differs from the stored one
//   xmm_test      read: >= 10 forces the SSE level to value - 10 and the
//                 AVX level to 0
//   xmm           written at every start: the SSE level
//   gap           read; 0 or missing: default chosen and written
//   lat64k        read; 0 or missing: measured (family 15: 2) and written
//   L1cache, L2cache, L3cache   written for Intel family 15 only
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/CpuProbe.h"
#include "shell/IniFile.h"

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

// Cache sizes from leaf-2 descriptor bytes 1..15 (byte 0 is the repeat
// count); a later byte overrides an earlier one for the same cache, unknown
// bytes are ignored. Only meaningful for Intel family 15.
struct CacheSizes {
    uint32_t L1 = 0, L2 = 0, L3 = 0;
};
CacheSizes DecodeCacheDescriptors(const uint8_t (&descriptors)[16]);

// The AVX level the probe allows: 1 needs AVX, FMA, AVX2, OSXSAVE and the
// OS saving SSE and AVX state (XCR0 bits 1, 2); 2 needs AVX-512F and the
// opmask and ZMM state as well (XCR0 bits 5, 6, 7). Without the OS bits the
// registers would be lost at the first context switch.
int32_t AvxLevelOf(const ProcessorProbe& probe);

// Fills the profile from `probe` and `ini`, reading and writing the keys
// above. `measureLatency64k` is called only when lat64k must be measured;
// `deleteCheckpoints` only when the processor changed, before any key is
// written.
ProcessorProfile LoadProcessorProfile(const ProcessorProbe& probe, IniFile& ini,
                                      const std::function<int32_t()>& measureLatency64k,
                                      const std::function<void()>& deleteCheckpoints);

// Removes "Numen.dta" and "Numen.dtf" from `folder`, if they exist; their
// layout depends on the tuning values of the processor that wrote them.
void DeleteCheckpointFiles(const std::filesystem::path& folder);

// The profile of this process. Set once by start-up before any worker thread
// exists; read without locking afterwards. Before it is set, the profile of
// a processor without CPUID (x87 code, no caches).
const ProcessorProfile& CurrentProcessorProfile();
void SetCurrentProcessorProfile(const ProcessorProfile& profile);

}  // namespace numen
