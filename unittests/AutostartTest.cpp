// The login autostart entry: written with the program and its folder,
// removed when turned off, refused when it cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Autostart.h"
#include "ref/TempFolder.h"

namespace numen {
namespace {

std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Autostart, WrittenRemovedAndRefused) {
    testing::TempFolder config;
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before != nullptr ? before : "";
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);

    ASSERT_TRUE(SetAutostart(true, "/opt/numen dir/numen", "/home/me/primes"));
    const std::filesystem::path entry = config.path() / "autostart" / "numen.desktop";
    EXPECT_EQ(AutostartEntryPath(), entry);
    const std::string text = Read(entry);
    EXPECT_NE(text.find("Exec=\"/opt/numen dir/numen\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Path=/home/me/primes\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);

    ASSERT_TRUE(SetAutostart(false, "", ""));
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_TRUE(SetAutostart(false, "", ""));   // already off

    // A file where the folder should be: the entry cannot be written.
    std::ofstream(config.path() / "blocked");
    setenv("XDG_CONFIG_HOME", (config.path() / "blocked").c_str(), 1);
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/numen", "/tmp"));

    if (before != nullptr)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace numen
