// Saving and loading "Numen.dtf" (layout in GfnCheckpoint.h). The file is
// built in memory and handed to ReplaceFileAtomically, so a crash leaves
// either the old file or the new one. On loading, the header and the file's
// length are checked against the plan before anything is read into the
// array, so a damaged or foreign file cannot make us read or allocate
// beyond the plan's own size.
#include "arith/GfnCheckpoint.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "arith/GfnState.h"
#include "platform/AtomicFile.h"

namespace numen {

namespace {

constexpr uint32_t kMagic = 720;
constexpr size_t kHeaderBytes = 20;

static_assert(std::endian::native == std::endian::little, "Numen.dtf is written little-endian");

void Put32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
uint32_t Get32(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t ArrayXor(const char* bytes, size_t count) {
    uint32_t x = 0;
    for (size_t i = 0; i + 4 <= count; i += 4) x ^= Get32(bytes + i);
    return x;
}

// The shape as the file records it: g and b are 0 for one pass.
struct FileShape {
    uint32_t rowLength, rows, elements;
};

FileShape ShapeOf(const GfnState& st) {
    return {st.onePass() ? 0 : st.rowLength, st.onePass() ? 0 : st.rows, st.elementCount()};
}

}  // namespace

std::string GfnCheckpointBytes(const GfnTransform& transform, uint32_t bitIndex) {
    const GfnState* st = transform.state();
    if (st == nullptr) return {};
    const FileShape shape = ShapeOf(*st);
    const size_t arrayBytes = size_t(shape.elements) * sizeof(Complex);
    std::string out;
    out.reserve(kHeaderBytes + arrayBytes + 8);
    Put32(out, kMagic);
    Put32(out, bitIndex);
    Put32(out, shape.rowLength);
    Put32(out, shape.rows);
    Put32(out, shape.elements);
    out.append(reinterpret_cast<const char*>(st->array), arrayBytes);
    const uint32_t check = shape.rows ^ shape.rowLength ^ shape.elements ^ bitIndex ^ kMagic ^
                           ArrayXor(out.data() + kHeaderBytes, arrayBytes);
    Put32(out, check);
    Put32(out, std::bit_cast<uint32_t>(st->maxError));
    return out;
}

bool GfnSaveCheckpoint(const GfnTransform& transform, const std::filesystem::path& folder, uint32_t bitIndex) {
    const std::string out = GfnCheckpointBytes(transform, bitIndex);
    return !out.empty() && ReplaceFileAtomically(folder / kGfnCheckpointName, out);
}

bool GfnLoadCheckpoint(GfnTransform& transform, const std::filesystem::path& folder, uint32_t expectedBit) {
    return GfnLoadCheckpointFile(transform, folder / kGfnCheckpointName, expectedBit);
}

bool GfnLoadCheckpointFile(GfnTransform& transform, const std::filesystem::path& path, uint32_t expectedBit) {
    GfnState* st = transform.state();
    if (st == nullptr) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char header[kHeaderBytes];
    if (!in.read(header, kHeaderBytes)) return false;
    const FileShape shape = ShapeOf(*st);
    if (Get32(header) != kMagic || Get32(header + 4) != expectedBit || Get32(header + 8) != shape.rowLength ||
        Get32(header + 12) != shape.rows || Get32(header + 16) != shape.elements)
        return false;
    const size_t arrayBytes = size_t(shape.elements) * sizeof(Complex);
    std::error_code ec;
    const auto fileBytes = std::filesystem::file_size(path, ec);
    if (ec || fileBytes != kHeaderBytes + arrayBytes + 8) return false;
    // Read aside and taken over only when the check word matches, so that a
    // refused file leaves the caller's number and largest error as they were.
    TransformBuffer fresh(1);
    fresh.reserve(shape.elements);
    char* array = reinterpret_cast<char*>(fresh.first());
    char trailer[8];
    if (!in.read(array, std::streamsize(arrayBytes)) || !in.read(trailer, 8)) return false;
    const uint32_t check =
        shape.rows ^ shape.rowLength ^ shape.elements ^ expectedBit ^ kMagic ^ ArrayXor(array, arrayBytes);
    if (check != Get32(trailer)) return false;
    st->buffer = std::move(fresh);
    st->array = st->buffer.first();
    st->maxError = std::bit_cast<float>(Get32(trailer + 4));
    return true;
}

bool GfnCheckpointFileBit(const std::filesystem::path& path, uint32_t& bitIndex) {
    std::ifstream in(path, std::ios::binary);
    char header[kHeaderBytes];
    if (!in || !in.read(header, kHeaderBytes) || Get32(header) != kMagic) return false;
    const uint32_t bit = Get32(header + 4), rowLength = Get32(header + 8), rows = Get32(header + 12),
                   elements = Get32(header + 16);
    const uint64_t arrayBytes = uint64_t(elements) * sizeof(Complex);
    std::error_code ec;
    const auto fileBytes = std::filesystem::file_size(path, ec);
    if (ec || fileBytes != kHeaderBytes + arrayBytes + 8) return false;
    uint32_t check = rows ^ rowLength ^ elements ^ bit ^ kMagic;
    std::string block(size_t(1) << 20, '\0');  // a multiple of the 4-byte words
    for (uint64_t left = arrayBytes; left > 0;) {
        const size_t count = size_t(std::min<uint64_t>(left, block.size()));
        if (!in.read(block.data(), std::streamsize(count))) return false;
        check ^= ArrayXor(block.data(), count);
        left -= count;
    }
    char trailer[8];
    if (!in.read(trailer, 8) || Get32(trailer) != check) return false;
    bitIndex = bit;
    return true;
}

}  // namespace numen
