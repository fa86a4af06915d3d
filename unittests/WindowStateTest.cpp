// Menu enable rules, check marks and labels, and the form's layout by mode.
#include <gtest/gtest.h>

#include "search/SearchJob.h"
#include "shell/WindowState.h"

namespace numen {
namespace {

const CommandState& At(const MenuStates& m, Command c) { return m[size_t(c)]; }

TEST(MenuStates, EnableRulesByModeAndRunningState) {
    Settings s;
    s.Mode1 = StandardMode;
    s.Mode2 = PlusOneForm;
    s.Base = 10;
    MenuStates idle = MenuStatesFor(s, false);
    for (Command c : {Command::FormPlus, Command::FormMinus, Command::FormGfn, Command::FormBase, Command::Test,
                      Command::ModeFile, Command::EditLog})
        EXPECT_TRUE(At(idle, c).enabled) << int(c);
    EXPECT_EQ(At(idle, Command::FormPlus).text, "k.10^n + 1");
    EXPECT_EQ(At(idle, Command::FormMinus).text, "k.10^n  - 1");
    EXPECT_TRUE(At(idle, Command::FormPlus).checked);
    EXPECT_FALSE(At(idle, Command::FormMinus).checked);
    EXPECT_FALSE(At(idle, Command::FormAny).shown);

    // Running: every mode, form, test and benchmark item is off; toggles stay.
    MenuStates running = MenuStatesFor(s, true);
    for (Command c : {Command::FormPlus, Command::FormGfn, Command::ModeStandard, Command::Test, Command::Bench,
                      Command::BenchGfn, Command::BenchBase3, Command::EditLog})
        EXPECT_FALSE(At(running, c).enabled) << int(c);
    EXPECT_TRUE(At(running, Command::RangeInfo).enabled);

    // Cullen: the other forms and the base are off, +1/-1 stay.
    s.Mode1 = CullenMode;
    MenuStates cullen = MenuStatesFor(s, false);
    EXPECT_TRUE(At(cullen, Command::FormPlus).enabled);
    EXPECT_FALSE(At(cullen, Command::FormGfn).enabled);
    EXPECT_FALSE(At(cullen, Command::FormBase).enabled);
    EXPECT_TRUE(At(cullen, Command::ModeCullen).checked);

    // Verifier: no form item at all.
    s.Mode1 = VerifierMode;
    s.ExtendedMenu = 1;
    MenuStates verifier = MenuStatesFor(s, false);
    for (Command c : {Command::FormPlus, Command::FormMinus, Command::FormGfn, Command::FormAny, Command::FormBase})
        EXPECT_FALSE(At(verifier, c).enabled) << int(c);
    EXPECT_TRUE(At(verifier, Command::FormAny).shown);
}

TEST(MenuStates, TogglesFollowTheirKeys) {
    Settings s;
    s.Info = 0;
    s.Screen = 1;
    s.PrintDate = 1;
    s.TrayIcon = 0;
    s.Priority = 2;
    MenuStates m = MenuStatesFor(s, false);
    EXPECT_FALSE(At(m, Command::RangeInfo).checked);
    EXPECT_TRUE(At(m, Command::VerboseScreen).checked);
    EXPECT_TRUE(At(m, Command::VerboseFile).checked);   // default File = 1
    EXPECT_TRUE(At(m, Command::PrintDate).checked);
    EXPECT_FALSE(At(m, Command::TrayIcon).checked);
    EXPECT_FALSE(At(m, Command::PriorityIdle).checked);
    EXPECT_TRUE(At(m, Command::PriorityHigh).checked);
}

TEST(FieldLayout, GroupsAndDescriptionByMode) {
    FieldLayout standard = FieldLayoutFor(StandardMode, PlusOneForm, 3);
    EXPECT_TRUE(standard.nRange && standard.kRange && standard.currentValues && standard.description);
    EXPECT_FALSE(standard.listFile || standard.algebraic);
    EXPECT_EQ(standard.descriptionText, "Test k.3^n + 1 for primality");

    FieldLayout algebraic = FieldLayoutFor(AlgebraicMode, MinusOneForm, 2);
    EXPECT_TRUE(algebraic.algebraic && !algebraic.kRange);
    EXPECT_EQ(algebraic.descriptionText, "Test k.2^n - 1 for primality");

    FieldLayout cullen = FieldLayoutFor(CullenMode, MinusOneForm, 2);
    EXPECT_FALSE(cullen.currentValues || cullen.kRange || cullen.algebraic);
    EXPECT_EQ(cullen.descriptionText, "Search for Woodall primes  Wn = n.2^n - 1");

    FieldLayout file = FieldLayoutFor(FileMode, GfnForm, 2);
    EXPECT_TRUE(file.listFile && !file.nRange && file.description);
    EXPECT_EQ(file.descriptionText, "Search for Generalized Fermat primes  k^n + 1");

    FieldLayout verifier = FieldLayoutFor(VerifierMode, AnyForm, 2);
    EXPECT_TRUE(verifier.listFile && !verifier.description);
}

TEST(FilterSignedField, RemovesTheFirstCharacterThatIsNotADigit) {
    EXPECT_EQ(FilterSignedField("-12"), "-12");
    EXPECT_EQ(FilterSignedField("1-2"), "12");
    EXPECT_EQ(FilterSignedField("1a2b"), "12b");   // one per change, as typed
    EXPECT_EQ(FilterSignedField("--5"), "-5");
    EXPECT_EQ(FilterSignedField(""), "");
}

}  // namespace
}  // namespace numen
