// Settings: the key table (names as stored, one member each), defaults,
// read rules, stored forms, and SaveSettings writing only what changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <variant>

#include <unistd.h>

#include "ref/TempFolder.h"
#include "shell/Settings.h"

namespace numen {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:

    void put(const std::string& text) const { temp.write("Numen.ini", text); }
    std::string contents() const { return temp.read("Numen.ini"); }

    testing::TempFolder temp;
    const fs::path folder = temp.path();
    IniFile ini{folder};
};

TEST_F(SettingsTest, TableHoldsEveryKeyOnceWithItsStoredName) {
    const std::set<std::string> expected = {
        "Mode1", "Mode2", "Base", "nMin", "nMax", "kMin", "kMax", "kStep", "a", "b", "c", "n", "k",
        "VerifierFilename", "FileLine", "Running", "Info", "Screen", "File", "PrintDate", "ViewLog", "JsonResults",
        "TrayIcon", "NoIcon", "isHidden", "isMinimized", "Service", "Priority", "ExtendedMenu",
        "nbIter", "WThreadPriority", "bPMax", "PMax", "OnlyFactors", "VerifComposites", "Morehead",
        "Use16bitBRT", "NoSSE2", "NoAVX", "NoWeighted", "cpu", "vendor", "xmm", "xmm_test", "gap", "lat64k", "L1cache",
        "L2cache", "L3cache"};
    std::set<std::string> keys;
    for (const SettingRow& row : SettingsTable()) EXPECT_TRUE(keys.insert(row.key).second) << row.key;
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(FindSetting("nMin"), &SettingsTable()[3]);
    EXPECT_EQ(FindSetting("nmin"), nullptr);   // stored spelling only
}

TEST_F(SettingsTest, MissingFileGivesTheDefaults) {
    Settings s = ReadSettings(ini);
    EXPECT_EQ(s, Settings{});
    EXPECT_EQ(s.Mode2, 2);
    EXPECT_EQ(s.Base, 2u);
    EXPECT_EQ(s.Info, 1);
    EXPECT_EQ(s.File, 1);
    EXPECT_EQ(s.JsonResults, 1);   // machine-readable results are on unless turned off
    EXPECT_EQ(s.TrayIcon, 1);
    EXPECT_EQ(s.nbIter, 65536u);
    EXPECT_EQ(s.PMax, 0.0);
    EXPECT_FALSE(fs::exists(folder / "Numen.ini"));
}

TEST_F(SettingsTest, PresentButEmptyKeyReadsZeroNotItsDefault) {
    put("[Init]\nInfo=\nTrayIcon=x\nJsonResults=0\n");
    Settings s = ReadSettings(ini);
    EXPECT_EQ(s.JsonResults, 0);
    EXPECT_EQ(s.Info, 0);
    EXPECT_EQ(s.TrayIcon, 0);
    EXPECT_EQ(s.File, 1);
}

// Every member gets a value unlike its default and unlike every other, so a
// row pointing at the wrong member or storing in the wrong form shows up.
TEST_F(SettingsTest, EveryKeyRoundTripsThroughTheFile) {
    Settings s;
    int32_t next = 17;   // above every lower bound of the read rules
    for (const SettingRow& row : SettingsTable()) {
        std::visit([&](auto member) {
            using T = std::remove_reference_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<T, std::string>) s.*member = "text " + std::to_string(next);
            else s.*member = static_cast<T>(next);
        }, row.member);
        ++next;
    }
    s.Mode1 = 4;
    s.Mode2 = 1;
    s.a = -40;
    s.PMax = 1150000000000000000.0;
    s.nMax = 4000000000u;
    for (const SettingRow& row : SettingsTable()) WriteSetting(ini, s, row.key);
    EXPECT_EQ(ReadSettings(ini), s);
}

TEST_F(SettingsTest, ReadRulesMakeOldAndOutOfRangeValuesSane) {
    struct Case {
        const char* file;
        int32_t mode2;
        uint32_t base;
        uint32_t nbIter;
    } cases[] = {
        {"Mode2=7\nBase=0\nnbIter=10\n", 2, 2, 65536},
        {"Mode2=12\nBase=1\nnbIter=15\n", 3, 2, 65536},
        {"Mode2=5\nBase=1000000\nnbIter=16\n", 0, 999999, 16},
        {"Mode2=-1\nBase=-3\nnbIter=0\n", 0, 2, 65536},
        {"Mode2=3\nBase=999999\nnbIter=100000\n", 3, 999999, 100000},
    };
    for (const Case& c : cases) {
        put(std::string("[Init]\n") + c.file);
        Settings s = ReadSettings(ini);
        EXPECT_EQ(s.Mode2, c.mode2) << c.file;
        EXPECT_EQ(s.Base, c.base) << c.file;
        EXPECT_EQ(s.nbIter, c.nbIter) << c.file;
    }
    put("[Init]\nMode1=5\n");
    EXPECT_EQ(ReadSettings(ini).Mode1, 0);
    put("[Init]\nMode1=4\n");
    EXPECT_EQ(ReadSettings(ini).Mode1, 4);
}

TEST_F(SettingsTest, PMaxIsCappedAndStoredWithoutFraction) {
    struct Case {
        const char* stored;
        double read;
    } cases[] = {
        {"2e18", 1.15e18}, {"1150000000000000000", 1.15e18}, {"123456789012", 123456789012.0},
        {" 1e6xyz", 1e6},  {"abc", 0},                       {"-5", 0},
        {"1e999", 1.15e18}, {"nan", 0},                      {"", 0},
    };
    for (const Case& c : cases) {
        put(std::string("[Init]\nPMax=") + c.stored + "\n");
        EXPECT_EQ(ReadSettings(ini).PMax, c.read) << c.stored;
    }

    Settings s;
    put("[Init]\nPMax=2e18\n");
    s.PMax = ReadSettings(ini).PMax;
    WriteSetting(ini, s, "PMax");
    EXPECT_EQ(contents(), "[Init]\nPMax=1150000000000000000\n");
    s.PMax = 1234567.6;
    EXPECT_EQ(FormatSetting(*FindSetting("PMax"), s), "1234568");
}

TEST_F(SettingsTest, SaveSettingsWritesOnlyTheKeysThatChanged) {
    // Keys stored in an odd form stay as they are unless their value changes.
    put("[Init]\nBase=0003\nInfo=1\nnMin=100\nFuture=1\n");
    Settings before = ReadSettings(ini);
    Settings now = before;
    SaveSettings(ini, before, now);
    EXPECT_EQ(contents(), "[Init]\nBase=0003\nInfo=1\nnMin=100\nFuture=1\n");

    now.nMin = 200;
    now.VerifierFilename = "list.txt";
    now.Running = 1;
    SaveSettings(ini, before, now);
    EXPECT_EQ(contents(),
              "[Init]\nBase=0003\nInfo=1\nnMin=200\nFuture=1\nVerifierFilename=list.txt\nRunning=1\n");
    EXPECT_EQ(ReadSettings(ini), now);
}

// The kernel switches: off unless the file says otherwise, independent of
// each other, stored under their exact names.
TEST_F(SettingsTest, KernelSwitchesDefaultOffAndReadIndependently) {
    Settings s = ReadSettings(ini);
    EXPECT_EQ(s.NoSSE2, 0);
    EXPECT_EQ(s.NoAVX, 0);
    put("[Init]\nNoAVX=1\n");
    s = ReadSettings(ini);
    EXPECT_EQ(s.NoAVX, 1);
    EXPECT_EQ(s.NoSSE2, 0);
    put("[Init]\nNoSSE2=1\n");
    s = ReadSettings(ini);
    EXPECT_EQ(s.NoAVX, 0);
    EXPECT_EQ(s.NoSSE2, 1);

    put("");
    Settings before = ReadSettings(ini);
    Settings now = before;
    now.NoAVX = 1;
    SaveSettings(ini, before, now);
    EXPECT_EQ(contents(), "[Init]\nNoAVX=1\n");
}

TEST_F(SettingsTest, UnknownKeyIsNotWritten) {
    Settings s;
    WriteSetting(ini, s, "NoSuchKey");
    WriteSetting(ini, s, "base");   // wrong spelling
    EXPECT_FALSE(fs::exists(folder / "Numen.ini"));
}

}  // namespace
}  // namespace numen
