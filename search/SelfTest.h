// The self-test: identities of the exact integer arithmetic, then a fixed
// list of numbers of known character (primes, twins, Cunningham chains,
// Fermat divisors, generalized Fermat primes) through the ordinary
// handlers, each under a heading that says what the output must show.
#pragma once

#include "search/SearchRun.h"

namespace numen {

// Thread procedure; returns 0. The job's base is restored on every way out.
int SelfTest(SearchRun& run);

}  // namespace numen
