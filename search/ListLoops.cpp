#include "search/ListLoops.h"

#include <fstream>

namespace numen {

// Placeholder until the procedure lands: says so and ends the run.
int FileLoop(SearchRun& run) {
    if (!std::ifstream(run.log.folder() / run.job.listFile)) {
        run.log.PostToWindow("Cannot open \"" + run.job.listFile + "\".\r\n", PaneText);
        run.log.PostToWindow(RunEndedText, PaneText);
        return 0;
    }
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

int VerifierLoop(SearchRun& run) {
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

bool IsListRefusal(std::string_view line) { return line.starts_with("Cannot open \""); }

}  // namespace numen
