// PrimeSieve: window sieving and the restart. See PrimeSieve.h for the layout.
#include "sieve/PrimeSieve.h"

#include <algorithm>
#include <cstring>

#include "arith/ProcessorProfile.h"

namespace numen {

namespace {

constexpr uint32_t kWindowBytes = PrimeSieve::kWindowBytes;

// The primes 3, 5, 7, 11, 13 come from a pattern of period 15015 bytes
// (15015 = 3*5*7*11*13), held with one window of overlap so a window is one
// copy from any phase. The primes themselves are struck in it; window 0
// puts them back.
constexpr uint32_t kPatternPrimes = 5;
constexpr uint32_t kPatternPeriod = 15015;

struct Pattern {
    std::array<uint8_t, kPatternPeriod + kWindowBytes> bytes{};
    Pattern() {
        for (uint32_t i = 0; i < bytes.size(); ++i) {
            const uint32_t odd = 2 * i + 1;
            bytes[i] = odd % 3 == 0 || odd % 5 == 0 || odd % 7 == 0 || odd % 11 == 0 || odd % 13 == 0;
        }
    }
};
const Pattern pattern;

// The first index of SmallPrimes at which a prime hits a window at most
// `times` times (p > 32768 / times).
uint32_t FirstStrikingAtMost(uint32_t times) {
    const auto& primes = SmallPrimes();
    return uint32_t(std::upper_bound(primes.begin(), primes.end(), kWindowBytes / times) - primes.begin());
}

// Strikes the odd multiples of the primes [from, to) that fall in the
// window. `end` points at the byte after the window. kTestFirst: write a
// byte only if it is still 0.
template <bool kTestFirst>
void StrikeLoop(uint8_t* end, int32_t* offsets, uint32_t from, uint32_t to) {
    const auto& primes = SmallPrimes();
    for (uint32_t i = from; i < to; ++i) {
        const int32_t p = int32_t(primes[i]);
        int32_t o = offsets[i] - int32_t(kWindowBytes);
        for (; o < 0; o += p) {
            if constexpr (kTestFirst) {
                if (end[o] == 0) end[o] = 1;
            } else {
                end[o] = 1;
            }
        }
        offsets[i] = o;
    }
}

// The same for primes that hit the window at most kTimes times, without
// branches: a miss writes the spare byte at end[0].
template <int kTimes>
void StrikeFew(uint8_t* end, int32_t* offsets, uint32_t from, uint32_t to) {
    const auto& primes = SmallPrimes();
    for (uint32_t i = from; i < to; ++i) {
        const int32_t p = int32_t(primes[i]);
        int32_t o = offsets[i] - int32_t(kWindowBytes);
        for (int t = 0; t < kTimes; ++t) {
            const bool hit = o < 0;
            end[hit ? o : 0] = 1;
            o += hit ? p : 0;
        }
        offsets[i] = o;
    }
}

}  // namespace

void PrimeSieve::SieveNextWindow() {
    static const uint32_t atMost4 = FirstStrikingAtMost(4), atMost3 = FirstStrikingAtMost(3),
                          atMost2 = FirstStrikingAtMost(2), atMost1 = FirstStrikingAtMost(1);
    uint8_t* const window = window_.data();
    uint8_t* const end = window + kWindowBytes;
    const uint32_t phase = uint32_t((windowCount_ * kWindowBytes) % kPatternPeriod);
    std::memcpy(window, pattern.bytes.data() + phase, kWindowBytes);
    if (windowCount_ == 0) window[1] = window[2] = window[3] = window[5] = window[6] = 0;   // 3 .. 13
    ++windowCount_;

    if (testBeforeWrite_) {
        StrikeLoop<true>(end, offsets_.data(), kPatternPrimes, kSmallPrimeCount);
    } else {
        StrikeLoop<false>(end, offsets_.data(), kPatternPrimes, atMost4);
        StrikeFew<4>(end, offsets_.data(), atMost4, atMost3);
        StrikeFew<3>(end, offsets_.data(), atMost3, atMost2);
        StrikeFew<2>(end, offsets_.data(), atMost2, atMost1);
        StrikeFew<1>(end, offsets_.data(), atMost1, kSmallPrimeCount);
    }

    // Condense: bit j of word i is set when byte 64i + j is 0. Bytes are 0
    // or 1, so ~x & 0x01.. marks the zero bytes at bit 8j, and the multiply
    // gathers those eight bits into the top byte.
    for (uint32_t i = 0; i < kWindowWords; ++i) {
        uint64_t bits = 0;
        for (uint32_t j = 0; j < 8; ++j) {
            uint64_t x;
            std::memcpy(&x, window + 64 * i + 8 * j, 8);
            bits |= (((~x & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56) << (8 * j);
        }
        bits_[i] = bits;
    }
}

uint32_t PrimeSieve::Restart() {
    RestartAt(0);
    return 2;
}

void PrimeSieve::RestartAt(uint64_t windowIndex) {
    if (!SmallPrimesReady()) InitSmallPrimes();
    const ProcessorProfile& profile = CurrentProcessorProfile();
    testBeforeWrite_ = profile.family >= 6 && profile.sseLevel == 0;

    // The byte of the first odd multiple of p from max(3p, W) on (3p for W = 0).
    const uint64_t start = windowIndex << 16;
    const auto& primes = SmallPrimes();
    for (uint32_t i = 0; i < kSmallPrimeCount; ++i) {
        const uint64_t p = primes[i];
        uint64_t m = std::max((start + p - 1) / p * p, 3 * p);
        if (m % 2 == 0) m += p;
        offsets_[i] = int32_t((m - start) / 2);
    }
    windowCount_ = windowIndex;
    SieveNextWindow();
    windowNumber_ = uint32_t(windowIndex & 0xffff);
    highWord_ = uint32_t(windowIndex >> 16);
    word_ = 0;
    pending_ = bits_[0];
    if (windowIndex == 0) pending_ &= ~uint64_t(1);   // the number 1
}

PrimeSieve& SharedPrimeSieve() {
    static PrimeSieve sieve;
    return sieve;
}

}  // namespace numen
