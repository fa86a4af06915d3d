// The two list modes: File mode tests the "k n" pairs of a text file (a
// sieve's survivors) with the handler of the run's form, keeping its place
// as a line count; Verifier mode proves again each number of a listing of
// known primes ("rank k*b^n+1 ..." lines) with the handler of its own form.
#pragma once

#include <string_view>

#include "search/SearchRun.h"

namespace numen {

// Thread procedures; each returns 0. The list is job.listFile; File mode
// starts after job.listLine lines and advances it (posting kind 3) after
// every line it finishes.
int FileLoop(SearchRun& run);
int VerifierLoop(SearchRun& run);

// Whether a pane line is one with which a list run refuses to start (the
// list cannot be opened, or its header names other numbers than the run's):
// front ends tell such an end apart from a finished list.
bool IsListRefusal(std::string_view line);

}  // namespace numen
