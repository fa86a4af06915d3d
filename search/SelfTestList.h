// The fixed list of the self-test: 38 numbers of known character, each
// under the heading that tells the user what its output must show. The
// handlers' own walk produces most of the promised lines (twins, chains,
// Fermat divisors); the list only picks numbers for which it must.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace numen {

// Which of the run's handlers an entry goes through.
enum class SelfTestHandler { Plus2, Minus2, PlusB, MinusB, Gfn };

// How the case line under the heading shows the entry.
enum class SelfTestCaseLine {
    KN,     // "k=%u, n=%u ...\r\n"
    KBN,    // "k=%u, b=%u, n=%u ...\r\n"
    Lucas,  // "k=%u, n=%u (Lucas test)...\r\n"
};

struct SelfTestEntry {
    const char* heading;  // posted with CR LF before and after
    uint32_t base;        // set in the job before the entry; 0: kept as it is
    uint32_t k, n;
    SelfTestHandler handler;
    SelfTestCaseLine caseLine;
};

inline constexpr size_t kSelfTestEntryCount = 38;

// The list in its order: small numbers first, the largest (minutes each)
// last.
std::span<const SelfTestEntry> SelfTestEntries();

}  // namespace numen
