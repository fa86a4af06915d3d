// The chain-member test of k*2^n + c (ChainMemberTest.h).
#include "tests/ChainMemberTest.h"

#include "report/ResidueWord.h"
#include "tests/BaseSearch.h"
#include "tests/ExactPrime64.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

// a^(N-1) mod N = 1 for a small N, exactly.
bool FermatPasses64(uint64_t a, uint64_t N) {
    unsigned __int128 r = 1, x = a % N;
    for (uint64_t e = N - 1; e != 0; e >>= 1) {
        if (e & 1) r = r * x % N;
        x = x * x % N;
    }
    return r == 1;
}

}  // namespace

bool ChainMemberTest(const RunContext& run, uint32_t k, uint32_t n, int32_t c, bool verify, bool& prime) {
    prime = false;
    if (RefusedBySizeBase2(run, k, n)) return true;
    const Candidate form{k, 2, n, c};
    BigInt N;
    N.setCandidate(k, 2, n, c);
    if (ReportedAsSquare(run, form, N)) return true;

    // N >= 5 here (k >= 1 below 2^n, c >= 3), so both bases are residues.
    // An N below 2^64 (an offset c that may exceed k*2^n, where the folding
    // reduction does not apply) is computed in machine words and decided by
    // the exact test, which no Fermat pseudoprime passes.
    const BigInt e = N - 1;
    uint64_t value = 0;
    const bool small = FitsIn64(N, value);
    // The verdict's facts for "Numen.json": a Fermat residue, or the exact test.
    const auto facts = [&](const BigInt* residue) {
        VerdictFacts f = ProofFacts(small ? "exact" : "prp");
        if (residue != nullptr) {
            f.residue = ResidueWord(*residue, N);
            f.exponent = "N-1";
        }
        return f;
    };
    BigInt x;
    if (small) {
        if (run.stopRequested()) return false;
        prime = IsPrime64(value);
    } else {
        if (!PowerRunBase2(run, form, 2, e, 0, x)) return false;
        prime = x.compareInt(1) == 0;
    }
    if (prime)
        run.log.AnnouncePrime(form, 2, 0, false, false, facts(nullptr));
    else
        run.log.ReportComposite(form, 2, 0, false, facts(small ? nullptr : &x));

    if (prime ? !verify : !run.options.verifComposites) return true;
    bool passes;
    BigInt y;
    if (small) {
        passes = FermatPasses64(3, value);
    } else {
        if (!PowerRunBase2(run, form, 3, e, 0, y)) return false;
        passes = y.compareInt(1) == 0;
    }
    if (prime && passes)
        run.log.AnnouncePrime(form, 3, 0, true, true, facts(nullptr));
    else
        // A base that passes a number found composite contradicts the
        // verdict: the failed-verification wording, as the other composite
        // verifications print it.
        run.log.ReportComposite(form, 3, 0, prime || passes, facts(small ? nullptr : &y));
    return true;
}

}  // namespace numen
