#include "report/ResultLog.h"

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

#include "arith/BigInt.h"
#include "arith/DecimalDigits.h"
#include "report/FactorCheck.h"
#include "report/LineFile.h"
#include "report/ResultLines.h"
#include "report/FormNames.h"

namespace numen {

namespace {

constexpr const char* LogFileName = "Numen.log";
constexpr const char* ResultsFileName = "Numen.txt";

}  // namespace

ResultLog::ResultLog(MessageSink* sink, std::filesystem::path folder, OutputOptions options, RetryPolicy retry,
                     WallClock clock)
    : sink_(sink), folder_(std::move(folder)), options_(options), retry_(retry), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return std::time(nullptr); };
}

void ResultLog::PostToWindow(std::string_view text, int kind) const {
    if (sink_ != nullptr) sink_->post(kind, text);
}

void ResultLog::PrintLine(std::string_view text) {
    PostToWindow(text, PaneText);
    AppendLog(text);
}

void ResultLog::PrintVerbose(std::string_view text) {
    if (options_.verboseScreen) PostToWindow(text, PaneText);
    if (options_.verboseFile) AppendLog(text);
}

void ResultLog::AppendLog(std::string_view text) {
    if (!options_.printDate) {
        AppendWithRetry(LogFileName, text);
        return;
    }
    // The stamp is taken once, when the line is reported, not per retry.
    AppendWithRetry(LogFileName, AsctimeStamp(clock_()) + " : " + std::string(text));
}

void ResultLog::AppendResults(std::string_view text) { AppendWithRetry(ResultsFileName, text); }

void ResultLog::AppendWithRetry(const char* fileName, std::string_view text) {
    const std::filesystem::path path = folder_ / fileName;
    const std::string stored = StoredText(text);
    const std::string retrying = std::string("Cannot open ") + fileName + ": retrying...\r\n";
    const std::string blocking = std::string("Cannot open the file \"") + fileName + "\".";
    const std::string abandoned = std::string("Cannot open ") + fileName + ": line not written (run stopped).\r\n";
    const unsigned tries = retry_.tries == 0 ? 1 : retry_.tries;
    const auto stopped = [this] { return running_ != nullptr && !running_->load(); };
    const auto slice = std::min(retry_.interval, std::chrono::milliseconds(100));
    for (;;) {
        for (unsigned i = 0; i < tries; ++i) {
            if (AppendOnce(path, stored)) return;
            if (stopped()) {
                PostToWindow(abandoned, PaneText);
                return;
            }
            PostToWindow(retrying, PaneText);
            // The wait is cut short by a stop request.
            const auto until = std::chrono::steady_clock::now() + retry_.interval;
            while (std::chrono::steady_clock::now() < until && !stopped()) std::this_thread::sleep_for(slice);
        }
        if (sink_ != nullptr) sink_->showBlockingMessage(blocking);
    }
}

void ResultLog::ReportNote(std::string_view text, bool toResults) {
    PrintLine(std::string(text) + "\r\n");
    if (toResults) AppendResults(std::string(text) + "\n");
}

void ResultLog::AnnouncePrime(const Candidate& N, int32_t x, int32_t q, bool verification, bool record) {
    BigInt value;
    value.setCandidate(N.k, N.b, N.n, N.c);
    PrintLine(PrimeLine(N, x, q, verification, DecimalDigitCount(value)));
    if (!record) return;
    const PrimeRecord described = DescribePrime(N);
    for (const std::string& note : described.notes) ReportNote(note, false);
    AppendResults(described.record + "\n");
}

void ResultLog::ReportComposite(const Candidate& N, int32_t x, int32_t q, bool verification) {
    const std::string line = CompositeLine(N, x, q, verification);
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
}

void ResultLog::ReportCompositeErr(const Candidate& N, int32_t x, int32_t q, bool verification, float err) {
    const std::string line = CompositeErrLine(N, x, q, verification, double(err));
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
}

void ResultLog::ReportFactor(const Candidate& N, uint64_t f) {
    if (CandidateResidue(N, f) != 0) {
        PrintLine(FactorErrorLine(N, f));
        PostToWindow(RunEndedText, PaneText);
        return;
    }
    if (N.n < 64 && CandidateEquals(N, f)) {
        AnnouncePrime(N, 0, 0, true, true);
        return;
    }
    PrintVerbose(FactorLine(N, f));
}

}  // namespace numen
