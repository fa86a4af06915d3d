// The long checks run at the speed a user gets: before any test, the engine
// starts as the program does (processor probe, kernel families of the host),
// from a settings file in a folder of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "shell/IniFile.h"
#include "shell/Startup.h"

namespace numen {
namespace {

class HostEngine final : public ::testing::Environment {
public:
    void SetUp() override {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "numen-longtests-engine";
        std::filesystem::create_directories(folder);
        IniFile ini(folder);
        StartEngine(ini);
    }
};

const auto* const kHostEngine = ::testing::AddGlobalTestEnvironment(new HostEngine);

}  // namespace
}  // namespace numen
