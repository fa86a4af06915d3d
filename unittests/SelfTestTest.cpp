// The self-test: each arithmetic identity catches a broken operation handed
// in through the check table, the list is the numbers its headings promise
// (GMP decides where cheap), the first entries run through the real handlers
// with every promised line in the pane, and a stop or an arithmetic failure
// leaves the job's base as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "ref/GmpOracle.h"
#include "ref/SelfTestPromises.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "search/CandidateHandlers.h"
#include "search/SelfTest.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::NumberOf;
using testing::SelfTestNumber;

constexpr uint32_t kOtherBase = 7;  // the job's base before the Test command

// A run as RunControl builds it, with the default output options (verbose off).
struct SelfTestRun {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    SearchRun run{job, log, {}, {}, {}};

    SelfTestRun() {
        job.base = kOtherBase;
        job.running = true;
        run.handlers = SearchHandlers(run);
    }
    std::vector<std::string> pane() const { return sink.texts(PaneText); }
    bool paneHas(const std::string& text) const {
        for (const std::string& t : pane())
            if (t == text) return true;
        return false;
    }
};

// --- the arithmetic identities ------------------------------------------------

BigInt Power(uint32_t b, uint32_t n) {
    BigInt x;
    x.setPower(b, n);
    return x;
}

struct BrokenOperation {
    const char* what;
    int firstFailingCheck;
    void (*breakIt)(CheckArithmetic&);
};

// Each fault shows only from some operand size on, as a lost carry or borrow
// does, so the check that catches it is the first to reach that size.
const BrokenOperation kBroken[] = {
    {"negation keeps the sign", 1, [](CheckArithmetic& a) { a.negate = [](const BigInt& x) { return BigInt(x); }; }},
    {"word addition loses the carry out of the top word", 2,
     [](CheckArithmetic& a) {
         a.addInt = [](const BigInt& x, int32_t v) {
             BigInt r = x + v;
             if (r.length() > x.length()) r = r - Power(2, 32 * x.length());
             return r;
         };
     }},
    {"word subtraction wrong from five words on", 3,
     [](CheckArithmetic& a) {
         a.subInt = [](const BigInt& x, int32_t v) {
             BigInt r = x - v;
             if (x.length() > 4) r.addInt(1);
             return r;
         };
     }},
    {"word division wrong above two words", 4,
     [](CheckArithmetic& a) {
         a.divInt = [](const BigInt& x, int32_t v) {
             BigInt r = x / v;
             if (x.length() > 2) r.addInt(1);
             return r;
         };
     }},
    {"word remainder off by one", 5,
     [](CheckArithmetic& a) { a.modInt = [](const BigInt& x, int32_t v) { return (x % v + 1) % v; }; }},
    {"subtraction loses a negative sign", 6,
     [](CheckArithmetic& a) {
         a.sub = [](const BigInt& x, const BigInt& y) {
             BigInt r = x - y;
             if (r.isNegative()) r.negate();
             return r;
         };
     }},
    {"subtraction wrong when the borrow shortens the value", 7,
     [](CheckArithmetic& a) {
         a.sub = [](const BigInt& x, const BigInt& y) {
             BigInt r = x - y;
             if (x.length() > y.length()) r.addInt(1);
             return r;
         };
     }},
    {"word addition wrong from eight words on", 8,
     [](CheckArithmetic& a) {
         a.addInt = [](const BigInt& x, int32_t v) {
             BigInt r = x + v;
             if (x.length() >= 8) r.subInt(1);
             return r;
         };
     }},
    {"word multiplication wrong above four words", 9,
     [](CheckArithmetic& a) {
         a.mulInt = [](const BigInt& x, int32_t v) {
             BigInt r = x * v;
             if (x.length() > 4) r = r + x;  // one more x than asked, so the quotient is off
             return r;
         };
     }},
};

TEST(SelfTestChecks, HoldForBigInt) { EXPECT_EQ(FirstFailingCheck(BigIntCheckArithmetic()), 0); }

TEST(SelfTestChecks, EachCatchesItsBrokenOperationAndNoEntryRuns) {
    for (const BrokenOperation& broken : kBroken) {
        SCOPED_TRACE(broken.what);
        CheckArithmetic arithmetic = BigIntCheckArithmetic();
        broken.breakIt(arithmetic);
        ASSERT_EQ(FirstFailingCheck(arithmetic), broken.firstFailingCheck);

        SelfTestRun t;
        SelfTest(t.run, kSelfTestEntryCount, arithmetic);
        EXPECT_EQ(t.pane(), (std::vector<std::string>{"TEST\r\n", "\r\nERROR!!!\r\n", std::string(RunEndedText)}));
        EXPECT_TRUE(t.sink.texts(CurrentN).empty());  // no handler was called
        EXPECT_EQ(t.job.base, kOtherBase);
    }
}

// --- the list against what its headings promise -------------------------------

// k*b^n + c, with c = +1 or -1.
Mpz Value(const SelfTestNumber& N) { return testing::CandidateValue(Candidate{N.k, N.b, N.n, N.c}); }

bool Prime(const Mpz& x) { return mpz_probab_prime_p(x.v, 1) > 0; }  // Baillie-PSW

// Members of the Cunningham chain through x (x -> 2x + step), capped at 4.
unsigned ChainLength(const Mpz& x, int step) {
    unsigned length = 1;
    Mpz y(x);
    for (;;) {
        mpz_mul_2exp(y.v, y.v, 1);
        step > 0 ? mpz_add_ui(y.v, y.v, 1) : mpz_sub_ui(y.v, y.v, 1);
        if (length == 4 || !Prime(y)) break;
        ++length;
    }
    mpz_set(y.v, x.v);
    for (;;) {
        step > 0 ? mpz_sub_ui(y.v, y.v, 1) : mpz_add_ui(y.v, y.v, 1);
        if (!mpz_even_p(y.v)) break;
        mpz_fdiv_q_2exp(y.v, y.v, 1);
        if (length == 4 || mpz_cmp_ui(y.v, 1) <= 0 || !Prime(y)) break;
        ++length;
    }
    return length;
}

Mpz PlusTwo(const Mpz& x, int sign) {
    Mpz y(x);
    sign > 0 ? mpz_add_ui(y.v, y.v, 2) : mpz_sub_ui(y.v, y.v, 2);
    return y;
}

// a^(e^m) = -1 (mod N), e = 2: N divides a^(2^m) + 1.
bool DividesFermatLike(const Mpz& N, unsigned a, unsigned m) {
    Mpz x{static_cast<long>(a)}, minusOne(N);
    mpz_sub_ui(minusOne.v, minusOne.v, 1);
    for (unsigned i = 0; i < m; ++i) mpz_powm_ui(x.v, x.v, 2, N.v);
    return mpz_cmp(x.v, minusOne.v) == 0;
}

// N divides Phi(b^m, 2) = (2^(b^m) - 1) / (2^(b^(m-1)) - 1): 2 has order b^m.
bool DividesPhi(const Mpz& N, unsigned b, unsigned m) {
    Mpz e, x, two(2);
    mpz_ui_pow_ui(e.v, b, m);
    mpz_powm(x.v, two.v, e.v, N.v);
    if (mpz_cmp_ui(x.v, 1) != 0) return false;
    mpz_ui_pow_ui(e.v, b, m - 1);
    mpz_powm(x.v, two.v, e.v, N.v);
    return mpz_cmp_ui(x.v, 1) != 0;
}

TEST(SelfTestList, HasThirtyEightEntriesWithTheBasesOfTheirHandlers) {
    const auto entries = SelfTestEntries();
    ASSERT_EQ(entries.size(), 38u);
    uint32_t base = kOtherBase;
    int lucasLines = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const SelfTestEntry& e = entries[i];
        SCOPED_TRACE(std::to_string(i + 1) + " " + e.heading);
        EXPECT_FALSE(testing::PromisedLines(e, 2).empty()) << "a heading the tests cannot read";
        const bool gfn = e.handler == SelfTestHandler::Gfn;
        // A generalized Fermat entry keeps the base (its k is the base); the
        // others name one, 2 exactly for the base-2 handlers.
        EXPECT_EQ(e.base == 0, gfn);
        if (!gfn) {
            const bool base2Handler = e.handler == SelfTestHandler::Plus2 || e.handler == SelfTestHandler::Minus2;
            EXPECT_EQ(e.base == 2, base2Handler);
            base = e.base;
        } else {
            EXPECT_TRUE(e.n >= 2 && (e.n & (e.n - 1)) == 0);  // a power of two
            EXPECT_EQ(e.k % 2, 0u);
        }
        // The b-line names a base other than 2 (the case line must show it).
        if (e.caseLine == SelfTestCaseLine::KBN) {
            EXPECT_NE(base, 2u);
        }
        if (e.caseLine == SelfTestCaseLine::Lucas) {
            ++lucasLines;
            EXPECT_STREQ(e.heading, "[Mersenne and Woodall]");
        }
        if (!gfn && e.base != 2) {
            EXPECT_LE(e.k, 2147483647u);  // the search limit of k for b != 2
        }
    }
    EXPECT_EQ(lucasLines, 1);
}

// Every number of the list below this size is checked by GMP: the entry is
// what its heading says, not only prime.
constexpr double kCheckedBits = 8000;

TEST(SelfTestList, SmallNumbersAreWhatTheirHeadingsPromise) {
    uint32_t base = kOtherBase;
    int checked = 0;
    for (const SelfTestEntry& e : SelfTestEntries()) {
        if (e.base != 0) base = e.base;
        const SelfTestNumber N = NumberOf(e, base);
        if (N.n * std::log2(double(N.b)) > kCheckedBits) continue;
        SCOPED_TRACE(std::string(e.heading) + " " + testing::PrimeLineStart(N));
        ++checked;
        const Mpz x = Value(N);
        ASSERT_TRUE(Prime(x));
        const std::string h = e.heading;
        unsigned m = 0, b = 0;
        if (h == "[Twin]") {
            EXPECT_TRUE(Prime(PlusTwo(x, -N.c)));
        } else if (h == "[Twin & Cunningham chain 1st kind length 3]") {
            const Mpz twin = PlusTwo(x, -N.c);
            EXPECT_TRUE(Prime(twin));
            EXPECT_TRUE(ChainLength(x, 1) >= 3 || ChainLength(twin, 1) >= 3);
        } else if (h == "[Cunningham chain 1st kind length 3]") {
            // At least: the walk halves only even k, so a longer chain may
            // show as 3 (54*10^10 - 1 has a fourth member below).
            EXPECT_GE(ChainLength(x, 1), 3u);
        } else if (h == "[Cunningham chain 2nd kind length 3]") {
            EXPECT_GE(ChainLength(x, -1), 3u);
        } else if (h == "[Mersenne and Woodall]") {
            EXPECT_EQ(N.k, 1u);  // 2^521 - 1 = 512*2^512 - 1
            EXPECT_EQ(N.n, 521u);
        } else if (std::sscanf(h.c_str(), "[divides F%u]", &m) == 1) {
            EXPECT_GE(N.n, m + 2);
            EXPECT_TRUE(DividesFermatLike(x, 2, m));
        } else if (std::sscanf(h.c_str(), "[divides Phi(%u^%u, 2)]", &b, &m) == 2) {
            EXPECT_EQ(b, N.b);
            EXPECT_TRUE(DividesPhi(x, b, m));
        } else if (h == "[Sophie Germain (k.2^n+1)]") {
            Mpz y(x);
            mpz_mul_2exp(y.v, y.v, 1);
            mpz_add_ui(y.v, y.v, 1);
            EXPECT_TRUE(Prime(y));
        }
    }
    EXPECT_GE(checked, 15);
}

TEST(SelfTestList, LargeNumbersHaveTheFormTheirHeadingsName) {
    for (const SelfTestEntry& e : SelfTestEntries()) {
        const std::string h = e.heading;
        SCOPED_TRACE(h);
        if (h == "[Woodall]") {
            EXPECT_EQ(e.handler, SelfTestHandler::Minus2);
            EXPECT_EQ(e.k, e.n);
        }
        if (h == "[Generalized Cullen]") {
            EXPECT_EQ(e.handler, SelfTestHandler::PlusB);
            EXPECT_EQ(e.k, e.n);
            EXPECT_GT(e.k, e.base);
        }
        unsigned m = 0, b = 0;
        // A prime factor of a^(2^m) + 1 is 1 mod 2^(m+1), and of 2^(2^m) + 1
        // (m >= 2) 1 mod 2^(m+2).
        if (std::sscanf(h.c_str(), "[divides F%u]", &m) == 1) {
            EXPECT_EQ(e.handler, SelfTestHandler::Plus2);
            EXPECT_GE(e.n, m + 2);
        }
        if (std::sscanf(h.c_str(), "[divides GF(%u, %u)]", &m, &b) == 2) {
            EXPECT_EQ(e.handler, SelfTestHandler::Plus2);
            EXPECT_GE(e.n, m + 1);
        }
    }
}

// --- the list through the handlers ------------------------------------------------

struct Call {
    char handler;
    uint32_t base, k, n, depth;
    bool verify;
    bool operator==(const Call&) const = default;
};

// Handlers that only record how they were called, or stop or fail at one call.
struct RecordingHandlers {
    std::vector<Call> calls;
    int stopAt = -1, failAt = -1;

    CandidateHandler make(SelfTestRun& t, char name) {
        return [this, &t, name](uint32_t k, uint32_t n, uint32_t depth, bool verify) {
            const int index = int(calls.size());
            calls.push_back({name, t.job.base, k, n, depth, verify});
            if (index == failAt) throw ArithmeticFault("checksum");
            if (index == stopAt) {
                t.job.running = false;
                return false;
            }
            return true;
        };
    }
    void install(SelfTestRun& t) {
        t.run.handlers.checkPlus2 = make(t, 'P');
        t.run.handlers.checkMinus2 = make(t, 'M');
        t.run.handlers.checkPlusB = make(t, 'p');
        t.run.handlers.checkMinusB = make(t, 'm');
        t.run.handlers.checkGfn = make(t, 'G');
    }
};

char HandlerName(SelfTestHandler h) {
    switch (h) {
        case SelfTestHandler::Plus2: return 'P';
        case SelfTestHandler::Minus2: return 'M';
        case SelfTestHandler::PlusB: return 'p';
        case SelfTestHandler::MinusB: return 'm';
        case SelfTestHandler::Gfn: break;
    }
    return 'G';
}

TEST(SelfTestRunList, CallsEachHandlerOnceWithItsBaseAndPostsHeadingAndCaseLine) {
    SelfTestRun t;
    RecordingHandlers handlers;
    handlers.install(t);
    t.job.base = 2;  // a GFN entry right at the start would keep this one
    SelfTest(t.run);
    EXPECT_EQ(t.job.base, 2u);

    const auto entries = SelfTestEntries();
    ASSERT_EQ(handlers.calls.size(), entries.size());
    std::vector<std::string> expected{"TEST\r\n"};
    uint32_t base = 2;
    for (size_t i = 0; i < entries.size(); ++i) {
        const SelfTestEntry& e = entries[i];
        if (e.base != 0) base = e.base;
        EXPECT_EQ(handlers.calls[i], (Call{HandlerName(e.handler), base, e.k, e.n, 0, true})) << e.heading;
        expected.push_back(std::string("\r\n") + e.heading + "\r\n");
        char line[80];
        if (e.caseLine == SelfTestCaseLine::KBN) std::snprintf(line, sizeof line, "k=%u, b=%u, n=%u ...\r\n", e.k, base, e.n);
        else if (e.caseLine == SelfTestCaseLine::Lucas) std::snprintf(line, sizeof line, "k=%u, n=%u (Lucas test)...\r\n", e.k, e.n);
        else std::snprintf(line, sizeof line, "k=%u, n=%u ...\r\n", e.k, e.n);
        expected.push_back(line);
    }
    expected.push_back("\r\nTest OK.\r\n");
    expected.push_back(std::string(RunEndedText));
    EXPECT_EQ(t.pane(), expected);
    // The exact case lines of a few entries, as the user sees them.
    EXPECT_TRUE(t.paneHas("k=3784, b=3, n=10 ...\r\n"));
    EXPECT_TRUE(t.paneHas("k=1, n=521 (Lucas test)...\r\n"));
    EXPECT_TRUE(t.paneHas("k=105994, n=105994 ...\r\n"));
    EXPECT_TRUE(t.paneHas("k=6101512, n=512 ...\r\n"));
}

TEST(SelfTestRunList, FoundListIsEmptiedOnceBeforeTheChecksNotBetweenEntries) {
    SelfTestRun t;
    t.run.found.append(Candidate{5, 2, 3, 1});  // left over from an earlier run
    std::vector<uint32_t> counts;
    const auto record = [&t, &counts](uint32_t k, uint32_t n, uint32_t, bool) {
        counts.push_back(t.run.found.count());
        t.run.found.append(Candidate{k, 2, n, 1});
        return true;
    };
    t.run.handlers.checkPlus2 = t.run.handlers.checkMinus2 = t.run.handlers.checkPlusB =
        t.run.handlers.checkMinusB = t.run.handlers.checkGfn = record;
    SelfTest(t.run, 5, BigIntCheckArithmetic());
    EXPECT_EQ(counts, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
}

TEST(SelfTestRunList, StopLeavesSilentlyAndRestoresTheBase) {
    SelfTestRun t;
    RecordingHandlers handlers;
    handlers.stopAt = 3;  // entry 4, base 11
    handlers.install(t);
    SelfTest(t.run);
    EXPECT_EQ(t.job.base, kOtherBase);
    EXPECT_EQ(handlers.calls.size(), 4u);
    EXPECT_EQ(handlers.calls.back().base, 11u);
    const auto pane = t.pane();
    ASSERT_FALSE(pane.empty());
    EXPECT_EQ(pane.back(), "k=8442, b=11, n=10 ...\r\n");  // nothing after the stopped entry
    EXPECT_FALSE(t.paneHas("\r\nTest OK.\r\n"));
    EXPECT_FALSE(t.paneHas(std::string(RunEndedText)));
}

TEST(SelfTestRunList, StopBetweenEntriesStartsNoFurtherEntry) {
    SelfTestRun t;
    RecordingHandlers handlers;
    handlers.install(t);
    // A stop that the handler did not see any more: it returned true.
    t.run.handlers.checkMinusB = [&t](uint32_t, uint32_t, uint32_t, bool) {
        t.job.running = false;
        return true;
    };
    SelfTest(t.run);
    EXPECT_EQ(handlers.calls.size(), 2u);  // entries 1 and 2; entry 3 stopped the run
    EXPECT_EQ(t.pane().back(), "k=54, b=10, n=10 ...\r\n");
    EXPECT_EQ(t.job.base, kOtherBase);
    EXPECT_FALSE(t.paneHas(std::string(RunEndedText)));
}

TEST(SelfTestRunList, ArithmeticFaultInAnEntryEndsWithTheErrorLineAndRestoresTheBase) {
    SelfTestRun t;
    RecordingHandlers handlers;
    handlers.failAt = 2;  // entry 3, base 10
    handlers.install(t);
    SelfTest(t.run);
    EXPECT_EQ(t.job.base, kOtherBase);
    const auto pane = t.pane();
    ASSERT_GE(pane.size(), 2u);
    EXPECT_EQ(pane[pane.size() - 2], "Error!!! (rounding or checksum or not enough memory.)\r\n");
    EXPECT_EQ(pane.back(), RunEndedText);
    EXPECT_FALSE(t.paneHas("\r\nTest OK.\r\n"));
}

// A search stopped on a large candidate left its checkpoint; the list's
// large entries write and delete theirs in the same files. However the test
// ends, the search's files are back and the test's are gone.
TEST(SelfTestRunList, KeepsTheCheckpointOfAnInterruptedSearch) {
    enum End { ToTheEnd, Stopped, Failed };
    for (End end : {ToTheEnd, Stopped, Failed}) {
        SCOPED_TRACE(int(end));
        SelfTestRun t;
        t.folder.write("Numen.dta", "search record");
        t.folder.write("Numen.dtf", "search state");
        RecordingHandlers handlers;
        if (end == Stopped) handlers.stopAt = 3;
        if (end == Failed) handlers.failAt = 3;
        handlers.install(t);
        bool sawSearchFiles = false;
        const CandidateHandler recording = t.run.handlers.checkPlusB;
        t.run.handlers.checkPlusB = [&](uint32_t k, uint32_t n, uint32_t depth, bool verify) {
            sawSearchFiles |= std::filesystem::exists(t.folder / "Numen.dta") &&
                              t.folder.read("Numen.dta") == "search record";
            t.folder.write("Numen.dta", "test record");  // a large entry's own
            t.folder.write("Numen.dtf", "test state");
            return recording(k, n, depth, verify);
        };
        SelfTest(t.run);
        EXPECT_FALSE(sawSearchFiles);
        EXPECT_EQ(t.folder.read("Numen.dta"), "search record");
        EXPECT_EQ(t.folder.read("Numen.dtf"), "search state");
        EXPECT_FALSE(std::filesystem::exists(t.folder / "Numen.dta.search"));
        EXPECT_FALSE(std::filesystem::exists(t.folder / "Numen.dtf.search"));
    }
}

// Files set aside by a test that crashed are never overwritten: the folder
// is then left as it is, and the test's own files are deleted as usual.
TEST(SelfTestRunList, LeavesFilesAsideFromACrashedTestAlone) {
    SelfTestRun t;
    t.folder.write("Numen.dta.search", "older search record");
    t.folder.write("Numen.dta", "crashed test record");
    RecordingHandlers handlers;
    handlers.install(t);
    SelfTest(t.run, 1, BigIntCheckArithmetic());
    EXPECT_EQ(t.folder.read("Numen.dta.search"), "older search record");
    EXPECT_EQ(t.folder.read("Numen.dta"), "crashed test record");
}

// The first 15 entries (up to 6820 bits) through the real handlers, a few
// seconds: every promised line is in the entry's own part of the pane, with
// the default output options. The generalized Fermat entries and the rest
// are the long test's.
constexpr size_t kQuickEntries = 15;

TEST(SelfTestRunList, QuickEntriesShowWhatTheirHeadingsPromise) {
    SelfTestRun t;
    SelfTest(t.run, kQuickEntries, BigIntCheckArithmetic());
    EXPECT_EQ(t.job.base, kOtherBase);
    const auto pane = t.pane();
    ASSERT_GE(pane.size(), 3u);
    EXPECT_EQ(pane.front(), "TEST\r\n");
    EXPECT_EQ(pane[pane.size() - 2], "\r\nTest OK.\r\n");
    EXPECT_EQ(pane.back(), RunEndedText);

    const auto sections = testing::EntrySections(pane);
    ASSERT_EQ(sections.size(), kQuickEntries);
    uint32_t base = kOtherBase;
    const auto entries = SelfTestEntries();
    for (size_t i = 0; i < kQuickEntries; ++i) {
        const SelfTestEntry& e = entries[i];
        if (e.base != 0) base = e.base;
        const SelfTestNumber N = NumberOf(e, base);
        const auto& section = sections[i];
        SCOPED_TRACE(std::to_string(i + 1) + " " + e.heading);
        const auto has = [&section](const std::string& text, bool prefix) {
            for (const std::string& s : section)
                if (prefix ? s.rfind(text, 0) == 0 : s == text) return true;
            return false;
        };
        EXPECT_TRUE(has(testing::PrimeLineStart(N), true)) << testing::PrimeLineStart(N);
        for (const std::string& line : testing::PromisedLines(e, base)) EXPECT_TRUE(has(line, true)) << line;
        // The handler was called for the entry's own number: it posted it.
        EXPECT_TRUE(std::find(t.sink.texts(CurrentN).begin(), t.sink.texts(CurrentN).end(), std::to_string(e.n)) !=
                    t.sink.texts(CurrentN).end());
    }
    // The divisibility line of entry 5 in full, as the user reads it.
    EXPECT_TRUE(t.paneHas("1275438465*2^39 + 1 divides F37 !\r\n"));
    EXPECT_TRUE(t.paneHas(" - Cunningham chain 2nd kind of length 3 -\r\n"));
}

}  // namespace
}  // namespace numen
