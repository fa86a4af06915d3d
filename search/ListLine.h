// The lines of the two list modes: reading a list in pieces of at most 131
// characters, a File-mode line "k n", and a Verifier-mode listing line
// "rank k*b^n+1 ...".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace numen {

// A list is read in lines of at most kListLineLength characters: a longer
// physical line is read, and counted, as several lines, so that a list line
// saved for Continue always names the same place in the file.
inline constexpr std::size_t kListLineLength = 131;

// Reads a list from an open file. A line ends at LF (CR LF as well: a CR
// just before the LF is dropped) or at the end of the file; an empty file
// has no line, and a last line without its end still counts. A UTF-8 byte
// order mark in front of the first line (an editor's) is not part of it.
class ListLineReader {
public:
    explicit ListLineReader(std::FILE* file) : file_(file) {}
    // The next line, without its end; false at the end of the file.
    bool next(std::string& line);

private:
    int read();  // the next character, EOF at the end

    std::FILE* file_;
    bool started_ = false;
    std::string pending_;  // read ahead, not yet part of a line
};

// A File-mode line: k and n, scanned "%u%u" (anything after them is
// ignored), are a candidate when k != 0, k <= 2^31 - 1 unless the base is
// 2, and 2 <= n <= ExponentLimit(testForm, base). A number written with a
// minus sign or beyond 2^32 - 1 makes the line no candidate (the scan would
// read it as another number).
bool ReadFileLine(const std::string& line, int testForm, uint32_t base, uint32_t& k, uint32_t& n);

// A number of a verifier listing, k*b^n + 1 (plus) or k*b^n - 1.
struct ListedNumber {
    uint32_t k = 0, b = 0, n = 0;
    bool plus = true;
    bool operator==(const ListedNumber&) const = default;
};

// A verifier line: a rank, maybe a one-character marker, then k*b^n+-c or
// b^n+-c (k = 1), the first of the four scans that fills all its fields
// with "^" after b. A candidate when the first sign is "*", c = 1, the last
// sign "+" or "-", k != 0, k <= 2^31 - 1 unless b = 2, no field beyond
// 2^32 - 1 or negative, and the number within the arithmetic's reach:
// 2 <= b <= 999,999 with n <= ExponentLimit of its form and base, or for
// b^n + 1 also a base the generalized-Fermat transform takes at n.
bool ReadVerifierLine(const std::string& line, ListedNumber& number);

}  // namespace numen
