// The two loops that walk a range of candidates, and the catch-all that ends
// a run on an arithmetic failure.
#include <cstdio>
#include <new>
#include <string>

#include "arith/ArithmeticFault.h"
#include "platform/Fpu.h"
#include "report/TextFormat.h"
#include "search/CheckpointFile.h"
#include "search/SearchRun.h"
#include "sieve/SmallPrimes.h"

namespace numen {

namespace {

std::string Decimal(uint32_t v) { return Format("%u", v); }

std::string Description(const SearchJob& job) { return Format(FormDescriptionTemplate(job.testForm), job.base); }

const char kErrorLine[] = "Error!!! (rounding or checksum or not enough memory.)\r\n";
const char kDoneLine[] = "Done.\r\n";

}  // namespace

const char* FormDescriptionTemplate(int testForm) {
    switch (testForm) {
        case PlusOneForm: return "k*%u^n+1";
        case MinusOneForm: return "k*%u^n-1";
        case GfnForm: return "GFN";
        default: return "Any";
    }
}

const CandidateHandler& SelectHandler(const CandidateHandlers& handlers, int testForm, uint32_t base) {
    switch (testForm) {
        case PlusOneForm: return base == 2 ? handlers.checkPlus2 : handlers.checkPlusB;
        case MinusOneForm: return base == 2 ? handlers.checkMinus2 : handlers.checkMinusB;
        case GfnForm: return handlers.checkGfn;
        default: return handlers.checkAny;
    }
}

void PrepareRun(SearchRun& run) {
    SetX87ExtendedPrecision();
    InitSmallPrimes();
    run.handler = SelectHandler(run.handlers, run.job.testForm, run.job.base);
}

int RunGuarded(SearchRun& run, const std::function<void()>& body) {
    try {
        body();
    } catch (const ArithmeticFault&) {
        run.log.PostToWindow(kErrorLine, PaneText);
        DeleteCheckpoint(run.log.folder());
        run.log.PostToWindow(RunEndedText, PaneText);
    } catch (const std::bad_alloc&) {
        run.log.PostToWindow(kErrorLine, PaneText);
        DeleteCheckpoint(run.log.folder());
        run.log.PostToWindow(RunEndedText, PaneText);
    }
    return 0;
}

std::string StandardOpeningLine(const SearchJob& job) {
    std::string line = job.continueRun ? "Continue:" : "Start:";
    if (job.continueRun) line = Format("%s n=%u, k=%u,", line.c_str(), job.currentN, job.currentK);
    line = Format("%s For n=%u to %u, For k=%u to %u step %u, ", line.c_str(), job.nMin, job.nMax, job.kMin,
                  job.kMax, job.kStep);
    return line + Description(job) + ".\r\n";
}

std::string AlgebraicOpeningLine(const SearchJob& job) {
    std::string line = job.continueRun ? "Continue:" : "Start:";
    if (job.continueRun) line = Format("%s n=%u,", line.c_str(), job.currentN);
    line = Format("%s For n=%u to %u,", line.c_str(), job.nMin, job.nMax);
    if (job.a == 0 && job.b == 1 && job.c == 0) {
        if (job.testForm == PlusOneForm) line = Format("%s Cullen, ", line.c_str());
        if (job.testForm == MinusOneForm) line = Format("%s Woodall, ", line.c_str());
    } else if (job.a == 0 && job.c == 0) {
        line = Format("%s k=%d*n, ", line.c_str(), job.b);
    } else if (job.c == 0) {
        line = Format("%s k=%d+%d*n, ", line.c_str(), job.a, job.b);
    } else {
        line = Format("%s k=%d+%d*n+%d*n^2, ", line.c_str(), job.a, job.b, job.c);
    }
    return line + Description(job) + ".\r\n";
}

int StandardLoop(SearchRun& run) {
    return RunGuarded(run, [&run] {
        PrepareRun(run);
        const SearchJob& job = run.job;
        if (job.rangeInfo) run.log.PrintLine(StandardOpeningLine(job));
        // A zero step would never leave the inner loop.
        const uint32_t step = job.kStep == 0 ? 1 : job.kStep;
        const bool skipMultiplesOfBase = job.testForm == PlusOneForm || job.testForm == MinusOneForm;
        bool resumePending = job.continueRun;
        for (uint32_t n = job.nMin; n <= job.nMax; ++n) {
            for (uint32_t k = job.kMin; k <= job.kMax;) {
                if (resumePending) {
                    resumePending = false;
                    n = job.currentN;
                    k = job.currentK;
                }
                // k = (k/b)*b: the same number as (k/b)*b^(n+1) +- 1.
                if (!(skipMultiplesOfBase && k % job.base == 0)) {
                    run.found.clear();
                    if (!run.handler(k, n, 0, true)) {
                        if (job.rangeInfo) run.log.PrintLine(Format("Stop: n=%u, k=%u.\r\n", n, k));
                        return;
                    }
                }
                const uint32_t next = k + step;
                if (next < k) break;  // k wrapped around 2^32
                k = next;
            }
            if (n == job.nMax) break;  // n + 1 would wrap when nMax = 2^32 - 1
        }
        run.log.PostToWindow(Decimal(job.nMax), CurrentN);
        run.log.PostToWindow(Decimal(job.kMax), CurrentK);
        run.log.PrintLine(kDoneLine);
        run.log.PostToWindow(RunEndedText, PaneText);
    });
}

int AlgebraicLoop(SearchRun& run) {
    return RunGuarded(run, [&run] {
        PrepareRun(run);
        const SearchJob& job = run.job;
        if (job.rangeInfo) run.log.PrintLine(AlgebraicOpeningLine(job));
        bool resumePending = job.continueRun;
        for (uint32_t n = job.nMin; n <= job.nMax; ++n) {
            if (resumePending) {
                resumePending = false;
                n = job.currentN;
            }
            // Exact: |c*n^2| < 2^95.
            const __int128 value = __int128(job.a) + __int128(job.b) * n + __int128(job.c) * n * n;
            if (value <= 0 || value > 2147483647) {
                run.log.PostToWindow("k is out of range.\r\n", PaneText);
                run.log.PostToWindow(RunEndedText, PaneText);
                return;
            }
            const uint32_t k = uint32_t(value);
            run.found.clear();
            if (!run.handler(k, n, 0, true)) {
                if (job.rangeInfo) run.log.PrintLine(Format("Stop: n=%u.\r\n", n));
                return;
            }
            if (n == job.nMax) break;
        }
        run.log.PostToWindow(Decimal(job.nMax), CurrentN);
        run.log.PrintLine(kDoneLine);
        run.log.PostToWindow(RunEndedText, PaneText);
    });
}

}  // namespace numen
