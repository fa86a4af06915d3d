// Timing for numen-bench: the minimum over repeated samples, each sample long
// enough for the clock, repeated until the minimum stops improving.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace numen::bench {

// Microseconds for one call of fn (set-up must happen outside fn).
inline double MinimumMicroseconds(const std::function<void()>& fn, double budgetSeconds = 1.0) {
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    // Calibrate a batch so one sample takes at least ~2 ms.
    long batch = 1;
    for (;;) {
        auto t0 = Clock::now();
        for (long i = 0; i < batch; ++i) fn();
        double s = seconds(Clock::now() - t0);
        if (s >= 0.002 || batch >= (1L << 30)) break;
        batch *= s < 0.0002 ? 10 : 2;
    }
    double best = 1e300;
    int sinceImprovement = 0;
    auto start = Clock::now();
    while (sinceImprovement < 5 || seconds(Clock::now() - start) < 0.05) {
        auto t0 = Clock::now();
        for (long i = 0; i < batch; ++i) fn();
        double perCall = seconds(Clock::now() - t0) / double(batch);
        if (perCall < best * 0.99) {
            sinceImprovement = 0;
        } else {
            ++sinceImprovement;
        }
        if (perCall < best) best = perCall;
        if (seconds(Clock::now() - start) > budgetSeconds) break;
    }
    return best * 1e6;
}

inline void PrintRow(const std::string& name, double oursUs, const char* ref = nullptr, double refUs = 0) {
    if (ref == nullptr) {
        std::printf("case=%s ours_us=%.3f\n", name.c_str(), oursUs);
    } else {
        std::printf("case=%s ours_us=%.3f ref=%s ref_us=%.3f ratio=%.3f\n", name.c_str(), oursUs, ref, refUs,
                    oursUs / refUs);
    }
    std::fflush(stdout);
}

}  // namespace numen::bench
