#include "search/FoundList.h"

namespace numen {

bool FoundList::append(const Candidate& prime) {
    if (count_ >= kCapacity) return false;
    entries_[count_++] = prime;
    return true;
}

bool FoundList::contains(const Candidate& prime) const {
    for (uint32_t i = 0; i < count_; ++i)
        if (entries_[i] == prime) return true;
    return false;
}

}  // namespace numen
