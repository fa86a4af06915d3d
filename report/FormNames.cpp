#include "report/FormNames.h"

#include "report/TextFormat.h"

namespace numen {

namespace {

void Add(PrimeRecord& r, const char* name, std::string note) {
    r.record += name;
    r.notes.push_back(std::move(note));
    r.names.emplace_back(name + 1);
}

// b^q <= bound for b >= 2, exactly (a floating-point root misjudges the equality
// cases, e.g. 4^3 = 64).
bool PowerAtMost(uint64_t b, uint64_t q, uint64_t bound) {
    uint64_t p = 1;
    for (uint64_t i = 0; i < q; ++i) {
        if (p > bound / b) return false;  // p*b would exceed bound
        p *= b;
    }
    return p <= bound;
}

void WalkCullenWoodall(PrimeRecord& r, uint32_t k, uint32_t b, uint32_t n, bool plus) {
    // Bases below 2 are no candidates, and k = 0 gives no index; without
    // them K at least doubles each step, so the walk ends within 33 steps.
    // K <= m <= n < 2^32 while it goes on and b < 2^32, so K*b never wraps
    // in 64 bits.
    if (k == 0 || b < 2) return;
    uint64_t K = k;
    for (uint64_t j = 0; j <= n; ++j, K *= b) {
        const uint64_t m = n - j;
        if (K > m) break;
        const uint32_t K32 = uint32_t(K), m32 = uint32_t(m);
        if (K == m && K > b) {
            if (plus) {
                if (b == 2) Add(r, " Cullen", Format(" - Cullen (%u*2^%u + 1) -", K32, m32));
                else Add(r, " Generalized Cullen", Format(" - Generalized Cullen (%u*%u^%u + 1) -", K32, b, m32));
            } else {
                if (b == 2) Add(r, " Woodall", Format(" - Woodall (%u*2^%u - 1) -", K32, m32));
                else Add(r, " Generalized Woodall", Format(" - Generalized Woodall (%u*%u^%u - 1) -", K32, b, m32));
            }
        } else if (K > 1 && m % K == 0) {
            const uint32_t q = uint32_t(m / K);
            if (PowerAtMost(b, q, K)) {
                if (plus)
                    Add(r, " Generalized Cullen",
                        Format(" - Generalized Cullen (%u*(%u^%u)^%u + 1) -", K32, b, q, K32));
                else
                    Add(r, " Generalized Woodall",
                        Format(" - Generalized Woodall (%u*(%u^%u)^%u - 1) -", K32, b, q, K32));
            }
        }
    }
}

}  // namespace

PrimeRecord DescribePrime(const Candidate& N) {
    const uint32_t k = N.k, b = N.b, n = N.n;
    const int32_t c = N.c;
    const uint32_t m = N.offsetMagnitude();
    PrimeRecord r;
    if (c >= 0) r.record = k == 1 ? Format("%u^%u+%d", b, n, c) : Format("%u*%u^%u+%d", k, b, n, c);
    else r.record = k == 1 ? Format("%u^%u-%u", b, n, m) : Format("%u*%u^%u-%u", k, b, n, m);
    if (N.isChainOffset()) return r;

    // 1*b^n + 1 is named so whatever n: the record does not ask for 2^m.
    const bool plus = N.isPlusOne();
    if (k == 1) {
        if (plus && b == 2) Add(r, " Fermat", Format(" - Fermat (2^%u + 1) -", n));
        else if (plus) Add(r, " Generalized Fermat", Format(" - Generalized Fermat (%u^%u + 1) -", b, n));
        else if (b == 2) Add(r, " Mersenne", Format(" - Mersenne (2^%u - 1) -", n));
    }
    WalkCullenWoodall(r, k, b, n, plus);
    return r;
}

}  // namespace numen
