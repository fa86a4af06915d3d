// What the fuzz targets share: a working folder of the process's own for
// the readers that take a folder, whole-file helpers, and the property
// check that stops the run so that libFuzzer keeps the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace numen::fuzz {

// A failed property is a fault like a crash: abort, and libFuzzer writes
// the input that caused it.
#define NUMEN_FUZZ_CHECK(condition)                                                         \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// A fresh folder for this process, made on first use and removed at exit.
// In /dev/shm when there is one: the writers fsync every file, which on a
// disk would cost more than the rest of an iteration.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "numen-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// A sub-folder of the scratch folder, made on first use.
inline std::filesystem::path ScratchSubfolder(const char* name) {
    std::filesystem::path folder = ScratchFolder() / name;
    std::error_code ignored;
    std::filesystem::create_directory(folder, ignored);
    return folder;
}

inline void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out.flush()) {
        std::perror(path.c_str());
        std::abort();
    }
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t LoadWord(std::string_view bytes, size_t offset) {
    if (offset + 4 > bytes.size()) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void AppendWord(std::string& out, uint32_t w) {
    for (int i = 0; i < 4; ++i) out.push_back(char(w >> (8 * i)));
}

// Appends the serialised value at `offset` of `stream` (headWords 1: a
// BigInt; 5: a RadixInt) as the writers put it: without leading zero words
// or digits (zero has no sign), and for a RadixInt with the radixLog2 and
// padding words derived from the radix, which the readers ignore. Returns
// the offset after the value. The value must be whole in the stream.
inline size_t AppendCanonicalValue(std::string& out, std::string_view stream, size_t offset, size_t headWords) {
    const int32_t size = int32_t(LoadWord(stream, offset));
    uint32_t length = size < 0 ? uint32_t(0) - uint32_t(size) : uint32_t(size);
    const size_t body = offset + 4 * headWords;
    const size_t end = body + 4 * size_t(length);
    while (length > 0 && LoadWord(stream, body + 4 * (length - 1)) == 0) --length;
    AppendWord(out, size < 0 ? uint32_t(0) - length : length);
    if (headWords == 5) {
        const uint32_t radix = LoadWord(stream, offset + 4);
        AppendWord(out, radix);
        AppendWord(out, 0);
        AppendWord(out, (radix & (radix - 1)) == 0 ? uint32_t(__builtin_ctz(radix)) : uint32_t(-1));
        AppendWord(out, 0);
    }
    out.append(stream.substr(body, 4 * size_t(length)));
    return end;
}

}  // namespace numen::fuzz
