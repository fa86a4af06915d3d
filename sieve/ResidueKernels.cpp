// The four-modulus kernel of generalized Fermat divisors: m squarings of b
// for four moduli side by side, in Montgomery form.
#include "sieve/ResidueKernels.h"

namespace numen {

unsigned GfnMinusOneMask(uint32_t b, uint32_t m, const std::array<uint64_t, 4>& q) {
    const Montgomery64 mont[4] = {Montgomery64(q[0]), Montgomery64(q[1]), Montgomery64(q[2]), Montgomery64(q[3])};
    uint64_t x[4];
    for (int j = 0; j < 4; ++j) x[j] = mont[j].toForm(b);
    for (uint32_t i = 0; i < m; ++i)
        for (int j = 0; j < 4; ++j) x[j] = mont[j].mul(x[j], x[j]);
    unsigned mask = 0;
    for (int j = 0; j < 4; ++j)
        if (mont[j].reduce(x[j]) == q[j] - 1) mask |= 1u << j;
    return mask;
}

}  // namespace numen
