// SmallPower (PowerRuns.h): y^e mod N for a one-word exponent, right to left,
// on the products and reductions of ModularSteps.h.
#include "arith/ModularSteps.h"
#include "tests/PowerRuns.h"

namespace numen {

BigInt SmallPower(const BigInt& y, int32_t e, const Candidate& N) {
    if (e <= 0) return BigInt(1);
    return PowerByForm(y, uint32_t(e), {N.b == 2 ? ModulusKind::Base2 : ModulusKind::General, N});
}

RadixInt SmallPower(const RadixInt& y, int32_t e, const Candidate& N) {
    if (e <= 0) return RadixInt(y.radix(), 1);
    return PowerByForm(y, uint32_t(e), {ModulusKind::Radix, N});
}

}  // namespace numen
