// The first line of a sieve's output, as people hand it to File mode: what
// numbers the list holds, so that a run of another form or base refuses it
// instead of testing numbers nobody sieved.
//
// Two kinds are known:
//   colon header  "1000000000:P:1:2:257" — sieve limit, a letter, chain
//                 length, base, mode; mode 1 or 2 (bits 0x100 and 0x400 are
//                 flags) means k*b^n+1 or k*b^n-1. Without the mode the
//                 letter says it: P +1, M -1. Other modes (twins, chains,
//                 ...) are not one form of "k n" pairs.
//   ABC header    "ABC $a*2^$b+1" and the like, a comment after "//"
//                 allowed: $a*B^$b+1 and $a*B^$b-1 are "k n" pairs of base
//                 B, $a^$b+1 pairs of a generalized Fermat list (k the base);
//                 any other expression ("$a*$b^$c-1"), and the compressed
//                 kinds ABCD and ABC2, are not "k n" pairs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace numen {

struct SieveHeader {
    enum class Kind { None, Colon, Abc };
    Kind kind = Kind::None;
    // Whether the lines are "k n" pairs of `form` (a TestForm: +1, -1 or the
    // generalized Fermat form) with `base` (0 for the generalized Fermat form).
    bool pairs = false;
    int form = 0;
    uint32_t base = 0;
    std::string numbers;  // what the list holds, for the refusal line
};

// The header a first list line is, Kind::None when it is none.
SieveHeader ReadSieveHeader(std::string_view line);

// The one line with which File mode refuses a list whose header disagrees
// with the run's form and base or cannot be read as "k n" pairs; empty when
// the run may go on (no header, or one that agrees).
std::string HeaderRefusal(const SieveHeader& header, const std::string& listName, int testForm, uint32_t base);

// Whether a pane line is such a refusal.
bool IsHeaderRefusal(std::string_view line);

}  // namespace numen
