#include "tests/BaseSearch.h"

#include <cmath>

#include "arith/ArithmeticFault.h"
#include "report/ResultLines.h"
#include "tests/ExactPrime64.h"

namespace numen {

namespace {

// A non-square N has a prime non-residue among its first few bases; this
// many failures in a row make the search ask whether N is a square at all,
// which costs one integer square root and otherwise never happens.
constexpr uint32_t kTriesBeforeSquareCheck = 64;

}  // namespace

bool RefusedBySizeBase2(const RunContext& run, uint32_t k, uint32_t n) {
    if (n >= 32 || (k >> n) == 0) return false;
    run.log.PostToWindow(SizeRefusalText(k, 2, n), PaneText);
    return true;
}

bool RefusedBySize(const RunContext& run, uint32_t k, uint32_t b, uint32_t n) {
    if (n >= 32) return false;
    const long double lnK = std::log(static_cast<long double>(k));
    if (lnK < static_cast<long double>(n) * std::log(static_cast<long double>(b))) return false;
    run.log.PostToWindow(SizeRefusalText(k, b, n), PaneText);
    return true;
}

bool KAtLeastPower(uint32_t k, uint32_t b, uint32_t n) {
    uint64_t power = 1;
    for (uint32_t i = 0; i < n; ++i) {
        power *= b;
        if (power > k) return false;
    }
    return true;
}

bool IsSquare(const BigInt& N) {
    if (N.isNegative()) return false;
    const BigInt r = isqrt(N);
    return (r * r).compare(N) == 0;
}

bool ReportedAsSquare(const RunContext& run, const Candidate& form, const BigInt& N) {
    if (form.n >= 1024 || !IsSquare(N)) return false;
    run.log.ReportComposite(form, 0, 0, false);
    return true;
}

bool FitsIn64(const BigInt& N, uint64_t& value) {
    if (N.isNegative() || N.length() > 2) return false;
    value = N.length() == 0 ? 0 : N.words()[0];
    if (N.length() == 2) value |= uint64_t(N.words()[1]) << 32;
    return true;
}

uint32_t NextNonResidue(PrimeSieve& sieve, uint32_t first, const BigInt& N) {
    // The criteria need an odd N; an even one is decided exactly.
    if (N.lowBits(1) == 0) return 0;
    BigInt base;
    uint32_t tries = 0;
    for (uint32_t a = first; a != 0 && N.compareInt(int32_t(0)) > 0; a = sieve.Next()) {
        // a < N, compared without wrapping a into a signed word.
        base.setUnsigned(a);
        if (base.compare(N) >= 0) return 0;
        if (jacobi(base, N) == -1) return a;
        if (++tries == kTriesBeforeSquareCheck && IsSquare(N)) return 0;
    }
    return 0;
}

bool DecideExactly(const RunContext& run, const Candidate& form, const BigInt& N, bool verification,
                   VerdictKind kind) {
    if (IsSquare(N)) {
        run.log.ReportComposite(form, 0, 0, false);
        return false;
    }
    uint64_t value = 0;
    if (!FitsIn64(N, value)) throw ArithmeticFault("no non-residue base below 2^32");
    const bool prime = IsPrime64(value);
    if (!prime)
        run.log.ReportComposite(form, 2, 0, verification, ProofFacts("exact"));
    else if (kind == VerdictKind::Proof)
        run.log.AnnouncePrime(form, 0, 0, verification, true);
    else
        run.log.PrintLine(MayBePrimeLine(form, 2));
    return prime;
}

}  // namespace numen
