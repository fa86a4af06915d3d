// VerdictLine: a verdict line the tests print themselves -- the "may be
// prime" lines of the probable-prime stages and of inconclusive proof
// bases, and the cyclotomic verdicts -- with what its JSON object says.
// Printed through ResultLog::PrintLine or PrintVerbose, the text goes where
// any line of that call goes and, with JSON results on, the object is one
// line of "Numen.json"; so the tests need no second call, and the text is
// the same whether the object is written or not. Elsewhere it reads as its
// text (it converts to std::string and compares with text).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "report/VerdictFacts.h"

namespace numen {

struct VerdictLine {
    VerdictLine(std::string text, const ResultNumber& number) : text(std::move(text)), number(number) {}

    std::string text;
    ResultNumber number;
    bool composite = false;  // "composite", else "probable_prime"
    // The base a, or the Lucas parameters P = x and Q = q when lucas is set.
    int32_t x = 0;
    int32_t q = 0;
    bool lucas = false;
    // The digits the line prints; null: counted when the object is written.
    std::optional<uint32_t> digits;
    VerdictFacts facts;

    operator std::string() const { return text; }  // NOLINT: reads as its text
};

inline bool operator==(const VerdictLine& line, std::string_view text) { return line.text == text; }

}  // namespace numen
