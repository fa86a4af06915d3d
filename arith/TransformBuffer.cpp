// TransformBuffer: one malloc'd block of (arrays * capacity + 256) * 16
// bytes, the base rounded up to the next 4096-byte boundary (the 4096 spare
// bytes pay for the rounding), so array A is page-aligned and every element
// 16-byte aligned for aligned SSE2 loads:
//
//   block  base (4096-aligned)
//   |      |<---- A: capacity * 16 ---->|<---- B: capacity * 16 ---->|
//   [skip ][ A[0] A[1] ...              ][ B[0] B[1] ...              ][rest]
//
// Grow-only: a larger request frees the old block before allocating the new
// one (the peak stays at one block; contents are lost).
#include "arith/TransformBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kSpareElements = 256;   // 256 * 16 bytes = one page of slack

}  // namespace

TransformBuffer::TransformBuffer(TransformBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      base_(std::exchange(other.base_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      arrays_(other.arrays_) {}

TransformBuffer& TransformBuffer::operator=(TransformBuffer&& other) noexcept {
    if (this != &other) {
        std::free(block_);
        block_ = std::exchange(other.block_, nullptr);
        base_ = std::exchange(other.base_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        arrays_ = other.arrays_;
    }
    return *this;
}

TransformBuffer::~TransformBuffer() { std::free(block_); }

size_t TransformBuffer::reserve(size_t count) {
    if (count <= capacity_) return capacity_;
    std::free(block_);
    block_ = nullptr;
    base_ = nullptr;
    capacity_ = 0;
    const size_t arrays = size_t(arrays_);
    if (count > (SIZE_MAX / 16 - kSpareElements) / arrays) throw ArithmeticFault("transform buffer size out of range");
    void* block = std::malloc((arrays * count + kSpareElements) * 16);
    if (block == nullptr) throw ArithmeticFault("not enough memory for the transform buffer");
    const auto address = reinterpret_cast<uintptr_t>(block);
    block_ = block;
    base_ = reinterpret_cast<Complex*>((address + kPage - 1) & ~uintptr_t(kPage - 1));
    capacity_ = count;
    return count;
}

}  // namespace numen
