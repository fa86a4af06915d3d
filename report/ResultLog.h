// ResultLog: the one way the worker speaks. Every progress, result and error
// line reaches the user through these operations, which fix where each line
// goes — the results pane (through the MessageSink), "Numen.log" and
// "Numen.txt" in the working folder — and compose every result line.
//
// Called from the worker thread only; no state beyond the settings is kept
// between calls. File writes never drop a line: a file that cannot be opened
// is retried (a pane line per failure), then the user is asked through the
// sink's blocking message, and the retries begin again — until the run is
// asked to stop: a stopped run must end, and the line it could not write is
// still in the pane (Continue finds the candidate again).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string_view>

#include "arith/Candidate.h"
#include "report/MessageSink.h"

namespace numen {

// The Output menu options, taken from the search job.
struct OutputOptions {
    bool verboseScreen = false;  // verbose lines go to the pane
    bool verboseFile = false;    // verbose lines go to "Numen.log"
    bool printDate = false;      // "Numen.log" lines start with the local date and time
};

// How long a file that cannot be opened is retried before the user is asked.
// The defaults (a minute on 100 tries of 6 s) let another program holding the
// log, such as an editor saving it, finish first; tests use milliseconds.
struct RetryPolicy {
    std::chrono::milliseconds interval{6000};
    unsigned tries = 100;
};

// The wall clock used for the Print Date stamp.
using WallClock = std::function<std::time_t()>;

class ResultLog {
public:
    // sink may be null (no window): pane texts are then not sent anywhere.
    // folder holds "Numen.log" and "Numen.txt". A null clock reads the
    // system time.
    ResultLog(MessageSink* sink, std::filesystem::path folder, OutputOptions options = {},
              RetryPolicy retry = {}, WallClock clock = {});

    const OutputOptions& options() const { return options_; }
    void setOptions(const OutputOptions& options) { options_ = options; }
    const std::filesystem::path& folder() const { return folder_; }
    // The run's running flag: while it is false a file that cannot be opened
    // is given up after one attempt. Null (the default): retried forever.
    void setRunningFlag(const std::atomic<bool>* running) { running_ = running; }

    // The text to the sink with its kind (MessageKind); nothing without a sink.
    void PostToWindow(std::string_view text, int kind) const;
    // Pane, then "Numen.log".
    void PrintLine(std::string_view text);
    // Pane if Verbose Screen, then "Numen.log" if Verbose File.
    void PrintVerbose(std::string_view text);
    // Appends to "Numen.log" (CR LF stored as LF), with the date stamp
    // "Www Mmm dd hh:mm:ss yyyy : " in front when Print Date is on.
    void AppendLog(std::string_view text);
    // Appends to "Numen.txt" (CR LF stored as LF), never dated.
    void AppendResults(std::string_view text);
    // PrintLine(text + CR LF); with toResults also AppendResults(text + LF).
    void ReportNote(std::string_view text, bool toResults);

    // In all of the following N = k*b^n + c. x is the base a (c >= 0) or the
    // Lucas parameter P (c < 0), q the parameter Q; x = 0 means none was used.

    // The prime line (PrintLine); with record set also a note per special
    // form and the "Numen.txt" record.
    void AnnouncePrime(const Candidate& N, int32_t x, int32_t q, bool verification, bool record);
    // Failed verification (verification set, x != 0): PrintLine; a composite
    // or a square (x = 0): PrintVerbose.
    void ReportComposite(const Candidate& N, int32_t x, int32_t q, bool verification);
    // The same with the largest round-off error err in the line.
    void ReportCompositeErr(const Candidate& N, int32_t x, int32_t q, bool verification, float err);
    // Checks that f (2 <= f < 2^63) divides N. A false factor prints the
    // ERROR line and posts RunEndedText, which ends the run; f = N (n < 64)
    // is announced as a prime; a true factor is a verbose line.
    void ReportFactor(const Candidate& N, uint64_t f);

private:
    void AppendWithRetry(const char* fileName, std::string_view text);

    MessageSink* sink_;
    std::filesystem::path folder_;
    OutputOptions options_;
    RetryPolicy retry_;
    WallClock clock_;
    const std::atomic<bool>* running_ = nullptr;
};

}  // namespace numen
