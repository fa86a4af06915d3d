#include "shell/RunControl.h"

#include "platform/Priority.h"
#include "search/BenchmarkLines.h"
#include "search/Benchmarks.h"
#include "search/CheckpointFile.h"
#include "search/ListLoops.h"
#include "search/SelfTest.h"
#include "shell/FieldNormalisation.h"

namespace numen {

namespace {

// Only a search writes "Numen.json": the self-test's and the benchmarks'
// verdicts are no results.
OutputOptions OutputOptionsOf(const Settings& s, WorkerCommand command) {
    return {s.Screen != 0, s.File != 0, s.PrintDate != 0, s.JsonResults != 0 && command == WorkerCommand::Search};
}

}  // namespace

RunControl::RunControl(std::filesystem::path folder, Settings settings, RunOutput& output,
                       HandlerFactory makeHandlers)
    : folder_(std::move(folder)), ini_(folder_), settings_(std::move(settings)), output_(output),
      makeHandlers_(std::move(makeHandlers)) {
    job_.listLine.store(settings_.FileLine);
}

RunControl::~RunControl() {
    Interrupt();
    Wait();
}

Settings RunControl::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

bool RunControl::WorkerAlive() const { return worker_.joinable() && !workerDone_.load(); }

void RunControl::Wait() {
    if (worker_.joinable()) worker_.join();
}

RunEnd RunControl::LastEnd() const {
    std::lock_guard lock(mutex_);
    if (WorkerAlive() || run_ == nullptr) return RunEnd::None;
    if (!ended_) return RunEnd::Stopped;
    if (errorSeen_) return RunEnd::Error;
    return listRefused_ ? RunEnd::ListRefused : RunEnd::ByItself;
}

void RunControl::setRunning(bool running) {
    // "Running" says that a search is to be continued at the next start; a
    // self-test or a benchmark is never continued, and must not take that
    // mark away from a search interrupted before it.
    if (command_ == WorkerCommand::Search) {
        settings_.Running = running ? 1 : 0;
        WriteSetting(ini_, settings_, "Running");
    }
    job_.running.store(running);
}

StartResult RunControl::StartRun(bool continueRun) {
    if (WorkerAlive()) return StartResult::WorkerAlive;
    Wait();   // a finished worker is joined before the job changes
    const Settings normalised = NormaliseFields(settings_);
    StoreNormalisedFields(ini_, normalised);
    settings_ = normalised;
    if (continueRun && !CurrentValuesInRange(settings_)) return StartResult::OutOfRange;
    if (!continueRun && settings_.Mode1 == FileMode) {
        settings_.FileLine = 0;
        WriteSetting(ini_, settings_, "FileLine");
    }

    FillSearchJob(settings_, job_);
    job_.continueRun = continueRun;
    if (settings_.Mode1 == CullenMode) {
        job_.a = 0;
        job_.b = 1;
        job_.c = 0;
    }
    SetResumeRequested(continueRun);
    launch(WorkerCommand::Search);
    return StartResult::Started;
}

StartResult RunControl::StartCommand(WorkerCommand command) {
    if (command == WorkerCommand::Search) return StartRun(false);
    if (WorkerAlive()) return StartResult::WorkerAlive;
    Wait();
    FillSearchJob(settings_, job_);
    launch(command);
    return StartResult::Started;
}

void RunControl::launch(WorkerCommand command) {
    command_ = command;
    job_.listFile = settings_.VerifierFilename;
    job_.listLine.store(settings_.FileLine);
    log_ = std::make_unique<ResultLog>(this, folder_, OutputOptionsOf(settings_, command));
    log_->setRunningFlag(&job_.running);
    run_ = std::make_unique<SearchRun>(SearchRun{job_, *log_, {}, {}, {}, checkpointStore_});
    run_->handlers = makeHandlers_(*run_);
    ended_ = errorSeen_ = listRefused_ = false;
    setRunning(true);
    workerDone_.store(false);
    worker_ = std::thread([this] { runWorker(); });
}

void RunControl::runWorker() {
    SetWorkerThreadPriority(settings_.WThreadPriority == 0);
    switch (command_) {
    case WorkerCommand::SelfTest: SelfTest(*run_); break;
    case WorkerCommand::Benchmark: MainBenchmark(*run_); break;
    case WorkerCommand::GfnBenchmark: GfnBenchmark(*run_); break;
    case WorkerCommand::Base3Benchmark: Base3Benchmark(*run_); break;
    case WorkerCommand::Search:
        switch (job_.mode) {
        case StandardMode: StandardLoop(*run_); break;
        case FileMode: FileLoop(*run_); break;
        case VerifierMode: VerifierLoop(*run_); break;
        default: AlgebraicLoop(*run_); break;
        }
        break;
    }
    workerDone_.store(true);
}

void RunControl::Stop() {
    std::lock_guard lock(mutex_);
    setRunning(false);
}

void RunControl::Interrupt() { job_.running.store(false); }

void RunControl::post(int kind, std::string_view text) {
    bool ended = false;
    if (kind == PaneText && text != RunEndedText) {
        {
            std::lock_guard lock(mutex_);
            // The arithmetic failure line and a reported factor that does
            // not divide (which ends the run with "cestfini" as a finished
            // one would): both mean the arithmetic cannot be trusted.
            if (text == kArithmeticErrorLine || text.ends_with(" ERROR\r\n") || text == kBenchmarkFatalLine)
                errorSeen_ = true;
            if (IsListRefusal(text)) listRefused_ = true;
        }
        // Outside the lock: a window shows the text on its own thread while
        // the worker waits, and that thread may call Stop meanwhile.
        output_.showPaneText(text);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (!storePosted(kind, text)) {
            if (kind == PaneText) ended = true;
        }
    }
    if (ended) {
        output_.runEnded();
        return;
    }
    if (kind == CurrentN || kind == CurrentK) output_.showPosition(kind, text);
    if (kind == ListLineChanged) output_.showPosition(kind, std::to_string(job_.listLine.load()));
}

void RunControl::ChangeSettings(const Settings& now) {
    std::lock_guard lock(mutex_);
    Settings next = now;
    if (WorkerAlive()) {
        next.n = settings_.n;
        next.k = settings_.k;
        next.FileLine = settings_.FileLine;
        next.Running = settings_.Running;
    }
    SaveSettings(ini_, settings_, next);
    settings_ = next;
    // A running loop takes a new nbIter at its next checkpoint decision.
    job_.live.nbIter.store(next.nbIter, std::memory_order_relaxed);
}

bool RunControl::storePosted(int kind, std::string_view text) {
    switch (kind) {
    case PaneText:   // "cestfini"
        ended_ = true;
        setRunning(false);
        return false;
    case CurrentN:
        settings_.n = std::string(text);
        WriteSetting(ini_, settings_, "n");
        if (settings_.Mode1 == CullenMode) {
            settings_.nMin = CurrentValue(settings_.n);
            WriteSetting(ini_, settings_, "nMin");
        }
        return true;
    case CurrentK:
        settings_.k = std::string(text);
        WriteSetting(ini_, settings_, "k");
        return true;
    case ListLineChanged:
        settings_.FileLine = job_.listLine.load();
        WriteSetting(ini_, settings_, "FileLine");
        return true;
    default: return false;
    }
}

void RunControl::showBlockingMessage(std::string_view text) { output_.showBlockingMessage(text, job_.running); }

}  // namespace numen
