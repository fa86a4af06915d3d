// numen-bench gfn-check: what the error check costs a generalized-Fermat
// power run, measured in the same run:
//   gfn-check-m<m>-<steps>   PowerRunGfn over a random exponent of `steps`
//                            bits at the largest radix (the checked walk:
//                            blocks, products, checks, the doubled last
//                            square) beside the unchecked walk of the same
//                            bits the run made before (square and carry per
//                            bit, one square read out); ratio - 1 is the
//                            check's share
// 2^17 steps is where the plan's share falls below 2 %; 2^15 steps (L = 64)
// shows a short run. The two sides take turns, three times each, the
// minimum kept; about a minute with the dispatch's fastest family on an
// idle core.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "arith/BigInt.h"
#include "arith/GfnTransform.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "bench/Reference.h"
#include "bench/Timing.h"
#include "bench/Topics.h"
#include "report/ResultLog.h"
#include "tests/PowerRuns.h"
#include "tests/RunContext.h"

namespace numen::bench {

namespace {

volatile int32_t sink;

// A run with nothing reported, saved or ticked.
struct QuietRun {
    explicit QuietRun(const std::filesystem::path& folder) : log(nullptr, folder) { live.nbIter.store(1u << 30); }
    ResultLog log;
    std::atomic<bool> running{true};
    LiveSettings live;
    RunContext context() { return RunContext{log, running, live, nullptr, {}, {}}; }
};

// The minimum microseconds of each of two calls over three rounds, the two
// taking turns so that a change in the machine's load meets both.
std::pair<double, double> InTurnsMicroseconds(const std::function<void()>& first,
                                              const std::function<void()>& second) {
    using Clock = std::chrono::steady_clock;
    auto once = [](const std::function<void()>& fn) {
        const auto t0 = Clock::now();
        fn();
        return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    };
    double a = 1e300, b = 1e300;
    for (int round = 0; round < 3; ++round) {
        a = std::min(a, once(first));
        b = std::min(b, once(second));
    }
    return {a, b};
}

BigInt RandomExponent(uint32_t bits, std::mt19937_64& rng) {
    BigInt e;
    const uint32_t words = bits / 32 + 1;
    e.reserve(words);
    for (uint32_t i = 0; i < words; ++i) e.words()[i] = uint32_t(rng());
    e.words()[words - 1] &= (uint32_t(1) << (bits % 32)) - 1;
    e.words()[words - 1] |= uint32_t(1) << (bits % 32);  // top bit `bits`: `bits` steps
    e.setLengthAndSign(words, false);
    return e;
}

bool BitOf(const BigInt& e, uint32_t i) { return (e.words()[i >> 5] >> (i & 31)) & 1u; }

// The walk without the check, as PowerRunGfn did it: square and carry
// (multiplying inside it) per bit, the last square read out.
void UncheckedWalk(uint32_t B, uint32_t m, uint32_t a, const BigInt& e) {
    GfnTransform t;
    t.plan(m, B);
    t.setValue(a);
    for (uint32_t i = e.topBitIndex() - 1;; --i) {
        t.square();
        if (i == 0) break;
        t.carry(BitOf(e, i) ? a : 1);
    }
    std::vector<int32_t> digits(m);
    t.unload(digits.data());
    sink = digits[0];
}

void CheckShareRow(QuietRun& quiet, uint32_t m, uint32_t steps, std::mt19937_64& rng) {
    // The largest radix whose a B^2 stays within the carry pass's limit, so
    // both sides multiply inside the carry.
    const uint32_t a = 3;
    const uint32_t B = uint32_t(LargestGeneralizedFermatBase(m) / 1.8) & ~1u;
    const BigInt e = RandomExponent(steps, rng);
    RunContext run = quiet.context();
    RadixInt x(B);
    float maxErr = 0;
    const auto [checked, unchecked] = InTurnsMicroseconds([&] { PowerRunGfn(run, B, m, a, e, 0, x, maxErr); },
                                                          [&] { UncheckedWalk(B, m, a, e); });
    PrintRow("gfn-check-m" + std::to_string(m) + "-" + std::to_string(steps), checked, "unchecked-walk", unchecked);
}

}  // namespace

void RunGfnCheckBench() {
    StartLikeTheProgram("numen-bench-gfn-check");
    QuietRun quiet(std::filesystem::temp_directory_path() / "numen-bench-gfn-check");
    std::mt19937_64 rng(2027);
    std::printf("# the generalized-Fermat run with its error check beside the same walk without it\n");
    CheckShareRow(quiet, 1u << 12, 1u << 15, rng);
    CheckShareRow(quiet, 1u << 12, 1u << 17, rng);
    CheckShareRow(quiet, 1u << 16, 1u << 15, rng);
}

}  // namespace numen::bench
