// The self-test procedure: the arithmetic identities, then the list of
// SelfTestList.h through the run's handlers.
#include "search/SelfTest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Fpu.h"
#include "report/TextFormat.h"
#include "search/CheckpointFile.h"
#include "sieve/SmallPrimes.h"

namespace numen {

namespace {

BigInt Power(uint32_t b, uint32_t n) {
    BigInt x;
    x.setPower(b, n);
    return x;
}
BigInt Add(const BigInt& x, const BigInt& y) { return x + y; }
BigInt Sub(const BigInt& x, const BigInt& y) { return x - y; }
BigInt AddInt(const BigInt& x, int32_t v) { return x + v; }
BigInt SubInt(const BigInt& x, int32_t v) { return x - v; }
BigInt Negate(const BigInt& x) { return -x; }
BigInt MulInt(const BigInt& x, int32_t v) { return x * v; }
BigInt DivInt(const BigInt& x, int32_t v) { return x / v; }
int32_t ModInt(const BigInt& x, int32_t v) { return x % v; }
int Compare(const BigInt& x, const BigInt& y) { return x.compare(y); }

constexpr CheckArithmetic kBigIntArithmetic{Power, Add, Sub, AddInt, SubInt, Negate, MulInt, DivInt, ModInt, Compare};

// The job's base as it was before the list, put back however the list ends
// (a stop, an ArithmeticFault unwinding to RunGuarded, the end).
class BaseRestorer {
public:
    explicit BaseRestorer(SearchJob& job) : job_(job), saved_(job.base) {}
    ~BaseRestorer() { job_.base = saved_; }
    BaseRestorer(const BaseRestorer&) = delete;
    BaseRestorer& operator=(const BaseRestorer&) = delete;

private:
    SearchJob& job_;
    uint32_t saved_;
};

// The checkpoint files of an interrupted search (current and previous),
// kept under another name while the list runs: its large entries write and
// delete "Numen.dta" and "Numen.dtf" like any large candidate, which would throw away the search's
// saved work before its Continue. Put back however the test ends (after
// RunGuarded's own deletion on an arithmetic failure); the test's own files
// go. Files left aside by a test that crashed are not overwritten: then the
// folder is left as it is.
class SearchCheckpointAside {
public:
    explicit SearchCheckpointAside(const std::filesystem::path& folder)
        : folder_(folder),
          files_{CheckpointPath(folder), TransformStatePath(folder), PreviousCheckpointPath(folder),
                 PreviousTransformStatePath(folder)} {
        std::error_code error;
        for (const auto& file : files_)
            if (std::filesystem::exists(Aside(file), error)) return;
        for (const auto& file : files_) {
            if (!std::filesystem::exists(file, error)) continue;
            std::filesystem::rename(file, Aside(file), error);
            if (!error) active_ = true;
        }
    }
    ~SearchCheckpointAside() {
        if (!active_) return;
        DeleteCheckpoint(folder_);
        std::error_code error;
        for (const auto& file : files_) {
            if (std::filesystem::exists(Aside(file), error)) std::filesystem::rename(Aside(file), file, error);
        }
    }
    SearchCheckpointAside(const SearchCheckpointAside&) = delete;
    SearchCheckpointAside& operator=(const SearchCheckpointAside&) = delete;

    static std::filesystem::path Aside(const std::filesystem::path& file) {
        std::filesystem::path aside = file;
        return aside += ".search";
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path files_[4];
    bool active_ = false;
};

const CandidateHandler& HandlerOf(const CandidateHandlers& handlers, SelfTestHandler which) {
    switch (which) {
        case SelfTestHandler::Plus2: return handlers.checkPlus2;
        case SelfTestHandler::Minus2: return handlers.checkMinus2;
        case SelfTestHandler::PlusB: return handlers.checkPlusB;
        case SelfTestHandler::MinusB: return handlers.checkMinusB;
        case SelfTestHandler::Gfn: break;
    }
    return handlers.checkGfn;
}

std::string CaseLine(const SelfTestEntry& entry, uint32_t base) {
    switch (entry.caseLine) {
        case SelfTestCaseLine::KBN: return Format("k=%u, b=%u, n=%u ...\r\n", entry.k, base, entry.n);
        case SelfTestCaseLine::Lucas: return Format("k=%u, n=%u (Lucas test)...\r\n", entry.k, entry.n);
        case SelfTestCaseLine::KN: break;
    }
    return Format("k=%u, n=%u ...\r\n", entry.k, entry.n);
}

// The list; false when the run was stopped.
bool RunList(SearchRun& run, size_t entryCount) {
    const BaseRestorer restorer(run.job);
    const auto entries = SelfTestEntries().first(std::min(entryCount, kSelfTestEntryCount));
    for (const SelfTestEntry& entry : entries) {
        // A stop between two entries leaves as one inside an entry would.
        if (!run.job.running) return false;
        if (entry.base != 0) run.job.base = entry.base;
        run.log.PostToWindow(std::string("\r\n") + entry.heading + "\r\n", PaneText);
        run.log.PostToWindow(CaseLine(entry, run.job.base), PaneText);
        if (!HandlerOf(run.handlers, entry.handler)(entry.k, entry.n, 0, true)) return false;
    }
    return true;
}

}  // namespace

const CheckArithmetic& BigIntCheckArithmetic() { return kBigIntArithmetic; }

int FirstFailingCheck(const CheckArithmetic& a) {
    const auto equal = [&a](const BigInt& x, const BigInt& y) { return a.compare(x, y) == 0; };
    const auto powerMinus = [&a](uint32_t b, uint32_t n, int32_t v) { return a.subInt(a.power(b, n), v); };
    // 1: a negative difference and its negation.
    {
        const BigInt r = a.subInt(BigInt(5), 15);
        if (!equal(a.negate(r), BigInt(10))) return 1;
    }
    // 2, 3: a borrow across one word and across four, undone by the carry.
    {
        const BigInt q = a.power(2, 32);
        if (!equal(a.addInt(a.subInt(q, 2), 2), q)) return 2;
    }
    {
        const BigInt q = a.power(2, 128);
        if (!equal(a.addInt(a.subInt(q, 100), 100), q)) return 3;
    }
    // 4: a carry out of two full words, halved again.
    {
        const BigInt q = powerMinus(2, 64, 1);
        if (!equal(a.divInt(a.add(q, q), 2), q)) return 4;
    }
    // 5: a remainder of a 32-word value.
    {
        const BigInt q = powerMinus(2, 1024, 1);
        if (a.modInt(a.subInt(q, 1), 8) != 6) return 5;
    }
    // 6 to 8: differences of neighbours around 2^256, both signs.
    {
        const BigInt q = powerMinus(2, 256, 2);
        const BigInt r = powerMinus(2, 256, 1);
        if (!equal(a.sub(q, r), BigInt(-1))) return 6;
    }
    {
        const BigInt q = a.power(2, 256);
        const BigInt r = a.subInt(q, 1);
        if (!equal(a.sub(q, r), BigInt(1))) return 7;
    }
    {
        const BigInt q = powerMinus(2, 256, 1);
        const BigInt r = a.addInt(q, 1);
        if (!equal(a.sub(q, r), BigInt(-1))) return 8;
    }
    // 9: a word multiple divided back, for values from 0 to 3^99 - 1.
    for (uint32_t i = 0; i < 100; ++i) {
        const BigInt q = powerMinus(3, i, 1);
        if (!equal(a.divInt(a.mulInt(q, 2147483647), 2147483647), q)) return 9;
    }
    return 0;
}

int SelfTest(SearchRun& run) { return SelfTest(run, kSelfTestEntryCount, BigIntCheckArithmetic()); }

int SelfTest(SearchRun& run, size_t entryCount, const CheckArithmetic& arithmetic) {
    const SearchCheckpointAside aside(run.log.folder());
    return RunGuarded(run, [&run, entryCount, &arithmetic] {
        SetX87ExtendedPrecision();
        InitSmallPrimes();
        run.found.clear();
        run.log.PostToWindow("TEST\r\n", PaneText);
        if (FirstFailingCheck(arithmetic) != 0) {
            run.log.PostToWindow("\r\nERROR!!!\r\n", PaneText);
            run.log.PostToWindow(RunEndedText, PaneText);
            return;
        }
        if (!RunList(run, entryCount)) return;  // stopped: no final lines
        run.log.PostToWindow("\r\nTest OK.\r\n", PaneText);
        run.log.PostToWindow(RunEndedText, PaneText);
    });
}

}  // namespace numen
