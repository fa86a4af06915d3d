// Row-start weights and the rotation constants of the exact transform
// products, in 80-bit precision, built once per shape and kept (see TransformWeights.h).
#include "arith/TransformWeights.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

struct WeightTables {
    ProductWeights record{};
    std::vector<ExtendedComplex> rowStarts;
    std::vector<Complex> rowStartsDouble;
    std::vector<Complex> columnWeights;
};

std::unique_ptr<WeightTables> BuildWeights(uint32_t g, uint32_t b) {
    auto t = std::make_unique<WeightTables>();
    t->rowStarts.resize(b);
    t->rowStartsDouble.resize(b);
    t->columnWeights.resize(g);
    const uint32_t length = g * b;
    const long double scale = TransformScale(length);
    for (uint32_t r = 0; r < b; ++r) {
        long double angle = -kPi * r / (2.0L * b);
        t->rowStarts[r] = {scale * std::cos(angle), scale * std::sin(angle)};
        t->rowStartsDouble[r] = {double(t->rowStarts[r].re), double(t->rowStarts[r].im)};
    }
    for (uint32_t c = 0; c < g; ++c) {
        long double angle = -kPi * c / (2.0L * length);
        t->columnWeights[c] = {double(std::cos(angle)), double(std::sin(angle))};
    }
    const long double theta = -kPi / (2.0L * length);
    const long double sin = std::sin(theta);
    t->record = {g, b, t->rowStarts.data(), t->rowStartsDouble.data(), t->columnWeights.data(),
                 std::cos(theta) / sin, sin};
    return t;
}

struct Cache {
    std::mutex mutex;
    std::map<uint64_t, std::unique_ptr<const WeightTables>> shapes;
};

const ProductWeights& Build(uint32_t g, uint32_t b) {
    static Cache cache;
    std::lock_guard<std::mutex> lock(cache.mutex);
    std::unique_ptr<const WeightTables>& t = cache.shapes[uint64_t(g) << 32 | b];
    if (!t) {
        try {
            t = BuildWeights(g, b);
        } catch (const std::bad_alloc&) {
            throw ArithmeticFault("not enough memory for the transform weights");
        }
    }
    return t->record;
}

}  // namespace

long double TransformScale(uint32_t length) {
    long double t = -std::log2(static_cast<long double>(length)) / 3.0L;
    long double whole = std::floor(t);
    return std::ldexp(std::exp2(t - whole), int(whole));
}

const ProductWeights& ProductWeightsFor(uint32_t g, uint32_t b) {
    thread_local const ProductWeights* last = nullptr;
    if (last != nullptr && last->rowLength == g && last->rows == b) return *last;
    last = &Build(g, b);
    return *last;
}

}  // namespace numen
