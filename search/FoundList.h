// FoundList: the primes found while the neighbourhood of one top-level
// candidate is explored (the candidate, its twin, its Sophie Germain and
// Cunningham-chain relatives).
//
// Handlers look themselves up on entry and return at once when present,
// which is what ends the recursion between neighbours. The list has a fixed
// 64 entries; a prime that finds it full is still announced, but `append`
// says it was not recorded and its neighbours are not visited, so the walk
// always ends and nothing is written beyond the list.
#pragma once

#include <array>
#include <cstdint>

#include "arith/Candidate.h"

namespace numen {

class FoundList {
public:
    static constexpr uint32_t kCapacity = 64;

    void clear() { count_ = 0; }
    // Records the prime; false (nothing written) when the list is full.
    bool append(const Candidate& prime);
    bool contains(const Candidate& prime) const;

    uint32_t count() const { return count_; }
    const Candidate& operator[](uint32_t i) const { return entries_[i]; }

private:
    uint32_t count_ = 0;
    std::array<Candidate, kCapacity> entries_{};
};

}  // namespace numen
