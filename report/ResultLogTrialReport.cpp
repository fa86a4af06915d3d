// Trial division's reports into the result log (see ResultLogTrialReport.h).
#include "report/ResultLogTrialReport.h"

#include "report/ResultLines.h"

namespace numen {

void ResultLogTrialReport::divisionStarted(const Candidate& N, uint64_t limit) {
    log_.PostToWindow(TrialProgressText(N, limit), PaneText);
}

void ResultLogTrialReport::gfnDivisionStarted(uint32_t b, uint32_t n, uint64_t count, uint64_t step) {
    log_.PostToWindow(GfnTrialProgressText(b, n, count, step), PaneText);
}

void ResultLogTrialReport::factorFound(const Candidate& N, uint64_t f) { log_.ReportFactor(N, f); }

}  // namespace numen
