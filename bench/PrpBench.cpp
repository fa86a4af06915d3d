// numen-bench prp: whole Fermat tests and single steps of the power runs,
// each beside what a GMP user would write, measured in the same run:
//   prp-3-2-<n>           3^(N-1) mod N, N = 3*2^n + 1, through PowerRunBase2,
//                         beside mpz_powm (gmp-powm) and beside a loop of
//                         mpz_mul and the reduction of the form k*2^n + 1
//                         (gmp-special)
//   step-base2-<bits>     one step of PowerRunBase2 modulo 3*2^n + 1 (a run
//                         over a random exponent of 2s bits less one of s
//                         bits, per step: the run's set-up cancels, the
//                         check's share stays) at 2^17, 2^20 and 2^22
//                         bits, beside the FFTW complex pair of length
//                         bits/32 (fftw-bits32)
//   prp-3-2-<n>-weighted  small Fermat tests in the weighted transform
//                         beside the same run on the exact path (exact-fold):
//                         where the weighted path starts to pay
//   step-base2-exact-fold-<bits>  the same steps through the exact square
//                         and fold of ModularSteps.h alone (the path before
//                         the weighted transform), beside fftw-bits32
//   gerbicz-li-share-<bits>  a Fermat test of 3*2^n + 1 in the weighted
//                         transform walked with the Gerbicz-Li check beside
//                         the same steps unchecked (ratio - 1: the share)
//   step-radix10-<bits>   one step of PowerRunRadix for k*10^n + 1 beside
//                         the bare RadixInt square
//   prp-radix10           a whole Fermat test of k*10^n + 1 (about 50,000
//                         bits) through PowerRunRadix beside mpz_powm
//   prp-gfn               a Fermat test of B^4096 + 1 at the largest radix
//                         through PowerRunGfn, beside mpz_powm
//   step-lucas2-<bits>    one step of LucasDoublingRun modulo k*2^n - 1 (U := U V,
//                         V := V^2 - 2, each reduced) beside one bare
//                         mulTransform plus one bare square
// Whole tests are timed once (GMP) or twice (ours, the minimum kept), so
// the topic stays within a few minutes.

#include <gmp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "arith/BigInt.h"
#include "arith/GfnTransform.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceBase2.h"
#include "arith/ReduceRadix.h"
#include "arith/TransformPlan.h"
#include "arith/TransformProduct.h"
#include "arith/WeightedTransform.h"
#include "bench/Reference.h"
#include "bench/Timing.h"
#include "bench/Topics.h"
#include "report/ResultLog.h"
#include "tests/GerbiczLi.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"
#include "tests/RunContext.h"

namespace numen::bench {

namespace {

volatile uint32_t sink;

// What a run needs around it, with nothing reported, saved or ticked.
struct QuietRun {
    explicit QuietRun(const std::filesystem::path& folder) : log(nullptr, folder) {
        live.nbIter.store(1u << 30);
    }
    ResultLog log;
    std::atomic<bool> running{true};
    LiveSettings live;
    RunContext context() { return RunContext{log, running, live, nullptr, {}, {}}; }
};

// Microseconds of one call, the minimum of `samples` calls.
double OnceMicroseconds(const std::function<void()>& fn, int samples = 1) {
    using Clock = std::chrono::steady_clock;
    double best = 1e300;
    for (int i = 0; i < samples; ++i) {
        auto t0 = Clock::now();
        fn();
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return best;
}

void ToMpz(mpz_t out, const BigInt& x) {
    mpz_import(out, x.length(), -1, 4, 0, 0, x.words());
    if (x.isNegative()) mpz_neg(out, out);
}

BigInt RandomBits(uint32_t bits, std::mt19937_64& rng) {
    BigInt x;
    const uint32_t words = (bits + 31) / 32;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = uint32_t(rng());
    if (bits % 32 != 0) x.words()[words - 1] &= (uint32_t(1) << (bits % 32)) - 1;
    x.words()[words - 1] |= uint32_t(1) << ((bits - 1) % 32);
    x.setLengthAndSign(words, false);
    return x;
}

RadixInt RandomDigits(uint32_t radix, uint32_t count, std::mt19937_64& rng) {
    RadixInt x(radix);
    x.reserve(count);
    for (uint32_t i = 0; i < count; ++i) x.digits()[i] = uint32_t(rng() % radix);
    x.digits()[count - 1] |= 1;
    x.setLengthAndSign(count, false);
    return x;
}

// mpz_powm(a, N - 1, N).
double GmpPowmMicroseconds(const BigInt& modulus, uint32_t a) {
    mpz_t n, e, base, r;
    mpz_inits(n, e, base, r, nullptr);
    ToMpz(n, modulus);
    mpz_sub_ui(e, n, 1);
    mpz_set_ui(base, a);
    const double us = OnceMicroseconds([&] { mpz_powm(r, base, e, n); });
    sink = uint32_t(mpz_get_ui(r));
    mpz_clears(n, e, base, r, nullptr);
    return us;
}

// a^(N-1) mod N for N = k*2^n + 1 by squarings (mpz_mul) and the form's
// reduction: x = h 2^n + l, h = q k + r, x = q N + (l + r 2^n - q).
double GmpSpecialMicroseconds(uint32_t k, uint32_t n, uint32_t a) {
    mpz_t N, e, x, h, l, q;
    mpz_inits(N, e, x, h, l, q, nullptr);
    mpz_set_ui(N, k);
    mpz_mul_2exp(N, N, n);
    mpz_add_ui(N, N, 1);
    mpz_sub_ui(e, N, 1);
    auto reduce = [&] {
        mpz_tdiv_q_2exp(h, x, n);
        mpz_tdiv_r_2exp(l, x, n);
        const unsigned long r = mpz_tdiv_q_ui(q, h, k);
        mpz_set_ui(x, r);
        mpz_mul_2exp(x, x, n);
        mpz_add(x, x, l);
        mpz_sub(x, x, q);
        while (mpz_sgn(x) < 0) mpz_add(x, x, N);
    };
    const double us = OnceMicroseconds([&] {
        mpz_set_ui(x, a);
        for (size_t i = mpz_sizeinbase(e, 2) - 1; i-- > 0;) {
            mpz_mul(x, x, x);
            reduce();
            if (mpz_tstbit(e, i)) {
                mpz_mul_ui(x, x, a);
                reduce();
            }
        }
        while (mpz_cmp(x, N) >= 0) mpz_sub(x, x, N);
    });
    sink = uint32_t(mpz_get_ui(x));
    mpz_clears(N, e, x, h, l, q, nullptr);
    return us;
}

BigInt MinusOne(const BigInt& x) {
    BigInt e(x);
    e.subInt(1);
    return e;
}

void PrpBase2Row(QuietRun& quiet, uint32_t n) {
    const Candidate N{3, 2, n, 1};
    BigInt modulus;
    modulus.setCandidate(3, 2, n, 1);
    const BigInt e = MinusOne(modulus);
    RunContext run = quiet.context();
    BigInt x;
    const double ours = OnceMicroseconds([&] { PowerRunBase2(run, N, 3, e, 0, x); }, 2);
    const double powm = GmpPowmMicroseconds(modulus, 3);
    const double special = GmpSpecialMicroseconds(3, n, 3);
    const std::string name = "prp-3-2-" + std::to_string(n);
    PrintRow(name, ours, "gmp-powm", powm);
    PrintRow(name, ours, "gmp-special", special);
}

// A whole Fermat test of 3*2^n + 1 through PowerRunBase2 in the weighted
// transform beside the same run forced onto the exact square and fold: the
// rows that place the size from which the weighted path is taken.
void WeightedCrossoverRow(QuietRun& quiet, uint32_t n) {
    const Candidate N{3, 2, n, 1};
    BigInt modulus;
    modulus.setCandidate(3, 2, n, 1);
    const BigInt e = MinusOne(modulus);
    RunContext run = quiet.context();
    BigInt x;
    const int repeats = int(std::max<uint32_t>(1, 4000000 / (n * (n / 1000 + 1))));
    auto timeRuns = [&](bool weighted) {
        SetWeightedRuns(weighted, 0);
        return OnceMicroseconds([&] {
                   for (int i = 0; i < repeats; ++i) PowerRunBase2(run, N, 3, e, 0, x);
               }, 3) / repeats;
    };
    const double weighted = timeRuns(true);
    const double exact = timeRuns(false);
    SetWeightedRuns(true);
    PrintRow("prp-3-2-" + std::to_string(n) + "-weighted", weighted, "exact-fold", exact);
}

// One step of PowerRunBase2 modulo 3*2^n + 1 (a run over a random exponent
// of `steps` + 1 bits, per step), and beside it the product-and-fold step
// through ModularSteps.h alone (SquareStepBase2, MulStepBase2 at a 1 bit),
// which keeps measuring that path whatever PowerRunBase2 takes; both against
// the FFTW complex pair of length bits/32.
void StepBase2Rows(QuietRun& quiet, uint32_t bits, uint32_t steps, std::mt19937_64& rng) {
    const uint32_t k = 3, n = bits - 2;
    const Candidate N{k, 2, n, 1};
    const BigInt e = RandomBits(steps + 1, rng);
    RunContext run = quiet.context();
    BigInt x;
    // A run of twice the steps less a run of the steps: what a step costs
    // inside a long run, without the run's planning, load and read-out.
    const BigInt e2 = RandomBits(2 * steps + 1, rng);
    const double ours = (OnceMicroseconds([&] { PowerRunBase2(run, N, 3, e2, 0, x); }, 2) -
                         OnceMicroseconds([&] { PowerRunBase2(run, N, 3, e, 0, x); }, 2)) /
                        steps;
    const double fold = OnceMicroseconds([&] {
                            BigInt y;
                            y.setUnsigned(3);
                            for (uint32_t i = steps; i-- > 0;) {
                                SquareStepBase2(y, N);
                                if ((e.words()[i / 32] >> (i % 32)) & 1u) MulStepBase2(y, 3, N);
                            }
                            FinishBase2(y, N);
                            sink = y.checksum();
                        },
                        2) /
                        steps;
    const double fftw = FftwPairMicroseconds(bits / 32, 1u << 17);
    const std::string size = std::to_string(bits);
    PrintRow("step-base2-" + size, ours, "fftw-bits32", fftw);
    PrintRow("step-base2-exact-fold-" + size, fold, "fftw-bits32", fftw);
}

// The weighted transform as the Ops of the checked walk (tests/GerbiczLi.h).
struct WeightedOps {
    using Residue = WeightedTransform;
    uint32_t k, n, a;
    void step(Residue& x, bool bit) {
        if (bit)
            x.squareStepTimes(a);
        else
            x.squareStep();
    }
    void multiply(Residue& x, const Residue& y) { x.multiply(y); }
    void setOne(Residue& x) {
        if (!x.planned()) x.plan(k, n, 1);
        x.setValue(1);
    }
    bool equal(const Residue& x, const Residue& y) { return x.value().compare(y.value()) == 0; }
};

struct NoHooks {
    bool stopRequested() { return false; }
    bool wantsVerifiedState() { return false; }
    void verified(const GerbiczLiState<WeightedTransform>&) {}
};

// A Fermat test 3^(N-1) of N = 3*2^n + 1 in the weighted transform walked
// with the Gerbicz-Li check at its planned period, against the same steps
// unchecked: the check's share of a run is ratio - 1 (about 2 %, so each
// side is the better of two runs).
void GerbiczLiShareRow(uint32_t bits) {
    const uint32_t k = 3, n = bits - 2;
    BigInt modulus;
    modulus.setCandidate(k, 2, n, 1);
    const BigInt e = MinusOne(modulus);
    WeightedOps ops{k, n, 3};
    WeightedTransform start;
    start.plan(k, n, 1);
    start.setValue(3);
    const double checked = OnceMicroseconds([&] {
        NoHooks hooks;
        GerbiczLiState<WeightedTransform> state{0, start};
        GerbiczLiCounts counts;
        WalkPowerChecked(ops, hooks, e, PlanGerbiczLi(e.topBitIndex()), state, counts);
        sink = state.x.value().checksum();
    }, 2);
    const double unchecked = OnceMicroseconds([&] {
        WeightedTransform x(start);
        for (uint32_t i = e.topBitIndex(); i-- > 0;) ops.step(x, (e.words()[i / 32] >> (i % 32)) & 1u);
        sink = x.value().checksum();
    }, 2);
    PrintRow("gerbicz-li-share-" + std::to_string(bits), checked, "unchecked", unchecked);
}

uint32_t DecimalExponentFor(uint32_t bits) { return uint32_t((bits - 20) / std::log2(10.0)); }

void StepRadixRow(QuietRun& quiet, uint32_t bits, uint32_t steps, std::mt19937_64& rng) {
    const uint32_t k = 1000003, n = DecimalExponentFor(bits);
    const Candidate N{k, 10, n, 1};
    const BigInt e = RandomBits(steps + 1, rng);
    RunContext run = quiet.context();
    RadixInt x(RadixOf(10));
    const double ours = OnceMicroseconds([&] { PowerRunRadix(run, N, 3, e, 0, x); }, 2) / steps;
    const RadixInt residue = RandomDigits(RadixOf(10), RadixModulus(N, RadixOf(10)).length() - 1, rng);
    RadixInt y(residue);
    const double bare = MinimumMicroseconds([&] {
        y = residue;
        y.square();
        sink = y.checksum();
    });
    PrintRow("step-radix10-" + std::to_string(bits), ours, "square", bare);
}

void PrpRadixRow(QuietRun& quiet) {
    const uint32_t k = 1000003, n = DecimalExponentFor(50000);
    const Candidate N{k, 10, n, 1};
    BigInt modulus;
    modulus.setCandidate(k, 10, n, 1);
    const BigInt e = MinusOne(modulus);
    RunContext run = quiet.context();
    RadixInt x(RadixOf(10));
    const double ours = OnceMicroseconds([&] { PowerRunRadix(run, N, 3, e, 0, x); }, 2);
    PrintRow("prp-radix10", ours, "gmp-powm", GmpPowmMicroseconds(modulus, 3));
}

// A Fermat test 3^(N-1) of N = B^m + 1 at the largest radix through
// PowerRunGfn.
void PrpGfnRow(QuietRun& quiet) {
    const uint32_t m = 1u << 12, radix = LargestGeneralizedFermatBase(m);
    BigInt modulus;
    modulus.setCandidate(1, radix, m, 1);
    const BigInt e = MinusOne(modulus);
    RunContext run = quiet.context();
    RadixInt x(radix);
    float maxErr = 0;
    const double ours = OnceMicroseconds([&] { PowerRunGfn(run, radix, m, 3, e, 0, x, maxErr); }, 2);
    PrintRow("prp-gfn", ours, "gmp-powm", GmpPowmMicroseconds(modulus, 3));
}

// One doubling step modulo k*2^n - 1, the step of LucasDoublingRun (a whole
// run at this size is n - 2 steps, far too long to time): U := U V,
// V := V^2 - 2, each reduced.
void StepLucasRow(uint32_t bits, std::mt19937_64& rng) {
    const uint32_t k = 1000003, n = bits - 20;
    BigInt u = RandomBits(bits - 40, rng), v = RandomBits(bits - 40, rng);
    BigInt a(u), b(v);
    const double ours = MinimumMicroseconds([&] {
        a.mulTransform(b);
        reduceBase2(a, k, n, -1);
        b.square();
        b.subInt(2);
        reduceBase2(b, k, n, -1);
        sink = a.checksum() ^ b.checksum();
    });
    const double bare = MinimumMicroseconds([&] {
        a = u;
        a.mulTransform(v);
        b = v;
        b.square();
        sink = a.checksum() ^ b.checksum();
    });
    PrintRow("step-lucas2-" + std::to_string(bits), ours, "mul+square", bare);
}

}  // namespace

void RunPrpBench() {
    StartLikeTheProgram("numen-bench-prp");
    QuietRun quiet(std::filesystem::temp_directory_path() / "numen-bench-prp");
    std::mt19937_64 rng(2026);
    std::printf("# whole Fermat tests and single power-run steps; ours on one core beside GMP and the bare square\n");
    PrpBase2Row(quiet, 50000);
    PrpBase2Row(quiet, 100000);
    for (uint32_t n : {500u, 1000u, 2000u, 4000u, 8000u, 16000u, 32000u}) WeightedCrossoverRow(quiet, n);
    StepBase2Rows(quiet, 1u << 17, 2000, rng);
    StepBase2Rows(quiet, 1u << 20, 400, rng);
    StepBase2Rows(quiet, 1u << 22, 300, rng);
    GerbiczLiShareRow(1u << 17);
    StepRadixRow(quiet, 1u << 20, 400, rng);
    PrpRadixRow(quiet);
    PrpGfnRow(quiet);
    StepLucasRow(1u << 20, rng);
}

}  // namespace numen::bench
