// Recycles freed word blocks of the integer types.
//
// The power loops create and destroy temporaries of the same few sizes
// millions of times; keeping the largest freed blocks in 16 slots turns
// nearly every allocation into a slot lookup.
//
//   acquire(r): first slot (in order) holding >= r words wins, and the caller
//               gets that slot's whole size as its capacity; otherwise a new
//               heap block of 4r + 32 bytes, words aligned to 32 bytes.
//   release(b, s): walk the slots carrying (b, s); an empty slot takes it,
//               a smaller slot swaps with it and the walk goes on with the
//               smaller block; whatever is carried past slot 16 is freed.
//
// Each thread has its own cache (a block may be released on another thread
// than the one that acquired it; it simply joins that thread's cache).
#pragma once

#include <cstdint>

namespace numen {

class WordBlockCache {
public:
    static constexpr int kSlots = 16;

    struct Block {
        void* start = nullptr;       // what goes back to release()
        uint32_t* words = nullptr;   // start rounded up to 32 bytes
        uint32_t capacity = 0;       // words usable from `words`
    };

    WordBlockCache() = default;
    WordBlockCache(const WordBlockCache&) = delete;
    WordBlockCache& operator=(const WordBlockCache&) = delete;
    ~WordBlockCache();

    // Raises ArithmeticFault when the heap cannot supply a new block.
    Block acquire(uint32_t words);
    void release(void* start, uint32_t capacity);

    // Size in words of slot i (0 = empty); for tests and diagnostics.
    uint32_t slotSize(int i) const { return slots_[i].size; }
    // Frees every cached block.
    void clear();

    static uint32_t* alignedWords(void* start);

private:
    struct Slot {
        void* start = nullptr;
        uint32_t size = 0;
    };
    Slot slots_[kSlots];
};

}  // namespace numen
