// WindowState: what the menus and the form show for a mode, form, base and
// running state — the enable rules, check marks, relabelled form items, the
// field groups shown per mode and the description line. Pure functions of
// the settings, shared by the window and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "shell/Settings.h"

namespace numen {

enum class Command : int {
    FormGfn, FormPlus, FormMinus, FormAny, FormBase,
    ModeStandard, ModeAlgebraic, ModeCullen, ModeFile, ModeVerifier,
    Test, Bench, BenchGfn, BenchBase3,
    RangeInfo, VerboseScreen, VerboseFile, PrintDate, ViewLog, EditLog,
    TrayIcon, Autostart, Hide, PriorityIdle, PriorityNormal, PriorityHigh,
    Preferences, Advanced, Exit,
    HelpContents, Records, About,
    Count
};
inline constexpr size_t kCommandCount = size_t(Command::Count);

struct CommandState {
    std::string text;   // with the "&" of its shortcut letter
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    bool shown = true;  // "Any" only with ExtendedMenu
};

using MenuStates = std::array<CommandState, kCommandCount>;

// Every command's text, enable flag and check mark.
MenuStates MenuStatesFor(const Settings& s, bool running);

// Which groups of the form are shown in a mode, and the description line.
struct FieldLayout {
    bool nRange = true, listFile = false, kRange = false, algebraic = false, currentValues = true,
         description = true;
    std::string descriptionText;
};

FieldLayout FieldLayoutFor(int mode, int form, uint32_t base);

// The a, b, c fields as typed: the first character that is not a digit is
// removed (a leading "-" is allowed). One removal per change, as each
// keystroke is filtered.
std::string FilterSignedField(const std::string& text);

}  // namespace numen
