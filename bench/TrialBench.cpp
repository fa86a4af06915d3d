// numen-bench trial: TrialDivide on the benchmark workload of the system,
// 432711*2^43271 + 1 divided up to its own limit (about 2.3e8), and the
// prime generator alone up to that limit against primesieve.
#include <primesieve.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "bench/Topics.h"
#include "report/ResultLog.h"
#include "report/ResultLogTrialReport.h"
#include "sieve/PrimeSieve.h"
#include "sieve/TrialDivide.h"
#include "sieve/TrialLimit.h"

namespace numen::bench {

namespace {

// Minimum wall time in seconds over `repeats` calls; these calls are long
// (tenths of a second), so no batching is needed.
double MinimumSeconds(const std::function<void()>& fn, int repeats) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (s < best) best = s;
    }
    return best;
}

}  // namespace

void RunTrialBench() {
    const uint32_t k = 432711, b = 2, n = 43271;
    const uint64_t limit = TrialLimit(CandidateBits(b, n));

    // The primes TrialDivide tests: whole pairs whose second member is below the limit.
    PrimeSieve& sieve = SharedPrimeSieve();
    uint64_t tested = 0, sum = 0;
    sieve.Restart();
    for (uint32_t p2 = sieve.Next(); p2 < limit; sieve.Next(), p2 = sieve.Next()) tested += 2;

    ResultLog log(nullptr, std::filesystem::temp_directory_path());
    std::atomic<bool> running{true};
    ResultLogTrialReport report(log);
    const TrialContext context{report, running, {}};
    bool found = true;
    const double trial = MinimumSeconds([&] { TrialDivide(found, {k, b, n, 1}, context); }, 5);
    // No reference library divides by all these primes; the row carries the
    // workload instead (limit, primes tested, primes per second).
    std::printf("case=trialdivide-%u-%u-%u ours_us=%.0f limit=%llu primes=%llu primes_per_s=%.3e found=%d\n", k, b,
                n, trial * 1e6, (unsigned long long)limit, (unsigned long long)tested, double(tested) / trial,
                int(found));
    std::fflush(stdout);

    // The generator alone: every prime below the limit, summed so the work stays.
    const double ours = MinimumSeconds(
        [&] {
            uint64_t s = sieve.Restart();
            uint32_t p;
            while ((p = sieve.Next()) < limit) s += p;
            sum = s;
        },
        5);
    const uint64_t oursSum = sum;
    const double ref = MinimumSeconds(
        [&] {
            primesieve::iterator it;
            uint64_t s = 0, p;
            while ((p = it.next_prime()) < limit) s += p;
            sum = s;
        },
        5);
    if (oursSum != sum) {
        std::fprintf(stderr, "prime generator: sum of primes below %llu differs from primesieve's\n",
                     (unsigned long long)limit);
        std::exit(1);
    }
    std::printf("case=primes-below-%llu ours_us=%.0f ref=primesieve ref_us=%.0f ratio=%.3f\n",
                (unsigned long long)limit, ours * 1e6, ref * 1e6, ours / ref);
    std::fflush(stdout);
}

}  // namespace numen::bench
