// numen-bench TOPIC: one row per case, ours next to a reference library
// measured in the same run.
#include <cstdio>
#include <cstring>

#include "bench/Topics.h"

int main(int argc, char** argv) {
    using namespace numen::bench;
    for (const Topic& topic : kTopics) {
        if (argc == 2 && std::strcmp(argv[1], topic.name) == 0) {
            topic.run();
            return 0;
        }
    }
    std::fprintf(stderr, "usage: numen-bench TOPIC\ntopics:");
    for (const Topic& topic : kTopics) std::fprintf(stderr, " %s", topic.name);
    std::fprintf(stderr, "\n");
    return 2;
}
