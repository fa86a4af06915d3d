#include "search/SelfTestList.h"

#include <array>

namespace numen {

namespace {

constexpr SelfTestHandler Plus2 = SelfTestHandler::Plus2;
constexpr SelfTestHandler Minus2 = SelfTestHandler::Minus2;
constexpr SelfTestHandler PlusB = SelfTestHandler::PlusB;
constexpr SelfTestHandler MinusB = SelfTestHandler::MinusB;
constexpr SelfTestHandler Gfn = SelfTestHandler::Gfn;
constexpr SelfTestCaseLine KN = SelfTestCaseLine::KN;
constexpr SelfTestCaseLine KBN = SelfTestCaseLine::KBN;
constexpr SelfTestCaseLine Lucas = SelfTestCaseLine::Lucas;
constexpr uint32_t Keep = 0;  // a generalized Fermat entry takes k as its base

// Entries 21 and 30 are found by the walk: their half-predecessor is the
// Sophie Germain prime. Entry 10 is 2^521 - 1, which the prime line also
// names Woodall (512*2^512 - 1).
constexpr std::array<SelfTestEntry, kSelfTestEntryCount> kEntries{{
    {"[Prime]", 2, 262185, 27, Minus2, KN},
    {"[Cunningham chain 2nd kind length 3]", 3, 3784, 10, PlusB, KBN},
    {"[Cunningham chain 1st kind length 3]", 10, 54, 10, MinusB, KBN},
    {"[Twin & Cunningham chain 1st kind length 3]", 11, 8442, 10, PlusB, KBN},
    {"[divides F37]", 2, 1275438465, 39, Plus2, KN},
    {"[divides F107]", 2, 1289179925, 111, Plus2, KN},
    {"[divides F164]", 2, 1835601567, 167, Plus2, KN},
    {"[divides F256]", 2, 36986355, 258, Plus2, KN},
    {"[Twin]", 10, 10062, 100, PlusB, KBN},
    {"[Mersenne and Woodall]", 2, 1, 521, Minus2, Lucas},
    {"[divides F1990]", 2, 150863, 1993, Plus2, KN},
    {"[Cunningham chain 1st kind length 3]", 2, 384205437, 4001, Minus2, KN},
    {"[Cunningham chain 2nd kind length 3]", 2, 572665143, 4009, Plus2, KN},
    {"[divides Phi(19^1210, 2)]", 19, 30, 1210, PlusB, KBN},
    {"[Cunningham chain 1st kind length 3]", 2, 1749900015, 6820, Minus2, KN},
    {"[Twin]", 2, 915, 11455, Plus2, KN},
    {"[Generalized Fermat]", Keep, 6101512, 512, Gfn, KN},
    {"[Sophie Germain (k.2^n+1)]", 2, 92305, 16998, Plus2, KN},
    {"[Generalized Fermat]", Keep, 4999612, 1024, Gfn, KN},
    {"[divides F23471]", 2, 5, 23473, Plus2, KN},
    {"[Sophie Germain]", 2, 72021, 23630, Minus2, KN},
    {"[Prime]", 10, 113946, 11111, MinusB, KBN},
    {"[Prime]", 10, 123108, 11111, PlusB, KBN},
    {"[Twin]", 2, 835335, 39014, Minus2, KN},
    {"[Cunningham chain 2nd kind]", 2, 675558849, 40218, Plus2, KN},
    {"[divides GF(40936, 6)]", 2, 95, 40937, Plus2, KN},
    {"[Generalized Fermat]", Keep, 4002226, 2048, Gfn, KN},
    {"[divides F83861]", 2, 99, 83863, Plus2, KN},
    {"[Generalized Fermat]", Keep, 3294966, 4096, Gfn, KN},
    {"[Sophie Germain]", 2, 2540041185, 114730, Minus2, KN},
    {"[Woodall]", 2, 151023, 151023, Minus2, KN},
    {"[Generalized Fermat]", Keep, 2678312, 8192, Gfn, KN},
    {"[divides F213319]", 2, 3, 213321, Plus2, KN},
    {"[Generalized Fermat]", Keep, 2178220, 16384, Gfn, KN},
    {"[Generalized Cullen]", 10, 105994, 105994, PlusB, KN},
    {"[Generalized Fermat]", Keep, 1519380, 32768, Gfn, KN},
    {"[Woodall]", 2, 667071, 667071, Minus2, KN},
    {"[Generalized Fermat]", Keep, 1361846, 65536, Gfn, KN},
}};

}  // namespace

std::span<const SelfTestEntry> SelfTestEntries() { return kEntries; }

}  // namespace numen
