// Settings: the key table and the loops over it; see Settings.h.
#include "shell/Settings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace numen {

namespace {

using S = Settings;

// Missing integer keys documented as "empty" read as 0, so "" is their default.
const std::array kTable{
    SettingRow{"Mode1", &S::Mode1, "0", ReadRule::Mode1},
    SettingRow{"Mode2", &S::Mode2, "2", ReadRule::Mode2},
    SettingRow{"Base", &S::Base, "2", ReadRule::Base},
    SettingRow{"nMin", &S::nMin, "", ReadRule::None},
    SettingRow{"nMax", &S::nMax, "", ReadRule::None},
    SettingRow{"kMin", &S::kMin, "", ReadRule::None},
    SettingRow{"kMax", &S::kMax, "", ReadRule::None},
    SettingRow{"kStep", &S::kStep, "", ReadRule::None},
    SettingRow{"a", &S::a, "", ReadRule::None},
    SettingRow{"b", &S::b, "", ReadRule::None},
    SettingRow{"c", &S::c, "", ReadRule::None},
    SettingRow{"n", &S::n, "", ReadRule::None},
    SettingRow{"k", &S::k, "", ReadRule::None},
    SettingRow{"VerifierFilename", &S::VerifierFilename, "", ReadRule::None},
    SettingRow{"FileLine", &S::FileLine, "", ReadRule::None},
    SettingRow{"Running", &S::Running, "0", ReadRule::None},
    SettingRow{"Info", &S::Info, "1", ReadRule::None},
    SettingRow{"Screen", &S::Screen, "0", ReadRule::None},
    SettingRow{"File", &S::File, "1", ReadRule::None},
    SettingRow{"PrintDate", &S::PrintDate, "0", ReadRule::None},
    SettingRow{"ViewLog", &S::ViewLog, "0", ReadRule::None},
    SettingRow{"JsonResults", &S::JsonResults, "1", ReadRule::None},
    SettingRow{"TrayIcon", &S::TrayIcon, "1", ReadRule::None},
    SettingRow{"NoIcon", &S::NoIcon, "0", ReadRule::None},
    SettingRow{"isHidden", &S::isHidden, "0", ReadRule::None},
    SettingRow{"isMinimized", &S::isMinimized, "0", ReadRule::None},
    SettingRow{"Service", &S::Service, "0", ReadRule::None},
    SettingRow{"Priority", &S::Priority, "0", ReadRule::None},
    SettingRow{"ExtendedMenu", &S::ExtendedMenu, "0", ReadRule::None},
    SettingRow{"nbIter", &S::nbIter, "65536", ReadRule::NbIter},
    SettingRow{"WThreadPriority", &S::WThreadPriority, "0", ReadRule::None},
    SettingRow{"bPMax", &S::bPMax, "0", ReadRule::None},
    SettingRow{"PMax", &S::PMax, "", ReadRule::PMax},
    SettingRow{"OnlyFactors", &S::OnlyFactors, "0", ReadRule::None},
    SettingRow{"VerifComposites", &S::VerifComposites, "0", ReadRule::None},
    SettingRow{"Morehead", &S::Morehead, "0", ReadRule::None},
    SettingRow{"Use16bitBRT", &S::Use16bitBRT, "0", ReadRule::None},
    SettingRow{"NoSSE2", &S::NoSSE2, "0", ReadRule::None},
    SettingRow{"NoAVX", &S::NoAVX, "0", ReadRule::None},
    SettingRow{"NoWeighted", &S::NoWeighted, "0", ReadRule::None},
    SettingRow{"cpu", &S::cpu, "0", ReadRule::None},
    SettingRow{"vendor", &S::vendor, "", ReadRule::None},
    SettingRow{"xmm", &S::xmm, "0", ReadRule::None},
    SettingRow{"xmm_test", &S::xmm_test, "0", ReadRule::None},
    SettingRow{"gap", &S::gap, "0", ReadRule::None},
    SettingRow{"lat64k", &S::lat64k, "0", ReadRule::None},
    SettingRow{"L1cache", &S::L1cache, "0", ReadRule::None},
    SettingRow{"L2cache", &S::L2cache, "0", ReadRule::None},
    SettingRow{"L3cache", &S::L3cache, "0", ReadRule::None},
};

// A real in C-library style: leading blanks, then the longest number; else 0.
// std::from_chars ignores the locale, which a GUI toolkit may have changed.
double ParseReal(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Overflow or underflow: keep the sign and the order of magnitude.
        return !text.empty() && text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    return ec == std::errc() ? value : 0;
}

int32_t ApplyRule(ReadRule rule, int32_t v) {
    switch (rule) {
    case ReadRule::Mode1:
        return v >= 0 && v <= 4 ? v : 0;
    case ReadRule::Mode2:
        if (v == 7) return 2;
        if (v == 12) return 3;
        return v >= 0 && v <= 3 ? v : 0;
    default:
        return v;
    }
}

uint32_t ApplyRule(ReadRule rule, uint32_t v) {
    switch (rule) {
    case ReadRule::Base:
        return v < 2 ? 2 : v > 999999 ? 999999 : v;
    case ReadRule::NbIter:
        return v < 16 ? 65536 : v;
    default:
        return v;
    }
}

double ApplyRule(ReadRule rule, double v) {
    if (rule != ReadRule::PMax) return v;
    if (std::isnan(v) || v < 0) return 0;
    return v > kPMaxLimit ? kPMaxLimit : v;
}

}  // namespace

std::span<const SettingRow> SettingsTable() { return kTable; }

const SettingRow* FindSetting(std::string_view key) {
    for (const SettingRow& row : kTable)
        if (key == row.key) return &row;
    return nullptr;
}

std::string FormatSetting(const SettingRow& row, const Settings& s) {
    char text[64];
    if (auto m = std::get_if<int32_t Settings::*>(&row.member)) {
        std::snprintf(text, sizeof text, "%d", s.**m);
    } else if (auto m = std::get_if<uint32_t Settings::*>(&row.member)) {
        std::snprintf(text, sizeof text, "%u", s.**m);
    } else if (auto m = std::get_if<double Settings::*>(&row.member)) {
        std::snprintf(text, sizeof text, "%.0lf", s.**m);
    } else {
        return s.*std::get<std::string Settings::*>(row.member);
    }
    return text;
}

Settings ReadSettings(const IniFile& ini) {
    Settings s;
    for (const SettingRow& row : kTable) {
        auto defaultInteger = ParseDecimal(row.defaultText);
        if (auto m = std::get_if<int32_t Settings::*>(&row.member)) {
            s.**m = ApplyRule(row.rule, ini.readInt(row.key, static_cast<int32_t>(defaultInteger)));
        } else if (auto m = std::get_if<uint32_t Settings::*>(&row.member)) {
            s.**m = ApplyRule(row.rule, ini.readUnsigned(row.key, static_cast<uint32_t>(defaultInteger)));
        } else if (auto m = std::get_if<double Settings::*>(&row.member)) {
            s.**m = ApplyRule(row.rule, ParseReal(ini.readText(row.key, row.defaultText)));
        } else {
            s.*std::get<std::string Settings::*>(row.member) = ini.readText(row.key, row.defaultText);
        }
    }
    return s;
}

void WriteSetting(IniFile& ini, const Settings& s, std::string_view key) {
    const SettingRow* row = FindSetting(key);
    if (!row) return;
    // Through the typed writers, so each type has one stored form.
    if (auto m = std::get_if<int32_t Settings::*>(&row->member))
        ini.writeInt(row->key, s.**m);
    else if (auto m = std::get_if<uint32_t Settings::*>(&row->member))
        ini.writeUnsigned(row->key, s.**m);
    else
        ini.writeText(row->key, FormatSetting(*row, s));
}

void SaveSettings(IniFile& ini, const Settings& before, const Settings& now) {
    for (const SettingRow& row : kTable)
        if (FormatSetting(row, before) != FormatSetting(row, now)) WriteSetting(ini, now, row.key);
}

}  // namespace numen
