// A run around one test: a temporary working folder, a sink that records
// every pane text, the result log, the running flag, the live settings and
// a clock the test can move. context() hands them to the tests and power
// runs; a checkpoint store may be attached.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "report/ResultLog.h"
#include "tests/RunContext.h"

namespace numen::testing {

struct RunFixture {
    TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    std::atomic<bool> running{true};
    LiveSettings live;
    RunCheckpoint* checkpoint = nullptr;
    TestOptions options{};
    uint64_t clockMs = 0;     // the clock the runs read; tests move it
    uint64_t clockStep = 0;   // added at every read, so time passes by itself

    RunContext context() {
        return RunContext{log, running, live, checkpoint, options, [this] { return clockMs += clockStep; }};
    }

    // Pane texts (kind 0) in order, and those that stay (ending in CR LF).
    std::vector<std::string> paneTexts() const { return sink.texts(PaneText); }
    std::vector<std::string> paneLines() const {
        std::vector<std::string> lines;
        for (const std::string& t : sink.texts(PaneText))
            if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) lines.push_back(t);
        return lines;
    }
    std::string logFile() const { return folder.read("Numen.log"); }
};

// The same with verbose lines (composites, factors, closing notes) in the pane.
struct VerboseRunFixture : RunFixture {
    VerboseRunFixture() { log.setOptions({true, false, false}); }
};

}  // namespace numen::testing
