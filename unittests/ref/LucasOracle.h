// U_m and U_{m+1} of the Lucas sequences of (P, Q) modulo N, computed with
// GMP by the plain binary ladder on the pair (U_m, U_{m+1}): the reference
// the Lucas matrices and the proofs are checked against.
#pragma once

#include <gmp.h>

#include "ref/GmpOracle.h"

namespace numen::testing {

// u = U_m mod N, next = U_{m+1} mod N, for m >= 0 (mpz exponent).
inline void LucasU(mpz_t u, mpz_t next, long P, long Q, mpz_srcptr m, mpz_srcptr N) {
    // U_{2j} = U_j (2 U_{j+1} - P U_j), U_{2j+1} = U_{j+1}^2 - Q U_j^2.
    Mpz a(0), b(1), t, s;
    for (long bit = long(mpz_sizeinbase(m, 2)) - 1; bit >= 0; --bit) {
        mpz_mul_si(t, a, P);
        mpz_mul_2exp(s, b, 1);
        mpz_sub(s, s, t);
        mpz_mul(s, s, a);  // U_{2j}
        mpz_mul(t, a, a);
        mpz_mul_si(t, t, Q);
        mpz_mul(b, b, b);
        mpz_sub(b, b, t);  // U_{2j+1}
        mpz_mod(a, s, N);
        mpz_mod(b, b, N);
        if (mpz_tstbit(m, bit)) {
            // (U_{j+1}, P U_{j+1} - Q U_j)
            mpz_mul_si(t, b, P);
            mpz_mul_si(s, a, Q);
            mpz_sub(t, t, s);
            mpz_set(a, b);
            mpz_mod(b, t, N);
        }
    }
    mpz_set(u, a);
    mpz_set(next, b);
}

}  // namespace numen::testing
