// Fuzz target: a File-mode or Verifier-mode list (search/ListLine.h), read
// line by line as the loops read it, each line taken both as a File-mode
// line and as a verifier line, the first also as a sieve header.
//
// The first input byte chooses the run's form and base for the File-mode
// lines (form = byte % 3, base 2, 3, 10 or 1000003); the rest is the list.
//
// Properties: the lines are those of a plain model of the reader (byte
// order mark dropped, split at LF, a CR before the LF dropped, every
// physical line cut into pieces of 131 characters); a line taken as a
// candidate is within the run's limits, and the candidate written in the
// canonical form ("k n", "1 k*b^n+1") reads back as the same candidate.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "search/ExponentLimit.h"
#include "search/ListLine.h"
#include "search/SearchJob.h"
#include "search/SieveHeader.h"

namespace numen {
namespace {

constexpr uint32_t kBases[] = {2, 3, 10, 1000003};

// The lines the reader must give for `list`, in order.
std::vector<std::string> ModelLines(std::string_view list) {
    if (list.starts_with("\xEF\xBB\xBF")) list.remove_prefix(3);
    std::vector<std::string> lines;
    for (size_t start = 0; start < list.size();) {
        const size_t lf = list.find('\n', start);
        std::string_view physical = list.substr(start, lf == std::string_view::npos ? lf : lf - start);
        if (lf != std::string_view::npos && physical.ends_with('\r')) physical.remove_suffix(1);
        start = lf == std::string_view::npos ? list.size() : lf + 1;
        if (physical.empty()) lines.emplace_back();
        for (size_t at = 0; at < physical.size(); at += kListLineLength)
            lines.emplace_back(physical.substr(at, kListLineLength));
    }
    return lines;
}

void FuzzFileLine(const std::string& line, int form, uint32_t base) {
    uint32_t k = 0, n = 0;
    if (!ReadFileLine(line, form, base, k, n)) return;
    NUMEN_FUZZ_CHECK(k != 0 && (base == 2 || k <= 2147483647u));
    NUMEN_FUZZ_CHECK(n >= 2 && n <= ExponentLimit(form, base));
    const std::string canonical = std::to_string(k) + " " + std::to_string(n);
    uint32_t k2 = 0, n2 = 0;
    NUMEN_FUZZ_CHECK(ReadFileLine(canonical, form, base, k2, n2) && k2 == k && n2 == n);
}

void FuzzVerifierLine(const std::string& line) {
    ListedNumber number;
    if (!ReadVerifierLine(line, number)) return;
    NUMEN_FUZZ_CHECK(number.k != 0 && number.b >= 2);
    const std::string canonical = "1 " + std::to_string(number.k) + "*" + std::to_string(number.b) + "^" +
                                  std::to_string(number.n) + (number.plus ? "+1" : "-1");
    ListedNumber again;
    NUMEN_FUZZ_CHECK(ReadVerifierLine(canonical, again) && again == number);
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    if (size == 0) return 0;
    const int form = data[0] % 3;
    const uint32_t base = kBases[(data[0] / 3) % 4];
    // fmemopen of an empty buffer fails on some C libraries; an empty list
    // is the one-byte input.
    if (size == 1) return 0;
    std::FILE* list = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (list == nullptr) return 0;
    const std::vector<std::string> expected =
        ModelLines(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    ListLineReader reader(list);
    std::string line;
    size_t count = 0;
    bool first = true;
    while (reader.next(line)) {
        NUMEN_FUZZ_CHECK(count < expected.size() && line == expected[count]);
        ++count;
        if (first) {
            const SieveHeader header = ReadSieveHeader(line);
            const std::string refusal = HeaderRefusal(header, "list.txt", form, base);
            NUMEN_FUZZ_CHECK(refusal.empty() || IsHeaderRefusal(refusal));
            first = false;
        }
        FuzzFileLine(line, form, base);
        FuzzVerifierLine(line);
    }
    NUMEN_FUZZ_CHECK(count == expected.size());
    std::fclose(list);
    return 0;
}
