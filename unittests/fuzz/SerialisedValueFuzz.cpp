// Fuzz target: the serialised forms of BigInt and RadixInt (readBigInt in
// arith/BigIntText.cpp, readRadixInt in arith/RadixIntConversion.cpp), read
// from a stream as the checkpoint records read them.
//
// The first input byte chooses the type (bit 0) and the size bound (the
// byte's upper bits times 16 words, or the default bound when they are 0);
// the rest is the stream.
//
// Properties: a refused value leaves the output as it was, and never more
// items are counted than the stream holds; an accepted value keeps the
// invariants (no leading zero word or digit, digits below the radix), and
// written back it is the bytes read, but for leading zeros the reader
// strips (and, for a RadixInt, the radixLog2 and padding words it ignores).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "arith/BigInt.h"
#include "arith/RadixInt.h"

namespace numen {
namespace {

using fuzz::LoadWord;

constexpr int32_t kUnsetValue = -12345;

// What a writer puts on a stream, as a string.
template <class Write>
std::string Written(Write write) {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    if (out == nullptr) std::abort();
    write(out);
    std::fclose(out);
    std::string bytes(buffer, length);
    std::free(buffer);
    return bytes;
}

uint32_t Magnitude(uint32_t sizeWord) {
    const int32_t s = int32_t(sizeWord);
    return s < 0 ? uint32_t(0) - uint32_t(s) : uint32_t(s);
}

std::string Canonical(std::string_view stream, size_t headWords) {
    std::string bytes;
    fuzz::AppendCanonicalValue(bytes, stream, 0, headWords);
    return bytes;
}

void FuzzBigInt(std::string_view stream, std::FILE* in, uint32_t maxWords) {
    BigInt x(kUnsetValue);
    const size_t items = readBigInt(in, x, maxWords);
    NUMEN_FUZZ_CHECK(4 * items <= stream.size() + 3);
    const uint32_t n = Magnitude(LoadWord(stream, 0));
    if (items != 1 + size_t(n) || stream.size() < 4) {
        NUMEN_FUZZ_CHECK(x.compareInt(kUnsetValue) == 0);
        return;
    }
    NUMEN_FUZZ_CHECK(n <= maxWords);
    NUMEN_FUZZ_CHECK(x.length() == 0 || x.words()[x.length() - 1] != 0);
    const std::string back = Written([&](std::FILE* out) { writeBigInt(out, x); });
    NUMEN_FUZZ_CHECK(back == Canonical(stream, 1));
}

void FuzzRadixInt(std::string_view stream, std::FILE* in, uint32_t maxDigits) {
    RadixInt x(7, kUnsetValue);
    const size_t items = readRadixInt(in, x, maxDigits);
    NUMEN_FUZZ_CHECK(4 * items <= stream.size() + 3);
    const uint32_t n = Magnitude(LoadWord(stream, 0));
    if (items != 5 + size_t(n) || stream.size() < 20) {
        NUMEN_FUZZ_CHECK(x.radix() == 7 && x.toBigInt().compareInt(kUnsetValue) == 0);
        return;
    }
    NUMEN_FUZZ_CHECK(n <= maxDigits && x.radix() == LoadWord(stream, 4));
    for (uint32_t i = 0; i < x.length(); ++i) NUMEN_FUZZ_CHECK(x.digits()[i] < x.radix());
    NUMEN_FUZZ_CHECK(x.length() == 0 || x.digits()[x.length() - 1] != 0);
    const std::string back = Written([&](std::FILE* out) { writeRadixInt(out, x); });
    NUMEN_FUZZ_CHECK(back == Canonical(stream, 5));
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    if (size < 2) return 0;  // fmemopen of an empty buffer fails on some C libraries
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    const uint32_t bound = (data[0] >> 1) == 0 ? (1u << 26) : uint32_t(data[0] >> 1) * 16;
    std::FILE* in = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (in == nullptr) return 0;
    if (data[0] & 1)
        FuzzRadixInt(stream, in, bound);
    else
        FuzzBigInt(stream, in, bound);
    std::fclose(in);
    return 0;
}
