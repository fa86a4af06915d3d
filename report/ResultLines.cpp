#include "report/ResultLines.h"

#include "report/TextFormat.h"

namespace numen {

namespace {

// |c| without overflow for INT32_MIN; printed with %u where the line shows
// " - |c|" (same text as %d for every other value).
uint32_t Magnitude(int32_t c) { return c < 0 ? uint32_t(0) - uint32_t(c) : uint32_t(c); }

std::string CompositeText(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                          bool verification, const double* err) {
    const uint32_t m = Magnitude(c);
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

std::string PrimeLine(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                      bool verification, uint32_t digits) {
    const char* v = verification ? "verification : " : "";
    const int d = int(digits);
    if (x == 0) {
        return c >= 0 ? Format("%u*%u^%u + %d is prime! [%d digits]\r\n", k, b, n, c, d)
                      : Format("%u*%u^%u - %u is prime! [%d digits]\r\n", k, b, n, Magnitude(c), d);
    }
    return c >= 0 ? Format("%u*%u^%u + %d is prime! (%sa = %d) [%d digits]\r\n", k, b, n, c, v, x, d)
                  : Format("%u*%u^%u - %u is prime! (%sP = %d, Q = %d) [%d digits]\r\n", k, b, n, Magnitude(c),
                           v, x, q, d);
}

std::string CompositeLine(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                          bool verification) {
    return CompositeText(k, b, n, c, x, q, verification, nullptr);
}

std::string CompositeErrLine(uint32_t k, uint32_t b, uint32_t n, int32_t c, int32_t x, int32_t q,
                             bool verification, double err) {
    return CompositeText(k, b, n, c, x, q, verification, &err);
}

std::string FactorLine(uint32_t k, uint32_t b, uint32_t n, int32_t c, uint64_t f) {
    return c >= 0 ? Format("%u*%u^%u + %d factor : %.0lf\r\n", k, b, n, c, double(f))
                  : Format("%u*%u^%u - %u factor : %.0lf\r\n", k, b, n, Magnitude(c), double(f));
}

std::string FactorErrorLine(uint32_t k, uint32_t b, uint32_t n, int32_t c, uint64_t f) {
    return Format("%u*%u^%u + %d factor : %.0lf ERROR\r\n", k, b, n, c, double(f));
}

}  // namespace numen
