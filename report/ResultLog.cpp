#include "report/ResultLog.h"

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

#include "arith/BigInt.h"
#include "arith/DecimalDigits.h"
#include "arith/kernels/KernelFamily.h"
#include "report/FactorCheck.h"
#include "report/LineFile.h"
#include "report/ResultLines.h"
#include "report/FormNames.h"
#include "report/ProgramVersion.h"
#include "report/TextFormat.h"

namespace numen {

namespace {

constexpr const char* LogFileName = "Numen.log";
constexpr const char* ResultsFileName = "Numen.txt";
constexpr const char* JsonFileName = "Numen.json";

// "k*b^n+c" ("b^n+c" for k = 1), as the "Numen.txt" record writes it.
std::string CandidateText(const Candidate& N) {
    const std::string kPart = N.k == 1 ? std::string() : Format("%u*", N.k);
    if (N.c >= 0) return kPart + Format("%u^%u+%d", N.b, N.n, N.c);
    return kPart + Format("%u^%u-%u", N.b, N.n, N.offsetMagnitude());
}

// UTC in ISO 8601 with milliseconds, e.g. "2026-12-09T01:23:45.678Z".
std::string IsoUtc(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const int millis = int(((ms % 1000) + 1000) % 1000);
    std::tm tm{};
    if (gmtime_r(&seconds, &tm) == nullptr) return "1970-01-01T00:00:00.000Z";
    return Format("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec, millis);
}

// The type, then the number: its form, its text and its words; a cyclotomic
// value Phi_n(b) has no k and no c.
JsonObject JsonHead(const ResultNumber& number, const char* type) {
    JsonObject o;
    o.add("type", type);
    const Candidate& N = number.N;
    if (number.cyclotomic) {
        o.add("form", "cyclotomic").add("candidate", Format("Phi(%u, %u)", N.n, N.b)).addNull("k");
        o.add("b", N.b).add("n", N.n).addNull("c");
        return o;
    }
    o.add("form", "k*b^n+c").add("candidate", CandidateText(N));
    o.add("k", N.k).add("b", N.b).add("n", N.n).add("c", N.c);
    return o;
}

// The decimal digits of k*b^n + c.
uint32_t CandidateDigits(const Candidate& N) {
    BigInt value;
    value.setCandidate(N.k, N.b, N.n, N.c);
    return DecimalDigitCount(value);
}

// The proof kind of a verdict whose caller named none: x = 0 is the
// "(square)" composite line, or a prime decided exactly.
const char* DefaultProof(const Candidate& N, int32_t x, bool composite) {
    if (x == 0) return composite ? "square" : "exact";
    return N.c >= 0 ? "N-1" : "N+1";
}

// Whether x, q of a prime or composite line of N are the Lucas parameters:
// a prime line of c < 0 always shows P and Q, a composite one a base a
// when Q = 0.
bool LucasLine(const Candidate& N, int32_t x, int32_t q, bool composite) {
    return N.c < 0 && x != 0 && (!composite || q != 0);
}

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

void ResultLog::PrintLine(const VerdictLine& line) {
    PrintLine(std::string_view(line.text));
    if (options_.jsonResults) JsonVerdictLine(line);
}

void ResultLog::PrintVerbose(const VerdictLine& line) {
    PrintVerbose(std::string_view(line.text));
    if (options_.jsonResults) JsonVerdictLine(line);
}

void ResultLog::JsonVerdictLine(const VerdictLine& line) {
    if (line.composite) {
        JsonObject o = JsonHead(line.number, "composite");
        JsonVerdict(line.number, o, true, line.x, line.q, line.lucas, false, line.facts);
        return;
    }
    // A stage that passed has no residue to tell: it is 1, -1 or 0 by
    // the verdict itself.
    JsonObject o = JsonHead(line.number, "probable_prime");
    uint32_t digits = 0;
    if (line.digits) digits = *line.digits;
    else if (!line.number.cyclotomic) digits = CandidateDigits(line.number.N);
    o.add("digits", digits);
    if (line.lucas) o.addNull("a").add("P", line.x).add("Q", line.q);
    else o.add("a", line.x).addNull("P").addNull("Q");
    WriteJson(line.number, o, line.facts.maxError);
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
    const std::string stored = StoredText(text);
    AppendWithRetry(fileName, [&stored](const std::filesystem::path& path) { return AppendOnce(path, stored); });
}

void ResultLog::AppendWithRetry(const char* fileName,
                                const std::function<bool(const std::filesystem::path&)>& once) {
    const std::filesystem::path path = folder_ / fileName;
    const std::string retrying = std::string("Cannot open ") + fileName + ": retrying...\r\n";
    const std::string blocking = std::string("Cannot open the file \"") + fileName + "\".";
    const std::string abandoned = std::string("Cannot open ") + fileName + ": line not written (run stopped).\r\n";
    const unsigned tries = retry_.tries == 0 ? 1 : retry_.tries;
    const auto stopped = [this] { return running_ != nullptr && !running_->load(); };
    const auto slice = std::min(retry_.interval, std::chrono::milliseconds(100));
    for (;;) {
        for (unsigned i = 0; i < tries; ++i) {
            if (once(path)) return;
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

void ResultLog::ReportRelation(const Candidate& N, std::string_view relation, uint32_t length,
                               std::string_view text) {
    ReportNote(text, true);
    if (!options_.jsonResults) return;
    JsonObject o = JsonHead(N, "relation");
    o.add("relation", relation).add("length", length).add("note", text);
    WriteJson(N, o, std::nullopt);
}

void ResultLog::ReportDivisibility(const Candidate& N, std::string_view divides, uint32_t m) {
    if (!options_.jsonResults) return;
    JsonObject o = JsonHead(N, "divisibility");
    o.add("divides", divides).add("m", m);
    WriteJson(N, o, std::nullopt);
}

void ResultLog::AnnouncePrime(const Candidate& N, int32_t x, int32_t q, bool verification, bool record,
                              const VerdictFacts& facts) {
    const uint32_t digits = CandidateDigits(N);
    PrintLine(PrimeLine(N, x, q, verification, digits));
    if (options_.jsonResults) {
        JsonObject o = JsonHead(N, "prime");
        o.add("digits", digits);
        JsonVerdict(N, o, false, x, q, LucasLine(N, x, q, false), verification, facts);
    }
    if (!record) return;
    const PrimeRecord described = DescribePrime(N);
    for (size_t i = 0; i < described.notes.size(); ++i) {
        ReportNote(described.notes[i], false);
        if (!options_.jsonResults) continue;
        JsonObject o = JsonHead(N, "relation");
        o.add("relation", described.names[i]).add("length", uint32_t(1)).add("note", described.notes[i]);
        WriteJson(N, o, std::nullopt);
    }
    AppendResults(described.record + "\n");
}

void ResultLog::ReportComposite(const Candidate& N, int32_t x, int32_t q, bool verification,
                                const VerdictFacts& facts) {
    const std::string line = CompositeLine(N, x, q, verification);
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
    if (options_.jsonResults) {
        JsonObject o = JsonHead(N, "composite");
        JsonVerdict(N, o, true, x, q, LucasLine(N, x, q, true), verification, facts);
    }
}

void ResultLog::ReportCompositeErr(const Candidate& N, int32_t x, int32_t q, bool verification, float err,
                                   const VerdictFacts& facts) {
    const std::string line = CompositeErrLine(N, x, q, verification, double(err));
    if (verification && x != 0) PrintLine(line);
    else PrintVerbose(line);
    if (options_.jsonResults) {
        VerdictFacts withError = facts;
        // A number decided exactly ran no transform: its err is no measure.
        const bool exact = facts.proof != nullptr && std::string_view(facts.proof) == "exact";
        if (!withError.maxError && !exact) withError.maxError = double(err);
        JsonObject o = JsonHead(N, "composite");
        JsonVerdict(N, o, true, x, q, LucasLine(N, x, q, true), verification, withError);
    }
}

void ResultLog::JsonVerdict(const ResultNumber& N, JsonObject& o, bool composite, int32_t x, int32_t q, bool lucas,
                            bool verification, const VerdictFacts& facts) {
    const char* proof = facts.proof != nullptr ? facts.proof : DefaultProof(N.N, x, composite);
    o.add("proof", proof);
    if (x != 0 && !lucas) o.add("a", x);
    else o.addNull("a");
    if (lucas) o.add("P", x).add("Q", q);
    else o.addNull("P").addNull("Q");
    o.add("verification", verification);
    if (composite) {
        if (facts.residue) o.add("residue", Format("%016llx", static_cast<unsigned long long>(*facts.residue)));
        else o.addNull("residue");
        if (facts.exponent.empty()) o.addNull("exponent");
        else o.add("exponent", facts.exponent);
    }
    WriteJson(N, o, facts.maxError);
}

void ResultLog::BeginCandidate(const ResultNumber& N) {
    timings_.push_back({N, std::chrono::system_clock::now(), std::chrono::steady_clock::now()});
}

void ResultLog::EndCandidate() {
    if (!timings_.empty()) timings_.pop_back();
}

void ResultLog::WriteJson(const ResultNumber& N, JsonObject& o, const std::optional<double>& maxError) {
    const auto wallEnd = std::chrono::system_clock::now();
    const auto end = std::chrono::steady_clock::now();
    auto wallStart = wallEnd;
    auto start = end;
    // The innermost test of this very candidate; a line about a number no
    // handler marked (a direct call) took no measured time.
    for (auto it = timings_.rbegin(); it != timings_.rend(); ++it) {
        if (it->N == N) {
            wallStart = it->wallStart;
            start = it->start;
            break;
        }
    }
    o.add("max_error", maxError)
        .add("version", kProgramVersion)
        .add("kernel", SquaringKernels().name)
        .add("start", IsoUtc(wallStart))
        .add("end", IsoUtc(wallEnd))
        .add("seconds", std::chrono::duration<double>(end - start).count());
    const std::string line = o.text();
    AppendWithRetry(JsonFileName, [&line](const std::filesystem::path& path) { return AppendJsonLine(path, line); });
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
    if (!options_.jsonResults) return;
    JsonObject o = JsonHead(N, "factor");
    o.add("factor", f);
    WriteJson(N, o, std::nullopt);
}

}  // namespace numen
