// The benchmarks' timed workloads (see BenchmarkTimings.h).
#include "search/BenchmarkTimings.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <vector>

#include "arith/BigInt.h"
#include "arith/GfnTransform.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "report/MessageSink.h"
#include "report/ResultLines.h"
#include "search/BenchmarkLines.h"
#include "sieve/TrialDivide.h"

namespace numen {

namespace {

constexpr uint32_t kBase3 = 3;

bool Stopped(const TimingContext& context) { return !context.running.load(std::memory_order_relaxed); }

// Trial division's reports as the benchmark wants them: the start in the
// pane, a divisor only noted (the benchmark says what it means).
class BenchmarkTrialReport final : public TrialReport {
public:
    explicit BenchmarkTrialReport(ResultLog& log) : log_(log) {}

    void divisionStarted(const Candidate& N, uint64_t limit) override {
        log_.PostToWindow(TrialProgressText(N, limit), PaneText);
    }
    void gfnDivisionStarted(uint32_t b, uint32_t n, uint64_t count, uint64_t step) override {
        log_.PostToWindow(GfnTrialProgressText(b, n, count, step), PaneText);
    }
    void factorFound(const Candidate&, uint64_t) override {}

private:
    ResultLog& log_;
};

}  // namespace

BenchmarkClock BenchmarkClock::Steady() {
    return {[] {
        using Seconds = std::chrono::duration<double>;
        return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }};
}

std::optional<Timing> TimeBase2Squarings(const TimingContext& context, uint32_t k, uint32_t n, uint32_t count) {
    context.log.PostToWindow(Base2TimingText(count, k, n), PaneText);
    const Candidate N{k, 2, n, 1};
    BigInt x;
    x.setPower(2, n / 3);
    x.subInt(1);
    double err = 0;
    SquareStepBase2(x, N, &err);
    if (Stopped(context)) return std::nullopt;

    const double start = context.clock.seconds();
    for (uint32_t i = 0; i < count; ++i) {
        SquareStepBase2(x, N);
        if (Stopped(context)) return std::nullopt;
    }
    Timing timing;
    timing.seconds = context.clock.seconds() - start;

    // All ones is the operand whose square has the largest coefficients.
    double lastErr = 0, onesErr = 0;
    SquareStepBase2(x, N, &lastErr);
    BigInt ones;
    ones.setPower(2, n);
    ones.subInt(1);
    SquareStepBase2(ones, N, &onesErr);
    timing.err = std::max(lastErr, onesErr);
    return timing;
}

std::optional<Timing> TimeGfnSquarings(const TimingContext& context, uint32_t b, uint32_t n, uint32_t count) {
    context.log.PostToWindow(GfnTimingText(count, b, n), PaneText);
    GfnTransform t;
    t.plan(n, b);
    t.setValue(b - 1);
    // (b - 1)^(2^j) has about 2^j digits: after log2 n + 1 squarings every
    // digit is in use and the number has wrapped around the modulus.
    const uint32_t fill = uint32_t(std::countr_zero(n)) + 1;
    for (uint32_t i = 0; i < fill; ++i) {
        t.square();
        t.carry(1);
        if (Stopped(context)) return std::nullopt;
    }

    const double start = context.clock.seconds();
    for (uint32_t i = 0; i < count; ++i) {
        t.square();
        t.carry(1);
        if (Stopped(context)) return std::nullopt;
    }
    Timing timing;
    timing.seconds = context.clock.seconds() - start;
    timing.err = t.maxError();
    return timing;
}

std::optional<Timing> TimeBase3Products(const TimingContext& context, uint32_t n, uint32_t count) {
    context.log.PostToWindow(Base3TimingText(count, kBase3, n), PaneText);
    const Candidate N{2, kBase3, n, 1};
    const uint32_t digitsPerWord = RadixExponent(kBase3);
    RadixInt x(RadixOf(kBase3));
    x.setUnsigned(1);
    x.shiftDigits(-int32_t(n / (3 * digitsPerWord)));
    x.subInt(1);
    double firstErr = 0;
    SquareStepRadix(x, N, &firstErr);
    if (Stopped(context)) return std::nullopt;

    const double start = context.clock.seconds();
    for (uint32_t i = 0; i < count; ++i) {
        SquareStepRadix(x, N);
        if (i % 2 == 0) MulStepRadix(x, 2, N);
        if (Stopped(context)) return std::nullopt;
    }
    Timing timing;
    timing.seconds = context.clock.seconds() - start;

    double lastErr = 0;
    SquareStepRadix(x, N, &lastErr);
    timing.err = std::max(firstErr, lastErr);
    return timing;
}

std::optional<TrialTiming> TimeTrialDivision(const TimingContext& context, const Candidate& N) {
    BenchmarkTrialReport report(context.log);
    const TrialContext trial{report, context.running, ManualLimit{}};
    TrialTiming timing;
    const double start = context.clock.seconds();
    if (!TrialDivide(timing.found, N, trial)) return std::nullopt;
    timing.seconds = context.clock.seconds() - start;
    return timing;
}

}  // namespace numen
