// ResultLog: the one way the worker speaks. Every progress, result and error
// line reaches the user through these operations, which fix where each line
// goes — the results pane (through the MessageSink), "Numen.log" and
// "Numen.txt" in the working folder — and compose every result line. With
// JSON results on, every verdict (the "may be prime" lines included),
// factor, divisibility hit and relation is also one line of "Numen.json"
// (JSON Lines; fields in README.md).
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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arith/Candidate.h"
#include "report/JsonLines.h"
#include "report/MessageSink.h"
#include "report/VerdictFacts.h"
#include "report/VerdictLine.h"

namespace numen {

// The Output menu options, taken from the search job.
struct OutputOptions {
    bool verboseScreen = false;  // verbose lines go to the pane
    bool verboseFile = false;    // verbose lines go to "Numen.log"
    bool printDate = false;      // "Numen.log" lines start with the local date and time
    bool jsonResults = false;    // results also go to "Numen.json" (INI JsonResults)
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
    // The same for a verdict line the tests print themselves, and its JSON
    // line (written whether or not the verbose text is shown).
    void PrintLine(const VerdictLine& line);
    void PrintVerbose(const VerdictLine& line);
    // Appends to "Numen.log" (CR LF stored as LF), with the date stamp
    // "Www Mmm dd hh:mm:ss yyyy : " in front when Print Date is on.
    void AppendLog(std::string_view text);
    // Appends to "Numen.txt" (CR LF stored as LF), never dated.
    void AppendResults(std::string_view text);
    // PrintLine(text + CR LF); with toResults also AppendResults(text + LF).
    void ReportNote(std::string_view text, bool toResults);
    // ReportNote(text, true) for a relation the prime N closes (relation
    // "Twin", "Sophie Germain", ... linking `length` primes), and its JSON line.
    void ReportRelation(const Candidate& N, std::string_view relation, uint32_t length, std::string_view text);
    // The JSON line of a divisibility hit of the prime N: "divides" names
    // the number it divides ("F37", "GF(40936, 6)", "Phi(3^5, 2)"), m its
    // index. The text lines are the caller's.
    void ReportDivisibility(const Candidate& N, std::string_view divides, uint32_t m);

    // In all of the following N = k*b^n + c. x is the base a (c >= 0) or the
    // Lucas parameter P (c < 0), q the parameter Q; x = 0 means none was used.

    // The prime line (PrintLine); with record set also a note per special
    // form and the "Numen.txt" record.
    // facts feed the JSON line only.
    void AnnouncePrime(const Candidate& N, int32_t x, int32_t q, bool verification, bool record,
                       const VerdictFacts& facts = {});
    // Failed verification (verification set, x != 0): PrintLine; a composite
    // or a square (x = 0): PrintVerbose. The JSON line is written either way.
    void ReportComposite(const Candidate& N, int32_t x, int32_t q, bool verification,
                         const VerdictFacts& facts = {});
    // The same with the largest round-off error err in the line (and as the
    // JSON line's max_error).
    void ReportCompositeErr(const Candidate& N, int32_t x, int32_t q, bool verification, float err,
                            const VerdictFacts& facts = {});
    // Checks that f (2 <= f < 2^63) divides N. A false factor prints the
    // ERROR line and posts RunEndedText, which ends the run; f = N (n < 64)
    // is announced as a prime; a true factor is a verbose line.
    void ReportFactor(const Candidate& N, uint64_t f);

    // The test of a candidate begins (the handlers of a search mark it);
    // its JSON lines carry the start time and the seconds since. Nested:
    // a related prime tested inside its neighbour's handler has its own.
    void BeginCandidate(const ResultNumber& N);
    void EndCandidate();

private:
    struct Timing {
        ResultNumber N;
        std::chrono::system_clock::time_point wallStart;
        std::chrono::steady_clock::time_point start;
    };

    void AppendWithRetry(const char* fileName, const std::function<bool(const std::filesystem::path&)>& once);
    void AppendWithRetry(const char* fileName, std::string_view text);
    // Closes an object with max_error, the version, the kernel family and
    // the times, and appends it as one line of "Numen.json".
    void WriteJson(const ResultNumber& N, JsonObject& object, const std::optional<double>& maxError);
    // The fields of a prime or composite verdict, then WriteJson. lucas:
    // x, q are P and Q, else x is the base a (none when 0).
    void JsonVerdict(const ResultNumber& N, JsonObject& object, bool composite, int32_t x, int32_t q, bool lucas,
                     bool verification, const VerdictFacts& facts);
    // The object of a verdict line (PrintLine, PrintVerbose of a VerdictLine).
    void JsonVerdictLine(const VerdictLine& line);

    MessageSink* sink_;
    std::filesystem::path folder_;
    OutputOptions options_;
    RetryPolicy retry_;
    WallClock clock_;
    const std::atomic<bool>* running_ = nullptr;
    std::vector<Timing> timings_;
};

// Marks one candidate's test for its lifetime (BeginCandidate / EndCandidate).
class CandidateTimer {
public:
    CandidateTimer(ResultLog& log, const ResultNumber& N) : log_(log) { log_.BeginCandidate(N); }
    ~CandidateTimer() { log_.EndCandidate(); }
    CandidateTimer(const CandidateTimer&) = delete;
    CandidateTimer& operator=(const CandidateTimer&) = delete;

private:
    ResultLog& log_;
};

}  // namespace numen
