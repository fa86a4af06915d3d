// The candidate handlers of a search: each carries one number of its form
// through the quick test by 3, trial division, the probable-prime test and
// the proof, and after a prime through its recording, the divisibility
// checks and the related-prime walk (twin, Sophie Germain, Cunningham
// chains), calling the other handlers for the neighbours.
#pragma once

#include "search/SearchRun.h"

namespace numen {

// The seven handlers, wired to one another, over the run's job (base,
// options, running flag, live settings), log and found list; checkpoints
// live in the log's folder. They keep a reference to `run`, which must
// outlive them and stay where it is.
CandidateHandlers SearchHandlers(SearchRun& run);

}  // namespace numen
