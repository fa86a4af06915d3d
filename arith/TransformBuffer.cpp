// TransformBuffer: one malloc'd block of (capacity + 128) * 32 bytes, the
// base rounded up to the next 4096-byte boundary (the 4096 spare bytes pay
// for the rounding), so array A is page-aligned and every element 16-byte
// aligned for aligned SSE2 loads:
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

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kSpareElements = 128;   // 128 * 32 bytes = one page of slack

struct Buffer {
    void* block = nullptr;
    Complex* base = nullptr;
    size_t capacity = 0;
};

Buffer& TheBuffer() {
    static Buffer buffer;
    return buffer;
}

}  // namespace

size_t TransformBuffer::Reserve(size_t count) {
    Buffer& buf = TheBuffer();
    if (count <= buf.capacity) return buf.capacity;
    std::free(buf.block);
    buf = Buffer{};
    if (count > SIZE_MAX / 32 - kSpareElements) throw ArithmeticFault("transform buffer size out of range");
    void* block = std::malloc((count + kSpareElements) * 32);
    if (block == nullptr) throw ArithmeticFault("not enough memory for the transform buffer");
    const auto address = reinterpret_cast<uintptr_t>(block);
    buf.block = block;
    buf.base = reinterpret_cast<Complex*>((address + kPage - 1) & ~uintptr_t(kPage - 1));
    buf.capacity = count;
    return count;
}

size_t TransformBuffer::Capacity() { return TheBuffer().capacity; }
Complex* TransformBuffer::First() { return TheBuffer().base; }
Complex* TransformBuffer::Second() {
    Buffer& buf = TheBuffer();
    return buf.base == nullptr ? nullptr : buf.base + buf.capacity;
}

}  // namespace numen
