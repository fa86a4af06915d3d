// The Test command as the user runs it: RunControl with the real handlers
// and the default output options (Verbose Screen off). The whole list (over
// an hour on a slow machine) shows, under each heading, the prime line and
// every line its heading promises, then "Test OK."; a stop after the first
// entries keeps the job's base and sends no final lines.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ref/SelfTestPromises.h"
#include "ref/TempFolder.h"
#include "shell/RunControl.h"

namespace numen {
namespace {

using testing::NumberOf;
using testing::SelfTestNumber;

constexpr uint32_t kSettingsBase = 5;  // the base of the last search

// The pane as the window shows it; optionally interrupts the run when the
// heading of a given entry appears.
class PaneRecorder final : public RunOutput {
public:
    std::vector<std::string> texts;
    RunControl* control = nullptr;
    std::string stopAtHeading;

    void showPaneText(std::string_view text) override {
        texts.emplace_back(text);
        if (control != nullptr && !stopAtHeading.empty() && text == stopAtHeading) control->Interrupt();
    }
    void showBlockingMessage(std::string_view, const std::atomic<bool>&) override {}
};

Settings TestSettings() {
    Settings s;
    s.Base = kSettingsBase;
    return s;
}

// Each entry's section holds its prime line and the promised lines.
void ExpectPromises(const std::vector<std::string>& pane, size_t entryCount) {
    const auto sections = testing::EntrySections(pane);
    ASSERT_GE(sections.size(), entryCount);
    const auto entries = SelfTestEntries();
    uint32_t base = kSettingsBase;
    for (size_t i = 0; i < entryCount; ++i) {
        const SelfTestEntry& e = entries[i];
        if (e.base != 0) base = e.base;
        const SelfTestNumber N = NumberOf(e, base);
        SCOPED_TRACE(std::to_string(i + 1) + " " + e.heading);
        const auto has = [&section = sections[i]](const std::string& start) {
            for (const std::string& s : section)
                if (s.rfind(start, 0) == 0) return true;
            return false;
        };
        EXPECT_TRUE(has(testing::PrimeLineStart(N))) << testing::PrimeLineStart(N);
        for (const std::string& line : testing::PromisedLines(e, base)) EXPECT_TRUE(has(line)) << line;
    }
}

TEST(SelfTestLong, WholeListShowsWhatEveryHeadingPromisesThenTestOk) {
    testing::TempFolder folder;
    PaneRecorder pane;
    RunControl control(folder.path(), TestSettings(), pane);
    ASSERT_EQ(control.StartCommand(WorkerCommand::SelfTest), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::ByItself);
    EXPECT_EQ(control.job().base, kSettingsBase);
    ASSERT_FALSE(pane.texts.empty());
    EXPECT_EQ(pane.texts.front(), "TEST\r\n");
    EXPECT_EQ(pane.texts.back(), "\r\nTest OK.\r\n");
    ExpectPromises(pane.texts, kSelfTestEntryCount);
    // Every large entry deleted its checkpoint files at its end.
    EXPECT_FALSE(std::filesystem::exists(folder / "Numen.dta"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Numen.dtf"));
}

// A few seconds: the first four entries, then a stop at the fifth heading.
TEST(SelfTestLong, StopAfterTheFirstEntriesKeepsTheBaseAndSendsNoFinalLines) {
    testing::TempFolder folder;
    PaneRecorder pane;
    RunControl control(folder.path(), TestSettings(), pane);
    pane.control = &control;
    pane.stopAtHeading = std::string("\r\n") + SelfTestEntries()[4].heading + "\r\n";
    ASSERT_EQ(control.StartCommand(WorkerCommand::SelfTest), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::Stopped);
    EXPECT_EQ(control.job().base, kSettingsBase);
    ExpectPromises(pane.texts, 4);
    for (const std::string& text : pane.texts) EXPECT_NE(text, "\r\nTest OK.\r\n");
}

}  // namespace
}  // namespace numen
