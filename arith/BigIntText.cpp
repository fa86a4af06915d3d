// Text and file forms of BigInt.
#include <algorithm>
#include <cstring>
#include <vector>

#include "arith/BigInt.h"
#include "arith/WordArray.h"

namespace numen {

std::string BigInt::toString(uint32_t radix) const {
    if (radix < 2 || radix > 36) throw ArithmeticFault("radix out of range");
    if (size_ == 0) return "0";
    // Digits come several at a time: divide by the largest power of the
    // radix that fits a word, then split each remainder into its digits.
    uint32_t chunk = radix, perChunk = 1;
    while (uint64_t(chunk) * radix <= 0xffffffffu) {
        chunk *= radix;
        ++perChunk;
    }
    std::vector<uint32_t> work(words_, words_ + length());
    size_t n = work.size();
    std::string reversed;
    reversed.reserve(size_t(n) * 32 / 3 + perChunk);
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    while (n > 0) {
        uint32_t rem = words::divWord(work.data(), n, chunk);
        n = words::stripped(work.data(), n);
        for (uint32_t i = 0; i < perChunk; ++i) {
            if (n == 0 && rem == 0) break;  // no leading zeros in the top chunk
            reversed.push_back(kDigits[rem % radix]);
            rem /= radix;
        }
    }
    std::string text = size_ < 0 ? "-" : "";
    text.append(reversed.rbegin(), reversed.rend());
    return text;
}

size_t writeBigInt(std::FILE* file, const BigInt& x) {
    unsigned char head[4];
    words::storeLittleEndian(head, uint32_t(x.size()));
    size_t count = std::fwrite(head, 4, 1, file);
    uint32_t n = x.length();
    std::vector<unsigned char> body(size_t(n) * 4);
    for (uint32_t i = 0; i < n; ++i) words::storeLittleEndian(&body[size_t(i) * 4], x.words()[i]);
    if (n != 0) count += std::fwrite(body.data(), 4, n, file);
    return count;
}

size_t readBigInt(std::FILE* file, BigInt& x, uint32_t maxWords) {
    unsigned char head[4];
    if (std::fread(head, 4, 1, file) != 1) return 0;
    int32_t size = int32_t(words::loadLittleEndian(head));
    uint32_t n = size < 0 ? uint32_t(0) - uint32_t(size) : uint32_t(size);
    if (n > maxWords) return 1;

    // The body is read in slices, so a damaged size costs at most the memory
    // of what the file really holds, whatever kind of stream it is.
    constexpr uint32_t kSlice = 1u << 16;
    std::vector<uint32_t> body;
    body.reserve(std::min(n, kSlice));
    std::vector<unsigned char> raw(size_t(std::min(n, kSlice)) * 4);
    while (body.size() < n) {
        uint32_t want = std::min<uint32_t>(kSlice, n - uint32_t(body.size()));
        size_t read = std::fread(raw.data(), 4, want, file);
        for (size_t i = 0; i < read; ++i) body.push_back(words::loadLittleEndian(&raw[i * 4]));
        if (read != want) return 1 + body.size();
    }
    if (n != 0) {
        x.reserve(n);
        std::memcpy(x.words(), body.data(), size_t(n) * 4);
    }
    x.setLengthAndSign(n, size < 0);
    return 1 + size_t(n);
}

}  // namespace numen
