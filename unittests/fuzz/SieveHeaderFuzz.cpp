// Fuzz target: the sieve header a list starts with (search/SieveHeader.h).
// The input is the first line.
//
// Properties: a header that is "k n" pairs lets exactly the runs of its
// form and base go on and refuses the others with one refusal line; the
// same pairs written as a colon and as an ABC header read back the same;
// a line that is no header refuses nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "search/SearchJob.h"
#include "search/SieveHeader.h"

namespace numen {
namespace {

bool SamePairs(const SieveHeader& a, const SieveHeader& b) {
    return b.pairs && a.form == b.form && a.base == b.base;
}

void CheckCanonicalForms(const SieveHeader& header) {
    if (header.form == GfnForm) {
        NUMEN_FUZZ_CHECK(SamePairs(header, ReadSieveHeader("ABC $a^$b+1")));
        return;
    }
    const std::string base = std::to_string(header.base);
    const bool plus = header.form == PlusOneForm;
    NUMEN_FUZZ_CHECK(SamePairs(header, ReadSieveHeader("ABC $a*" + base + "^$b" + (plus ? "+1" : "-1"))));
    NUMEN_FUZZ_CHECK(SamePairs(header, ReadSieveHeader("1000000000:P:1:" + base + (plus ? ":1" : ":2"))));
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const SieveHeader header = ReadSieveHeader(line);
    if (header.kind == SieveHeader::Kind::None) NUMEN_FUZZ_CHECK(!header.pairs);
    if (header.pairs) {
        NUMEN_FUZZ_CHECK(header.form == PlusOneForm || header.form == MinusOneForm || header.form == GfnForm);
        CheckCanonicalForms(header);
    }
    const uint32_t bases[] = {2, 3, header.base, header.base + 1};
    for (int form : {int(PlusOneForm), int(MinusOneForm), int(GfnForm), int(AnyForm)}) {
        for (uint32_t base : bases) {
            const std::string refusal = HeaderRefusal(header, "list.txt", form, base);
            const bool agrees = form == GfnForm ? header.form == GfnForm
                                                : form != AnyForm && header.form == form && header.base == base;
            const bool goesOn = header.kind == SieveHeader::Kind::None || (header.pairs && agrees);
            NUMEN_FUZZ_CHECK(refusal.empty() == goesOn);
            NUMEN_FUZZ_CHECK(refusal.empty() || IsHeaderRefusal(refusal));
            NUMEN_FUZZ_CHECK(refusal.find('\n') == refusal.size() - 1 || refusal.empty());
        }
    }
    return 0;
}
