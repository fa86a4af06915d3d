// ResultLogTrialReport: trial division's reports (sieve/TrialReport.h) as a
// search prints them -- the progress text to the pane (kind 0, no line
// end, so the next text replaces it) and a factor through
// ResultLog::ReportFactor, which checks it, prints it or announces N as a
// prime, and ends the run on a false one.
#pragma once

#include <cstdint>

#include "report/ResultLog.h"
#include "sieve/TrialReport.h"

namespace numen {

class ResultLogTrialReport final : public TrialReport {
public:
    explicit ResultLogTrialReport(ResultLog& log) : log_(log) {}

    void divisionStarted(const Candidate& N, uint64_t limit) override;
    void gfnDivisionStarted(uint32_t b, uint32_t n, uint64_t count, uint64_t step) override;
    void factorFound(const Candidate& N, uint64_t f) override;

private:
    ResultLog& log_;
};

}  // namespace numen
