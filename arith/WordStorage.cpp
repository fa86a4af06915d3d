#include "arith/WordStorage.h"

#include <cstring>
#include <utility>

#include "arith/WordArray.h"

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
void WordStorage<Cache>::swapStorage(WordStorage& y) noexcept {
    std::swap(size_, y.size_);
    std::swap(capacity_, y.capacity_);
    std::swap(words_, y.words_);
    std::swap(block_, y.block_);
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
void WordStorage<Cache>::strip() {
    uint32_t n = uint32_t(words::stripped(words_, length()));
    size_ = size_ < 0 ? -int32_t(n) : int32_t(n);
}

template <WordBlockCache& (*Cache)()>
void WordStorage<Cache>::setLengthAndSign(uint32_t length, bool negative) {
    size_ = int32_t(length);
    strip();
    if (negative) setNegative(true);
}

template <WordBlockCache& (*Cache)()>
int WordStorage<Cache>::compareSigned(const WordStorage& y) const {
    if (size_ != y.size_) return size_ < y.size_ ? -1 : 1;
    int c = words::compare(words_, y.words_, length());
    return size_ < 0 ? -c : c;
}

template <WordBlockCache& (*Cache)()>
int WordStorage<Cache>::compareMagnitude(const WordStorage& y) const {
    uint32_t a = length(), b = y.length();
    if (a != b) return a < b ? -1 : 1;
    return words::compare(words_, y.words_, a);
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
