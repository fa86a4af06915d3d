// PrimeSieve: the generator of small primes, a segmented sieve of
// Eratosthenes over windows of 65536 consecutive integers, sieved by the
// 6541 odd primes below 65536.
//
// A window starting at W (a multiple of 65536) is 32768 bytes, one per odd
// number, L1-sized:
//
//     byte:    0      1      2     ...  32767
//     number:  W+1    W+3    W+5   ...  W+65535
//     value:   0 = no factor below 65536 found, 1 = struck
//
// Each small prime p keeps in `offsets` the byte of its next odd multiple to
// strike, relative to the window about to be sieved; striking starts at 3p,
// so the small primes themselves survive. The multiples of 3, 5, 7, 11 and
// 13 are not struck one by one: their pattern repeats every 15015 bytes and
// is copied in, which also clears what the previous window left. After
// sieving, the window is condensed into 512 words of 64 bits (bit set = not
// struck), and Next pops their bits.
//
// Below 2^32 the numbers returned are exactly the odd primes; above 2^32
// (Next64 only) they are the odd numbers with no factor below 65536 -- not
// always primes, but good trial divisors all the same.
//
// Not re-entrant. Trial division and every base search begin with Restart;
// nothing carries over between users.
#pragma once

#include <array>
#include <cstdint>

#include "sieve/SmallPrimes.h"

namespace numen {

class PrimeSieve {
public:
    static constexpr uint32_t kWindowBytes = 32768;
    static constexpr uint32_t kWindowWords = kWindowBytes / 64;

    // Sets the offsets, sieves window 0 and positions after the number 1.
    // Returns 2, the first prime. Fills SmallPrimes if no run has yet.
    uint32_t Restart();

    // Starts at the window W = windowIndex * 65536 instead of 0: the next
    // number is the first survivor of that window (above 1). For tests and
    // measurements of the range past 2^32; Restart() is RestartAt(0).
    void RestartAt(uint64_t windowIndex);

    // The next number: 3, 5, 7, 11, ... as unsigned 32-bit. Returns 0 once
    // the numbers pass 2^32 (and starts again from window 0 after that).
    uint32_t Next() {
        while (pending_ == 0)
            if (!LoadNextWord()) return 0;   // passed 2^32
        return uint32_t(windowNumber_ << 16) + 2 * TakeLowestPending() + 1;
    }

    // The same sequence as unsigned 64-bit, continuing past 2^32.
    uint64_t Next64() {
        while (pending_ == 0)
            if (!LoadNextWord()) ++highWord_;
        const uint64_t w = (uint64_t(highWord_) << 32) | (uint64_t(windowNumber_) << 16);
        return w + 2 * TakeLowestPending() + 1;
    }

    // The marking form chosen at Restart: some processors (family 6 and
    // later without SSE) are faster when a struck byte is not written again.
    bool testsBeforeWriting() const { return testBeforeWrite_; }
    // For tests: use the other form from the next window on.
    void setTestBeforeWriting(bool on) { testBeforeWrite_ = on; }

private:
    // Byte index, within the window, of the lowest pending number.
    uint32_t TakeLowestPending() {
        const uint32_t byte = 64 * word_ + uint32_t(__builtin_ctzll(pending_));
        pending_ &= pending_ - 1;
        return byte;
    }

    // Moves to the next word, sieving the next window at the end of one.
    // Returns false when the window number wrapped to 0.
    bool LoadNextWord() {
        if (++word_ < kWindowWords) {
            pending_ = bits_[word_];
            return true;
        }
        SieveNextWindow();
        word_ = 0;
        pending_ = bits_[0];
        if (++windowNumber_ < 65536) return true;
        windowNumber_ = 0;
        return false;
    }

    void SieveNextWindow();

    std::array<int32_t, kSmallPrimeCount> offsets_{};
    // One byte beyond the window takes the writes of primes that miss it.
    alignas(64) std::array<uint8_t, kWindowBytes + 64> window_{};
    std::array<uint64_t, kWindowWords> bits_{};
    uint32_t word_ = 0;          // the word of bits_ being read
    uint64_t pending_ = 0;       // its bits not yet returned
    uint32_t windowNumber_ = 0;  // bits 16..31 of W
    uint32_t highWord_ = 0;      // bits 32..63 of W (Next64 only)
    uint64_t windowCount_ = 0;   // windows sieved since Restart: W / 65536
    bool testBeforeWrite_ = false;
};

// The one generator of the process, shared by trial division and the base
// searches of the primality tests. Used by the worker thread only.
PrimeSieve& SharedPrimeSieve();

}  // namespace numen
