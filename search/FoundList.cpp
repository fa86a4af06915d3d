#include "search/FoundList.h"

namespace numen {

bool FoundList::append(uint32_t k, uint32_t b, uint32_t n, int32_t c) {
    if (count_ >= kCapacity) return false;
    entries_[count_++] = FoundPrime{k, b, n, c};
    return true;
}

bool FoundList::contains(uint32_t k, uint32_t b, uint32_t n, int32_t c) const {
    for (uint32_t i = 0; i < count_; ++i) {
        const FoundPrime& p = entries_[i];
        if (p.k == k && p.b == b && p.n == n && p.c == c) return true;
    }
    return false;
}

}  // namespace numen
