// Fuzz target: the settings file "Numen.ini" (shell/IniFile.h).
//
// The input is the file. A dozen of the program's keys are read; then one of
// them, chosen by the input's length, is written back as read, and another
// is written with a number.
//
// Properties: a text read is in its read-back form (at most 79 characters,
// no CR, LF or NUL, no blanks around it); writing a text read back changes
// no key's value and no other line; a number written reads back as written
// and changes no other key.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "shell/IniFile.h"

namespace numen {
namespace {

// Keys of the settings, the window state and the processor profile (each
// read costs a load of the file, so not all of them).
constexpr std::array<const char*, 12> kKeys = {"Mode1", "Base", "nMin", "nMax", "kMin", "k",
                                               "n", "Running", "vendor", "gap", "VerifierFilename", "File"};

// What ReadAll gives for a missing key: no text read holds an LF.
const std::string kMissing = "\n";

using Values = std::array<std::string, kKeys.size()>;

Values ReadAll(const IniFile& ini) {
    Values values;
    for (size_t i = 0; i < kKeys.size(); ++i) {
        values[i] = ini.readText(kKeys[i], "a");
        if (values[i] == "a" && ini.readText(kKeys[i], "b") == "b") values[i] = kMissing;
    }
    return values;
}

bool IsReadBackForm(const std::string& text) {
    return text == kMissing ||
           (text.size() <= IniFile::kMaxTextLength && IniFile::ReadBackForm(text) == text);
}

// The file's lines as the reader holds them: split at LF, a last line
// without its LF counted.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        size_t lf = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

// A write of an existing key keeps every other line byte for byte; only a
// last line without its line end may gain the CR of a CR LF file.
void CheckOnlyKeyLineChanged(std::string_view before, std::string_view after, std::string_view key) {
    const std::vector<std::string_view> a = Lines(before), b = Lines(after);
    NUMEN_FUZZ_CHECK(a.size() == b.size());
    int changed = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (i + 1 == a.size() && b[i].size() == a[i].size() + 1 && b[i].starts_with(a[i]) && b[i].back() == '\r')
            continue;
        NUMEN_FUZZ_CHECK(b[i].starts_with(std::string(key) + "="));
        ++changed;
    }
    NUMEN_FUZZ_CHECK(changed <= 1);
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    const std::filesystem::path folder = fuzz::ScratchSubfolder("ini");
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    fuzz::WriteWholeFile(folder / IniFile::kFileName, file);
    IniFile ini(folder);

    const Values before = ReadAll(ini);
    for (const std::string& text : before) {
        NUMEN_FUZZ_CHECK(IsReadBackForm(text));
        NUMEN_FUZZ_CHECK(text == kMissing || text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    }
    for (size_t i = 0; i < kKeys.size(); ++i) {
        const int32_t asInt = ini.readInt(kKeys[i], -7);
        if (before[i] == kMissing)
            NUMEN_FUZZ_CHECK(asInt == -7);
        else
            NUMEN_FUZZ_CHECK(asInt == std::clamp<int64_t>(ParseDecimal(before[i]), INT32_MIN, INT32_MAX));
    }

    const size_t same = size % kKeys.size();
    if (before[same] != kMissing) {
        ini.writeText(kKeys[same], before[same]);
        NUMEN_FUZZ_CHECK(ReadAll(ini) == before);
        CheckOnlyKeyLineChanged(file, fuzz::ReadWholeFile(ini.path()), kKeys[same]);
    }

    const size_t other = (same + 1 + size / kKeys.size()) % kKeys.size();
    const int32_t number = int32_t(size * 2654435761u);
    ini.writeInt(kKeys[other], number);
    NUMEN_FUZZ_CHECK(ini.readInt(kKeys[other]) == number);
    Values after = ReadAll(ini);
    after[other] = before[other];
    NUMEN_FUZZ_CHECK(after == before);
    return 0;
}
