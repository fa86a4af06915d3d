// The storage core's out-of-line parts (block changes, word moves) for the
// two caches, and the caches themselves.
#include "arith/WordStorage.h"

#include <cstring>

namespace numen {

WordBlockCache& BigIntBlockCache() {
    thread_local WordBlockCache cache;
    return cache;
}

WordBlockCache& RadixIntBlockCache() {
    thread_local WordBlockCache cache;
    return cache;
}

template <WordBlockCache& (*Cache)()>
void WordStorage<Cache>::release() {
    if (block_ != nullptr) Cache().release(block_, capacity_);
    size_ = 0;
    capacity_ = 0;
    words_ = nullptr;
    block_ = nullptr;
}

template <WordBlockCache& (*Cache)()>
void WordStorage<Cache>::grow(uint32_t capacity) {
    WordBlockCache::Block b = Cache().acquire(capacity);
    // The whole old capacity is copied: callers may have written beyond the
    // words in use before growing.
    if (capacity_ != 0) std::memcpy(b.words, words_, size_t(capacity_) * 4);
    void* old = block_;
    uint32_t oldCapacity = capacity_;
    block_ = b.start;
    words_ = b.words;
    capacity_ = b.capacity;
    Cache().release(old, oldCapacity);
}

template <WordBlockCache& (*Cache)()>
void WordStorage<Cache>::takeBlock(const WordBlockCache::Block& b, uint32_t n) {
    Cache().release(block_, capacity_);
    block_ = b.start;
    words_ = b.words;
    capacity_ = b.capacity;
    size_ = int32_t(n);
    strip();
}

template <WordBlockCache& (*Cache)()>
void WordStorage<Cache>::copyDropping(const WordStorage& src, uint32_t drop) {
    uint32_t len = src.length();
    if (len <= drop) {
        size_ = 0;
        return;
    }
    uint32_t n = len - drop;
    reserve(n);
    std::memcpy(words_, src.words_ + drop, size_t(n) * 4);
    size_ = src.size_ < 0 ? -int32_t(n) : int32_t(n);
}

template <WordBlockCache& (*Cache)()>
uint32_t WordStorage<Cache>::dropLowWords(uint32_t drop) {
    uint32_t n = length();
    if (n <= drop) return 0;
    n -= drop;
    if (drop != 0) std::memmove(words_, words_ + drop, size_t(n) * 4);
    return n;
}

template <WordBlockCache& (*Cache)()>
uint32_t WordStorage<Cache>::moveWordsUp(uint32_t move, uint32_t spare) {
    uint32_t n = length();
    uint64_t total = uint64_t(n) + move + spare;
    if (total > 0x7fffffffu) throw ArithmeticFault("integer too large");
    reserve(uint32_t(total));
    if (move != 0) {
        std::memmove(words_ + move, words_, size_t(n) * 4);
        std::memset(words_, 0, size_t(move) * 4);
    }
    return n + move;
}

template <WordBlockCache& (*Cache)()>
uint32_t WordStorage<Cache>::xorWords() const {
    uint32_t h = uint32_t(size_);
    for (uint32_t i = 0, n = length(); i < n; ++i) h ^= words_[i];
    return h;
}

template class WordStorage<BigIntBlockCache>;
template class WordStorage<RadixIntBlockCache>;

}  // namespace numen
