// The benchmark topics of numen-bench.
#pragma once

namespace numen::bench {

void RunBigIntBench();

struct Topic {
    const char* name;
    void (*run)();
};

inline constexpr Topic kTopics[] = {
    {"bigint", RunBigIntBench},
};

}  // namespace numen::bench
