// The "Numen.txt" record of a prime N = k*b^n + c and the names of the
// special forms it has, with the note announcing each.
//
// For c = +1 / -1 the number is checked for being Fermat (2^n + 1),
// generalized Fermat (b^n + 1) or Mersenne (2^n - 1), and then walked over
// its ways of being written K*b^m +- 1 with K = k*b^j, m = n - j
// (j = 0, 1, ... while K <= m):
//   K = m and K > b               -> Cullen / Woodall (generalized for b != 2)
//   else K > 1, K | m, b^q <= K   -> generalized Cullen / Woodall K*(b^q)^K +- 1,
//                                    q = m / K
// Any other offset has no special form and keeps a bare record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arith/Candidate.h"

namespace numen {

struct PrimeRecord {
    // "k*b^n+c" / "k*b^n-|c|" ("b^n+c" when k = 1), then " Name" for every
    // form found, in the order found; no line end.
    std::string record;
    // One note per name, e.g. " - Cullen (141*2^141 + 1) -", no line end.
    std::vector<std::string> notes;
    // The name of each note's form without the leading blank ("Cullen").
    std::vector<std::string> names;
};

PrimeRecord DescribePrime(const Candidate& N);

}  // namespace numen
