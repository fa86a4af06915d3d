#include "search/RelatedPrimes.h"

#include "report/ResultLines.h"

namespace numen {

namespace {

BigInt ValueOf(const Candidate& entry) {
    BigInt v;
    v.setCandidate(entry.k, entry.b, entry.n, entry.c);
    return v;
}

// The number of chain members found next to N: x -> 2x + step upwards and
// x -> (x - step) / 2 downwards (step = 1: first kind, -1: second kind).
uint32_t ChainLength(const FoundList& found, const BigInt& N, int32_t step) {
    uint32_t length = 1;
    BigInt x(N);
    for (;;) {
        x.shift(-1);  // doubled
        x.addInt(step);
        if (!FoundListHasValue(found, x)) break;
        ++length;
    }
    x = N;
    for (;;) {
        x.subInt(step);
        x.shift(1);  // halved
        if (x.compareInt(1) <= 0 || !FoundListHasValue(found, x)) break;
        ++length;
    }
    return length;
}

}  // namespace

bool FoundListHasValue(const FoundList& found, const BigInt& x) {
    for (uint32_t i = 0; i < found.count(); ++i)
        if (ValueOf(found[i]).compare(x) == 0) return true;
    return false;
}

bool RecordPrime(FoundList& found, ResultLog& log, const Candidate& prime) {
    const bool first = found.count() == 0;
    if (!found.append(prime)) return false;
    if (first) return true;
    const BigInt N = ValueOf(prime);
    BigInt plus2(N), minus2(N);
    plus2.addInt(2);
    minus2.subInt(2);
    const bool twin = FoundListHasValue(found, plus2) || FoundListHasValue(found, minus2);
    for (const RelationNote& note : Relations(twin, ChainLength(found, N, 1), ChainLength(found, N, -1)))
        log.ReportRelation(prime, note.relation, note.length, note.text);
    return true;
}

}  // namespace numen
