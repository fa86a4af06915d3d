// WorkFolder: the first start copies the resolved settings and list into the
// work folder, later starts find the run there (going or ended), a missing
// input leaves no half folder that would pass for a whole one, and the
// results go out to their resolved names, an empty file for one not written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ref/TempFolder.h"
#include "shell/IniFile.h"
#include "shell/console/boinc/WorkFolder.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// As the client's link files do: every logical name lives in the project
// folder under another name.
std::string ToProject(const std::string& logical) { return "project/wu_" + logical; }

class WorkFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(slot / "project"); }
    void project(const std::string& logical, const std::string& text) { slot.write(ToProject(logical), text); }
    std::string work(const std::string& name) { return slot.read(std::string(kWorkFolderName) + "/" + name); }

    TempFolder slot;
    std::string error;
    WorkStart start = WorkStart::Ended;
};

TEST_F(WorkFolderTest, FirstStartCopiesSettingsAndListThenFindsTheRunGoingOrEnded) {
    const std::string settings = "[Init]\r\nMode1=3\r\nVerifierFilename=list.txt\r\n";
    project(kSettingsName, settings);
    project("list.txt", "45 200\n");
    ASSERT_TRUE(PrepareWorkFolder(slot.path(), ToProject, start, error)) << error;
    EXPECT_EQ(start, WorkStart::Fresh);
    EXPECT_EQ(work(kSettingsName), settings);
    EXPECT_EQ(work("list.txt"), "45 200\n");
    EXPECT_FALSE(fs::exists(slot / "work/staging"));

    // The run's own state is never overwritten by the work unit's copy.
    IniFile(slot / kWorkFolderName).writeInt("Running", 1);
    project(kSettingsName, "[Init]\r\nMode1=0\r\n");
    ASSERT_TRUE(PrepareWorkFolder(slot.path(), ToProject, start, error)) << error;
    EXPECT_EQ(start, WorkStart::Resume);
    EXPECT_EQ(IniFile(slot / kWorkFolderName).readInt("Mode1"), 3);

    IniFile(slot / kWorkFolderName).writeInt("Running", 0);
    ASSERT_TRUE(PrepareWorkFolder(slot.path(), ToProject, start, error)) << error;
    EXPECT_EQ(start, WorkStart::Ended);
}

TEST_F(WorkFolderTest, AMissingInputFailsAndLeavesNoSettingsBehind) {
    ASSERT_FALSE(PrepareWorkFolder(slot.path(), ToProject, start, error));
    EXPECT_NE(error.find("wu_Numen.ini"), std::string::npos) << error;

    project(kSettingsName, "[Init]\r\nMode1=3\r\nVerifierFilename=list.txt\r\n");
    error.clear();
    ASSERT_FALSE(PrepareWorkFolder(slot.path(), ToProject, start, error));
    EXPECT_NE(error.find("wu_list.txt"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(slot / "work" / kSettingsName));   // the next start tries again

    project("list.txt", "3 2\n");
    ASSERT_TRUE(PrepareWorkFolder(slot.path(), ToProject, start, error)) << error;
    EXPECT_EQ(start, WorkStart::Fresh);
}

TEST_F(WorkFolderTest, ASettingsFileWithoutListNeedsNoList) {
    project(kSettingsName, "[Init]\r\nMode1=0\r\nnMin=2\r\n");
    ASSERT_TRUE(PrepareWorkFolder(slot.path(), ToProject, start, error)) << error;
    EXPECT_EQ(start, WorkStart::Fresh);
}

TEST_F(WorkFolderTest, ResultsGoToTheirResolvedNamesAndMissingOnesAreEmpty) {
    fs::create_directories(slot / kWorkFolderName);
    slot.write("work/Numen.txt", "45*2^200+1\n");
    slot.write("work/Numen.log", "45*2^200 + 1 is prime! (a = 7) [62 digits]\n");
    project("Numen.json", "stale");
    ASSERT_TRUE(PublishResults(slot.path(), ToProject, error)) << error;
    EXPECT_EQ(slot.read(ToProject("Numen.txt")), "45*2^200+1\n");
    EXPECT_EQ(slot.read(ToProject("Numen.log")), "45*2^200 + 1 is prime! (a = 7) [62 digits]\n");
    EXPECT_TRUE(fs::exists(slot / ToProject("Numen.json")));
    EXPECT_EQ(slot.read(ToProject("Numen.json")), "");

    fs::remove_all(slot / "project");   // the target folder is gone
    EXPECT_FALSE(PublishResults(slot.path(), ToProject, error));
}

TEST(WorkFolderCountTest, CountLinesCountsALastLineWithoutLineEnd) {
    TempFolder folder;
    folder.write("a", "1 2\n3 4\n");
    folder.write("b", "1 2\r\n3 4");
    folder.write("c", "");
    EXPECT_EQ(CountLines(folder / "a"), 2);
    EXPECT_EQ(CountLines(folder / "b"), 2);
    EXPECT_EQ(CountLines(folder / "c"), 0);
    EXPECT_EQ(CountLines(folder / "missing"), 0);
}

}  // namespace
}  // namespace numen
