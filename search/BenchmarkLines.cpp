// The benchmarks' texts (see BenchmarkLines.h).
#include "search/BenchmarkLines.h"

#include <cmath>
#include <cstdint>

#include "report/TextFormat.h"

namespace numen {

namespace {

// The unit of a time per multiplication and the value written in it.
struct TimeUnit {
    const char* name;
    double value;
};

TimeUnit UnitOf(double perMul) {
    if (perMul >= 1) return {"s", perMul};
    if (perMul >= 0.001) return {"ms", 1000 * perMul};
    return {"\xC2\xB5s", 1000000 * perMul};
}

}  // namespace

std::string Base2TimingText(uint32_t count, uint32_t k, uint32_t n) {
    return Format("Computing %u multiplications (mod %u*2^%u + 1)", count, k, n);
}

std::string GfnTimingText(uint32_t count, uint32_t b, uint32_t n) {
    return Format("Computing %u multiplications (mod %u^%u + 1)", count, b, n);
}

std::string Base3TimingText(uint32_t count, uint32_t b, uint32_t n) {
    return Format("Computing %u multiplications (mod 2*%u^%u + 1)", count, b, n);
}

std::string TimingLine(uint32_t k, uint32_t b, uint32_t n, double perMul, double err) {
    const TimeUnit t = UnitOf(perMul);
    return Format("%u*%u^%u + 1\tTime: %.03lg %s/mul.\tErr: %.2le\r\n", k, b, n, t.value, t.name, err);
}

std::string MarkedTimingLine(uint32_t k, uint32_t b, uint32_t n, double perMul, double err, int markIndex,
                             int mark) {
    const TimeUnit t = UnitOf(perMul);
    return Format("%u*%u^%u + 1\tTime: %.03lg %s/mul.\tErr: %.2le\tNumenMark%d: %d\r\n", k, b, n, t.value,
                  t.name, err, markIndex, mark);
}

std::string GfnTimingLine(uint32_t b, uint32_t n, double perMul, double err) {
    const TimeUnit t = UnitOf(perMul);
    return Format("%u^%u + 1\tTime: %.03lg %s/mul.\tErr: %.2e\t%u digits\r\n", b, n, t.value, t.name, err,
                  PowerDecimalDigits(b, n));
}

std::string TrialDivisionLine(double seconds, int mark) {
    return Format("Trial division\tElapsed time: % .1lf sec\t\tNumenMark1: %d\r\n", seconds, mark);
}

std::string NumenMarkLine(int mark) { return Format("NumenMark : %d.\r\n", mark); }

uint32_t PowerDecimalDigits(uint32_t b, uint32_t n) {
    const long double digits = std::floor(static_cast<long double>(n) * std::log10(static_cast<long double>(b)));
    return uint32_t(digits) + 1;
}

int BenchmarkMark(double constant, double seconds) {
    const double limit = INT32_MAX;
    if (!(seconds > 0)) return INT32_MAX;
    const double mark = std::trunc(constant / seconds + 0.5);
    return mark >= limit ? INT32_MAX : int(mark);
}

}  // namespace numen
