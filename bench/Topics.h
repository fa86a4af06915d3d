// The benchmark topics of numen-bench.
#pragma once

namespace numen::bench {

void RunBigIntBench();
void RunTrialBench();
void RunSquareBench();
void RunModularBench();
void RunPrpBench();
void RunWeightedBench();
void RunSmoothBench();
void RunGfnCheckBench();

struct Topic {
    const char* name;
    void (*run)();
};

inline constexpr Topic kTopics[] = {
    {"bigint", RunBigIntBench},
    {"trial", RunTrialBench},
    {"square", RunSquareBench},
    {"modular", RunModularBench},
    {"prp", RunPrpBench},
    {"weighted", RunWeightedBench},
    {"smooth", RunSmoothBench},
    {"gfn-check", RunGfnCheckBench},
};

}  // namespace numen::bench
