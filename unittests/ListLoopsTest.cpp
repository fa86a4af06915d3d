// File mode and Verifier mode: the lines they read and pass over, the list
// line, the ways a run ends, the forced Use16bitBRT, the sieve headers that
// refuse a list; recording handlers for the order of calls, the real
// handlers with GMP for the verdicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ref/SlotHandlers.h"
#include "arith/ArithmeticFault.h"
#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "search/CandidateHandlers.h"
#include "search/ListLine.h"
#include "search/ListLoops.h"
#include "shell/RunControl.h"

namespace numen {

void PrintTo(const ListedNumber& v, std::ostream* os) {
    *os << v.k << "*" << v.b << "^" << v.n << (v.plus ? "+1" : "-1");
}

namespace {

using testing::GmpPrime;

// One call of a handler, with what the job said at that moment.
struct Call {
    char slot;  // p m P M g a: +1 and -1 base 2, +1 and -1 other bases, GFN, Any
    uint32_t k, n, depth;
    bool verify;
    uint32_t base;
    bool use16bitBRT;
    int32_t listLine;
    bool operator==(const Call&) const = default;
};

struct ListRun {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    std::vector<Call> calls;
    // Return false to play a stop, or throw to play an arithmetic failure.
    std::function<bool(const Call&)> onCall = [](const Call&) { return true; };
    std::unique_ptr<SearchRun> run;

    ListRun() {
        job.listFile = "list.txt";
        job.running = true;
    }
    void list(const std::string& text) const { folder.write("list.txt", text); }

    CandidateHandler recorder(char slot) {
        return [this, slot](uint32_t k, uint32_t n, uint32_t depth, bool verify) {
            calls.push_back({slot, k, n, depth, verify, job.base, job.options.use16bitBRT, job.listLine.load()});
            return onCall(calls.back());
        };
    }
    SearchRun& make() {
        run = std::make_unique<SearchRun>(
            SearchRun{job, log, testing::SlotHandlers([this](char slot) { return recorder(slot); }), {}, {}});
        return *run;
    }
    SearchRun& makeReal() {
        run = std::make_unique<SearchRun>(SearchRun{job, log, {}, {}, {}});
        run->handlers = SearchHandlers(*run);
        return *run;
    }
    void file() { FileLoop(make()); }
    void verifier() { VerifierLoop(make()); }

    std::vector<std::string> pane() const { return sink.texts(PaneText); }
    size_t listLinePosts() const { return sink.texts(ListLineChanged).size(); }
    std::vector<std::pair<uint32_t, uint32_t>> pairs() const {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const Call& c : calls) out.emplace_back(c.k, c.n);
        return out;
    }
    bool paneHas(const std::string& start) const {
        const auto lines = pane();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); });
    }
};

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;
using Lines = std::vector<std::string>;

// ---- Reading the list ----

std::vector<std::string> ReadAll(const testing::TempFolder& folder, const std::string& text) {
    folder.write("lines.txt", text);
    std::FILE* f = std::fopen((folder / "lines.txt").c_str(), "rb");
    ListLineReader reader(f);
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) lines.push_back(line);
    std::fclose(f);
    return lines;
}

TEST(ListLineReader, LinesLongerThan131CharactersAreSeveralLines) {
    testing::TempFolder folder;
    const std::string a131(131, 'a'), b131(131, 'b');
    EXPECT_EQ(ReadAll(folder, ""), Lines{});
    EXPECT_EQ(ReadAll(folder, "1 2\n\n3 4"), (Lines{"1 2", "", "3 4"}));
    EXPECT_EQ(ReadAll(folder, "1 2\r\n3 4\r\n"), (Lines{"1 2", "3 4"}));
    // Exactly 131 characters is one line, whatever its end; one more makes two.
    EXPECT_EQ(ReadAll(folder, a131 + "\n5 6\n"), (Lines{a131, "5 6"}));
    EXPECT_EQ(ReadAll(folder, a131 + "\r\n5 6\n"), (Lines{a131, "5 6"}));
    EXPECT_EQ(ReadAll(folder, a131 + "x\n"), (Lines{a131, "x"}));
    EXPECT_EQ(ReadAll(folder, a131 + b131 + "7 8\n9"), (Lines{a131, b131, "7 8", "9"}));
    EXPECT_EQ(ReadAll(folder, a131.substr(1) + "\r\n"), (Lines{a131.substr(1)}));
    // A CR that does not end the line stays, also across a split.
    EXPECT_EQ(ReadAll(folder, a131 + "\rz\n"), (Lines{a131, "\rz"}));
    EXPECT_EQ(ReadAll(folder, "1\r2\n"), (Lines{"1\r2"}));
    // A byte order mark is no part of the first line; the start of one is.
    EXPECT_EQ(ReadAll(folder, "\xEF\xBB\xBF" "3 10\n5 10\n"), (Lines{"3 10", "5 10"}));
    EXPECT_EQ(ReadAll(folder, "\xEF\xBB" "3\n"), (Lines{"\xEF\xBB" "3"}));
    EXPECT_EQ(ReadAll(folder, "\xEF"), (Lines{"\xEF"}));
    EXPECT_EQ(ReadAll(folder, "\xEF\xBB\xBF"), Lines{});
    const std::string split = std::string("\xEF\xBB") + std::string(129, 'c') + "\rd\n";
    EXPECT_EQ(ReadAll(folder, split), (Lines{split.substr(0, 131), "\rd"}));
}

TEST(ListLines, FileLineCandidates) {
    uint32_t k = 0, n = 0;
    EXPECT_TRUE(ReadFileLine("15 100 anything after", PlusOneForm, 2, k, n));
    EXPECT_EQ(k, 15u);
    EXPECT_EQ(n, 100u);
    EXPECT_TRUE(ReadFileLine("  7\t20", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("15 1", PlusOneForm, 2, k, n));    // n < 2
    EXPECT_FALSE(ReadFileLine("0 100", PlusOneForm, 2, k, n));   // k = 0
    EXPECT_FALSE(ReadFileLine("15", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("k n", PlusOneForm, 2, k, n));
    // k above 2^31 - 1 only with base 2.
    EXPECT_FALSE(ReadFileLine("3000000000 50", PlusOneForm, 10, k, n));
    EXPECT_TRUE(ReadFileLine("3000000000 50", PlusOneForm, 2, k, n));
    EXPECT_TRUE(ReadFileLine("2147483647 50", MinusOneForm, 10, k, n));
    // The exponent limits of the form and base.
    EXPECT_TRUE(ReadFileLine("3 33554400", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("3 33554401", PlusOneForm, 2, k, n));
    EXPECT_TRUE(ReadFileLine("4 8388608", GfnForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("4 8388609", GfnForm, 2, k, n));
    EXPECT_TRUE(ReadFileLine("4 6291424", PlusOneForm, 10, k, n));   // 6 * 2^20 - 32
    EXPECT_FALSE(ReadFileLine("4 6291425", PlusOneForm, 10, k, n));
    // A sign or a number past 32 bits would be scanned as another number.
    EXPECT_FALSE(ReadFileLine("-3 100", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("3 -100", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("4294967297 100", PlusOneForm, 2, k, n));
    EXPECT_FALSE(ReadFileLine("3 4294967298", AnyForm, 2, k, n));
    EXPECT_TRUE(ReadFileLine("4294967295 100", PlusOneForm, 2, k, n));
}

ListedNumber Listed(uint32_t k, uint32_t b, uint32_t n, bool plus) { return {k, b, n, plus}; }

TEST(ListLines, VerifierLinesInTheFourShapes) {
    ListedNumber v;
    ASSERT_TRUE(ReadVerifierLine("123 5*2^10-1 4 2005 Someone", v));
    EXPECT_EQ(v, Listed(5, 2, 10, false));
    // Marker after the rank; shapes 1 to 3 fail, 4 reads 3^27-1.
    ASSERT_TRUE(ReadVerifierLine("77a 3^27-1 13 2005", v));
    EXPECT_EQ(v, Listed(1, 3, 27, false));
    ASSERT_TRUE(ReadVerifierLine("5 2^127-1", v));
    EXPECT_EQ(v, Listed(1, 2, 127, false));
    ASSERT_TRUE(ReadVerifierLine("9c 7*10^35+1 36", v));
    EXPECT_EQ(v, Listed(7, 10, 35, true));
    ASSERT_TRUE(ReadVerifierLine("11 3000000000*2^5+1", v));  // any 32-bit k with base 2
    EXPECT_EQ(v, Listed(3000000000u, 2, 5, true));
    // A big generalized-Fermat base within the transform's reach at n.
    ASSERT_TRUE(ReadVerifierLine("3 1000002^1024+1", v));
    EXPECT_EQ(v, Listed(1, 1000002, 1024, true));
    // Above it, up to 2^23, the proof's radix run takes it (the self-test's
    // own 4002226^2048 + 1 is one).
    ASSERT_TRUE(ReadVerifierLine("27 4002226^2048+1 13522", v));
    EXPECT_EQ(v, Listed(1, 4002226, 2048, true));

    for (const char* line : {
             "1 7*2^20+3",               // c must be 1
             "1 7*2^20/1",               // last sign
             "1 7+2^20+1",               // first sign
             "1 0*2^20+1",               // k = 0
             "1 3000000000*10^5+1",      // k past 2^31 - 1 with b != 2
             "1 5000000000*2^10-1",      // past 32 bits
             "1 -5*2^10-1",              // negative
             "1 5*1^10-1", "1 5*0^10-1",  // no base
             "1 5*2^33554401-1",          // past the limit of base 2
             "1 5*1000003^10+1",         // base past 999,999
             "1 1000002^1000+1",         // not a power of two: radix of a too large base
             "1 8388610^1024+1",         // past the radix run's reach for b^n + 1
             "1 5*2*10-1",               // no "^" after b
             "just words", "", "12",
         }) {
        EXPECT_FALSE(ReadVerifierLine(line, v)) << line;
    }
}

// ---- File mode ----

TEST(FileMode, TestsEachPairInOrderAndCountsEveryLine) {
    ListRun r;
    r.list("5 10\n15 1\n0 100\nnot a pair\n\n7 20\n9 30 trailing words\n");
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{5, 10}, {7, 20}, {9, 30}}));
    for (const Call& c : r.calls) {
        EXPECT_EQ(c.slot, 'p');
        EXPECT_EQ(c.depth, 0u);
        EXPECT_TRUE(c.verify);
    }
    // The list line is the count of lines finished before the call.
    EXPECT_EQ(r.calls[0].listLine, 0);
    EXPECT_EQ(r.calls[1].listLine, 5);
    EXPECT_EQ(r.job.listLine.load(), 7);
    EXPECT_EQ(r.listLinePosts(), 7u);
    EXPECT_EQ(r.pane(), (Lines{"Start: Test of file \"list.txt\" at line 0, k*2^n+1.\r\n", "5 10\r\n", "Done.\r\n",
                               std::string(RunEndedText)}));
    EXPECT_EQ(r.folder.read("Numen.log"), "Start: Test of file \"list.txt\" at line 0, k*2^n+1.\n5 10\nDone.\n");
}

TEST(FileMode, ContinueSkipsTheFinishedLinesUnread) {
    ListRun r;
    r.job.continueRun = true;
    r.job.listLine = 3;
    r.job.testForm = MinusOneForm;
    r.job.base = 10;
    r.list("3 10\n5 10\n7 10\n9 10\n11 10\n");
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{9, 10}, {11, 10}}));
    EXPECT_EQ(r.calls[0].slot, 'M');
    EXPECT_EQ(r.job.listLine.load(), 5);
    EXPECT_EQ(r.pane(), (Lines{"Continue: Test of file \"list.txt\" at line 3, k*10^n-1.\r\n", "9 10\r\n", "Done.\r\n",
                               std::string(RunEndedText)}));

    // Without Range Info: neither the opening line nor the first pair.
    ListRun quiet;
    quiet.job.rangeInfo = false;
    quiet.list("3 10\n");
    quiet.file();
    EXPECT_EQ(quiet.pane(), (Lines{"Done.\r\n", std::string(RunEndedText)}));
}

TEST(FileMode, KAboveTheSignedLimitIsTestedOnlyWithBase2) {
    ListRun base10;
    base10.job.base = 10;
    base10.list("3000000000 50\n11 50\n");
    base10.file();
    EXPECT_EQ(base10.pairs(), (Pairs{{11, 50}}));
    EXPECT_EQ(base10.job.listLine.load(), 2);

    ListRun base2;
    base2.list("3000000000 50\n11 50\n");
    base2.file();
    EXPECT_EQ(base2.pairs(), (Pairs{{3000000000u, 50}, {11, 50}}));
}

TEST(FileMode, LongLinesAreCountedAsSeveralLines) {
    ListRun r;
    const std::string full(131, 'x');
    // Physical lines: 300 characters (3 lines, the second a pair), one of
    // exactly 131 characters ending in CR LF (1 line), then a pair.
    const std::string second = "7 12" + std::string(127, ' ');
    r.list(full + second + "zzz\n" + "9 14" + std::string(127, ' ') + "\r\n" + "5 10\n");
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{7, 12}, {9, 14}, {5, 10}}));
    EXPECT_EQ(r.calls[0].listLine, 1);
    EXPECT_EQ(r.calls[1].listLine, 3);
    EXPECT_EQ(r.calls[2].listLine, 4);
    EXPECT_EQ(r.job.listLine.load(), 5);

    // Continue at line 4 lands on the last pair.
    ListRun again;
    again.job.continueRun = true;
    again.job.listLine = 4;
    again.list(r.folder.read("list.txt"));
    again.file();
    EXPECT_EQ(again.pairs(), (Pairs{{5, 10}}));
}

TEST(FileMode, AStopLeavesTheListLineOnTheInterruptedLine) {
    ListRun r;
    r.list("3 10\n5 10\n7 10\n9 10\n");
    r.onCall = [](const Call& c) { return c.k != 7; };
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{3, 10}, {5, 10}, {7, 10}}));
    EXPECT_EQ(r.job.listLine.load(), 2);
    EXPECT_EQ(r.listLinePosts(), 2u);
    // No Stop line, no Done line, no "cestfini".
    EXPECT_EQ(r.pane(), (Lines{"Start: Test of file \"list.txt\" at line 0, k*2^n+1.\r\n", "3 10\r\n"}));

    // Continue tests the interrupted line again.
    ListRun resumed;
    resumed.job.continueRun = true;
    resumed.job.listLine = r.job.listLine.load();
    resumed.list("3 10\n5 10\n7 10\n9 10\n");
    resumed.file();
    EXPECT_EQ(resumed.pairs(), (Pairs{{7, 10}, {9, 10}}));
    EXPECT_EQ(resumed.job.listLine.load(), 4);
}

TEST(FileMode, AnArithmeticFailureEndsTheRunWithTheErrorLine) {
    ListRun r;
    r.list("3 10\n5 10\n");
    r.onCall = [](const Call&) -> bool { throw ArithmeticFault("checksum"); };
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{3, 10}}));
    EXPECT_EQ(r.job.listLine.load(), 0);
    const Lines pane = r.pane();
    ASSERT_GE(pane.size(), 2u);
    EXPECT_EQ(pane[pane.size() - 2], "Error!!! (rounding or checksum or not enough memory.)\r\n");
    EXPECT_EQ(pane.back(), RunEndedText);
}

TEST(ListModes, AListThatCannotBeOpenedEndsTheRunAtOnce) {
    for (const bool verifier : {false, true}) {
        for (const std::string name : {"missing.txt", "folder", ""}) {
            ListRun r;
            std::filesystem::create_directory(r.folder / "folder");
            r.job.listFile = name;
            verifier ? r.verifier() : r.file();
            const std::string line = "Cannot open \"" + name + "\".\r\n";
            EXPECT_EQ(r.pane(), (Lines{line, std::string(RunEndedText)})) << name;
            EXPECT_TRUE(IsListRefusal(line));
            EXPECT_TRUE(r.calls.empty());
            EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.log"));  // pane only
        }
    }
}

TEST(ListModes, AnAbsoluteListNameIsTakenAsItIs) {
    ListRun r;
    testing::TempFolder elsewhere;
    elsewhere.write("pairs.txt", "3 10\n");
    r.job.listFile = (elsewhere / "pairs.txt").string();
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{3, 10}}));
}

// ---- Sieve headers in File mode ----

TEST(FileModeHeaders, AnAgreeingHeaderIsPassedOverAndCounted) {
    struct Case {
        const char* header;
        int form;
        uint32_t base;
    };
    for (const Case& c : {Case{"1000000000:P:1:2:257", PlusOneForm, 2}, Case{"1000000000:M:1:2:258", MinusOneForm, 2},
                          Case{"ABC $a*3^$b+1 // sieved to 1e9", PlusOneForm, 3},
                          Case{"ABC $a*10^$b-1", MinusOneForm, 10}, Case{"ABC $a^$b+1", GfnForm, 7}}) {
        ListRun r;
        r.job.testForm = c.form;
        r.job.base = c.base;
        r.list(std::string(c.header) + "\r\n4 16\n");
        r.file();
        EXPECT_EQ(r.pairs(), (Pairs{{4, 16}})) << c.header;
        EXPECT_EQ(r.job.listLine.load(), 2) << c.header;
        EXPECT_EQ(r.pane().back(), RunEndedText);
    }
}

TEST(FileModeHeaders, ADisagreeingHeaderRefusesTheList) {
    struct Case {
        const char* header;
        int form;
        uint32_t base;
        const char* line;
    };
    const Case cases[] = {
        {"1000000000:P:1:2:257", MinusOneForm, 2,
         "The list \"list.txt\" holds k*2^n+1 numbers, not k*2^n-1: not started.\r\n"},
        {"1000000000:P:1:3:257", PlusOneForm, 2,
         "The list \"list.txt\" holds k*3^n+1 numbers, not k*2^n+1: not started.\r\n"},
        {"ABC $a*3^$b+1", PlusOneForm, 5, "The list \"list.txt\" holds k*3^n+1 numbers, not k*5^n+1: not started.\r\n"},
        {"ABC $a*2^$b+1", GfnForm, 2, "The list \"list.txt\" holds k*2^n+1 numbers, not k^n+1: not started.\r\n"},
        {"ABC $a^$b+1", PlusOneForm, 2, "The list \"list.txt\" holds k^n+1 numbers, not k*2^n+1: not started.\r\n"},
        {"ABC $a*$b^$c-1", MinusOneForm, 2,
         "The list \"list.txt\" holds $a*$b^$c-1 numbers, not \"k n\" pairs of k*2^n-1: not started.\r\n"},
        {"ABC $b*2^$a+1", PlusOneForm, 2,
         "The list \"list.txt\" holds $b*2^$a+1 numbers, not \"k n\" pairs of k*2^n+1: not started.\r\n"},
        {"ABCD $a*2^$b+1 [3 100]", PlusOneForm, 2,
         "The list \"list.txt\" holds numbers in the ABCD format, not \"k n\" pairs of k*2^n+1: not started.\r\n"},
        {"1000000000:T:1:2:260", PlusOneForm, 2,
         "The list \"list.txt\" holds numbers of sieve mode 260, not \"k n\" pairs of k*2^n+1: not started.\r\n"},
        {"1000000000:P:1:2:257", AnyForm, 2,
         "The list \"list.txt\" holds k*2^n+1 numbers, not cyclotomic values: not started.\r\n"},
    };
    for (const Case& c : cases) {
        ListRun r;
        r.job.testForm = c.form;
        r.job.base = c.base;
        r.job.continueRun = true;
        r.job.listLine = 1;  // the header is checked however far the list went
        r.list(std::string(c.header) + "\n3 100\n");
        r.file();
        EXPECT_TRUE(r.calls.empty()) << c.header;
        EXPECT_EQ(r.pane(), (Lines{c.line, std::string(RunEndedText)})) << c.header;
        EXPECT_EQ(r.folder.read("Numen.log"), std::string(c.line, std::strlen(c.line) - 2) + "\n");
        EXPECT_TRUE(IsListRefusal(c.line)) << c.line;
        EXPECT_EQ(r.job.listLine.load(), 1);
    }
    EXPECT_FALSE(IsListRefusal("Done.\r\n"));
    EXPECT_FALSE(IsListRefusal("3*2^10 + 1 is prime! [4 digits]\r\n"));
}

TEST(FileModeHeaders, OnlyTheFirstLineCanBeAHeader) {
    ListRun r;
    r.list("3 10\n1000000000:P:1:3:257\nABC $a*$b^$c-1\n5 10\n");
    r.file();
    EXPECT_EQ(r.pairs(), (Pairs{{3, 10}, {5, 10}}));
    EXPECT_EQ(r.job.listLine.load(), 4);
}

// ---- Verifier mode ----

TEST(VerifierMode, EachNumberGoesStraightToTheProofOfItsForm) {
    ListRun r;
    r.job.base = 7;
    r.job.rangeInfo = false;  // the Start line is printed all the same
    r.list(
        "123 5*2^10-1 4 2005 Someone\n"
        "77a 3^27-1 13 2005\n"
        "5 7*2^20+3 7\n"
        "6 3*10^5+1 6\n"
        "7 12^8+1 9\n"
        "8 2^127-1 39\n"
        "9 5*2^10/1\n"
        "10 3000000000*10^5+1\n"
        "11 3000000000*2^5+1\n"
        "12 9*6^4-1\n");
    r.verifier();
    const std::vector<Call> want = {
        {'m', 5, 10, 0, false, 7, true, 0},         {'M', 1, 27, 0, false, 3, true, 0},
        {'P', 3, 5, 0, false, 10, true, 0},         {'g', 12, 8, 0, false, 10, true, 0},
        {'m', 1, 127, 0, false, 10, true, 0},       {'p', 3000000000u, 5, 0, false, 10, true, 0},
        {'M', 9, 4, 0, false, 6, true, 0},
    };
    EXPECT_EQ(r.calls, want);
    EXPECT_EQ(r.job.base, 6u);  // the last line's base stays
    EXPECT_FALSE(r.job.options.use16bitBRT);
    EXPECT_EQ(r.listLinePosts(), 0u);
    EXPECT_EQ(r.pane(), (Lines{"Start: Verification of \"list.txt\".\r\n", "Done.\r\n", std::string(RunEndedText)}));
}

TEST(VerifierMode, Use16bitBRTIsRestoredOnEveryWayOut) {
    for (const bool before : {false, true}) {
        ListRun ended;
        ended.job.options.use16bitBRT = before;
        ended.list("1 5*2^10-1\n");
        ended.verifier();
        EXPECT_TRUE(ended.calls.at(0).use16bitBRT);
        EXPECT_EQ(ended.job.options.use16bitBRT, before);

        ListRun stopped;
        stopped.job.options.use16bitBRT = before;
        stopped.list("1 5*2^10-1\n2 7*2^10-1\n3 9*2^10-1\n");
        stopped.onCall = [](const Call& c) { return c.k != 7; };
        stopped.verifier();
        EXPECT_EQ(stopped.pairs(), (Pairs{{5, 10}, {7, 10}}));
        EXPECT_EQ(stopped.job.options.use16bitBRT, before);
        EXPECT_EQ(stopped.pane(), (Lines{"Start: Verification of \"list.txt\".\r\n"}));  // no Done, no "cestfini"

        ListRun failed;
        failed.job.options.use16bitBRT = before;
        failed.list("1 5*2^10-1\n");
        failed.onCall = [](const Call&) -> bool { throw ArithmeticFault("checksum"); };
        failed.verifier();
        EXPECT_EQ(failed.job.options.use16bitBRT, before);
        EXPECT_EQ(failed.pane().back(), RunEndedText);
    }
}

TEST(VerifierMode, ARunNeverResumesACheckpoint) {
    ListRun r;
    r.folder.write("Numen.dta", "stale record");
    r.folder.write("Numen.dtf", "stale state");
    r.list("1 5*2^10-1\n");
    r.verifier();
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.dta"));
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.dtf"));
}

// ---- The real handlers ----

std::string PrimeStart(const Candidate& N) {
    return std::to_string(N.k) + "*" + std::to_string(N.b) + "^" + std::to_string(N.n) + (N.c > 0 ? " + 1" : " - 1") +
           " is prime!";
}

TEST(ListModesWithTheHandlers, FileRunFindsThePrimesGmpFinds) {
    ListRun r;
    std::string list = "1000000000:P:1:2:257\n";
    std::vector<Candidate> pairs;
    for (uint32_t k = 3; k <= 31; k += 2)
        for (uint32_t n = 30; n <= 45; ++n) pairs.push_back({k, 2, n, 1});
    for (const Candidate& N : pairs) list += std::to_string(N.k) + " " + std::to_string(N.n) + "\n";
    r.list(list);
    FileLoop(r.makeReal());
    int primes = 0;
    for (const Candidate& N : pairs) {
        EXPECT_EQ(r.paneHas(PrimeStart(N)), GmpPrime(N)) << N.k << "*2^" << N.n << "+1";
        primes += GmpPrime(N);
    }
    EXPECT_EQ(primes, 16);
    EXPECT_EQ(r.job.listLine.load(), int32_t(pairs.size() + 1));
    EXPECT_EQ(r.pane().back(), RunEndedText);
    EXPECT_TRUE(r.paneHas("Done.\r\n"));
}

TEST(ListModesWithTheHandlers, VerifierRunProvesTheListedPrimes) {
    const std::vector<Candidate> primes = {{5, 2, 10, -1}, {1, 2, 127, -1}, {3, 2, 18, 1},  {6, 10, 20, 1},
                                           {21, 10, 20, -1}, {1, 30, 32, 1}, {2, 3, 20, -1}};
    for (const Candidate& N : primes) ASSERT_TRUE(GmpPrime(N)) << N.k << "*" << N.b << "^" << N.n;
    const Candidate composite{7, 2, 10, -1};
    ASSERT_FALSE(GmpPrime(composite));
    ListRun r;
    r.list(
        "1 5*2^10-1 4 2005\n"
        "2 2^127-1 39\n"
        "3 3*2^18+1 6\n"
        "4 6*10^20+1 22\n"
        "5 21*10^20-1 22\n"
        "6 30^32+1 48\n"
        "7a 2*3^20-1 10\n"
        "8 7*2^10-1 4\n");
    VerifierLoop(r.makeReal());
    for (const Candidate& N : primes) EXPECT_TRUE(r.paneHas(PrimeStart(N))) << PrimeStart(N);
    EXPECT_FALSE(r.paneHas(PrimeStart(composite)));
    EXPECT_EQ(r.pane().front(), "Start: Verification of \"list.txt\".\r\n");
    EXPECT_EQ(r.pane().back(), RunEndedText);
    EXPECT_TRUE(r.paneHas("Done.\r\n"));
}

// The forced Use16bitBRT reaches the proofs even though the handlers were
// made before the run: with a radix of 65536 or more the proof is then
// independent of the probable-prime stage and says so.
TEST(ListModesWithTheHandlers, TheForcedUse16bitBRTReachesTheProof) {
    uint32_t k = 2;
    while (!GmpPrime({k, 999983, 40, 1})) ++k;
    const Candidate N{k, 999983, 40, 1};
    ListRun r;
    r.list("1 " + std::to_string(k) + "*999983^40+1\n");
    VerifierLoop(r.makeReal());
    const Lines pane = r.pane();
    const auto line = std::find_if(pane.begin(), pane.end(), [&](const std::string& l) { return l.starts_with(PrimeStart(N)); });
    ASSERT_NE(line, pane.end());
    EXPECT_NE(line->find("(verification : a = "), std::string::npos) << *line;
    EXPECT_FALSE(r.job.options.use16bitBRT);
}

// ---- Through the worker of the front ends ----

class SilentOutput final : public RunOutput {
public:
    void showPaneText(std::string_view) override {}
    void showBlockingMessage(std::string_view, const std::atomic<bool>&) override {}
};

// The list line reaches "Numen.ini" line by line, and a refused list ends
// the run as a refusal, not as a finished list.
TEST(ListModesWithTheHandlers, RunControlStoresTheListLineAndTellsARefusal) {
    testing::TempFolder folder;
    IniFile ini(folder.path());
    SilentOutput output;
    Settings s;
    s.Mode1 = FileMode;
    s.Mode2 = PlusOneForm;
    s.Base = 2;
    s.VerifierFilename = "list.txt";
    s.WThreadPriority = 1;
    struct Case {
        int mode;
        std::string list;
        RunEnd end;
        int32_t fileLine;
    };
    for (const Case& c : {Case{FileMode, "3 10\nx\n5 10\n", RunEnd::ByItself, 3},
                          Case{FileMode, "ABC $a*3^$b+1\n3 10\n", RunEnd::ListRefused, 0},
                          Case{VerifierMode, "1 5*2^10-1\n", RunEnd::ByItself, 0},
                          Case{VerifierMode, "", RunEnd::ListRefused, 0}}) {
        if (c.list.empty())
            std::filesystem::remove(folder / "list.txt");
        else
            folder.write("list.txt", c.list);
        s.Mode1 = c.mode;
        RunControl control(folder.path(), s, output);
        ASSERT_EQ(control.StartRun(false), StartResult::Started);
        control.Wait();
        EXPECT_EQ(control.LastEnd(), c.end) << c.list;
        EXPECT_EQ(ReadSettings(ini).FileLine, c.fileLine) << c.list;
    }
}

}  // namespace
}  // namespace numen
