// What the output of a self-test entry must show, read from its heading:
// the lines of the prime announcement, the relation notes of the walk, the
// divisibility lines. Shared by the quick and the full self-test runs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "search/SelfTestList.h"

namespace numen::testing {

// The number an entry tests: k*b^n - 1 for the -1 handlers, k*b^n + 1 for
// the +1 handlers, k^n + 1 (written 1*k^n + 1) for the generalized Fermat
// one; base is the job's base during the entry.
struct SelfTestNumber {
    uint32_t k, b, n;
    int32_t c;
};

inline SelfTestNumber NumberOf(const SelfTestEntry& e, uint32_t base) {
    switch (e.handler) {
        case SelfTestHandler::Plus2: return {e.k, 2, e.n, 1};
        case SelfTestHandler::Minus2: return {e.k, 2, e.n, -1};
        case SelfTestHandler::PlusB: return {e.k, base, e.n, 1};
        case SelfTestHandler::MinusB: return {e.k, base, e.n, -1};
        case SelfTestHandler::Gfn: break;
    }
    return {1, e.k, e.n, 1};
}

template <typename... Args>
std::string PromiseFormat(const char* format, Args... args) {
    char text[200];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// The start of the number's prime line ("... is prime!").
inline std::string PrimeLineStart(const SelfTestNumber& N) {
    return PromiseFormat("%u*%u^%u %c 1 is prime!", N.k, N.b, N.n, N.c > 0 ? '+' : '-');
}

// Whole pane lines (CR LF included) that the entry's output must contain,
// besides its prime line. Empty for a heading this reading does not know,
// which the table test refuses.
inline std::vector<std::string> PromisedLines(const SelfTestEntry& e, uint32_t base) {
    const std::string h = e.heading;
    const SelfTestNumber N = NumberOf(e, base);
    std::vector<std::string> lines;
    const auto note = [&lines](const std::string& text) { lines.push_back(text + "\r\n"); };
    unsigned m = 0, gfBase = 0;
    if (h == "[Prime]") {
        lines.push_back(PrimeLineStart(N));  // nothing beyond the prime line
    } else if (h == "[Twin]") {
        note(" - Twin -");
    } else if (h == "[Twin & Cunningham chain 1st kind length 3]") {
        note(" - Twin -");
        note(" - Cunningham chain of length 3 -");
    } else if (h == "[Cunningham chain 1st kind length 3]") {
        note(" - Cunningham chain of length 3 -");
    } else if (h == "[Cunningham chain 2nd kind length 3]") {
        note(" - Cunningham chain 2nd kind of length 3 -");
    } else if (h == "[Cunningham chain 2nd kind]") {
        note(" - Cunningham chain 2nd kind -");
    } else if (h == "[Sophie Germain]" || h == "[Sophie Germain (k.2^n+1)]") {
        note(" - Sophie Germain -");
    } else if (h == "[Mersenne and Woodall]") {
        // 2^n - 1 with n = 2^j + j is also 2^j*2^(2^j) - 1.
        uint32_t j = 0;
        while ((1u << (j + 1)) + j + 1 <= N.n) ++j;
        note(PromiseFormat(" - Mersenne (2^%u - 1) -", N.n));
        if ((1u << j) + j == N.n) note(PromiseFormat(" - Woodall (%u*2^%u - 1) -", 1u << j, 1u << j));
    } else if (h == "[Woodall]") {
        note(PromiseFormat(" - Woodall (%u*2^%u - 1) -", N.k, N.n));
    } else if (h == "[Generalized Cullen]") {
        note(PromiseFormat(" - Generalized Cullen (%u*%u^%u + 1) -", N.k, N.b, N.n));
    } else if (h == "[Generalized Fermat]") {
        note(PromiseFormat(" - Generalized Fermat (%u^%u + 1) -", N.b, N.n));
    } else if (std::sscanf(h.c_str(), "[divides F%u]", &m) == 1) {
        lines.push_back(PromiseFormat("%u*2^%u + 1 divides F%u !\r\n", N.k, N.n, m));
    } else if (std::sscanf(h.c_str(), "[divides GF(%u, %u)]", &m, &gfBase) == 2) {
        lines.push_back(PromiseFormat("%u*2^%u + 1 divides GF(%u, %u) !\r\n", N.k, N.n, m, gfBase));
    } else if (std::sscanf(h.c_str(), "[divides Phi(%u^%u, 2)]", &gfBase, &m) == 2) {
        lines.push_back(PromiseFormat("%u*%u^%u + 1 divides Phi(%u^%u, 2) !\r\n", N.k, N.b, N.n, gfBase, m));
    }
    return lines;
}

// The pane texts of each entry: from its heading up to the next heading
// (or the end), in list order; fewer sections when the run ended early.
inline std::vector<std::vector<std::string>> EntrySections(const std::vector<std::string>& pane) {
    std::vector<std::vector<std::string>> sections;
    const auto entries = SelfTestEntries();
    for (const std::string& text : pane) {
        const size_t next = sections.size();
        if (next < entries.size() && text == std::string("\r\n") + entries[next].heading + "\r\n") {
            sections.emplace_back();
        }
        if (!sections.empty()) sections.back().push_back(text);
    }
    return sections;
}

}  // namespace numen::testing
