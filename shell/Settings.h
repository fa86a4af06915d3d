// Settings: every key of section [Init] of "Numen.ini", as one table.
//
// Each key has one row: its name as stored, the member of `Settings` that
// holds it (whose type is the key's type), the text read when the key is
// missing, and the rule that turns a stored value into a sane one. Reading,
// writing and comparing are loops over that table, so a new key is one row
// and one member.
//
// Types and their stored forms: int "%d", unsigned "%u", text verbatim (at
// most 79 characters read back), real "%.0lf". A key that is present but
// empty reads as 0 (not as its default), as it always has.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "shell/IniFile.h"
#include "sieve/TrialLimit.h"

namespace numen {

// Members are named exactly as the keys are stored.
struct Settings {
    // Search
    int32_t Mode1 = 0;         // mode 0..4: Standard, Algebraic, Cullen, File, Verifier
    int32_t Mode2 = 2;         // form 0..3: +1, -1, generalized Fermat, Any
    uint32_t Base = 2;         // 2..999999
    uint32_t nMin = 0, nMax = 0, kMin = 0, kMax = 0, kStep = 0;
    int32_t a = 0, b = 0, c = 0;   // k = a + b*n + c*n^2
    std::string n, k;          // current n and k, as the worker reported them
    std::string VerifierFilename;
    int32_t FileLine = 0;
    int32_t Running = 0;       // non-zero: the next start continues the run
    // Output
    int32_t Info = 1, Screen = 0, File = 1, PrintDate = 0, ViewLog = 0;
    int32_t JsonResults = 1;   // 1: every result also as a line of "Numen.json"
    // Window and process
    int32_t TrayIcon = 1, NoIcon = 0, isHidden = 0, isMinimized = 0, Service = 0;
    int32_t Priority = 0;      // process: 0 idle, 1 normal, 2 high
    int32_t ExtendedMenu = 0;
    // Computation
    uint32_t nbIter = 65536;   // iterations between progress lines / checkpoints
    int32_t WThreadPriority = 0;   // worker: 0 lowest, 1 normal
    int32_t bPMax = 0;
    double PMax = 0;           // manual trial-division limit, at most kPMaxLimit
    int32_t OnlyFactors = 0, VerifComposites = 0, Morehead = 0, Use16bitBRT = 0, NoSSE2 = 0;
    int32_t NoAVX = 0;         // 1: no AVX2 / AVX-512 kernels even where the processor has them
    int32_t NoWeighted = 0;    // 1: base-2 runs keep the exact square and fold, not the weighted transform
    // Processor and tuning: read and written by shell/Startup only (rule in arith/ProcessorProfile.h)
    int32_t cpu = 0;
    std::string vendor;
    int32_t xmm = 0, xmm_test = 0, gap = 0, lat64k = 0;
    uint32_t L1cache = 0, L2cache = 0, L3cache = 0;

    bool operator==(const Settings&) const = default;
};

// The largest manual trial-division limit: factors stay below 2^60.
inline constexpr double kPMaxLimit = 1.15e18;

// The "Manual PMax" preference as trial division takes it.
inline ManualLimit ManualLimitOf(const Settings& s) { return {s.bPMax != 0, s.PMax}; }

enum class ReadRule {
    None,
    Mode1,    // outside 0..4 -> 0
    Mode2,    // 7 -> 2, 12 -> 3 (older files), otherwise outside 0..3 -> 0
    Base,     // below 2 -> 2, above 999999 -> 999999
    NbIter,   // below 16 -> 65536
    PMax,     // outside 0..kPMaxLimit -> nearest bound, not a number -> 0
};

using SettingMember = std::variant<int32_t Settings::*, uint32_t Settings::*,
                                   std::string Settings::*, double Settings::*>;

struct SettingRow {
    const char* key;
    SettingMember member;
    const char* defaultText;   // read when the key is missing
    ReadRule rule;
};

// The table, in the order of the settings file's documentation.
std::span<const SettingRow> SettingsTable();

// The row of `key` (exact spelling), or nullptr.
const SettingRow* FindSetting(std::string_view key);

// The value of one row as it is stored ("%d", "%u", text, "%.0lf").
std::string FormatSetting(const SettingRow& row, const Settings& s);

// Every key, with its default when missing and its read rule applied.
Settings ReadSettings(const IniFile& ini);

// Writes the one key `key` (exact spelling) from `s`; unknown keys are ignored.
void WriteSetting(IniFile& ini, const Settings& s, std::string_view key);

// Writes exactly the keys whose value differs between `before` and `now`.
void SaveSettings(IniFile& ini, const Settings& before, const Settings& now);

}  // namespace numen
