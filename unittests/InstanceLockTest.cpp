// InstanceLock: one holder per folder, released with its holder, and a
// reason when it cannot be taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "ref/TempFolder.h"
#include "platform/InstanceLock.h"

namespace numen {
namespace {

namespace fs = std::filesystem;

class InstanceLockTest : public ::testing::Test {
protected:

    testing::TempFolder temp;
    const fs::path folder = temp.path();
};

TEST_F(InstanceLockTest, SecondLockOnTheSameFolderFailsUntilTheFirstIsReleased) {
    auto first = std::make_unique<InstanceLock>(folder);
    ASSERT_TRUE(first->held()) << first->reason();
    {
        InstanceLock second(folder);
        EXPECT_FALSE(second.held());
        EXPECT_NE(second.reason().find("already running"), std::string::npos) << second.reason();
    }
    fs::path other = folder / "other";
    fs::create_directory(other);
    EXPECT_TRUE(InstanceLock(other).held());   // another folder is another instance

    first.reset();
    EXPECT_TRUE(InstanceLock(folder).held());
}

TEST_F(InstanceLockTest, FolderThatDoesNotExistGivesAReason) {
    InstanceLock lock(folder / "missing");
    EXPECT_FALSE(lock.held());
    EXPECT_FALSE(lock.reason().empty());
}

}  // namespace
}  // namespace numen
