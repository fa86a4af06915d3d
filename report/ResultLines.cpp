#include "report/ResultLines.h"

#include "report/TextFormat.h"

namespace numen {

namespace {

// |c| is printed with %u where the line shows " - |c|": the same text as %d
// for every value but INT32_MIN, which has no positive int.
std::string CompositeText(const Candidate& N, int32_t x, int32_t q, bool verification, const double* err) {
    const uint32_t k = N.k, b = N.b, n = N.n;
    const int32_t c = N.c;
    const uint32_t m = N.offsetMagnitude();
    if (x == 0) {
        return c >= 0 ? Format("%u*%u^%u + %d is composite (square)\r\n", k, b, n, c)
                      : Format("%u*%u^%u - %u is composite (square)\r\n", k, b, n, m);
    }
    if (verification) {
        if (err == nullptr) {
            if (c >= 0) return Format("%u*%u^%u + %d : verification failed !? (a = %d)\r\n", k, b, n, c, x);
            if (q != 0)
                return Format("%u*%u^%u - %u : verification failed !? (P = %d, Q = %d)\r\n", k, b, n, m, x, q);
            return Format("%u*%u^%u - %u : verification failed !? (a = %d)\r\n", k, b, n, m, x);
        }
        if (c >= 0)
            return Format("%u*%u^%u + %d : verification failed !? (a = %d, err = %.2e)\r\n", k, b, n, c, x, *err);
        if (q != 0)
            return Format("%u*%u^%u - %u : verification failed !? (P = %d, Q = %d, err = %.2e)\r\n", k, b, n, m,
                          x, q, *err);
        return Format("%u*%u^%u - %u : verification failed !? (a = %d, err = %.2e)\r\n", k, b, n, m, x, *err);
    }
    if (err == nullptr) {
        if (c >= 0) return Format("%u*%u^%u + %d is composite. (a = %d)\r\n", k, b, n, c, x);
        if (q != 0) return Format("%u*%u^%u - %u is composite. (P = %d, Q = %d)\r\n", k, b, n, m, x, q);
        return Format("%u*%u^%u - %u is composite. (a = %d)\r\n", k, b, n, m, x);
    }
    if (c >= 0) return Format("%u*%u^%u + %d is composite. (a = %d, err = %.2e)\r\n", k, b, n, c, x, *err);
    if (q != 0)
        return Format("%u*%u^%u - %u is composite. (P = %d, Q = %d, err = %.2e)\r\n", k, b, n, m, x, q, *err);
    return Format("%u*%u^%u - %u is composite. (a = %d, err = %.2e)\r\n", k, b, n, m, x, *err);
}

}  // namespace

std::string PrimeLine(const Candidate& N, int32_t x, int32_t q, bool verification, uint32_t digits) {
    const uint32_t k = N.k, b = N.b, n = N.n, m = N.offsetMagnitude();
    const int32_t c = N.c;
    const char* v = verification ? "verification : " : "";
    const int d = int(digits);
    if (x == 0) {
        return c >= 0 ? Format("%u*%u^%u + %d is prime! [%d digits]\r\n", k, b, n, c, d)
                      : Format("%u*%u^%u - %u is prime! [%d digits]\r\n", k, b, n, m, d);
    }
    return c >= 0 ? Format("%u*%u^%u + %d is prime! (%sa = %d) [%d digits]\r\n", k, b, n, c, v, x, d)
                  : Format("%u*%u^%u - %u is prime! (%sP = %d, Q = %d) [%d digits]\r\n", k, b, n, m, v, x, q, d);
}

std::string CompositeLine(const Candidate& N, int32_t x, int32_t q, bool verification) {
    return CompositeText(N, x, q, verification, nullptr);
}

std::string CompositeErrLine(const Candidate& N, int32_t x, int32_t q, bool verification, double err) {
    return CompositeText(N, x, q, verification, &err);
}

std::string FactorLine(const Candidate& N, uint64_t f) {
    return N.c >= 0 ? Format("%u*%u^%u + %d factor : %.0lf\r\n", N.k, N.b, N.n, N.c, double(f))
                    : Format("%u*%u^%u - %u factor : %.0lf\r\n", N.k, N.b, N.n, N.offsetMagnitude(), double(f));
}

std::string FactorErrorLine(const Candidate& N, uint64_t f) {
    return Format("%u*%u^%u + %d factor : %.0lf ERROR\r\n", N.k, N.b, N.n, N.c, double(f));
}

VerdictLine MayBePrimeLine(const Candidate& N, uint32_t a) {
    VerdictLine line(N.c >= 0 ? Format("%u*%u^%u + %d may be prime. (a = %u)\r\n", N.k, N.b, N.n, N.c, a)
                              : Format("%u*%u^%u - %u may be prime. (a = %u)\r\n", N.k, N.b, N.n,
                                       N.offsetMagnitude(), a),
                     N);
    line.x = int32_t(a);
    return line;
}

VerdictLine LucasMayBePrimeLine(uint32_t k, uint32_t b, uint32_t n, int32_t P, int32_t Q) {
    VerdictLine line(Format("%u*%u^%u - 1 may be prime. (P = %d, Q = %d)\r\n", k, b, n, P, Q),
                     Candidate{k, b, n, -1});
    line.x = P;
    line.q = Q;
    line.lucas = true;
    return line;
}

std::string SizeRefusalText(uint32_t k, uint32_t b, uint32_t n) {
    return b == 2 ? Format("%u >= 2^%u\r\n", k, n) : Format("%u >= %u^%u\r\n", k, b, n);
}

std::string TrialProgressText(const Candidate& N, uint64_t limit) {
    return Format("%u*%u^%u %c %u ? Trial division up to %.0lf", N.k, N.b, N.n, N.c >= 0 ? '+' : '-',
                  N.offsetMagnitude(), double(limit));
}

std::string GfnTrialProgressText(uint32_t b, uint32_t n, uint64_t count, uint64_t step) {
    return Format("%u^%u + 1 ? Trial division up to %.0lf*%llu + 1", b, n, double(count), (unsigned long long)step);
}

std::string NoSmallFactorLine(const Candidate& N) {
    if (N.c >= 0) return Format("%u*%u^%u + %d has no small factor.\r\n", N.k, N.b, N.n, N.c);
    return Format("%u*%u^%u - %u has no small factor.\r\n", N.k, N.b, N.n, N.offsetMagnitude());
}

std::string GfnNoSmallFactorLine(uint32_t b, uint32_t n) { return Format("%u^%u + 1 has no small factor.\r\n", b, n); }

std::string CyclotomicNoSmallFactorLine(uint32_t k, uint32_t n) {
    return Format("\"%u.%u\" has no small factor.\r\n", k, n);
}

std::vector<RelationNote> Relations(bool twin, uint32_t firstKindLength, uint32_t secondKindLength) {
    std::vector<RelationNote> notes;
    if (twin) notes.push_back({"Twin", 2, " - Twin -"});
    if (firstKindLength == 2) notes.push_back({"Sophie Germain", 2, " - Sophie Germain -"});
    if (secondKindLength == 2) notes.push_back({"Cunningham chain 2nd kind", 2, " - Cunningham chain 2nd kind -"});
    if (firstKindLength > 2)
        notes.push_back({"Cunningham chain 1st kind", firstKindLength,
                         Format(" - Cunningham chain of length %u -", firstKindLength)});
    if (secondKindLength > 2)
        notes.push_back({"Cunningham chain 2nd kind", secondKindLength,
                         Format(" - Cunningham chain 2nd kind of length %u -", secondKindLength)});
    return notes;
}

std::vector<std::string> RelationNotes(bool twin, uint32_t firstKindLength, uint32_t secondKindLength) {
    std::vector<std::string> texts;
    for (RelationNote& note : Relations(twin, firstKindLength, secondKindLength)) texts.push_back(std::move(note.text));
    return texts;
}

std::string GfnAlgebraicFactorLine(uint32_t b, uint32_t n, uint32_t r, uint32_t exponent) {
    return Format("%u^%u + 1 factor : %u^(%u*%u) + 1.\r\n", b, n, r, exponent, n);
}

VerdictLine GfnMayBePrimeLine(uint32_t b, uint32_t n, uint32_t a, double err) {
    VerdictLine line(Format("%u^%u + 1 may be prime. (a = %d, err = %.2e)\r\n", b, n, int32_t(a), err),
                     Candidate{1, b, n, 1});
    line.x = int32_t(a);
    line.facts.maxError = err;
    return line;
}

VerdictLine CyclotomicCompositeLine(uint32_t n, uint32_t b, uint32_t a) {
    VerdictLine line(Format("\"%u.%u\" is composite. (a = %u)\r\n", n, b, a),
                     ResultNumber::Cyclotomic(n, b));
    line.composite = true;
    line.x = int32_t(a);
    line.facts.proof = "prp";
    line.facts.exponent = "(N-1)/2";
    return line;
}

VerdictLine CyclotomicMayBePrimeLine(uint32_t n, uint32_t b, uint32_t a, uint32_t digits) {
    VerdictLine line(Format("\"%u.%u\" may be prime. (a = %u) [%d digits]\r\n", n, b, a, int32_t(digits)),
                     ResultNumber::Cyclotomic(n, b));
    line.x = int32_t(a);
    line.digits = digits;
    return line;
}

}  // namespace numen
