#include "search/Benchmarks.h"

namespace numen {

// Placeholder until the procedure lands: says so and ends the run.
int MainBenchmark(SearchRun& run) {
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

int GfnBenchmark(SearchRun& run) {
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

int Base3Benchmark(SearchRun& run) {
    run.log.PostToWindow("Not available yet.\r\n", PaneText);
    run.log.PostToWindow(RunEndedText, PaneText);
    return 0;
}

}  // namespace numen
