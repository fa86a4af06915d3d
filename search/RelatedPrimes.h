// Recording the primes of one neighbourhood and reporting the relations a
// new prime closes with those already found: twin, Sophie Germain, and
// Cunningham chains of the first (2N + 1) and second (2N - 1) kind.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "report/ResultLog.h"
#include "search/FoundList.h"

namespace numen {

// True when some entry's value k*b^n + c equals x.
bool FoundListHasValue(const FoundList& found, const BigInt& x);

// Appends the prime and prints its relation notes (pane, "Numen.log",
// "Numen.txt"). The first prime of a neighbourhood closes no relation. False
// when the list was full: nothing was recorded, and the walk must not visit
// the prime's neighbours.
bool RecordPrime(FoundList& found, ResultLog& log, const Candidate& prime);

}  // namespace numen
