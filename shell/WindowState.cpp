#include "shell/WindowState.h"

#include <cstdio>

#include "search/SearchJob.h"

namespace numen {

namespace {

std::string BaseText(const char* format, uint32_t base) {
    char text[64];
    std::snprintf(text, sizeof text, format, base);
    return text;
}

}  // namespace

MenuStates MenuStatesFor(const Settings& s, bool running) {
    const bool idle = !running;
    const bool plusMinus = idle && s.Mode1 != VerifierMode;
    const bool otherForms = idle && s.Mode1 != CullenMode && s.Mode1 != VerifierMode;

    MenuStates m;
    auto set = [&m](Command c, std::string text, bool enabled) {
        CommandState& state = m[size_t(c)];
        state.text = std::move(text);
        state.enabled = enabled;
    };
    auto check = [&m](Command c, bool checked) {
        m[size_t(c)].checkable = true;
        m[size_t(c)].checked = checked;
    };

    set(Command::FormGfn, "&Gen. Fermat Num.  k^n + 1", otherForms);
    set(Command::FormPlus, BaseText("k.%u^n + 1", s.Base), plusMinus);
    set(Command::FormMinus, BaseText("k.%u^n  - 1", s.Base), plusMinus);
    set(Command::FormAny, "An&y", otherForms);
    m[size_t(Command::FormAny)].shown = s.ExtendedMenu != 0;
    set(Command::FormBase, "&Base ...", otherForms);
    const Command forms[] = {Command::FormPlus, Command::FormMinus, Command::FormGfn, Command::FormAny};
    for (int f = 0; f < 4; ++f) check(forms[f], s.Mode2 == f);

    set(Command::ModeStandard, "&Standard", idle);
    set(Command::ModeAlgebraic, "&Algebraic", idle);
    set(Command::ModeCullen, "&Cullen (Woodall)", idle);
    set(Command::ModeFile, "&File", idle);
    set(Command::ModeVerifier, "&Verifier", idle);
    const Command modes[] = {Command::ModeStandard, Command::ModeAlgebraic, Command::ModeCullen, Command::ModeFile,
                             Command::ModeVerifier};
    for (int mode = 0; mode < 5; ++mode) check(modes[mode], s.Mode1 == mode);
    set(Command::Test, "&Test", idle);
    set(Command::Bench, "&Bench ...", idle);
    set(Command::BenchGfn, "Bench &Gen. Fermat ...", idle);
    set(Command::BenchBase3, "Be&nch  2.3^n + 1 ...", idle);

    set(Command::RangeInfo, "&Range Info", true);
    check(Command::RangeInfo, s.Info != 0);
    set(Command::VerboseScreen, "&Screen", true);
    check(Command::VerboseScreen, s.Screen != 0);
    set(Command::VerboseFile, "&File", true);
    check(Command::VerboseFile, s.File != 0);
    set(Command::PrintDate, "Print &Date", true);
    check(Command::PrintDate, s.PrintDate != 0);
    set(Command::ViewLog, "&View Log (startup)", true);
    check(Command::ViewLog, s.ViewLog != 0);
    set(Command::EditLog, "&Edit Log ...", idle);

    set(Command::TrayIcon, "Tray &Icon", true);
    check(Command::TrayIcon, s.TrayIcon != 0);
    // The service registration of the original platform is a login autostart here.
    set(Command::Autostart, "&Start at Login", true);
    check(Command::Autostart, s.Service != 0);
    set(Command::Hide, "&Hide", true);
    check(Command::Hide, s.NoIcon != 0);
    set(Command::PriorityIdle, "&Idle", true);
    set(Command::PriorityNormal, "&Normal", true);
    set(Command::PriorityHigh, "&High", true);
    check(Command::PriorityIdle, s.Priority == 0);
    check(Command::PriorityNormal, s.Priority == 1);
    check(Command::PriorityHigh, s.Priority == 2);
    set(Command::Preferences, "&Preferences ...", true);
    set(Command::Advanced, "&Advanced ...", true);
    set(Command::Exit, "E&xit", true);
    set(Command::HelpContents, "&Contents ...", true);
    set(Command::Records, "&Records ...", true);
    set(Command::About, "&About Numen ...", true);
    return m;
}

FieldLayout FieldLayoutFor(int mode, int form, uint32_t base) {
    FieldLayout l;
    const bool list = mode == FileMode || mode == VerifierMode;
    l.nRange = !list;
    l.listFile = list;
    l.kRange = mode == StandardMode;
    l.algebraic = mode == AlgebraicMode;
    l.currentValues = mode != CullenMode;
    l.description = mode != VerifierMode;
    if (mode == CullenMode && form == PlusOneForm)
        l.descriptionText = "Search for Cullen primes  Cn = n.2^n + 1";
    else if (mode == CullenMode && form == MinusOneForm)
        l.descriptionText = "Search for Woodall primes  Wn = n.2^n - 1";
    else if (form == PlusOneForm)
        l.descriptionText = BaseText("Test k.%u^n + 1 for primality", base);
    else if (form == MinusOneForm)
        l.descriptionText = BaseText("Test k.%u^n - 1 for primality", base);
    else if (form == GfnForm)
        l.descriptionText = "Search for Generalized Fermat primes  k^n + 1";
    else
        l.descriptionText = "Search for Any primes";
    return l;
}

std::string FilterSignedField(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') continue;
        if (c == '-' && i == 0) continue;
        return text.substr(0, i) + text.substr(i + 1);
    }
    return text;
}

}  // namespace numen
