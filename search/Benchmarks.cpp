// The three benchmarks (see Benchmarks.h): the workload tables, the walk
// over them and the guard around each.
#include "search/Benchmarks.h"

#include <functional>
#include <new>
#include <optional>
#include <string>

#include "arith/ArithmeticFault.h"
#include "arith/RadixChoice.h"
#include "platform/Fpu.h"
#include "search/BenchmarkLines.h"
#include "sieve/SmallPrimes.h"

namespace numen {

namespace {

const char kErrorLine[] = "Error!!! (rounding or checksum or not enough memory.)\r\n";

// As RunGuarded, without deleting the checkpoint files (Benchmarks.h).
int BenchmarkGuarded(SearchRun& run, const std::function<void()>& body) {
    try {
        body();
    } catch (const ArithmeticFault&) {
        run.log.PostToWindow(kErrorLine, PaneText);
        run.log.PostToWindow(RunEndedText, PaneText);
    } catch (const std::bad_alloc&) {
        run.log.PostToWindow(kErrorLine, PaneText);
        run.log.PostToWindow(RunEndedText, PaneText);
    }
    return 0;
}

void Post(SearchRun& run, const std::string& text) { run.log.PostToWindow(text, PaneText); }

// The unmarked k*2^n + 1 sizes, one line each; false when stopped.
bool RunUnmarkedSizes(SearchRun& run, const TimingContext& context, uint32_t k,
                      const std::vector<SquaringSize>& sizes) {
    for (const SquaringSize& size : sizes) {
        const std::optional<Timing> timing = TimeBase2Squarings(context, k, size.n, size.count);
        if (!timing) return false;
        Post(run, TimingLine(k, 2, size.n, timing->seconds / size.count, timing->err));
    }
    return true;
}

void RunMain(SearchRun& run, const MainBenchmarkPlan& plan, const BenchmarkClock& clock) {
    SetX87ExtendedPrecision();
    InitSmallPrimes();
    const TimingContext context{run.log, run.job.running, clock};
    Post(run, kMainBenchmarkHeader);

    const std::optional<TrialTiming> trial = TimeTrialDivision(context, plan.trialCandidate);
    if (!trial) return;
    if (trial->found) {
        Post(run, kBenchmarkFatalLine);
        Post(run, std::string(RunEndedText));
        return;
    }
    const int trialMark = BenchmarkMark(plan.trialConstant, trial->seconds);
    int64_t markSum = trialMark;
    Post(run, TrialDivisionLine(trial->seconds, trialMark));

    if (!RunUnmarkedSizes(run, context, plan.k, plan.warmUp)) return;
    int markIndex = 2;
    for (const MarkedSize& size : plan.marked) {
        const std::optional<Timing> timing = TimeBase2Squarings(context, plan.k, size.n, size.count);
        if (!timing) return;
        const int mark = BenchmarkMark(size.constant, timing->seconds);
        markSum += mark;
        const double perMul = timing->seconds / size.count;
        Post(run, MarkedTimingLine(plan.k, 2, size.n, perMul, timing->err, markIndex++, mark));
    }
    if (!RunUnmarkedSizes(run, context, plan.k, plan.large)) return;

    const int64_t markCount = 1 + int64_t(plan.marked.size());
    Post(run, NumenMarkLine(int(markSum / markCount)));
    Post(run, std::string(RunEndedText));
}

void RunGfn(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock) {
    SetX87ExtendedPrecision();
    const TimingContext context{run.log, run.job.running, clock};
    Post(run, kGfnBenchmarkHeader);
    for (const SquaringSize& size : sizes) {
        const uint32_t b = LargestGeneralizedFermatBase(size.n);
        const std::optional<Timing> timing = TimeGfnSquarings(context, b, size.n, size.count);
        if (!timing) return;
        Post(run, GfnTimingLine(b, size.n, timing->seconds / size.count, timing->err));
    }
    Post(run, std::string(RunEndedText));
}

void RunBase3(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock) {
    SetX87ExtendedPrecision();
    const TimingContext context{run.log, run.job.running, clock};
    Post(run, kBase3BenchmarkHeader);
    for (const SquaringSize& size : sizes) {
        const std::optional<Timing> timing = TimeBase3Products(context, size.n, size.count);
        if (!timing) return;
        Post(run, TimingLine(2, 3, size.n, timing->seconds / size.count, timing->err));
    }
    Post(run, std::string(RunEndedText));
}

}  // namespace

MainBenchmarkPlan MainBenchmarkPlan::Standard() {
    MainBenchmarkPlan plan{{432711, 2, 43271, 1}, 2770, 3, {}, {}, {}};
    for (uint32_t c : {1u, 2u, 4u}) plan.warmUp.push_back({4000 * c, 32768 / c});
    // Seconds the reference machine took for each marked size.
    const double constants[] = {2430, 2530, 2780, 3320, 3920, 4400, 4750, 4950};
    for (uint32_t i = 0; i < 8; ++i) plan.marked.push_back({32000u << i, 4096u >> i, constants[i]});
    for (uint32_t c : {1u, 2u, 4u}) plan.large.push_back({8192000 * c, 16 / c});
    return plan;
}

std::vector<SquaringSize> StandardGfnSizes() {
    std::vector<SquaringSize> sizes;
    for (uint32_t i = 0; i <= 14; ++i) sizes.push_back({1u << (i + 8), 1u << (16 - i)});
    return sizes;
}

std::vector<SquaringSize> StandardBase3Sizes() {
    const uint32_t digitsPerWord = RadixExponent(3);  // 12
    std::vector<SquaringSize> sizes;
    for (uint32_t s = 1; s <= 4096; s *= 2) sizes.push_back({250 * digitsPerWord * s, 16384 / s});
    return sizes;
}

int MainBenchmark(SearchRun& run, const MainBenchmarkPlan& plan, const BenchmarkClock& clock) {
    return BenchmarkGuarded(run, [&] { RunMain(run, plan, clock); });
}

int GfnBenchmark(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock) {
    return BenchmarkGuarded(run, [&] { RunGfn(run, sizes, clock); });
}

int Base3Benchmark(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock) {
    return BenchmarkGuarded(run, [&] { RunBase3(run, sizes, clock); });
}

int MainBenchmark(SearchRun& run) {
    return MainBenchmark(run, MainBenchmarkPlan::Standard(), BenchmarkClock::Steady());
}

int GfnBenchmark(SearchRun& run) { return GfnBenchmark(run, StandardGfnSizes(), BenchmarkClock::Steady()); }

int Base3Benchmark(SearchRun& run) {
    return Base3Benchmark(run, StandardBase3Sizes(), BenchmarkClock::Steady());
}

}  // namespace numen
