#include "report/ResultLog.h"

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
    const unsigned tries = retry_.tries == 0 ? 1 : retry_.tries;
    for (;;) {
        for (unsigned i = 0; i < tries; ++i) {
            if (AppendOnce(path, stored)) return;
            PostToWindow(retrying, PaneText);
            std::this_thread::sleep_for(retry_.interval);
        }
        if (sink_ != nullptr) sink_->showBlockingMessage(blocking);
    }
}

void ResultLog::ReportNote(std::string_view text, bool toResults) {
    PrintLine(std::string(text) + "\r\n");
    if (toResults) AppendResults(std::string(text) + "\n");
}

void ResultLog::AnnouncePrime(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                              bool verification, bool record) {
    BigInt N;
    N.setCandidate(k, b, n, c);
    PrintLine(PrimeLine(k, b, n, c, x, q, verification, DecimalDigitCount(N)));
    if (!record) return;
    const PrimeRecord described = DescribePrime(k, b, n, c);
    for (const std::string& note : described.notes) ReportNote(note, false);
    AppendResults(described.record + "\n");
}

void ResultLog::ReportComposite(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                                bool verification) {
    const std::string line = CompositeLine(k, b, n, c, x, q, verification);
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
}

void ResultLog::ReportCompositeErr(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                                   bool verification, float err) {
    const std::string line = CompositeErrLine(k, b, n, c, x, q, verification, double(err));
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
}

void ResultLog::ReportFactor(uint32_t k, uint32_t b, uint32_t n, int32_t c, uint64_t f) {
    if (CandidateResidue(k, b, n, c, f) != 0) {
        PrintLine(FactorErrorLine(k, b, n, c, f));
        PostToWindow(RunEndedText, PaneText);
        return;
    }
    if (n < 64 && CandidateEquals(k, b, n, c, f)) {
        AnnouncePrime(k, b, n, c, 0, 0, true, true);
        return;
    }
    PrintVerbose(FactorLine(k, b, n, c, f));
}

}  // namespace numen
