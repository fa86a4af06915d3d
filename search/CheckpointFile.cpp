// Records of "Numen.dta"; see CheckpointFile.h for the layout.
#include "search/CheckpointFile.h"

#include <atomic>
#include <bit>
#include <cstdio>
#include <system_error>
#include <type_traits>

#include "platform/AtomicFile.h"

namespace numen {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> resumeRequested{false};

// Residues are reduced modulo N, but a run may save one that is not yet
// fully reduced (balanced digits, a small multiple of N left by the
// special-form reduction). Twice N's length leaves room for that while
// still refusing the absurd sizes a damaged word gives. Computed in 64 bits:
// n times a 20-bit base overflows 32.
uint64_t ResidueBitsAllowed(uint32_t k, uint32_t b, uint32_t n) {
    uint64_t bitsPerPower = b < 2 ? 1 : std::bit_width(b - 1);  // ceil(log2 b)
    // k*b^n < 2^(bits of k + n*ceil(log2 b)); |c| < 2^31 adds at most 33.
    uint64_t bitsOfN = uint64_t(std::bit_width(k)) + uint64_t(n) * bitsPerPower + 33;
    return 2 * bitsOfN;
}

uint64_t WordsForBits(uint64_t bits, uint32_t bitsPerWord) {
    return (bits + bitsPerWord - 1) / bitsPerWord;
}

// A checkpoint file opened for reading, with its length known up front so
// that no size word is believed beyond what the file really holds.
class RecordReader {
public:
    explicit RecordReader(const fs::path& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (file_ == nullptr) return;
        if (std::fseek(file_, 0, SEEK_END) != 0 || (length_ = std::ftell(file_)) < 0 ||
            std::fseek(file_, 0, SEEK_SET) != 0) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    ~RecordReader() {
        if (file_ != nullptr) std::fclose(file_);
    }
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }

    bool word(uint32_t& w) {
        unsigned char b[4];
        if (std::fread(b, 4, 1, file_) != 1) return false;
        w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return true;
    }
    bool words(uint32_t* w, int count) {
        for (int i = 0; i < count; ++i)
            if (!word(w[i])) return false;
        return true;
    }

    // A BigInt of at most maxWords words, followed in the file by at least
    // `after` more words (the checksum, later residues).
    bool value(BigInt& x, uint64_t maxWords, uint64_t after) {
        uint32_t head[1];
        if (!peek(head, 1)) return false;
        uint64_t n = Magnitude(head[0]);
        if (n > maxWords || !fits(1 + n + after)) return false;
        return readBigInt(file_, x, uint32_t(n)) == 1 + n;
    }

    // A RadixInt in `radix` of at most maxBits bits.
    bool value(RadixInt& x, uint32_t radix, uint64_t maxBits, uint64_t after) {
        uint32_t head[2];
        if (!peek(head, 2)) return false;
        uint64_t n = Magnitude(head[0]);
        if (head[1] != radix || radix < 2 || radix > RadixInt::kMaxRadix) return false;
        // Each digit carries at least floor(log2 radix) bits.
        if (n > WordsForBits(maxBits, std::bit_width(radix) - 1) || !fits(5 + n + after)) return false;
        return readRadixInt(file_, x, uint32_t(n)) == 5 + n;
    }

    // Whether the record ended exactly at the end of the file: trailing
    // bytes mean a foreign or damaged file.
    bool atEnd() const { return std::ftell(file_) == length_; }

private:
    static uint64_t Magnitude(uint32_t sizeWord) {
        int32_t s = int32_t(sizeWord);
        return s < 0 ? uint64_t(-int64_t(s)) : uint64_t(s);
    }
    bool fits(uint64_t words) const {
        long at = std::ftell(file_);
        return at >= 0 && words <= uint64_t(length_ - at) / 4;
    }
    bool peek(uint32_t* w, int count) {
        long at = std::ftell(file_);
        return at >= 0 && words(w, count) && std::fseek(file_, at, SEEK_SET) == 0;
    }

    std::FILE* file_;
    long length_ = 0;
};

// Opens the record and checks the magic and the stage.
bool OpenRecord(RecordReader& in, uint32_t stage) {
    uint32_t head[2];
    return in.isOpen() && in.words(head, 2) && head[0] == kCheckpointMagic && head[1] == stage;
}

// `radix` is the RadixInt residue's expected radix (unused for a BigInt).
template <class Residue>
bool ReadPower(const fs::path& folder, uint32_t stage, const PowerRecordParams& p, uint32_t radix,
               uint32_t& stepCount, uint32_t& bitIndex, Residue& residue, Residue& scratch) {
    RecordReader in(CheckpointPath(folder));
    if (!OpenRecord(in, stage)) return false;
    uint32_t w[7];  // a, k, b, n, c, steps, bit index
    if (!in.words(w, 7)) return false;
    if (w[0] != p.a || w[1] != p.k || w[2] != p.b || w[3] != p.n || int32_t(w[4]) != p.c) return false;

    uint64_t bits = ResidueBitsAllowed(p.k, p.b, p.n);
    uint32_t sum;
    bool read;
    if constexpr (std::is_same_v<Residue, BigInt>)
        read = in.value(scratch, WordsForBits(bits, 32), 1);
    else
        read = in.value(scratch, radix, bits, 1);
    if (!read || !in.word(sum) || !in.atEnd()) return false;
    if ((scratch.xorHash() ^ w[5] ^ w[6]) != sum) return false;

    stepCount = w[5];
    bitIndex = w[6];
    swap(residue, scratch);
    return true;
}

template <class Residue>
bool WritePower(const fs::path& folder, uint32_t stage, const PowerRecordParams& p,
                uint32_t stepCount, uint32_t bitIndex, const Residue& residue) {
    CheckpointBytes out;
    out.reserve(4 * (16 + size_t(residue.length())));
    for (uint32_t w : {kCheckpointMagic, stage, p.a, p.k, p.b, p.n, uint32_t(p.c), stepCount, bitIndex})
        out.word(w);
    out.value(residue);
    out.word(residue.xorHash() ^ stepCount ^ bitIndex);
    return ReplaceCheckpointFile(CheckpointPath(folder), out.view());
}

}  // namespace

fs::path CheckpointPath(const fs::path& folder) { return folder / "Numen.dta"; }
fs::path TransformStatePath(const fs::path& folder) { return folder / "Numen.dtf"; }

void SetResumeRequested(bool requested) { resumeRequested.store(requested); }
bool ResumeRequested() { return resumeRequested.load(); }

bool ReadStage(const fs::path& folder, uint32_t& stage) {
    if (!ResumeRequested()) return false;
    RecordReader in(CheckpointPath(folder));
    uint32_t head[2];
    if (!in.isOpen() || !in.words(head, 2) || head[0] != kCheckpointMagic) return false;
    stage = head[1];
    return true;
}

bool ReadPowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                     uint32_t& stepCount, uint32_t& bitIndex, BigInt& residue) {
    BigInt scratch;
    return ReadPower(folder, stage, params, 0, stepCount, bitIndex, residue, scratch);
}

bool ReadPowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                     uint32_t radix, uint32_t& stepCount, uint32_t& bitIndex, RadixInt& residue) {
    RadixInt scratch(2);
    return ReadPower(folder, stage, params, radix, stepCount, bitIndex, residue, scratch);
}

bool WritePowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                      uint32_t stepCount, uint32_t bitIndex, const BigInt& residue) {
    return WritePower(folder, stage, params, stepCount, bitIndex, residue);
}

bool WritePowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                      uint32_t stepCount, uint32_t bitIndex, const RadixInt& residue) {
    return WritePower(folder, stage, params, stepCount, bitIndex, residue);
}

bool ReadDivisibilityRecord(const fs::path& folder, uint32_t stage, uint32_t k, uint32_t n,
                            uint32_t& stepCount, uint32_t& remaining, BigInt& x2, BigInt& x3,
                            BigInt& x5) {
    RecordReader in(CheckpointPath(folder));
    if (!OpenRecord(in, stage)) return false;
    uint32_t w[4];  // k, n, steps, remaining
    if (!in.words(w, 4) || w[0] != k || w[1] != n) return false;

    uint64_t limit = WordsForBits(ResidueBitsAllowed(k, 2, n), 32);
    BigInt y[3];
    uint32_t sum;
    // Each later residue needs at least its size word, then the checksum.
    if (!in.value(y[0], limit, 3) || !in.value(y[1], limit, 2) || !in.value(y[2], limit, 1) ||
        !in.word(sum) || !in.atEnd())
        return false;
    if ((y[0].xorHash() ^ y[1].xorHash() ^ y[2].xorHash() ^ w[2] ^ w[3]) != sum) return false;

    stepCount = w[2];
    remaining = w[3];
    swap(x2, y[0]);
    swap(x3, y[1]);
    swap(x5, y[2]);
    return true;
}

bool WriteDivisibilityRecord(const fs::path& folder, uint32_t stage, uint32_t k, uint32_t n,
                             uint32_t stepCount, uint32_t remaining, const BigInt& x2,
                             const BigInt& x3, const BigInt& x5) {
    CheckpointBytes out;
    out.reserve(4 * (10 + size_t(x2.length()) + x3.length() + x5.length()));
    for (uint32_t w : {kCheckpointMagic, stage, k, n, stepCount, remaining}) out.word(w);
    out.value(x2);
    out.value(x3);
    out.value(x5);
    out.word(x2.xorHash() ^ x3.xorHash() ^ x5.xorHash() ^ stepCount ^ remaining);
    return ReplaceCheckpointFile(CheckpointPath(folder), out.view());
}

bool ResumeGfnRun(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                  uint32_t& stepCount, uint32_t& bitIndex, RadixInt& start,
                  const std::function<bool(uint32_t bitIndex)>& loadTransformState) {
    // The record names the number and the bit index; a transform state
    // without an accepted record could belong to another number. The
    // transform's radix is the base B itself.
    if (!ReadPowerRecord(folder, stage, params, params.b, stepCount, bitIndex, start)) return false;
    return loadTransformState(bitIndex);
}

void DeleteCheckpoint(const fs::path& folder) {
    std::error_code ignored;
    for (const fs::path& file : {CheckpointPath(folder), TransformStatePath(folder)}) {
        fs::remove(file, ignored);
        fs::remove(AtomicTemporaryPath(file), ignored);
    }
}

void CheckpointBytes::word(uint32_t w) {
    char b[4] = {char(w), char(w >> 8), char(w >> 16), char(w >> 24)};
    bytes_.append(b, 4);
}

void CheckpointBytes::value(const BigInt& x) {
    word(uint32_t(x.size()));
    for (uint32_t i = 0; i < x.length(); ++i) word(x.words()[i]);
}

void CheckpointBytes::value(const RadixInt& x) {
    for (uint32_t w : {uint32_t(x.size()), x.radix(), 0u, uint32_t(x.radixLog2()), 0u}) word(w);
    for (uint32_t i = 0; i < x.length(); ++i) word(x.digits()[i]);
}

bool ReplaceCheckpointFile(const fs::path& file, std::string_view bytes) {
    return ReplaceFileAtomically(file, bytes);
}

}  // namespace numen
