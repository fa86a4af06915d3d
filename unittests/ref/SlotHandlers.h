// Handlers of the test's own in every slot, each told its slot's letter:
// p, m (k*2^n +/- 1), P, M (k*b^n +/- 1), g (generalized Fermat), a (Any).
#pragma once

#include <functional>

#include "search/SearchRun.h"

namespace numen::testing {

inline CandidateHandlers SlotHandlers(const std::function<CandidateHandler(char slot)>& make) {
    CandidateHandlers h;
    h.checkPlus2 = make('p');
    h.checkMinus2 = make('m');
    h.checkPlusB = make('P');
    h.checkMinusB = make('M');
    h.checkGfn = make('g');
    h.checkAny = make('a');
    return h;
}

}  // namespace numen::testing
