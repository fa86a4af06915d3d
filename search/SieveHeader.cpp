#include "search/SieveHeader.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

#include "search/SearchJob.h"

namespace numen {

namespace {

constexpr std::string_view kRefusalStart = "The list \"";
constexpr std::string_view kRefusalEnd = ": not started.\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// A decimal of at most 32 bits.
bool ReadUnsigned(std::string_view s, uint32_t& v) {
    if (!IsDigits(s)) return false;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    return error == std::errc() && end == s.data() + s.size();
}

std::string PairsOf(int form, uint32_t base) {
    if (form == GfnForm) return "k^n+1";
    char text[32];
    std::snprintf(text, sizeof text, form == PlusOneForm ? "k*%u^n+1" : "k*%u^n-1", base);
    return text;
}

SieveHeader Pairs(SieveHeader::Kind kind, int form, uint32_t base) {
    return {kind, true, form, base, PairsOf(form, base) + " numbers"};
}

SieveHeader Unreadable(SieveHeader::Kind kind, std::string numbers) {
    return {kind, false, 0, 0, std::move(numbers)};
}

// limit:letter:chain:base[:mode], every field but the letter decimal.
SieveHeader ReadColonHeader(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t colon = line.find(':', start);
        fields.push_back(line.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (fields.size() != 4 && fields.size() != 5) return {};
    const std::string_view letter = fields[1];
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) return {};
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (i != 1 && !IsDigits(fields[i])) return {};
    const SieveHeader::Kind kind = SieveHeader::Kind::Colon;
    uint32_t base = 0;
    if (!ReadUnsigned(fields[3], base)) return Unreadable(kind, "numbers of base " + std::string(fields[3]));
    int form = -1;
    if (fields.size() == 5) {
        uint32_t mode = 0;
        // Bits 0x100 and 0x400 say how the sieve ran, not what it sieved.
        if (ReadUnsigned(fields[4], mode)) mode &= ~0x500u;
        if (mode == 1) form = PlusOneForm;
        if (mode == 2) form = MinusOneForm;
        if (form < 0) return Unreadable(kind, "numbers of sieve mode " + std::string(fields[4]));
    } else {
        if (letter[0] == 'P') form = PlusOneForm;
        if (letter[0] == 'M') form = MinusOneForm;
        if (form < 0) return Unreadable(kind, "numbers of sieve kind " + std::string(letter));
    }
    return Pairs(kind, form, base);
}

// "ABC" and an expression of the line's values $a, $b, ...
SieveHeader ReadAbcHeader(std::string_view line) {
    const SieveHeader::Kind kind = SieveHeader::Kind::Abc;
    std::string_view rest = line.substr(3);
    for (std::string_view compressed : {"D", "2"}) {
        if (rest.starts_with(compressed) && (rest.size() == 1 || IsBlank(rest[1])))
            return Unreadable(kind, "numbers in the ABC" + std::string(compressed) + " format");
    }
    if (!rest.empty() && !IsBlank(rest.front())) return {};
    const std::size_t comment = rest.find("//");
    if (comment != std::string_view::npos) rest = rest.substr(0, comment);
    std::string expression;
    for (char c : rest)
        if (!IsBlank(c)) expression.push_back(c);
    if (expression == "$a^$b+1") return Pairs(kind, GfnForm, 0);
    const std::string_view e = expression;
    const std::size_t caret = e.find("^$b");
    if (e.starts_with("$a*") && caret != std::string_view::npos && caret >= 3) {
        const std::string_view tail = e.substr(caret + 3);
        uint32_t base = 0;
        if (ReadUnsigned(e.substr(3, caret - 3), base) && (tail == "+1" || tail == "-1"))
            return Pairs(kind, tail == "+1" ? PlusOneForm : MinusOneForm, base);
    }
    return Unreadable(kind, (expression.empty() ? std::string("unnamed") : expression) + " numbers");
}

std::string RunNumbers(int testForm, uint32_t base) {
    if (testForm == PlusOneForm || testForm == MinusOneForm || testForm == GfnForm) return PairsOf(testForm, base);
    return "cyclotomic values";
}

bool Agrees(const SieveHeader& header, int testForm, uint32_t base) {
    if (testForm == GfnForm) return header.form == GfnForm;
    if (testForm == PlusOneForm || testForm == MinusOneForm) return header.form == testForm && header.base == base;
    return false;  // no sieve writes cyclotomic values as "k n"
}

}  // namespace

SieveHeader ReadSieveHeader(std::string_view line) {
    line = Trimmed(line);
    if (line.starts_with("ABC")) return ReadAbcHeader(line);
    if (line.find(':') != std::string_view::npos) return ReadColonHeader(line);
    return {};
}

std::string HeaderRefusal(const SieveHeader& header, const std::string& listName, int testForm, uint32_t base) {
    if (header.kind == SieveHeader::Kind::None) return {};
    if (header.pairs && Agrees(header, testForm, base)) return {};
    const std::string run = RunNumbers(testForm, base);
    std::string line = std::string(kRefusalStart) + listName + "\" holds " + header.numbers + ", not ";
    line += header.pairs ? run : "\"k n\" pairs of " + run;
    return line + std::string(kRefusalEnd);
}

bool IsHeaderRefusal(std::string_view line) {
    return line.starts_with(kRefusalStart) && line.ends_with(kRefusalEnd);
}

}  // namespace numen
