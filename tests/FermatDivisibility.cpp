// Fermat and generalized-Fermat divisibility of k*2^n + 1, and the
// cyclotomic divisibility Phi(b^m, 2) of k*b^n + 1 (FermatDivisibility.h).
#include "tests/FermatDivisibility.h"

#include <cstdio>
#include <string>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceBase2.h"
#include "report/MessageSink.h"
#include "report/TextFormat.h"
#include "tests/PlusOneTest.h"
#include "tests/PowerRuns.h"
#include "tests/RunCheckpoint.h"
#include "tests/RunProgress.h"

namespace numen {

namespace {

constexpr uint32_t DivisibilityStage = 3;
// The last phase follows all six bases; the fast phase only 2, 3 and 5.
constexpr uint32_t LastPhaseSteps = 50;

// The six bases in report order, with their lines.
enum Base { Two, Three, Five, Six, Ten, Twelve, BaseCount };

struct BaseLines {
    const char* divides;  // the number divided, for "Numen.json"
    const char* hit;      // pane and "Numen.log"
    const char* record;   // "Numen.txt"
    const char* none;     // verbose closing line
};

constexpr BaseLines Lines[BaseCount] = {
    {"F%u", "%u*2^%u + 1 divides F%u !\r\n", "%u*2^%u+1 Divides Fermat F(%u)\n",
     "%u*2^%u + 1 doesn't divide any Fm.\r\n"},
    {"GF(%u, 3)", "%u*2^%u + 1 divides GF(%u, 3) !\r\n", "%u*2^%u+1 Divides GF(%u, 3)\n",
     "%u*2^%u + 1 doesn't divide any GF(3, m).\r\n"},
    {"GF(%u, 5)", "%u*2^%u + 1 divides GF(%u, 5) !\r\n", "%u*2^%u+1 Divides GF(%u, 5)\n",
     "%u*2^%u + 1 doesn't divide any GF(5, m).\r\n"},
    {"GF(%u, 6)", "%u*2^%u + 1 divides GF(%u, 6) !\r\n", "%u*2^%u+1 Divides GF(%u, 6)\n",
     "%u*2^%u + 1 doesn't divide any GF(6, m).\r\n"},
    {"GF(%u, 10)", "%u*2^%u + 1 divides GF(%u, 10) !\r\n", "%u*2^%u+1 Divides GF(%u, 10)\n",
     "%u*2^%u + 1 doesn't divide any GF(10, m).\r\n"},
    {"GF(%u, 12)", "%u*2^%u + 1 divides GF(%u, 12) !\r\n", "%u*2^%u+1 Divides GF(%u, 12)\n",
     "%u*2^%u + 1 doesn't divide any GF(12, m).\r\n"},
};

struct DivisibilityScan {
    const RunContext& run;
    uint32_t k, n;
    BigInt minusOne;  // N - 1 = k*2^n, the residue -1
    bool hit[BaseCount] = {};

    // x is a^(2^m) mod N, fully reduced.
    void check(const BigInt& x, Base base, uint32_t m) {
        if (x.compare(minusOne) != 0) return;
        hit[base] = true;
        run.log.PrintLine(Format(Lines[base].hit, k, n, m));
        run.log.AppendResults(Format(Lines[base].record, k, n, m));
        run.log.ReportDivisibility(Candidate{k, 2, n, 1}, Format(Lines[base].divides, m), m);
    }
    void squareAndCheck(BigInt& x, Base base, uint32_t m) {
        x.square();
        reduceBase2(x, k, n, 1);
        check(x, base, m);
    }
    BigInt product(const BigInt& x, const BigInt& y) {
        BigInt p(x);
        p.mulTransform(y);
        reduceBase2(p, k, n, 1);
        return p;
    }
};

}  // namespace

bool FermatDivisibility(const RunContext& run, uint32_t k, uint32_t n, uint32_t depth) {
    const bool keepsCheckpoint = depth == 0 && KeepsCheckpoint(run, 2, n, DivisibilityStage);
    DivisibilityScan scan{run, k, n, {}};
    scan.minusOne.setCandidate(k, 2, n, 0);

    uint32_t stepCount = 0;
    uint32_t r = n == 0 ? 0 : n - 1;
    BigInt x2(2), x3(3), x5(5);
    if (keepsCheckpoint) {
        uint32_t savedCount = 0, savedLeft = 0;
        BigInt s2, s3, s5;
        if (run.checkpoint->readDivisibility(DivisibilityStage, k, n, savedCount, savedLeft, s2, s3, s5) &&
            savedLeft <= r) {
            // The record counts the step at its countdown, which is done
            // again now (as in the power runs).
            stepCount = savedCount > 0 ? savedCount - 1 : 0;
            r = savedLeft;
            x2 = std::move(s2);
            x3 = std::move(s3);
            x5 = std::move(s5);
        }
    }
    // Small N (n <= 3): 2, 3 or 5 may not be below N; one reduction makes
    // them residues.
    reduceBase2(x2, k, n, 1);
    reduceBase2(x3, k, n, 1);
    reduceBase2(x5, k, n, 1);

    RunProgress progress(run, Format("%u*2^%u + 1 ? Checking GFm div.", k, n), n, 1, 2);
    progress.start(stepCount, r + 1);
    auto save = [&] {
        if (keepsCheckpoint)
            run.checkpoint->writeDivisibility(DivisibilityStage, k, n, progress.stepCount(), r, x2, x3, x5);
    };

    while (r > LastPhaseSteps) {
        if (progress.beginStep()) save();
        if (progress.stopRequested()) {
            save();
            return false;
        }
        const uint32_t m = n - r;
        scan.squareAndCheck(x2, Two, m);
        scan.squareAndCheck(x3, Three, m);
        scan.squareAndCheck(x5, Five, m);
        --r;
    }
    while (r > 0) {
        if (run.stopRequested()) return false;
        const uint32_t m = n - r;
        scan.squareAndCheck(x2, Two, m);
        scan.squareAndCheck(x3, Three, m);
        scan.squareAndCheck(x5, Five, m);
        const BigInt x6 = scan.product(x2, x3);
        scan.check(x6, Six, m);
        scan.check(scan.product(x6, x2), Twelve, m);
        scan.check(scan.product(x2, x5), Ten, m);
        --r;
    }
    for (int base = Two; base < BaseCount; ++base)
        if (!scan.hit[base]) run.log.PrintVerbose(Format(Lines[base].none, k, n));
    return true;
}

bool PhiDivisibility(const RunContext& run, uint32_t k, uint32_t b, uint32_t n) {
    if (!IsSmallPrime(b)) return true;
    const Candidate N{k, b, n, 1};
    RadixInt x(RadixOf(b), 2);
    int64_t r = int64_t(n) - 1;
    const std::string stem = Format("%u*%u^%u + 1 ? Checking Phi(%u^m, 2) div.", k, b, n, b);
    RunProgress progress(run, stem, n, 1, 1);
    progress.start(0, n + 9);
    do {
        progress.beginStep();
        if (progress.stopRequested()) return false;
        x = SmallPower(x, int32_t(b), N);
        if (x.compareInt(1) == 0) {
            const uint32_t m = uint32_t(int64_t(n) - r);
            run.log.PrintLine(Format("%u*%u^%u + 1 divides Phi(%u^%u, 2) !\r\n", k, b, n, b, m));
            run.log.AppendResults(Format("%u*%u^%u+1 Divides Phi(%u^%u,2)\n", k, b, n, b, m));
            run.log.ReportDivisibility(N, Format("Phi(%u^%u, 2)", b, m), m);
            return true;
        }
        --r;
    } while (r > -10);
    run.log.PrintVerbose(Format("%u*%u^%u + 1 doesn't divide any Phi(%u^m, 2) !\r\n", k, b, n, b));
    return true;
}

}  // namespace numen
