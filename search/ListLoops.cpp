// File mode walks a list of "k n" pairs with the handler of the run's form,
// one line at a time, the list line counting the lines finished; Verifier
// mode proves each number of a listing again with the handler of its own
// form, without trial division. Both read the list in lines of at most 131
// characters (ListLine.h) and end as the range loops do.
#include "search/ListLoops.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Fpu.h"
#include "search/CheckpointFile.h"
#include "search/ListLine.h"
#include "search/SieveHeader.h"
#include "sieve/SmallPrimes.h"

namespace numen {

namespace {

const char kDoneLine[] = "Done.\r\n";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using ListFile = std::unique_ptr<std::FILE, FileCloser>;

std::string CannotOpenLine(const std::string& name) { return "Cannot open \"" + name + "\".\r\n"; }

// The list, relative to the working folder unless its name is absolute;
// null when it cannot be read (missing, unreadable, or a folder).
ListFile OpenList(const SearchRun& run) {
    const std::filesystem::path path = run.log.folder() / run.job.listFile;
    std::error_code error;
    if (run.job.listFile.empty() || std::filesystem::is_directory(path, error)) return nullptr;
    return ListFile(std::fopen(path.c_str(), "rb"));
}

// Ends a run that could not start with its line (pane only) and "cestfini".
void RefuseList(SearchRun& run, const std::string& line) {
    run.log.PostToWindow(line, PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
}

std::string FileOpeningLine(const SearchJob& job) {
    char text[64];
    std::snprintf(text, sizeof text, FormDescriptionTemplate(job.testForm), job.base);
    return std::string(job.continueRun ? "Continue:" : "Start:") + " Test of file \"" + job.listFile +
           "\" at line " + std::to_string(job.listLine.load()) + ", " + text + ".\r\n";
}

// Use16bitBRT as it was before the verifier run, put back on every way out
// of it, a stop and an arithmetic failure included.
class ForcedOption {
public:
    explicit ForcedOption(bool& option) : option_(option), saved_(option) { option_ = true; }
    ~ForcedOption() { option_ = saved_; }
    ForcedOption(const ForcedOption&) = delete;
    ForcedOption& operator=(const ForcedOption&) = delete;

private:
    bool& option_;
    bool saved_;
};

// The handler of a listed number (k*2^n +- 1, b^n + 1 as a generalized
// Fermat number, k*b^n +- 1 with the job's base set to b), called at depth 0
// without trial division: its proof's first verdict is final.
bool ProveListed(SearchRun& run, const ListedNumber& v) {
    const CandidateHandlers& h = run.handlers;
    if (v.b == 2) return (v.plus ? h.checkPlus2 : h.checkMinus2)(v.k, v.n, 0, false);
    if (v.plus && v.k == 1) return h.checkGfn(v.b, v.n, 0, false);
    run.job.base = v.b;
    return (v.plus ? h.checkPlusB : h.checkMinusB)(v.k, v.n, 0, false);
}

}  // namespace

int FileLoop(SearchRun& run) {
    return RunGuarded(run, [&run] {
        PrepareRun(run);
        SearchJob& job = run.job;
        ListFile file = OpenList(run);
        if (!file) return RefuseList(run, CannotOpenLine(job.listFile));
        std::string line;
        {
            // Only the first line can be a sieve's header; it is then passed
            // over (and counted) like any line that is no candidate.
            ListLineReader first(file.get());
            if (first.next(line)) {
                const std::string refusal =
                    HeaderRefusal(ReadSieveHeader(line), job.listFile, job.testForm, job.base);
                if (!refusal.empty()) {
                    run.log.PrintLine(refusal);
                    run.log.PostToWindow(RunEndedText, PaneText);
                    return;
                }
            }
            std::rewind(file.get());
        }
        if (job.rangeInfo) run.log.PrintLine(FileOpeningLine(job));
        ListLineReader reader(file.get());
        for (int32_t unread = job.listLine.load(); unread > 0 && reader.next(line);) --unread;
        bool announced = !job.rangeInfo;
        while (reader.next(line)) {
            uint32_t k = 0, n = 0;
            if (ReadFileLine(line, job.testForm, job.base, k, n)) {
                if (!announced) {
                    run.log.PrintLine(std::to_string(k) + " " + std::to_string(n) + "\r\n");
                    announced = true;
                }
                run.found.clear();
                // Stopped: the list line stays on this line for Continue.
                if (!run.handler(k, n, 0, true)) return;
            }
            job.listLine.fetch_add(1);
            run.log.PostToWindow("", ListLineChanged);
        }
        run.log.PrintLine(kDoneLine);
        run.log.PostToWindow(RunEndedText, PaneText);
    });
}

int VerifierLoop(SearchRun& run) {
    return RunGuarded(run, [&run] {
        SetX87ExtendedPrecision();
        InitSmallPrimes();
        DeleteCheckpoint(run.log.folder());  // a verification never resumes one
        SearchJob& job = run.job;
        ListFile file = OpenList(run);
        if (!file) return RefuseList(run, CannotOpenLine(job.listFile));
        const ForcedOption use16bitBRT(job.options.use16bitBRT);
        run.log.PrintLine("Start: Verification of \"" + job.listFile + "\".\r\n");
        ListLineReader reader(file.get());
        std::string line;
        while (reader.next(line)) {
            ListedNumber number;
            if (!ReadVerifierLine(line, number)) continue;
            run.found.clear();
            if (!ProveListed(run, number)) return;  // stopped: no Done line
        }
        run.log.PrintLine(kDoneLine);
        run.log.PostToWindow(RunEndedText, PaneText);
    });
}

bool IsListRefusal(std::string_view line) { return line.starts_with("Cannot open \"") || IsHeaderRefusal(line); }

}  // namespace numen
