#include "report/ResidueWord.h"

namespace numen {

uint64_t ResidueWord(const BigInt& x, const BigInt& N) {
    // Most residues are already reduced: the remainder is only taken when
    // x lies outside [0, N) (a RadixInt may hold x + N or a negative value).
    BigInt r;
    const BigInt* v = &x;
    if (x.isNegative() || x.compare(N) >= 0) {
        r = mod(x, N);
        if (r.isNegative()) r.add(N);
        v = &r;
    }
    if (v->length() == 0) return 0;
    const uint64_t low = v->words()[0];
    return v->length() == 1 ? low : low | uint64_t(v->words()[1]) << 32;
}

uint64_t ResidueWord(const RadixInt& x, const BigInt& N) { return ResidueWord(x.toBigInt(), N); }

}  // namespace numen
