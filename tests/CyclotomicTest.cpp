#include "arith/CyclotomicValue.h"
#include "arith/DecimalDigits.h"
#include "report/ResidueWord.h"
#include "report/ResultLines.h"
#include "sieve/PrimeSieve.h"
#include "tests/BaseSearch.h"
#include "tests/ExactPrime64.h"
#include "tests/GfnTest.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

constexpr uint32_t kPassingBases = 10;

}  // namespace

bool CyclotomicTest(const RunContext& run, uint32_t n, uint32_t b, bool& mayBePrime) {
    mayBePrime = false;
    const BigInt N = CyclotomicValue(n, b);
    // Below 3 no base has symbol -1: decided exactly (2 = Phi_1(3) is
    // prime, 1 is not).
    if (N.compareInt(3) < 0) {
        mayBePrime = N.compareInt(2) == 0;
        if (mayBePrime) run.log.PrintLine(CyclotomicMayBePrimeLine(n, b, 3, 1));
        else run.log.PrintVerbose(CyclotomicCompositeLine(n, b, 3));
        return true;
    }
    const BigInt minusOne = N - 1;
    BigInt e(minusOne);
    e.shift(1);
    const uint32_t digits = DecimalDigitCount(N);
    PrimeSieve& sieve = SharedPrimeSieve();
    sieve.Restart();  // 2 is never a base: Next gives 3 first
    for (uint32_t passed = 0; passed < kPassingBases; ++passed) {
        const uint32_t a = NextNonResidue(sieve, sieve.Next(), N);
        if (a == 0) {
            // No base below N is left (tiny N) or N is a square: exact.
            uint64_t v = 0;
            mayBePrime = FitsIn64(N, v) && IsPrime64(v);
            if (!mayBePrime) run.log.PrintVerbose(CyclotomicCompositeLine(n, b, 3));
            return true;
        }
        BigInt x;
        if (!PowerRunCyclotomic(run, n, b, a, e, x)) return false;
        if (x.compare(minusOne) != 0) {
            mayBePrime = false;
            // The residue lets two runs on two machines be compared.
            VerdictLine line = CyclotomicCompositeLine(n, b, a);
            line.facts.residue = ResidueWord(x, N);
            run.log.PrintVerbose(line);
            return true;
        }
        mayBePrime = true;
        run.log.PrintLine(CyclotomicMayBePrimeLine(n, b, a, digits));
    }
    return true;
}

}  // namespace numen
