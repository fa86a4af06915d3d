// k*2^n + 1 by the N - 1 criterion: for k < 2^n, N is prime exactly when
// a^((N-1)/2) = -1 (mod N) for an a with (a/N) = -1. One run decides; in a
// search a second base confirms a prime.
#include "report/ResidueWord.h"
#include "tests/BaseSearch.h"
#include "tests/CompositeVerification.h"
#include "tests/PlusOneTest.h"
#include "tests/PowerRuns.h"
#include "tests/RunCheckpoint.h"

namespace numen {

namespace {

// A resumed search whose record says the verification run was under way:
// the first run already found N prime (and said so) before the stop. Only
// the search's own candidate (depth 0, verifying) wrote such a record.
bool ResumesAtVerification(const RunContext& run, uint32_t n, uint32_t depth, bool verify) {
    if (!verify || depth != 0 || run.checkpoint == nullptr || !IsLargeCandidate(2, n)) return false;
    uint32_t stage = 0;
    return run.checkpoint->readStage(stage) && stage == 2;
}

}  // namespace

bool PlusOneTestBase2(const RunContext& run, uint32_t k, uint32_t n, uint32_t depth, bool verify,
                      bool& prime) {
    prime = false;
    if (RefusedBySizeBase2(run, k, n)) return true;
    const Candidate form{k, 2, n, 1};
    BigInt N;
    N.setCandidate(k, 2, n, 1);
    if (ReportedAsSquare(run, form, N)) return true;
    // Verifier mode: the first verdict is already the final one.
    const bool final = depth == 0 && !verify;
    PrimeSieve& sieve = SharedPrimeSieve();
    uint32_t a = NextNonResidue(sieve, sieve.Restart(), N);
    if (a == 0) {
        prime = DecideExactly(run, form, N, final, VerdictKind::Proof);
        return true;
    }

    BigInt e = N - 1;
    e.shift(1);
    const BigInt minusOne = N - 1;
    BigInt x;
    if (ResumesAtVerification(run, n, depth, verify)) {
        prime = true;
    } else {
        if (!PowerRunBase2(run, form, a, e, depth == 0 ? 1 : 0, x)) return false;
        prime = x.compare(minusOne) == 0;
        if (prime)
            run.log.AnnouncePrime(form, int32_t(a), 0, final, final);
        else
            run.log.ReportComposite(form, int32_t(a), 0, final,
                                    ResidueFacts(nullptr, ResidueWord(x, N), "(N-1)/2"));
    }

    if (prime && verify) {
        const uint32_t second = NextNonResidue(sieve, sieve.Next(), N);
        if (second == 0) {
            // N of a few digits has no second base below it.
            prime = DecideExactly(run, form, N, true, VerdictKind::Proof);
            return true;
        }
        if (!PowerRunBase2(run, form, second, e, depth == 0 ? 2 : 0, x)) return false;
        prime = x.compare(minusOne) == 0;
        if (prime)
            run.log.AnnouncePrime(form, int32_t(second), 0, true, true);
        else
            run.log.ReportComposite(form, int32_t(second), 0, true,
                                    ResidueFacts(nullptr, ResidueWord(x, N), "(N-1)/2"));
        a = second;
    }
    if (prime || !run.options.verifComposites) return true;
    return VerifyCompositeBase2(run, form, N, e, sieve, a, x);
}

}  // namespace numen
