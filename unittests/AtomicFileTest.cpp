// The two halves of the atomic replacement: the temporary takes the
// target's permission bits and is refused for a read-only or non-regular
// target, leaving nothing behind; the rename moves a file whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "ref/TempFolder.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

mode_t ModeOf(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicFileTest, TemporaryTakesTheTargetsModeAndLeavesTheTargetAlone) {
    TempFolder folder;
    const fs::path target = folder / "file";
    ASSERT_TRUE(WriteTemporaryFor(target, "new"));  // no target yet
    EXPECT_EQ(folder.read("file.tmp"), "new");
    EXPECT_FALSE(fs::exists(target));

    folder.write("file", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    folder.write("file.tmp", "stale, from a crash");
    ASSERT_TRUE(WriteTemporaryFor(target, "newer"));
    EXPECT_EQ(folder.read("file.tmp"), "newer");
    EXPECT_EQ(folder.read("file"), "old");
    EXPECT_EQ(ModeOf(AtomicTemporaryPath(target)), 0640u);

    ASSERT_TRUE(RenameDurably(AtomicTemporaryPath(target), target));
    EXPECT_EQ(folder.read("file"), "newer");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_FALSE(fs::exists(AtomicTemporaryPath(target)));
    EXPECT_FALSE(RenameDurably(AtomicTemporaryPath(target), target));  // nothing to move
    EXPECT_EQ(folder.read("file"), "newer");
}

TEST(AtomicFileTest, RefusedTargetsLeaveNoTemporary) {
    TempFolder folder;
    const fs::path target = folder / "file";
    folder.write("file", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_FALSE(WriteTemporaryFor(target, "new"));
    EXPECT_FALSE(ReplaceFileAtomically(target, "new"));
    EXPECT_FALSE(fs::exists(AtomicTemporaryPath(target)));
    EXPECT_EQ(folder.read("file"), "old");

    fs::create_directory(folder / "dir");
    EXPECT_FALSE(WriteTemporaryFor(folder / "dir", "new"));
    EXPECT_FALSE(fs::exists(folder / "dir.tmp"));
    EXPECT_FALSE(WriteTemporaryFor(folder / "absent" / "file", "new"));
}

}  // namespace
}  // namespace numen
