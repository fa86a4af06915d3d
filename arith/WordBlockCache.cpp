#include "arith/WordBlockCache.h"

#include <cstdlib>
#include <utility>

#include "arith/ArithmeticFault.h"

namespace numen {

WordBlockCache::~WordBlockCache() { clear(); }

void WordBlockCache::clear() {
    for (Slot& slot : slots_) {
        std::free(slot.start);
        slot = Slot{};
    }
}

uint32_t* WordBlockCache::alignedWords(void* start) {
    auto address = reinterpret_cast<uintptr_t>(start);
    return reinterpret_cast<uint32_t*>((address + 31) & ~uintptr_t(31));
}

WordBlockCache::Block WordBlockCache::acquire(uint32_t words) {
    if (words == 0) words = 1;
    for (Slot& slot : slots_) {
        if (slot.size != 0 && slot.size >= words) {
            Block b{slot.start, alignedWords(slot.start), slot.size};
            slot = Slot{};
            return b;
        }
    }
    // 32 spare bytes leave room to align the words to 32 bytes.
    void* start = std::malloc(size_t(words) * 4 + 32);
    if (start == nullptr) throw ArithmeticFault("out of memory for a word block");
    return Block{start, alignedWords(start), words};
}

void WordBlockCache::release(void* start, uint32_t capacity) {
    if (start == nullptr) return;
    if (capacity == 0) {  // a size of 0 marks an empty slot: never cache such a block
        std::free(start);
        return;
    }
    Slot carried{start, capacity};
    for (Slot& slot : slots_) {
        if (slot.size == 0) {
            slot = carried;
            return;
        }
        if (slot.size < carried.size) std::swap(slot, carried);
    }
    std::free(carried.start);
}

}  // namespace numen
