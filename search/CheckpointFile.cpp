// Records of "Numen.dta"; see CheckpointFile.h for the layout.
#include "search/CheckpointFile.h"

#include <atomic>
#include <bit>
#include <cstdio>
#include <system_error>
#include <type_traits>

#include "arith/GfnCheckpoint.h"
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

    // The radix word of the RadixInt that follows, without reading past it.
    bool peekRadix(uint32_t& radix) {
        uint32_t head[2];
        if (!peek(head, 2)) return false;
        radix = head[1];
        return true;
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

// The words of a power record before its residue.
struct PowerFields {
    uint32_t stage = 0;
    PowerRecordParams params;
    uint32_t steps = 0, bit = 0;
};

bool SameParams(const PowerRecordParams& x, const PowerRecordParams& y) {
    return x.a == y.a && x.k == y.k && x.b == y.b && x.n == y.n && x.c == y.c;
}

// Reads `file` as a whole power record with a Residue: its own parameters
// bound the residue's size (a RadixInt's own radix word its digits), the
// checksum matches and the record ends where the file ends. Says nothing
// about whether it is the caller's record.
template <class Residue>
bool ParsePower(const fs::path& file, PowerFields& f, Residue& residue) {
    RecordReader in(file);
    uint32_t w[9];  // magic, stage, a, k, b, n, c, steps, bit index
    if (!in.isOpen() || !in.words(w, 9) || w[0] != kCheckpointMagic) return false;
    f.stage = w[1];
    f.params = {w[2], w[3], w[4], w[5], int32_t(w[6])};
    f.steps = w[7];
    f.bit = w[8];

    uint64_t bits = ResidueBitsAllowed(f.params.k, f.params.b, f.params.n);
    uint32_t sum;
    bool read;
    if constexpr (std::is_same_v<Residue, BigInt>) {
        read = in.value(residue, WordsForBits(bits, 32), 1);
    } else {
        uint32_t radix = 0;
        read = in.peekRadix(radix) && in.value(residue, radix, bits, 1);
    }
    return read && in.word(sum) && in.atEnd() && (residue.xorHash() ^ f.steps ^ f.bit) == sum;
}

// The divisibility record's fields and residues, as ParsePower.
struct DivisibilityFields {
    uint32_t stage = 0, k = 0, n = 0, steps = 0, remaining = 0;
};

bool ParseDivisibility(const fs::path& file, DivisibilityFields& f, BigInt (&y)[3]) {
    RecordReader in(file);
    uint32_t w[6];  // magic, stage, k, n, steps, remaining
    if (!in.isOpen() || !in.words(w, 6) || w[0] != kCheckpointMagic) return false;
    f = {w[1], w[2], w[3], w[4], w[5]};
    uint64_t limit = WordsForBits(ResidueBitsAllowed(f.k, 2, f.n), 32);
    uint32_t sum;
    // Each later residue needs at least its size word, then the checksum.
    return in.value(y[0], limit, 3) && in.value(y[1], limit, 2) && in.value(y[2], limit, 1) &&
           in.word(sum) && in.atEnd() &&
           (y[0].xorHash() ^ y[1].xorHash() ^ y[2].xorHash() ^ f.steps ^ f.remaining) == sum;
}

// What a record file holds, whoever it belongs to.
enum class FileCondition { Missing, Damaged, Whole };

struct RecordCheck {
    FileCondition condition = FileCondition::Missing;
    uint32_t stage = 0;
    bool power = false;  // a power record, whose bit index follows
    uint32_t bit = 0;
};

RecordCheck CheckRecordFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    PowerFields p;
    BigInt big;
    RadixInt radix(2);
    if (ParsePower(file, p, big) || ParsePower(file, p, radix))
        return {FileCondition::Whole, p.stage, true, p.bit};
    DivisibilityFields d;
    BigInt y[3];
    if (ParseDivisibility(file, d, y)) return {FileCondition::Whole, d.stage, false, 0};
    return {FileCondition::Damaged};
}

// One file's answer to a reader.
enum class Outcome { Accepted, Refused, Missing, Damaged };

// A read that failed: a whole record of another layout is refused like one
// of another number; anything else is missing or damaged.
Outcome Unread(const fs::path& file) {
    switch (CheckRecordFile(file).condition) {
        case FileCondition::Whole: return Outcome::Refused;
        case FileCondition::Damaged: return Outcome::Damaged;
        case FileCondition::Missing: break;
    }
    return Outcome::Missing;
}

// `radix` is the RadixInt residue's expected radix (unused for a BigInt).
template <class Residue>
Outcome ReadPowerFrom(const fs::path& file, uint32_t stage, const PowerRecordParams& p, uint32_t radix,
                      uint32_t& stepCount, uint32_t& bitIndex, Residue& residue, Residue& scratch) {
    PowerFields f;
    if (!ParsePower(file, f, scratch)) return Unread(file);
    if (f.stage != stage || !SameParams(f.params, p)) return Outcome::Refused;
    if constexpr (!std::is_same_v<Residue, BigInt>) {
        if (scratch.radix() != radix) return Outcome::Refused;
    }
    stepCount = f.steps;
    bitIndex = f.bit;
    swap(residue, scratch);
    return Outcome::Accepted;
}

// The current file, then -- only when it is missing or damaged -- the
// previous one. read(file) answers for one file.
template <class Read>
bool ReadCurrentOrPrevious(const fs::path& folder, RecordSource* source, Read&& read) {
    const Outcome current = read(CheckpointPath(folder));
    if (current == Outcome::Accepted) {
        if (source != nullptr) *source = {};
        return true;
    }
    if (current == Outcome::Refused) return false;
    if (read(PreviousCheckpointPath(folder)) != Outcome::Accepted) return false;
    if (source != nullptr) *source = {true, "Numen.dta", current == Outcome::Missing};
    return true;
}

template <class Residue>
bool ReadPower(const fs::path& folder, uint32_t stage, const PowerRecordParams& p, uint32_t radix,
               uint32_t& stepCount, uint32_t& bitIndex, Residue& residue, Residue& scratch,
               RecordSource* source) {
    return ReadCurrentOrPrevious(folder, source, [&](const fs::path& file) {
        return ReadPowerFrom(file, stage, p, radix, stepCount, bitIndex, residue, scratch);
    });
}

template <class Residue>
CheckpointBytes PowerBytes(uint32_t stage, const PowerRecordParams& p, uint32_t stepCount, uint32_t bitIndex,
                           const Residue& residue) {
    CheckpointBytes out;
    out.reserve(4 * (16 + size_t(residue.length())));
    for (uint32_t w : {kCheckpointMagic, stage, p.a, p.k, p.b, p.n, uint32_t(p.c), stepCount, bitIndex})
        out.word(w);
    out.value(residue);
    out.word(residue.xorHash() ^ stepCount ^ bitIndex);
    return out;
}

// The record sequence: the temporary, the whole current record kept as
// the previous one, the temporary in its place.
CheckpointWrite RecordWrite(const fs::path& folder, const CheckpointBytes& bytes) {
    const fs::path current = CheckpointPath(folder);
    CheckpointWrite write;
    write.writeTemporary(current, std::string(bytes.view()));
    if (CheckRecordFile(current).condition == FileCondition::Whole)
        write.rename(current, PreviousCheckpointPath(folder));
    write.rename(AtomicTemporaryPath(current), current);
    return write;
}

// The bit index of a whole state file, looked at once and only if asked.
class StateBit {
public:
    explicit StateBit(fs::path file) : file_(std::move(file)) {}
    bool is(uint32_t bit) {
        if (!checked_) whole_ = GfnCheckpointFileBit(file_, bit_);
        checked_ = true;
        return whole_ && bit_ == bit;
    }

private:
    fs::path file_;
    bool checked_ = false, whole_ = false;
    uint32_t bit_ = 0;
};

}  // namespace

fs::path CheckpointPath(const fs::path& folder) { return folder / "Numen.dta"; }
fs::path TransformStatePath(const fs::path& folder) { return folder / "Numen.dtf"; }
fs::path PreviousCheckpointPath(const fs::path& folder) { return folder / "Numen.dta.prev"; }
fs::path PreviousTransformStatePath(const fs::path& folder) { return folder / "Numen.dtf.prev"; }

std::string PreviousCheckpointNotice(const RecordSource& source) {
    return std::string(source.failedFile) + (source.missing ? " is missing" : " is damaged") +
           ": resuming from the previous checkpoint.";
}

void SetResumeRequested(bool requested) { resumeRequested.store(requested); }
bool ResumeRequested() { return resumeRequested.load(); }

bool ReadStage(const fs::path& folder, uint32_t& stage) {
    if (!ResumeRequested()) return false;
    for (const fs::path& file : {CheckpointPath(folder), PreviousCheckpointPath(folder)}) {
        const RecordCheck check = CheckRecordFile(file);
        if (check.condition == FileCondition::Whole) {
            stage = check.stage;
            return true;
        }
    }
    RecordReader in(CheckpointPath(folder));
    uint32_t head[2];
    if (!in.isOpen() || !in.words(head, 2) || head[0] != kCheckpointMagic) return false;
    stage = head[1];
    return true;
}

bool ReadPowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                     uint32_t& stepCount, uint32_t& bitIndex, BigInt& residue, RecordSource* source) {
    BigInt scratch;
    return ReadPower(folder, stage, params, 0, stepCount, bitIndex, residue, scratch, source);
}

bool ReadPowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                     uint32_t radix, uint32_t& stepCount, uint32_t& bitIndex, RadixInt& residue,
                     RecordSource* source) {
    RadixInt scratch(2);
    return ReadPower(folder, stage, params, radix, stepCount, bitIndex, residue, scratch, source);
}

CheckpointWrite PowerRecordWrite(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                                 uint32_t stepCount, uint32_t bitIndex, const BigInt& residue) {
    return RecordWrite(folder, PowerBytes(stage, params, stepCount, bitIndex, residue));
}

CheckpointWrite PowerRecordWrite(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                                 uint32_t stepCount, uint32_t bitIndex, const RadixInt& residue) {
    return RecordWrite(folder, PowerBytes(stage, params, stepCount, bitIndex, residue));
}

bool WritePowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                      uint32_t stepCount, uint32_t bitIndex, const BigInt& residue) {
    return PowerRecordWrite(folder, stage, params, stepCount, bitIndex, residue).run();
}

bool WritePowerRecord(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                      uint32_t stepCount, uint32_t bitIndex, const RadixInt& residue) {
    return PowerRecordWrite(folder, stage, params, stepCount, bitIndex, residue).run();
}

bool ReadDivisibilityRecord(const fs::path& folder, uint32_t stage, uint32_t k, uint32_t n,
                            uint32_t& stepCount, uint32_t& remaining, BigInt& x2, BigInt& x3,
                            BigInt& x5, RecordSource* source) {
    return ReadCurrentOrPrevious(folder, source, [&](const fs::path& file) {
        DivisibilityFields f;
        BigInt y[3];
        if (!ParseDivisibility(file, f, y)) return Unread(file);
        if (f.stage != stage || f.k != k || f.n != n) return Outcome::Refused;
        stepCount = f.steps;
        remaining = f.remaining;
        swap(x2, y[0]);
        swap(x3, y[1]);
        swap(x5, y[2]);
        return Outcome::Accepted;
    });
}

CheckpointWrite DivisibilityRecordWrite(const fs::path& folder, uint32_t stage, uint32_t k, uint32_t n,
                                        uint32_t stepCount, uint32_t remaining, const BigInt& x2,
                                        const BigInt& x3, const BigInt& x5) {
    CheckpointBytes out;
    out.reserve(4 * (10 + size_t(x2.length()) + x3.length() + x5.length()));
    for (uint32_t w : {kCheckpointMagic, stage, k, n, stepCount, remaining}) out.word(w);
    out.value(x2);
    out.value(x3);
    out.value(x5);
    out.word(x2.xorHash() ^ x3.xorHash() ^ x5.xorHash() ^ stepCount ^ remaining);
    return RecordWrite(folder, out);
}

bool WriteDivisibilityRecord(const fs::path& folder, uint32_t stage, uint32_t k, uint32_t n,
                             uint32_t stepCount, uint32_t remaining, const BigInt& x2,
                             const BigInt& x3, const BigInt& x5) {
    return DivisibilityRecordWrite(folder, stage, k, n, stepCount, remaining, x2, x3, x5).run();
}

bool ResumeGfnRun(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                  uint32_t& stepCount, uint32_t& bitIndex, RadixInt& start,
                  const std::function<bool(const fs::path& stateFile, uint32_t bitIndex)>& loadTransformState,
                  RecordSource* source) {
    // The record names the number and the bit index; a transform state
    // without an accepted record could belong to another number. The
    // transform's radix is the base B itself.
    const fs::path states[2] = {TransformStatePath(folder), PreviousTransformStatePath(folder)};
    RecordSource from;  // why the current pair was passed over
    for (const fs::path& record : {CheckpointPath(folder), PreviousCheckpointPath(folder)}) {
        RadixInt scratch(2);
        const Outcome outcome =
            ReadPowerFrom(record, stage, params, params.b, stepCount, bitIndex, start, scratch);
        if (outcome == Outcome::Refused) return false;
        const bool current = record == CheckpointPath(folder);
        if (outcome == Outcome::Accepted) {
            for (const fs::path& state : states) {
                if (!loadTransformState(state, bitIndex)) continue;
                if (current && state == states[1]) {
                    std::error_code ec;
                    from = {true, "Numen.dtf", !fs::exists(states[0], ec)};
                }
                if (source != nullptr) *source = from;
                return true;
            }
            if (current) {
                std::error_code ec;
                from = {true, "Numen.dtf", !fs::exists(states[0], ec)};
            }
        } else if (current) {
            from = {true, "Numen.dta", outcome == Outcome::Missing};
        }
    }
    return false;
}

CheckpointWrite GfnPairWrite(const fs::path& folder, uint32_t stage, const PowerRecordParams& params,
                             uint32_t stepCount, uint32_t bitIndex, const RadixInt& start,
                             std::string stateBytes) {
    const fs::path record = CheckpointPath(folder), state = TransformStatePath(folder);
    CheckpointWrite write;
    write.writeTemporary(state, std::move(stateBytes));
    write.writeTemporary(record, std::string(PowerBytes(stage, params, stepCount, bitIndex, start).view()));

    // The newest pair whose record and state agree on the bit index, in the
    // reader's order, is what the previous names must hold afterwards.
    const RecordCheck records[2] = {CheckRecordFile(record), CheckRecordFile(PreviousCheckpointPath(folder))};
    StateBit states[2] = {StateBit(state), StateBit(PreviousTransformStatePath(folder))};
    bool keepRecord = false, keepState = false;
    bool found = false;
    for (int r = 0; r < 2 && !found; ++r) {
        if (records[r].condition != FileCondition::Whole || !records[r].power) continue;
        for (int s = 0; s < 2 && !found; ++s) {
            if (!states[s].is(records[r].bit)) continue;
            found = true;
            keepRecord = r == 0;
            keepState = s == 0;
        }
    }
    if (keepRecord) write.rename(record, PreviousCheckpointPath(folder));
    if (keepState) write.rename(state, PreviousTransformStatePath(folder));
    write.rename(AtomicTemporaryPath(state), state);
    write.rename(AtomicTemporaryPath(record), record);
    return write;
}

bool WriteGfnPair(const fs::path& folder, uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                  uint32_t bitIndex, const RadixInt& start, std::string stateBytes) {
    return GfnPairWrite(folder, stage, params, stepCount, bitIndex, start, std::move(stateBytes)).run();
}

void DeleteCheckpoint(const fs::path& folder) {
    std::error_code ignored;
    for (const fs::path& file : {CheckpointPath(folder), TransformStatePath(folder)}) {
        fs::remove(file, ignored);
        fs::remove(AtomicTemporaryPath(file), ignored);
    }
    fs::remove(PreviousCheckpointPath(folder), ignored);
    fs::remove(PreviousTransformStatePath(folder), ignored);
}

void CheckpointWrite::writeTemporary(fs::path target, std::string bytes) {
    steps_.push_back({{}, std::move(target), std::move(bytes), true});
}

void CheckpointWrite::rename(fs::path from, fs::path to) {
    steps_.push_back({std::move(from), std::move(to), {}, false});
}

bool CheckpointWrite::run(size_t limit) {
    for (size_t i = 0; i < steps_.size(); ++i) {
        if (i == limit) return false;  // stopped as by a crash: nothing cleaned up
        const Step& step = steps_[i];
        if (step.write ? WriteTemporaryFor(step.to, step.bytes) : RenameDurably(step.from, step.to)) continue;
        // Every prefix of the sequence leaves a good checkpoint; only the
        // temporaries are left to remove.
        std::error_code ignored;
        for (const Step& written : steps_)
            if (written.write) fs::remove(AtomicTemporaryPath(written.to), ignored);
        return false;
    }
    return true;
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
