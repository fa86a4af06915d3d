// Row-start weights and the rotation constants of the exact transform
// products, in 80-bit precision, cached by shape (see TransformWeights.h).
#include "arith/TransformWeights.h"

#include <bit>
#include <cmath>
#include <vector>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

struct WeightTables {
    uint32_t g = 0, b = 0;       // key; b = 0: nothing built
    std::vector<ExtendedComplex> rowStarts;
    std::vector<Complex> rowStartsDouble;
    std::vector<Complex> columnWeights;
    long double cot = 0, sin = 0;
    uint32_t radix = 0xffffffffu;  // never a real radix: the first Prepare records
    double radixD = 0, inverseRadix = 0;
    uint64_t builds = 0;
};

WeightTables& Tables() {
    static WeightTables tables;
    return tables;
}

}  // namespace

long double TransformScale(uint32_t length) {
    long double t = -std::log2(static_cast<long double>(length)) / 3.0L;
    long double whole = std::floor(t);
    return std::ldexp(std::exp2(t - whole), int(whole));
}

void TransformWeights::Prepare(uint32_t g, uint32_t b, uint32_t radix) {
    WeightTables& t = Tables();
    if (radix != t.radix) {
        t.radix = radix;
        t.radixD = double(radix);
        t.inverseRadix = radix != 0 ? 1.0 / double(radix) : 0.0;
    }
    if (g == t.g && b == t.b) return;
    try {
        t.rowStarts.resize(b);
        t.rowStartsDouble.resize(b);
        t.columnWeights.resize(g);
    } catch (const std::bad_alloc&) {
        throw ArithmeticFault("not enough memory for the transform weights");
    }
    uint32_t length = g * b;
    long double scale = TransformScale(length);
    for (uint32_t r = 0; r < b; ++r) {
        long double angle = -kPi * r / (2.0L * b);
        t.rowStarts[r] = {scale * std::cos(angle), scale * std::sin(angle)};
        t.rowStartsDouble[r] = {double(t.rowStarts[r].re), double(t.rowStarts[r].im)};
    }
    for (uint32_t c = 0; c < g; ++c) {
        long double angle = -kPi * c / (2.0L * length);
        t.columnWeights[c] = {double(std::cos(angle)), double(std::sin(angle))};
    }
    long double theta = -kPi / (2.0L * length);
    t.sin = std::sin(theta);
    t.cot = std::cos(theta) / t.sin;
    t.g = g;
    t.b = b;
    ++t.builds;
}

const ExtendedComplex* TransformWeights::RowStarts() { return Tables().rowStarts.data(); }
const Complex* TransformWeights::RowStartsDouble() { return Tables().rowStartsDouble.data(); }
const Complex* TransformWeights::ColumnWeights() { return Tables().columnWeights.data(); }
long double TransformWeights::RotationCot() { return Tables().cot; }
long double TransformWeights::RotationSin() { return Tables().sin; }
double TransformWeights::Radix() { return Tables().radixD; }
double TransformWeights::InverseRadix() { return Tables().inverseRadix; }
uint64_t TransformWeights::Builds() { return Tables().builds; }

void TransformWeights::Invalidate() {
    Tables().g = 0;
    Tables().b = 0;
}

}  // namespace numen
