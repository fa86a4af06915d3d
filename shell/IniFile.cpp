// IniFile: reading and rewriting "Numen.ini" line by line; see IniFile.h.
//
// The file is held as its raw lines, split at LF only, so that a CR, a NUL
// byte or any other junk stays part of its line and is written back as it
// was. Only the interpretation of a line trims it, and a value is read only
// up to a CR or NUL inside it, which no write could store:
//
//   "  [ Init ]  \r"   section header "Init"
//   "  nMin = 100 \r"  key "nMin", value "100"
//   "; nMin=5"         comment, not a key
//   "garbage"          neither; kept, ignored
#include "shell/IniFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"

namespace numen {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    std::size_t close = line.find(']');
    return Trim(line.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> SplitKeyLine(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    KeyLine kl{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
    if (kl.key.empty()) return std::nullopt;
    return kl;
}

enum class Loaded { Ok, Missing, Unreadable };

struct IniLines {
    std::vector<std::string> lines;   // without their LF; a CR stays
    bool crlf = false;                // line end for lines we add
};

Loaded Load(const std::filesystem::path& path, IniLines& ini) {
    std::error_code ec;
    auto st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found) return Loaded::Missing;
    if (ec || st.type() != std::filesystem::file_type::regular) return Loaded::Unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return Loaded::Unreadable;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return Loaded::Unreadable;

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        ini.lines.emplace_back(text, start, lf - start);
        start = lf + 1;
    }
    ini.crlf = !ini.lines.empty() && !ini.lines.front().empty() && ini.lines.front().back() == '\r';
    // A last line without its line end gets one when the file is rewritten.
    if (ini.crlf && !text.empty() && text.back() != '\n' && ini.lines.back().back() != '\r')
        ini.lines.back() += '\r';
    return Loaded::Ok;
}

std::string Join(const IniLines& ini) {
    std::string text;
    for (const std::string& line : ini.lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool IsOurSection(std::string_view line) {
    auto name = SectionName(line);
    return name && EqualsIgnoringCase(*name, IniFile::kSection);
}

// Index of the first line holding `key` in a [Init] section (every [Init]
// section counts, in file order), or -1.
long FindKey(const IniLines& ini, std::string_view key) {
    bool inSection = false;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        const std::string& line = ini.lines[i];
        if (SectionName(line)) {
            inSection = IsOurSection(line);
            continue;
        }
        if (!inSection) continue;
        auto kl = SplitKeyLine(line);
        if (kl && EqualsIgnoringCase(kl->key, key)) return static_cast<long>(i);
    }
    return -1;
}

std::optional<std::string> Lookup(const std::filesystem::path& path, std::string_view key) {
    IniLines ini;
    if (Load(path, ini) != Loaded::Ok) return std::nullopt;
    long i = FindKey(ini, key);
    if (i < 0) return std::nullopt;
    return std::string(SplitKeyLine(ini.lines[static_cast<std::size_t>(i)])->value);
}

// What a text value can be stored as: one line's value, as the reader
// trims it.
std::string_view StorableText(std::string_view text) {
    return Trim(text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3))));
}

// A key that the reader could not find again is never written.
bool IsWritableKey(std::string_view key) {
    return !key.empty() && key == Trim(key) && key.front() != ';' && key.front() != '[' &&
           key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

void WriteValue(const std::filesystem::path& path, std::string_view key, std::string_view value) {
    if (!IsWritableKey(key)) return;
    value = StorableText(value);

    IniLines ini;
    if (Load(path, ini) == Loaded::Unreadable) return;
    std::string entry = std::string(key) + "=" + std::string(value);
    std::string lineEnd = ini.crlf ? "\r" : "";

    long found = FindKey(ini, key);
    if (found >= 0) {
        std::string& line = ini.lines[static_cast<std::size_t>(found)];
        bool hadCr = !line.empty() && line.back() == '\r';
        line = entry + (hadCr ? "\r" : "");
    } else {
        // After the last non-blank line of the first [Init] section, so a
        // blank line before the next section stays where it is.
        std::size_t header = 0;
        while (header < ini.lines.size() && !IsOurSection(ini.lines[header])) ++header;
        if (header == ini.lines.size()) {
            ini.lines.push_back(std::string("[") + IniFile::kSection + "]" + lineEnd);
            ini.lines.push_back(entry + lineEnd);
        } else {
            std::size_t at = header + 1;
            for (std::size_t i = header + 1; i < ini.lines.size() && !SectionName(ini.lines[i]); ++i)
                if (!Trim(ini.lines[i]).empty()) at = i + 1;
            ini.lines.insert(ini.lines.begin() + static_cast<long>(at), entry + lineEnd);
        }
    }
    ReplaceFileAtomically(path, Join(ini));
}

}  // namespace

int64_t ParseDecimal(std::string_view text) {
    constexpr int64_t kLimit = int64_t{1} << 62;
    std::size_t i = 0;
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value >= kLimit / 10 ? kLimit : value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

IniFile::IniFile(const std::filesystem::path& folder) : path_(folder / kFileName) {}

std::string IniFile::ReadBackForm(std::string_view text) {
    // The cut at kMaxTextLength may end in a blank, which a rewrite would drop.
    return std::string(Trim(StorableText(text).substr(0, kMaxTextLength)));
}

std::string IniFile::readText(std::string_view key, std::string_view defaultText) const {
    auto value = Lookup(path_, key);
    return ReadBackForm(value ? std::string_view(*value) : defaultText);
}

int32_t IniFile::readInt(std::string_view key, int32_t defaultValue) const {
    auto value = Lookup(path_, key);
    if (!value) return defaultValue;
    int64_t v = ParseDecimal(ReadBackForm(*value));
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

uint32_t IniFile::readUnsigned(std::string_view key, uint32_t defaultValue) const {
    auto value = Lookup(path_, key);
    if (!value) return defaultValue;
    int64_t v = ParseDecimal(ReadBackForm(*value));
    if (v < 0) return 0;
    if (v > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(v);
}

void IniFile::writeInt(std::string_view key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    WriteValue(path_, key, text);
}

void IniFile::writeUnsigned(std::string_view key, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    WriteValue(path_, key, text);
}

void IniFile::writeText(std::string_view key, std::string_view text) {
    WriteValue(path_, key, text);
}

}  // namespace numen
