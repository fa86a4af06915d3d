// Saving and loading "Numen.dtf" (layout in GfnCheckpoint.h). The file is
// built in memory and handed to ReplaceFileAtomically, so a crash leaves
// either the old file or the new one. On loading, the header and the file's
// length are checked against the plan before anything is read into the
// array, so a damaged or foreign file cannot make us read or allocate
// beyond the plan's own size.
#include "arith/GfnCheckpoint.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

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

}  // namespace

bool GfnSaveCheckpoint(const std::filesystem::path& folder, uint32_t bitIndex) {
    const GfnState& st = Gfn();
    if (st.length == 0) return false;
    const uint32_t E = GfnElementCount();
    const size_t arrayBytes = size_t(E) * sizeof(Complex);
    std::string out;
    out.reserve(kHeaderBytes + arrayBytes + 8);
    Put32(out, kMagic);
    Put32(out, bitIndex);
    Put32(out, st.rowLength);
    Put32(out, st.rows);
    Put32(out, E);
    out.append(reinterpret_cast<const char*>(st.array), arrayBytes);
    const uint32_t check = st.rows ^ st.rowLength ^ E ^ bitIndex ^ kMagic ^
                           ArrayXor(out.data() + kHeaderBytes, arrayBytes);
    Put32(out, check);
    Put32(out, std::bit_cast<uint32_t>(st.maxError));
    return ReplaceFileAtomically(folder / kGfnCheckpointName, out);
}

bool GfnLoadCheckpoint(const std::filesystem::path& folder, uint32_t expectedBit) {
    GfnState& st = Gfn();
    if (st.length == 0) return false;
    const std::filesystem::path path = folder / kGfnCheckpointName;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char header[kHeaderBytes];
    if (!in.read(header, kHeaderBytes)) return false;
    const uint32_t E = GfnElementCount();
    if (Get32(header) != kMagic || Get32(header + 4) != expectedBit || Get32(header + 8) != st.rowLength ||
        Get32(header + 12) != st.rows || Get32(header + 16) != E)
        return false;
    const size_t arrayBytes = size_t(E) * sizeof(Complex);
    std::error_code ec;
    const auto fileBytes = std::filesystem::file_size(path, ec);
    if (ec || fileBytes != kHeaderBytes + arrayBytes + 8) return false;
    char* array = reinterpret_cast<char*>(st.array);
    char trailer[8];
    if (!in.read(array, std::streamsize(arrayBytes)) || !in.read(trailer, 8)) return false;
    const uint32_t check = st.rows ^ st.rowLength ^ E ^ expectedBit ^ kMagic ^ ArrayXor(array, arrayBytes);
    st.maxError = std::bit_cast<float>(Get32(trailer + 4));
    return check == Get32(trailer);
}

}  // namespace numen
