// numen-boinc: the console runner as a BOINC application. It takes no
// command: the work unit's "Numen.ini" says what to run (a File-mode list of
// one candidate or a few, as a rule), and the task runs it to its end in the
// slot's subfolder `work` (WorkFolder.h), continuing from there after every
// restart of the task.
//
// The client's requests come through boinc_get_status, polled five times a
// second: quit (and a lost client) stops the run like a console signal, the
// checkpoint written, and ends with boinc_temporary_exit, so the task is
// started again later and continues; suspend stops the run the same way and
// continues it on resume; abort stops it and ends as failed. SIGINT, SIGTERM
// and SIGHUP (a standalone run) act as quit. Checkpoints are written only
// when the client allows (DeferredCheckpoint over the folder's store), and
// the fraction done follows the list line and the running test's progress.
//
// Ends: boinc_finish(0) when the run ended by itself, the result files
// copied out; boinc_finish(status) with the console's status otherwise
// (1 the work folder cannot be used, 4 arithmetic error, 5 the list cannot
// be used, 6 current values out of range, 194 aborted by the client);
// boinc_temporary_exit when interrupted.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include <boinc/boinc_api.h>
#include <boinc/error_numbers.h>

#include "platform/Priority.h"
#include "report/ResultLog.h"
#include "search/FolderCheckpoint.h"
#include "shell/FieldNormalisation.h"
#include "shell/IniFile.h"
#include "shell/RunControl.h"
#include "shell/Startup.h"
#include "shell/console/ConsoleOutput.h"
#include "shell/console/boinc/CheckpointGate.h"
#include "shell/console/boinc/DeferredCheckpoint.h"
#include "shell/console/boinc/WorkFraction.h"
#include "shell/console/boinc/WorkFolder.h"

#include <pthread.h>
#include <time.h>

namespace numen {
namespace {

namespace fs = std::filesystem;

constexpr int kDone = 0;
constexpr int kFolderUnusable = 1;
constexpr int kArithmeticError = 4;
constexpr int kListRefused = 5;
constexpr int kOutOfRange = 6;
// Seconds before the client starts an interrupted task again.
constexpr int kRestartDelay = 10;

class BoincGate final : public CheckpointGate {
public:
    bool timeToCheckpoint() override { return boinc_time_to_checkpoint() != 0; }
    void checkpointCompleted() override { boinc_checkpoint_completed(); }
};

// The console's pane output, and the fraction done read from it.
class BoincOutput final : public RunOutput {
public:
    explicit BoincOutput(int32_t totalLines) : console_(stdout, false), fraction_(totalLines) {}

    void showPaneText(std::string_view text) override {
        if (const auto percent = ProgressPercent(text)) {
            std::lock_guard lock(mutex_);
            fraction_.candidatePercent(*percent);
        }
        console_.showPaneText(text);
    }
    void showBlockingMessage(std::string_view text, const std::atomic<bool>& running) override {
        console_.showBlockingMessage(text, running);
    }
    void showPosition(int kind, std::string_view text) override {
        if (kind != ListLineChanged) return;
        std::lock_guard lock(mutex_);
        fraction_.linesDone(int32_t(ParseDecimal(text)));
    }
    void startAt(int32_t linesDone) {
        std::lock_guard lock(mutex_);
        fraction_.linesDone(linesDone);
    }
    double fraction() const {
        std::lock_guard lock(mutex_);
        return fraction_.value();
    }

private:
    ConsoleOutput console_;
    mutable std::mutex mutex_;
    WorkFraction fraction_;
};

std::string Resolve(const std::string& logical) {
    std::string physical;
    if (boinc_resolve_filename_s(logical.c_str(), physical) != 0 || physical.empty()) return logical;
    return physical;
}

// Why the run was stopped from outside, if it was.
enum class Request { None, Quit, Suspend, Abort };

Request PendingRequest(bool signalled) {
    BOINC_STATUS status{};
    boinc_get_status(&status);
    if (status.abort_request) return Request::Abort;
    if (signalled || status.quit_request || status.no_heartbeat) return Request::Quit;
    if (status.suspended) return Request::Suspend;
    return Request::None;
}

// One line in the task's stderr.txt (uploaded with the result) per request
// acted on, once the run has stopped.
void Say(Request request) {
    static constexpr const char* kSaid[] = {"resumed: the run continues", "quit: the run stopped at its checkpoint",
                                            "suspended: the run stopped at its checkpoint",
                                            "aborted: the run stopped"};
    std::fprintf(stderr, "numen-boinc: %s\n", kSaid[int(request)]);
    std::fflush(stderr);
}

// How the task ends.
struct Outcome {
    enum Kind { Finished, Interrupted } kind = Finished;
    int status = kDone;
};

// The worker inherits the signal mask of the thread that starts it: the
// BOINC runtime's 10 Hz SIGALRM is kept for the main thread, so the worker's
// file writes and sleeps are never interrupted by it.
StartResult StartWorker(RunControl& control, bool continueRun) {
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
    const StartResult started = control.StartRun(continueRun);
    pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    return started;
}

Outcome RunTask(const fs::path& slot, const sigset_t& stopSignals) {
    WorkStart start = WorkStart::Fresh;
    std::string error;
    if (!PrepareWorkFolder(slot, Resolve, start, error)) {
        std::fprintf(stderr, "numen-boinc: %s\n", error.c_str());
        return {Outcome::Finished, kListRefused};
    }
    if (start == WorkStart::Ended) return {Outcome::Finished, kDone};

    Session session;
    if (!StartSession(slot / kWorkFolderName, session, error)) {
        std::fprintf(stderr, "numen-boinc: %s\n", error.c_str());
        return {Outcome::Finished, kFolderUnusable};
    }
    SetProcessPriority(session.settings.Priority);
    const bool listRun = session.settings.Mode1 == FileMode || session.settings.Mode1 == VerifierMode;
    BoincOutput output(listRun ? CountLines(session.folder / session.settings.VerifierFilename) : 1);
    RunControl control(session.folder, session.settings, output);
    // The store's one line (a resume from the previous checkpoint) goes to
    // the pane and "Numen.log" as the run's own lines do; only the worker
    // reads the store, so only the worker writes through this log.
    const Settings& s = session.settings;
    ResultLog storeLog(&control, session.folder, OutputOptions{s.Screen != 0, s.File != 0, s.PrintDate != 0, false});
    storeLog.setRunningFlag(&control.job().running);
    FolderCheckpoint folderStore(session.folder, &storeLog);
    BoincGate gate;
    DeferredCheckpoint store(folderStore, gate, control.job().running);
    control.useCheckpointStore(&store);

    bool continueRun = start == WorkStart::Resume;
    bool signalled = false;
    const timespec slice{0, 200 * 1000 * 1000};
    for (;;) {
        if (StartWorker(control, continueRun) == StartResult::OutOfRange) {
            std::fprintf(stderr, "numen-boinc: %s\n", WithLineFeeds(kOutOfRangeText).c_str());
            return {Outcome::Finished, kOutOfRange};
        }
        if (listRun) output.startAt(control.listLine().load());
        Request request = Request::None;
        while (control.WorkerAlive()) {
            if (sigtimedwait(&stopSignals, nullptr, &slice) > 0) signalled = true;
            if (request == Request::None) {
                request = PendingRequest(signalled);
                if (request != Request::None) control.Interrupt();   // Running stays 1
            }
            boinc_fraction_done(output.fraction());
        }
        control.Wait();
        std::fflush(stdout);
        if (control.LastEnd() != RunEnd::Stopped) break;
        Say(request);
        if (request == Request::Abort) return {Outcome::Finished, EXIT_ABORTED_BY_CLIENT};
        if (request != Request::Suspend) return {Outcome::Interrupted, kDone};
        // Suspended: wait for the resume, then continue from the checkpoint.
        while ((request = PendingRequest(signalled)) == Request::Suspend)
            if (sigtimedwait(&stopSignals, nullptr, &slice) > 0) signalled = true;
        Say(request);
        if (request == Request::Abort) return {Outcome::Finished, EXIT_ABORTED_BY_CLIENT};
        if (request == Request::Quit) return {Outcome::Interrupted, kDone};
        continueRun = true;
    }
    switch (control.LastEnd()) {
    case RunEnd::Error: return {Outcome::Finished, kArithmeticError};
    case RunEnd::ListRefused: return {Outcome::Finished, kListRefused};
    default: return {Outcome::Finished, kDone};
    }
}

int Main() {
    // Blocked before the runtime's timer thread and the worker exist, which
    // inherit the mask; the main thread takes them (sigtimedwait).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::error_code ec;
    const fs::path slot = fs::current_path(ec);
    BOINC_OPTIONS options;
    boinc_options_defaults(options);
    options.direct_process_action = 0;   // requests are handled here, as stops
    if (const int failed = boinc_init_options(&options); failed != 0) {
        std::fprintf(stderr, "numen-boinc: boinc_init failed (%d)\n", failed);
        return kFolderUnusable;
    }

    const Outcome outcome = RunTask(slot, stopSignals);
    // The runtime's own files (finish and temporary-exit marks) belong in
    // the slot folder, which the run left for its work folder.
    fs::current_path(slot, ec);
    if (outcome.kind == Outcome::Interrupted) {
        boinc_temporary_exit(kRestartDelay, "stopped; the run continues from its checkpoint", false);
        return kDone;   // not reached
    }
    int status = outcome.status;
    if (status == kDone) {
        std::string error;
        if (PublishResults(slot, Resolve, error)) {
            boinc_fraction_done(1.0);
        } else {
            std::fprintf(stderr, "numen-boinc: %s\n", error.c_str());
            status = kFolderUnusable;
        }
    }
    boinc_finish(status);
    return status;   // not reached
}

}  // namespace
}  // namespace numen

int main() { return numen::Main(); }
