// TransformBuffer: a grow-only, page-aligned block of complex doubles owned
// by one transform computation, as one array (A) or two (A, the operand
// squared or the first factor and the result; B, the second factor, right
// after A's capacity).
//
// A value: move-only, the block freed with it. One thread uses a buffer at a
// time. Contents do not survive a growth. A failed growth raises
// ArithmeticFault (the buffer is then empty).
#pragma once

#include <cstddef>

#include "arith/kernels/Complex.h"

namespace numen {

class TransformBuffer {
public:
    // arrays: 1 (A only) or 2 (A and B).
    explicit TransformBuffer(int arrays = 2) : arrays_(arrays) {}
    TransformBuffer(TransformBuffer&& other) noexcept;
    TransformBuffer& operator=(TransformBuffer&& other) noexcept;
    TransformBuffer(const TransformBuffer&) = delete;
    TransformBuffer& operator=(const TransformBuffer&) = delete;
    ~TransformBuffer();

    // Ensures room for `count` elements per array; returns the capacity.
    size_t reserve(size_t count);
    size_t capacity() const { return capacity_; }
    Complex* first() const { return base_; }  // array A, 4096-byte aligned
    // Array B; null for a one-array buffer or before the first reserve.
    Complex* second() const { return arrays_ == 2 && base_ != nullptr ? base_ + capacity_ : nullptr; }

private:
    void* block_ = nullptr;
    Complex* base_ = nullptr;
    size_t capacity_ = 0;
    int arrays_;
};

}  // namespace numen
