// CpuProbe: what the processor says about itself (CPUID) and how fast it
// moves data through a 64 KB buffer (time-stamp counter). These are the only
// places that execute CPUID; the decisions built on the answers are in
// arith/ProcessorProfile, which takes a ProcessorProbe as plain data so that
// it can be tested with processors that do not exist.
#pragma once

#include <cstdint>

namespace numen {

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
};

ProcessorProbe ProbeProcessor();

// Cycles per double of 128 load-and-store sweeps over a 64 KB buffer, in
// blocks of 8 doubles (one cache line), rounded to the nearest integer.
// Moves 8 MB; a few milliseconds.
int32_t MeasureLatency64k();

}  // namespace numen
