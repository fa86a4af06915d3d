// The texts of the three benchmarks: the progress text each timing posts
// first (no line end, replaced by the next text), the result line of each
// size, the trial-division and score lines, and the mark arithmetic.
//
// A time per multiplication T is written in seconds when T >= 1, in
// milliseconds when T >= 0.001 and in microseconds below; the micro sign is
// U+00B5 in UTF-8, as the pane and the console are.
#pragma once

#include <cstdint>
#include <string>

namespace numen {

inline constexpr char kMainBenchmarkHeader[] = "BENCH 4.0\r\n";
inline constexpr char kGfnBenchmarkHeader[] = "Generalized Fermat Number Bench\r\n";
inline constexpr char kBase3BenchmarkHeader[] = "2.3^n+1 Bench\r\n";
// The trial-division workload has no small factor: finding one means the
// machine computes wrongly.
inline constexpr char kBenchmarkFatalLine[] = "Fatal error\r\n";

// "Computing %u multiplications (mod %u*2^%u + 1)"
std::string Base2TimingText(uint32_t count, uint32_t k, uint32_t n);
// "Computing %u multiplications (mod %u^%u + 1)"
std::string GfnTimingText(uint32_t count, uint32_t b, uint32_t n);
// "Computing %u multiplications (mod 2*%u^%u + 1)"
std::string Base3TimingText(uint32_t count, uint32_t b, uint32_t n);

// "%u*%u^%u + 1\tTime: %.03lg s/mul.\tErr: %.2le\r\n" and its ms and micro
// forms, perMul the seconds per multiplication.
std::string TimingLine(uint32_t k, uint32_t b, uint32_t n, double perMul, double err);
// The same ending "\tNumenMark%d: %d\r\n" (markIndex, mark).
std::string MarkedTimingLine(uint32_t k, uint32_t b, uint32_t n, double perMul, double err, int markIndex,
                             int mark);
// "%u^%u + 1\tTime: %.03lg s/mul.\tErr: %.2e\t%u digits\r\n" and its ms and
// micro forms.
std::string GfnTimingLine(uint32_t b, uint32_t n, double perMul, double err);
// "Trial division\tElapsed time: % .1lf sec\t\tNumenMark1: %d\r\n"
std::string TrialDivisionLine(double seconds, int mark);
// "NumenMark : %d.\r\n"
std::string NumenMarkLine(int mark);

// Decimal digits of b^n: floor(n log10 b) + 1 (b^n is a power of ten only
// for b a power of ten, where the logarithm is exact in 80 bits).
uint32_t PowerDecimalDigits(uint32_t b, uint32_t n);

// trunc(constant / seconds + 0.5): a machine that takes exactly `constant`
// seconds scores 1. A time too short to be told from zero would make the
// quotient unbounded: the mark is capped at 2^31 - 1 (so the average of any
// number of marks still fits a mark).
int BenchmarkMark(double constant, double seconds);

}  // namespace numen
