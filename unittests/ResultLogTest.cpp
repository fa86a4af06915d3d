// ResultLog: the exact text of every result line, where each line goes,
// the "Numen.txt" record with its special forms, the date stamp, LF-only
// storage, the retry of a file that cannot be opened, and the factor check
// (against GMP).
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "ref/TempFolder.h"
#include "arith/ArithmeticFault.h"
#include "report/FactorCheck.h"
#include "report/LineFile.h"
#include "report/RecordingSink.h"
#include "report/ResultLines.h"
#include "report/ResultLog.h"
#include "report/ResultLogTrialReport.h"
#include "report/FormNames.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh folder per test; files never land in the source tree or cwd.
class ResultLogTest : public ::testing::Test {
protected:

    ResultLog MakeLog(OutputOptions options = {}, WallClock clock = {}) {
        return ResultLog(&sink, folder, options, RetryPolicy{std::chrono::milliseconds(0), 3}, std::move(clock));
    }
    std::string Log() const { return ReadFile(folder / "Numen.log"); }
    std::string Results() const { return ReadFile(folder / "Numen.txt"); }

    testing::TempFolder temp;
    const fs::path folder = temp.path();
    RecordingSink sink;
};

// --- line texts ---------------------------------------------------------

TEST_F(ResultLogTest, PrimeLinesCarryBaseParametersAndExactDigitCount) {
    ResultLog log = MakeLog();
    log.AnnouncePrime({5, 2, 3, 1}, 0, 0, false, false);
    log.AnnouncePrime({3, 2, 2, -1}, 0, 0, true, false);     // x = 0: no "verification : "
    log.AnnouncePrime({5, 2, 3, 1}, 3, 0, false, false);
    log.AnnouncePrime({5, 2, 3, 1}, 3, 0, true, false);
    log.AnnouncePrime({3, 2, 2, -1}, 5, 1, false, false);
    log.AnnouncePrime({3, 2, 2, -1}, 5, -1, true, false);
    log.AnnouncePrime({3, 2, 2, -1}, 3, 0, false, false);    // c < 0 always shows P and Q
    log.AnnouncePrime({1, 10, 5, -1}, 0, 0, false, false);   // 99999: just below a power of ten
    log.AnnouncePrime({1, 10, 5, 1}, 0, 0, false, false);
    log.AnnouncePrime({1, 2, 1000, 1}, 0, 0, false, false);  // 2^1000: 302 digits
    const Lines expected = {
        "5*2^3 + 1 is prime! [2 digits]\r\n",
        "3*2^2 - 1 is prime! [2 digits]\r\n",
        "5*2^3 + 1 is prime! (a = 3) [2 digits]\r\n",
        "5*2^3 + 1 is prime! (verification : a = 3) [2 digits]\r\n",
        "3*2^2 - 1 is prime! (P = 5, Q = 1) [2 digits]\r\n",
        "3*2^2 - 1 is prime! (verification : P = 5, Q = -1) [2 digits]\r\n",
        "3*2^2 - 1 is prime! (P = 3, Q = 0) [2 digits]\r\n",
        "1*10^5 - 1 is prime! [5 digits]\r\n",
        "1*10^5 + 1 is prime! [6 digits]\r\n",
        "1*2^1000 + 1 is prime! [302 digits]\r\n",
    };
    EXPECT_EQ(sink.texts(), expected);
    EXPECT_FALSE(fs::exists(folder / "Numen.txt"));  // record flag clear
}

TEST(ResultLogLines, CompositeAndFailedVerification) {
    EXPECT_EQ(CompositeLine({9, 2, 4, 1}, 0, 0, false), "9*2^4 + 1 is composite (square)\r\n");
    EXPECT_EQ(CompositeLine({9, 2, 4, -1}, 0, 0, true), "9*2^4 - 1 is composite (square)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, 1}, 3, 0, false), "7*2^5 + 1 is composite. (a = 3)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, -1}, 3, 2, false), "7*2^5 - 1 is composite. (P = 3, Q = 2)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, -1}, 3, 0, false), "7*2^5 - 1 is composite. (a = 3)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, 1}, 3, 0, true), "7*2^5 + 1 : verification failed !? (a = 3)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, -1}, 3, -2, true), "7*2^5 - 1 : verification failed !? (P = 3, Q = -2)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, -1}, 3, 0, true), "7*2^5 - 1 : verification failed !? (a = 3)\r\n");
    EXPECT_EQ(CompositeLine({7, 2, 5, -2147483647 - 1}, 3, 0, false),
              "7*2^5 - 2147483648 is composite. (a = 3)\r\n");

    EXPECT_EQ(CompositeErrLine({9, 2, 4, 1}, 0, 0, false, 0.25), "9*2^4 + 1 is composite (square)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, 1}, 3, 0, false, 0.25), "7*2^5 + 1 is composite. (a = 3, err = 2.50e-01)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, -1}, 3, 2, false, 3e-5),
              "7*2^5 - 1 is composite. (P = 3, Q = 2, err = 3.00e-05)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, -1}, 3, 0, false, 0.25),
              "7*2^5 - 1 is composite. (a = 3, err = 2.50e-01)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, 1}, 3, 0, true, 0.25),
              "7*2^5 + 1 : verification failed !? (a = 3, err = 2.50e-01)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, -1}, 3, 2, true, 0.25),
              "7*2^5 - 1 : verification failed !? (P = 3, Q = 2, err = 2.50e-01)\r\n");
    EXPECT_EQ(CompositeErrLine({7, 2, 5, -1}, 3, 0, true, 0.25),
              "7*2^5 - 1 : verification failed !? (a = 3, err = 2.50e-01)\r\n");
}

TEST(ResultLogLines, FormNamesAndRecords) {
    struct Case {
        uint32_t k, b, n;
        int32_t c;
        const char* record;
        Lines notes;
    };
    const Case cases[] = {
        {141, 2, 141, 1, "141*2^141+1 Cullen", {" - Cullen (141*2^141 + 1) -"}},
        {1, 2, 1, 1, "2^1+1 Fermat", {" - Fermat (2^1 + 1) -"}},  // K = m = 1 but K <= b
        {3, 2, 2, -1, "3*2^2-1", {}},                            // K = 3 > m = 2 at once
        {5, 2, 3, 3, "5*2^3+3", {}},
        {1, 2, 5, 3, "2^5+3", {}},                               // no Fermat for c = 3
        {1, 2, 7, -1, "2^7-1 Mersenne", {" - Mersenne (2^7 - 1) -"}},
        {1, 10, 4, 1, "10^4+1 Generalized Fermat", {" - Generalized Fermat (10^4 + 1) -"}},
        {1, 3, 5, -1, "3^5-1", {}},
        {3, 2, 3, -1, "3*2^3-1 Woodall", {" - Woodall (3*2^3 - 1) -"}},
        {5, 3, 5, 1, "5*3^5+1 Generalized Cullen", {" - Generalized Cullen (5*3^5 + 1) -"}},
        {5, 3, 5, -1, "5*3^5-1 Generalized Woodall", {" - Generalized Woodall (5*3^5 - 1) -"}},
        {3, 2, 7, 1, "3*2^7+1 Cullen", {" - Cullen (6*2^6 + 1) -"}},  // found at j = 1
        {1, 2, 6, 1, "2^6+1 Fermat Cullen", {" - Fermat (2^6 + 1) -", " - Cullen (4*2^4 + 1) -"}},
        {9, 2, 27, 1, "9*2^27+1 Generalized Cullen", {" - Generalized Cullen (9*(2^3)^9 + 1) -"}},
        {9, 2, 27, -1, "9*2^27-1 Generalized Woodall", {" - Generalized Woodall (9*(2^3)^9 - 1) -"}},
        {9, 2, 36, 1, "9*2^36+1", {}},                            // 2^4 > 9
        {64, 4, 192, 1, "64*4^192+1 Generalized Cullen", {" - Generalized Cullen (64*(4^3)^64 + 1) -"}},
        {2, 2, 2, -1, "2*2^2-1 Generalized Woodall", {" - Generalized Woodall (2*(2^1)^2 - 1) -"}},
        // Largest and degenerate inputs end at once.
        {0, 2, 4000000000u, 1, "0*2^4000000000+1", {}},
        {1, 2, 0, 1, "2^0+1 Fermat", {" - Fermat (2^0 + 1) -"}},
        {4294967295u, 999999, 4294967295u, -1, "4294967295*999999^4294967295-1 Generalized Woodall",
         {" - Generalized Woodall (4294967295*999999^4294967295 - 1) -"}},  // K*b needs 64 bits
        {1, 1, 4000000000u, 1, "1^4000000000+1 Generalized Fermat", {" - Generalized Fermat (1^4000000000 + 1) -"}},
    };
    for (const Case& c : cases) {
        const PrimeRecord r = DescribePrime({c.k, c.b, c.n, c.c});
        EXPECT_EQ(r.record, c.record) << c.k << " " << c.b << " " << c.n << " " << c.c;
        EXPECT_EQ(r.notes, c.notes) << c.record;
    }
}

// --- destinations ---------------------------------------------------------

TEST_F(ResultLogTest, PrimeAnnouncementReachesPaneLogAndResults) {
    ResultLog log = MakeLog();
    log.AnnouncePrime({141, 2, 141, 1}, 3, 0, false, true);
    const std::string line = "141*2^141 + 1 is prime! (a = 3) [45 digits]";
    EXPECT_EQ(sink.texts(), (Lines{line + "\r\n", " - Cullen (141*2^141 + 1) -\r\n"}));
    EXPECT_EQ(Log(), line + "\n - Cullen (141*2^141 + 1) -\n");
    EXPECT_EQ(Results(), "141*2^141+1 Cullen\n");
}

TEST_F(ResultLogTest, VerboseOptionsRouteCompositeAndFactorLines) {
    const char* composite = "7*2^5 + 1 is composite. (a = 3)\r\n";
    for (int screen = 0; screen < 2; ++screen) {
        for (int file = 0; file < 2; ++file) {
            SCOPED_TRACE(::testing::Message() << "screen " << screen << " file " << file);
            fs::remove(folder / "Numen.log");
            sink.clear();
            ResultLog log = MakeLog({screen == 1, file == 1, false});
            log.ReportComposite({7, 2, 5, 1}, 3, 0, false);
            log.ReportFactor({1, 2, 32, 1}, 641);
            const Lines shown = {composite, "1*2^32 + 1 factor : 641\r\n"};
            EXPECT_EQ(sink.texts(), screen ? shown : Lines{});
            EXPECT_EQ(Log(), file ? "7*2^5 + 1 is composite. (a = 3)\n1*2^32 + 1 factor : 641\n" : "");
            // A failed verification and a prime are never optional.
            log.ReportCompositeErr({7, 2, 5, -1}, 3, 2, true, 0.25);
            log.AnnouncePrime({5, 2, 3, 1}, 0, 0, false, false);
            EXPECT_EQ(sink.texts().size(), screen ? 4u : 2u);
            EXPECT_NE(Log().find("verification failed !? (P = 3, Q = 2, err = 2.50e-01)\n5*2^3 + 1 is prime!"),
                      std::string::npos);
            // A square is a composite, even in verification.
            sink.clear();
            log.ReportComposite({9, 2, 4, 1}, 0, 0, true);
            EXPECT_EQ(sink.texts().size(), screen ? 1u : 0u);
        }
    }
}

TEST_F(ResultLogTest, NotesKindsAndMissingWindow) {
    ResultLog log = MakeLog();
    log.ReportNote("2*N+1 is prime too", true);
    log.ReportNote("no record", false);
    log.PostToWindow("123", CurrentN);
    EXPECT_EQ(sink.messages, (std::vector<RecordingSink::Message>{
                                 {0, "2*N+1 is prime too\r\n"}, {0, "no record\r\n"}, {1, "123"}}));
    EXPECT_EQ(Log(), "2*N+1 is prime too\nno record\n");
    EXPECT_EQ(Results(), "2*N+1 is prime too\n");

    ResultLog windowless(nullptr, folder);
    windowless.PrintLine("still logged\r\n");
    EXPECT_EQ(Log(), "2*N+1 is prime too\nno record\nstill logged\n");
}

TEST_F(ResultLogTest, StoredTextHasLfOnly) {
    ResultLog log = MakeLog();
    log.PrintLine("a\r\nb\r\n");
    log.AppendLog("no line end");
    log.AppendResults("r\r\n");
    EXPECT_EQ(Log(), "a\nb\nno line end");
    EXPECT_EQ(Results(), "r\n");
    EXPECT_EQ(StoredText("x\r\r\n\ry"), "x\r\n\ry");
}

TEST_F(ResultLogTest, PrintDateStampsOnlyTheLogFile) {
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    const std::time_t when = 1796602608;  // Mon Dec  7 00:16:48 2026 UTC
    ResultLog log = MakeLog({false, false, true}, [&] { return when; });
    log.AnnouncePrime({5, 2, 3, 1}, 0, 0, false, true);
    EXPECT_EQ(sink.texts(), Lines{"5*2^3 + 1 is prime! [2 digits]\r\n"});
    EXPECT_EQ(Log(), "Mon Dec  7 00:16:48 2026 : 5*2^3 + 1 is prime! [2 digits]\n");
    EXPECT_EQ(Results(), "5*2^3+1\n");
    // The stamp is local time as the C library's asctime writes it, on days
    // of one and two digits.
    setenv("TZ", "XYZ-5:30", 1);
    tzset();
    for (std::time_t t : {std::time_t(0), when + 10 * 86400 + 3600 * 13 + 61, std::time_t(951782400)}) {
        std::tm tm{};
        char buf[64];
        localtime_r(&t, &tm);
        EXPECT_EQ(AsctimeStamp(t) + "\n", asctime_r(&tm, buf));
    }
    if (oldTz) setenv("TZ", savedTz.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

// --- a file that cannot be opened -----------------------------------------

TEST_F(ResultLogTest, UnopenableFilesAreRetriedThenTheUserIsAskedAndNoLineIsLost) {
    for (const char* name : {"Numen.log", "Numen.txt"}) {
        SCOPED_TRACE(name);
        sink.clear();
        fs::remove_all(folder / name);
        fs::create_directory(folder / name);  // blocks the open, also as root
        int asked = 0;
        sink.onBlockingMessage = [&] {
            if (++asked == 2) fs::remove(folder / name);
        };
        ResultLog log(&sink, folder, {}, RetryPolicy{std::chrono::milliseconds(5), 3});
        const auto start = std::chrono::steady_clock::now();
        log.ReportNote("first", true);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
        log.ReportNote("second", true);

        const std::string retry = std::string("Cannot open ") + name + ": retrying...\r\n";
        Lines expected = {"first\r\n"};
        expected.insert(expected.end(), 6, retry);
        expected.push_back("second\r\n");
        EXPECT_EQ(sink.texts(), expected);
        const std::string asking = std::string("Cannot open the file \"") + name + "\".";
        EXPECT_EQ(sink.blockingMessages, (Lines{asking, asking}));
        EXPECT_EQ(ReadFile(folder / name), "first\nsecond\n");
        sink.onBlockingMessage = nullptr;
    }
}

// A stopped run gives a file it cannot open up after one attempt, with a
// line saying so, instead of holding the stop up for ever.
TEST_F(ResultLogTest, AStopEndsTheRetries) {
    fs::remove_all(folder / "Numen.txt");
    fs::create_directory(folder / "Numen.txt");
    std::atomic<bool> running{true};
    sink.onBlockingMessage = [&] { running = false; };
    ResultLog log(&sink, folder, {}, RetryPolicy{std::chrono::milliseconds(1), 2});
    log.setRunningFlag(&running);
    log.ReportNote("kept in the pane", true);
    EXPECT_EQ(sink.blockingMessages.size(), 1u);
    const Lines expected = {"kept in the pane\r\n", "Cannot open Numen.txt: retrying...\r\n",
                            "Cannot open Numen.txt: retrying...\r\n",
                            "Cannot open Numen.txt: line not written (run stopped).\r\n"};
    EXPECT_EQ(sink.texts(), expected);
    sink.onBlockingMessage = nullptr;
    fs::remove_all(folder / "Numen.txt");
}

// --- factors -----------------------------------------------------------------

TEST_F(ResultLogTest, FactorsAreCheckedExactly) {
    ResultLog log = MakeLog({true, true, false});
    log.ReportFactor({1, 2, 64, 1}, 274177);        // 2^64 + 1 = 274177 * 67280421310721
    log.ReportFactor({1, 2, 11, -1}, 89);           // 2047 = 23 * 89
    log.ReportFactor({1, 2, 64, 1}, 67280421310721);
    EXPECT_EQ(sink.texts(), (Lines{"1*2^64 + 1 factor : 274177\r\n", "1*2^11 - 1 factor : 89\r\n",
                                   "1*2^64 + 1 factor : 67280421310721\r\n"}));
    sink.clear();
    log.ReportFactor({1, 2, 11, -1}, 29);  // the ERROR line prints c signed
    EXPECT_EQ(sink.messages, (std::vector<RecordingSink::Message>{{0, "1*2^11 + -1 factor : 29 ERROR\r\n"},
                                                                  {0, "cestfini"}}));
    sink.clear();
    log.setOptions({});
    log.ReportFactor({1, 2, 32, 1}, 643);  // ERROR even with verbose off
    log.ReportFactor({1, 2, 1, 1}, 3);     // f = N: a prime announcement with its record
    log.ReportFactor({5, 2, 3, 1}, 41);
    EXPECT_EQ(sink.texts(), (Lines{"1*2^32 + 1 factor : 643 ERROR\r\n", "cestfini",
                                   "1*2^1 + 1 is prime! [1 digits]\r\n", " - Fermat (2^1 + 1) -\r\n",
                                   "5*2^3 + 1 is prime! [2 digits]\r\n"}));
    EXPECT_EQ(Results(), "2^1+1 Fermat\n5*2^3+1\n");
    EXPECT_THROW(CandidateResidue({1, 2, 3, 1}, 0), ArithmeticFault);
}

// --- trial division's reports ---------------------------------------------

TEST_F(ResultLogTest, TrialReportsPrintWhatTheLogItselfPrints) {
    ResultLog log = MakeLog({true, true, false});
    ResultLogTrialReport report(log);
    report.divisionStarted({432711, 2, 43271, 1}, 234009568);
    report.divisionStarted({5, 7, 200, -1}, 0);
    report.divisionStarted({3, 2, 40, -2147483647 - 1}, uint64_t(1) << 60);
    report.gfnDivisionStarted(2, 64, 75638, 128);
    report.gfnDivisionStarted(999998, 1u << 23, 137438953, uint64_t(1) << 24);
    EXPECT_EQ(sink.messages, (std::vector<RecordingSink::Message>{
                                 {0, "432711*2^43271 + 1 ? Trial division up to 234009568"},
                                 {0, "5*7^200 - 1 ? Trial division up to 0"},
                                 {0, "3*2^40 - 2147483648 ? Trial division up to 1152921504606846976"},
                                 {0, "2^64 + 1 ? Trial division up to 75638*128 + 1"},
                                 {0, "999998^8388608 + 1 ? Trial division up to 137438953*16777216 + 1"}}));
    EXPECT_EQ(Log(), "");  // progress stays in the pane

    // A factor takes ReportFactor's road in every case: true (verbose), N
    // itself (a prime with its record), false (ERROR and the end of the run).
    const std::pair<Candidate, uint64_t> factors[] = {
        {{1, 2, 64, 1}, 274177}, {{1, 2, 3, -1}, 7}, {{1, 10, 6, -1}, 7}, {{1, 2, 11, -1}, 29}};
    testing::TempFolder directFolder;
    RecordingSink directSink;
    ResultLog direct(&directSink, directFolder.path(), {true, true, false});
    sink.clear();
    for (const auto& [N, f] : factors) {
        report.factorFound(N, f);
        direct.ReportFactor(N, f);
    }
    EXPECT_EQ(sink.messages, directSink.messages);
    EXPECT_EQ(sink.texts().size(), 7u);  // 1 + (prime, two notes) + 1 + (ERROR, cestfini)
    EXPECT_EQ(Log(), ReadFile(directFolder.path() / "Numen.log"));
    EXPECT_EQ(Results(), "2^3-1 Mersenne Generalized Woodall\n");
    EXPECT_EQ(Results(), ReadFile(directFolder.path() / "Numen.txt"));
}

TEST(ResultLogFactorCheck, ResidueAndEqualityAgreeWithGmp) {
    std::mt19937_64 rng(20261207);
    const int32_t offsets[] = {1, -1, 3, -3, 2147483647, -2147483647 - 1};
    mpz_t N, F, R;
    mpz_inits(N, F, R, nullptr);
    for (int i = 0; i < 2000; ++i) {
        const uint32_t k = i % 7 == 0 ? 0xFFFFFFFFu : uint32_t(rng()) >> (rng() % 32);
        const uint32_t b = 2 + uint32_t(rng() % (i % 3 == 0 ? 999998 : 30));
        const uint32_t n = uint32_t(rng() % (i % 5 == 0 ? 300 : 64));
        const int32_t c = i % 4 == 0 ? int32_t(rng()) : offsets[rng() % 6];
        const int fbits = 1 + int(rng() % 63);
        uint64_t f = (rng() >> (64 - fbits)) | 1;
        if (i % 11 == 0) f = (uint64_t(1) << 63) - 1;
        mpz_ui_pow_ui(N, b, n);
        mpz_mul_ui(N, N, k);
        c >= 0 ? mpz_add_ui(N, N, uint32_t(c)) : mpz_sub_ui(N, N, uint32_t(0) - uint32_t(c));
        mpz_import(F, 1, -1, sizeof f, 0, 0, &f);
        mpz_mod(R, N, F);
        const uint64_t got = CandidateResidue({k, b, n, c}, f);
        ASSERT_EQ(mpz_cmp_ui(R, got), 0) << "seed 20261207 i=" << i << " k=" << k << " b=" << b << " n=" << n
                                         << " c=" << c << " f=" << f;
        ASSERT_EQ(CandidateEquals({k, b, n, c}, f), mpz_cmp(N, F) == 0) << "i=" << i;
        // N itself, when it fits, is found equal.
        if (mpz_sgn(N) > 0 && mpz_sizeinbase(N, 2) <= 63) {
            uint64_t v = 0;
            mpz_export(&v, nullptr, -1, sizeof v, 0, 0, N);
            ASSERT_TRUE(CandidateEquals({k, b, n, c}, v)) << "i=" << i;
            ASSERT_EQ(CandidateResidue({k, b, n, c}, v), 0u);
        }
    }
    mpz_clears(N, F, R, nullptr);
}

}  // namespace
}  // namespace numen
