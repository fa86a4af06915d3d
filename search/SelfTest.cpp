#include "search/SelfTest.h"

namespace numen {

// Placeholder until the procedure lands: says so and ends the run.
int SelfTest(SearchRun& run) {
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

}  // namespace numen
