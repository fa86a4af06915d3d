// The progress texts of the long runs: a stem naming the number and the
// computation, and the bracket with the percentage and, at ticks, the time
// remaining. No line end: the next text replaces them in the pane.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "arith/Candidate.h"

namespace numen {

// "%u*%u^%u + %d ? Computing power" (or " - %d" for c < 0); b is always
// printed as a number, so a base-2 run shows 2.
std::string PowerProgressStem(const Candidate& N);
// "%u^%u + 1 ? Computing power" for B^m + 1.
std::string GfnProgressStem(uint32_t B, uint32_t m);
// "\"%u.%u\" ? Computing power" for the n-th cyclotomic value at b.
std::string CyclotomicProgressStem(uint32_t n, uint32_t b);
// "%u*2^%u - 1 ? Computing Lucas seq." for b = 2, else
// "%u*%u^%u - 1 ? Computing Lucas seq.".
std::string LucasProgressStem(uint32_t k, uint32_t b, uint32_t n);

// stem + " [%.2lf%%]".
std::string UntimedProgressText(std::string_view stem, double percent);
// stem + " [%.2lf%%, %d mn %02d s remaining]" with s / 60 and s mod 60.
std::string TimedProgressText(std::string_view stem, double percent, int64_t seconds);

}  // namespace numen
