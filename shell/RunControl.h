// RunControl: the start, continue and stop of the one worker thread, and
// what the front end does with the worker's messages, written once for
// every front end. The front end shows pane texts and answers the blocking
// message (RunOutput); everything else — the field normalisation and its
// write-back, the running state in "Numen.ini", the current n and k and the
// list line stored the moment the worker posts them, the end of the run on
// "cestfini" — happens here.
//
// Questions ("Really want to start with a new range ?") are the front
// end's, asked before StartRun; the console never asks.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "report/MessageSink.h"
#include "report/ResultLog.h"
#include "search/CandidateHandlers.h"
#include "search/SearchJob.h"
#include "search/SearchRun.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"

namespace numen {

// Where the front end shows what the worker says. Both calls come from the
// worker thread, which waits until they return.
class RunOutput {
public:
    virtual ~RunOutput() = default;
    // A pane text: a line ending in CR LF, or a progress text without a line
    // end that the next text replaces. Never "cestfini".
    virtual void showPaneText(std::string_view text) = 0;
    // A log file stays locked: tell the user, return once acknowledged (or
    // given up on because `stopRequested` turned true).
    virtual void showBlockingMessage(std::string_view text, const std::atomic<bool>& running) = 0;
    // The position the worker posted (kind 1 current n, 2 current k, 3 the
    // list line as text), after it was stored; the window shows it in its
    // fields. Nothing by default.
    virtual void showPosition(int /*kind*/, std::string_view /*text*/) {}
    // "cestfini": the run ended by itself and the stopped state is stored.
    virtual void runEnded() {}
};

enum class StartResult {
    Started,
    OutOfRange,        // Continue: the current values lie outside the range
    WorkerAlive,       // a run is going: the command is ignored
};

// What the worker runs: the search of the configured mode (Start and
// Continue), the self-test, or one of the three benchmarks.
enum class WorkerCommand { Search, SelfTest, Benchmark, GfnBenchmark, Base3Benchmark };

// How the last run ended, as far as the front end must tell.
enum class RunEnd {
    None,         // no run, or still running
    ByItself,     // "cestfini": range done, list done, k out of range
    Error,        // the arithmetic error line, then "cestfini"
    ListRefused,  // a list run that could not begin (unreadable list, wrong header)
    Stopped,      // the running flag was cleared; no "cestfini"
};

inline constexpr std::string_view kArithmeticErrorLine = "Error!!! (rounding or checksum or not enough memory.)\r\n";

// Makes the handlers of a run (SearchHandlers; tests give their own).
using HandlerFactory = std::function<CandidateHandlers(SearchRun&)>;

class RunControl final : public MessageSink {
public:
    // `folder` holds "Numen.ini", the logs and the checkpoint; `settings` as
    // read at start-up. `output` must outlive the control.
    RunControl(std::filesystem::path folder, Settings settings, RunOutput& output,
               HandlerFactory makeHandlers = SearchHandlers);
    ~RunControl() override;   // stops a run still going (as a close does) and joins it
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    // Start (continueRun false) or Continue (true): normalise the fields and
    // write them back, check the position (Continue), store Running 1 and
    // start the mode's loop on the worker thread.
    // File mode's Start also sets the list line to 0 ("FileLine").
    StartResult StartRun(bool continueRun);
    // Test and the benchmarks: no normalisation, no position check; the
    // running state as for a run.
    StartResult StartCommand(WorkerCommand command);

    // The Stop button: Running 0 in "Numen.ini", the worker ends at its next
    // poll.
    void Stop();
    // Closing the window during a run: the worker ends at its next poll and
    // writes its checkpoint; Running stays 1 so the next start continues.
    void Interrupt();

    bool WorkerAlive() const;
    // Joins the worker (returns at once without one).
    void Wait();
    // After Wait: how the run ended.
    RunEnd LastEnd() const;

    // The list-line counter of File and Verifier modes: their loop advances
    // it and posts kind 3, on which it is stored as "FileLine".
    std::atomic<int32_t>& listLine() { return job_.listLine; }

    Settings settings() const;
    // The front end's changes (menus, dialogs, edited fields): the keys that
    // differ are written. While a worker runs, the keys the worker posts
    // (n, k, FileLine, Running) keep the values it stored.
    void ChangeSettings(const Settings& now);
    const SearchJob& job() const { return job_; }

    // The checkpoint store the next runs hand their handlers (SearchRun's
    // `checkpoint`); null, the default, keeps the folder's own. The store
    // must outlive the runs.
    void useCheckpointStore(RunCheckpoint* store) { checkpointStore_ = store; }

    // MessageSink, called by the worker.
    void post(int kind, std::string_view text) override;
    void showBlockingMessage(std::string_view text) override;

private:
    void setRunning(bool running);
    void runWorker();
    void launch(WorkerCommand command);
    bool storePosted(int kind, std::string_view text);   // under mutex_; true: show it

    std::filesystem::path folder_;
    IniFile ini_;
    Settings settings_;   // as stored; changed only by this control
    RunOutput& output_;
    HandlerFactory makeHandlers_;
    SearchJob job_;
    std::unique_ptr<ResultLog> log_;
    std::unique_ptr<SearchRun> run_;
    std::thread worker_;
    std::atomic<bool> workerDone_{true};
    WorkerCommand command_ = WorkerCommand::Search;
    RunCheckpoint* checkpointStore_ = nullptr;
    mutable std::mutex mutex_;   // settings_ and the end flags, between the two threads
    bool ended_ = false, errorSeen_ = false, listRefused_ = false;
};

}  // namespace numen
