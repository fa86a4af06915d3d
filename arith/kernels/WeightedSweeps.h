// The vector sweeps of the weighted transform's carry pass
// (arith/WeightedTransform.cpp): plain records of what a sweep reads and
// writes, so that the files compiled for an instruction set see no class
// of the transform. Only weighted_avx2.cpp defines them; the transform
// calls them when its plan chose WeightedCarry::kAvx2 (a squaring family of
// AVX level 1 or more, so the processor has AVX2 and FMA).
#pragma once

#include <cstdint>

namespace numen {

// The carry pass a plan runs: the baseline scalar one (every family, and
// the oracle of the tests) or the AVX2+FMA sweeps.
enum class WeightedCarry { kScalar, kAvx2 };

// The chains the vector carry sweep runs side by side: four registers of
// four lanes, each lane one run of D/16 consecutive digits.
inline constexpr uint32_t kWeightedVectorSegments = 16;

// Sweeps 1 and 3: the buffer, its tables in digit order, the digit array.
struct WeightedSweepJob {
    double* array;             // element 0's real part; rows of rowStride elements
    uint32_t rows, rowLength;  // rowLength a multiple of 4
    uint32_t rowStride;
    uint32_t length;           // L: element j holds digits j and j + L (negacyclic)
    bool negacyclic;
    const double* weight;         // u_j
    const double* inverseWeight;  // 1/u_j
    const double* rotationRows;   // (cos, sin) per row, negacyclic
    const double* columnCos;
    const double* columnSin;
    double* digits;
};

// Sweep 2 on digits 4 * firstBlock .. run - 1 of every segment (the
// segments' carries in `carries` on entry and on return). run is a
// multiple of 4; wideMasks holds one word per block of 4 digits, bit
// 4 s + t set when digit s run + 4 block + t has the wider base.
struct WeightedCarryJob {
    double* digits;
    uint32_t run;
    uint32_t firstBlock;
    const uint64_t* wideMasks;
    double narrowBase, narrowInverse, wideBase, wideInverse;
    double* carries;  // kWeightedVectorSegments
};

// Unweights and rounds every element into the digit array (scale 1/L
// and the conjugate after a square, scale a between passes); returns the
// largest rounding distance, NaN for a NaN or a coefficient of 2^50 or more.
double WeightedUnweightAvx2(const WeightedSweepJob& job, double scale, bool fromSquare);
void WeightedReweightAvx2(const WeightedSweepJob& job);
void WeightedCarrySegmentsAvx2(const WeightedCarryJob& job);

}  // namespace numen
