// The worker's side of a run: the job, the result log, the candidate
// handlers, the found list, and the thread procedures that walk a range.
//
// A candidate handler takes (k, n, depth, verify) and returns keep-going:
// false only when the run was stopped. depth is 0 for a candidate a loop
// asked for and grows by one per step of the related-prime walk; verify is
// true in every search (trial division first, prime verdicts confirmed by a
// second computation) and false in Verifier mode. The base comes from the job.
#pragma once

#include <cstdint>
#include <functional>

#include "report/ResultLog.h"
#include "search/FoundList.h"
#include "search/SearchJob.h"

namespace numen {

class RunCheckpoint;

using CandidateHandler = std::function<bool(uint32_t k, uint32_t n, uint32_t depth, bool verify)>;
// k*2^n + c for the odd chain offsets c >= 3.
using ChainHandler = std::function<bool(uint32_t k, uint32_t n, int32_t c, uint32_t depth, bool verify)>;

// One handler per form; the loops call the one PrepareRun selects.
struct CandidateHandlers {
    CandidateHandler checkPlus2;   // k*2^n + 1
    CandidateHandler checkMinus2;  // k*2^n - 1
    CandidateHandler checkPlusB;   // k*b^n + 1, b != 2
    CandidateHandler checkMinusB;  // k*b^n - 1, b != 2
    CandidateHandler checkGfn;     // k^n + 1, n a power of two
    CandidateHandler checkAny;     // the n-th cyclotomic polynomial at k
    ChainHandler checkPlus2c;      // only from the related-prime walk
};

struct SearchRun {
    SearchJob& job;
    ResultLog& log;
    CandidateHandlers handlers;
    FoundList found;
    CandidateHandler handler;  // the one for the job's form and base
    // Where the handlers keep their checkpoints; null: the folder's own
    // "Numen.dta" and "Numen.dtf" (a front end may wrap that store).
    RunCheckpoint* checkpoint = nullptr;
};

// The handler of a form: by the test form, and for the +1 and -1 forms by
// whether the base is 2.
const CandidateHandler& SelectHandler(const CandidateHandlers& handlers, int testForm, uint32_t base);

// First step of the search procedures: x87 precision, the small-prime table,
// the handler.
void PrepareRun(SearchRun& run);

// Thread procedures; each returns 0. Standard mode walks n outer, k inner;
// the algebraic loop serves Algebraic and Cullen (Woodall) modes, with
// k = a + b*n + c*n^2. An ArithmeticFault (or exhausted memory) inside ends
// the run with the error line, the checkpoint files deleted.
int StandardLoop(SearchRun& run);
int AlgebraicLoop(SearchRun& run);

// Runs body as a thread procedure: the one place where an arithmetic
// failure of a run is caught.
int RunGuarded(SearchRun& run, const std::function<void()>& body);

// The opening lines of the two loops ("Start: ..." / "Continue: ...").
std::string StandardOpeningLine(const SearchJob& job);
std::string AlgebraicOpeningLine(const SearchJob& job);

}  // namespace numen
