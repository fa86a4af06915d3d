// Copies of a weighted computation and the product of two of them
// (WeightedTransform.h): what a check of a whole run needs besides squares,
// and what the Lucas runs multiply with.
#include <cstring>

#include "arith/ArithmeticFault.h"
#include "arith/WeightedState.h"

namespace numen {

namespace {

// The buffer's contents into `to`, grown to the layout's size.
void CopyElements(const WeightedState& from, WeightedState& to) {
    to.buffer.reserve(from.elementCount());
    to.array = to.buffer.first();
    std::memcpy(static_cast<void*>(to.array), from.array, sizeof(Complex) * from.elementCount());
    to.scratch.resize(from.digits);
}

}  // namespace

WeightedTransform::WeightedTransform(const WeightedTransform& other) {
    if (!other.state_) return;
    auto st = std::make_unique<WeightedState>();
    static_cast<WeightedLayout&>(*st) = *other.state_;
    CopyElements(*other.state_, *st);
    state_ = std::move(st);
}

WeightedTransform& WeightedTransform::operator=(const WeightedTransform& other) {
    if (this == &other) return *this;
    if (!other.state_) {
        state_.reset();
        return *this;
    }
    if (!state_) state_ = std::make_unique<WeightedState>();
    // Same plan: only the value and the error change; the tables stay.
    if (samePlan(other)) {
        state_->maxError = other.state_->maxError;
    } else {
        static_cast<WeightedLayout&>(*state_) = *other.state_;
    }
    CopyElements(*other.state_, *state_);
    return *this;
}

bool WeightedTransform::samePlan(const WeightedTransform& y) const {
    if (!state_ || !y.state_) return false;
    const WeightedState &a = *state_, &b = *y.state_;
    return a.k == b.k && a.n == b.n && a.c == b.c && a.digits == b.digits && a.rows == b.rows &&
           a.rowLength == b.rowLength && a.gap == b.gap && a.settings.family == b.settings.family;
}

double WeightedTransform::multiply(const WeightedTransform& y, int32_t addend) {
    if (!samePlan(y)) throw ArithmeticFault("weighted transform: product of two different plans");
    WeightedState& st = *state_;
    const size_t count = st.elementCount();
    st.factor.reserve(count);
    Complex* other = st.factor.first();
    std::memcpy(static_cast<void*>(other), y.state_->array, sizeof(Complex) * count);
    MultiplyWeightedElements(st, other);
    return WeightedPass<true>(st, 1.0 / st.length, addend);
}

}  // namespace numen
