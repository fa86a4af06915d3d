// The text of every result line about one candidate N = k*b^n + c: prime,
// composite, failed verification, factor; and the progress texts of trial
// division. Pure functions, no destinations; ResultLog decides where each
// line goes.
//
// Lines end in CR LF (they stay in the pane); progress texts have no line
// end (the next text replaces them). A negative c is written as " - |c|", a
// non-negative one as " + c"; the one exception is the factor ERROR line,
// which prints c as a signed decimal after " + ".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arith/Candidate.h"
#include "report/VerdictLine.h"

namespace numen {

// x = 0: the plain line; otherwise the base a (c >= 0) or the Lucas
// parameters P = x and Q (c < 0), prefixed by "verification : " when set.
std::string PrimeLine(const Candidate& N, int32_t x, int32_t q, bool verification, uint32_t digits);

// x = 0: the "(square)" line. Otherwise a composite (verification clear) or a
// failed verification (set); for c < 0, Q = 0 means the base a = x was used,
// Q != 0 the Lucas parameters P = x, Q.
std::string CompositeLine(const Candidate& N, int32_t x, int32_t q, bool verification);

// As CompositeLine with the largest round-off error ("err = %.2e") added
// inside the parentheses; the "(square)" line is unchanged.
std::string CompositeErrLine(const Candidate& N, int32_t x, int32_t q, bool verification, double err);

// A factor f of N; f is printed as a real with no decimals.
std::string FactorLine(const Candidate& N, uint64_t f);

// A reported factor that does not divide N.
std::string FactorErrorLine(const Candidate& N, uint64_t f);

// The verdict lines that the tests print themselves carry their JSON object
// (VerdictLine.h): a "probable_prime" object for every "may be prime" line,
// a "composite" one for the cyclotomic composite line.

// A probable-prime stage (or a proof base that cannot decide) found nothing
// against N with base a: "%u*%u^%u + %d may be prime. (a = %u)" (" - %d"
// for c < 0; b printed as a number, so base 2 reads "k*2^n"). Ends with CR LF.
VerdictLine MayBePrimeLine(const Candidate& N, uint32_t a);
// A Lucas parameter pair that cannot decide k*b^n - 1:
// "%u*%u^%u - 1 may be prime. (P = %d, Q = %d)". Ends with CR LF.
VerdictLine LucasMayBePrimeLine(uint32_t k, uint32_t b, uint32_t n, int32_t P, int32_t Q);
// The refusal of k >= b^n by the size checks: "%u >= 2^%u" for b = 2, else
// "%u >= %u^%u". Ends with CR LF; posted as a transient pane text.
std::string SizeRefusalText(uint32_t k, uint32_t b, uint32_t n);

// Only factors: a candidate k*b^n + c that trial division left whole,
// "%u*%u^%u + %d has no small factor." (" - %u" for c < 0). Ends with CR LF.
std::string NoSmallFactorLine(const Candidate& N);
// The same for b^n + 1 ("%u^%u + 1 ...") and for the cyclotomic value
// Phi_n(k), printed "\"k.n\"".
std::string GfnNoSmallFactorLine(uint32_t b, uint32_t n);
std::string CyclotomicNoSmallFactorLine(uint32_t k, uint32_t n);

// The relation notes of a newly recorded prime, in their order: twin, Sophie
// Germain (first-kind chain of 2), second-kind chain of 2, and chains longer
// than 2 of either kind with their length. No line ends.
std::vector<std::string> RelationNotes(bool twin, uint32_t firstKindLength, uint32_t secondKindLength);
// The same notes with the relation each names ("Twin", "Sophie Germain",
// "Cunningham chain 1st kind", "Cunningham chain 2nd kind") and its length
// (the number of primes it links), for the machine-readable results.
struct RelationNote {
    std::string relation;
    uint32_t length;
    std::string text;
};
std::vector<RelationNote> Relations(bool twin, uint32_t firstKindLength, uint32_t secondKindLength);

// The generalized Fermat test of b^n + 1: a base b = r^e with e not a power
// of two, so that r^((e/i) n) + 1 divides it: "%u^%u + 1 factor : %u^(%u*%u)
// + 1."; and the may-be-prime verdict "%u^%u + 1 may be prime. (a = %d, err
// = %.2e)" (its JSON max_error: err). Both end with CR LF.
std::string GfnAlgebraicFactorLine(uint32_t b, uint32_t n, uint32_t r, uint32_t exponent);
VerdictLine GfnMayBePrimeLine(uint32_t b, uint32_t n, uint32_t a, double err);
// The Euler test of Phi_n(b) with base a: "\"%u.%u\" is composite. (a = %u)"
// and "\"%u.%u\" may be prime. (a = %u) [%d digits]" (index first). CR LF.
// The composite's JSON object: proof "prp", exponent "(N-1)/2", no residue
// (the line is not given one).
VerdictLine CyclotomicCompositeLine(uint32_t n, uint32_t b, uint32_t a);
VerdictLine CyclotomicMayBePrimeLine(uint32_t n, uint32_t b, uint32_t a, uint32_t digits);

// Trial division of N by the primes below limit (the limit as a real with
// no decimals).
std::string TrialProgressText(const Candidate& N, uint64_t limit);

// Trial division of b^n + 1 by step*i + 1 for i below count.
std::string GfnTrialProgressText(uint32_t b, uint32_t n, uint64_t count, uint64_t step);

}  // namespace numen
