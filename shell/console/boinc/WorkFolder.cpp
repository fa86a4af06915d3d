#include "shell/console/boinc/WorkFolder.h"

#include <fstream>
#include <system_error>

#include "shell/IniFile.h"

namespace numen {

namespace fs = std::filesystem;

namespace {

fs::path Physical(const fs::path& slot, const ResolveName& resolve, const std::string& logical) {
    return slot / resolve(logical);   // an absolute resolved name replaces slot
}

bool CopyInto(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) error = "cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
    return !ec;
}

}  // namespace

bool PrepareWorkFolder(const fs::path& slot, const ResolveName& resolve, WorkStart& start, std::string& error) {
    const fs::path work = slot / kWorkFolderName;
    const fs::path settings = work / kSettingsName;
    std::error_code ec;
    if (fs::exists(settings, ec)) {
        start = IniFile(work).readInt("Running") != 0 ? WorkStart::Resume : WorkStart::Ended;
        return true;
    }
    fs::create_directories(work, ec);
    if (ec) {
        error = "cannot make " + work.string() + ": " + ec.message();
        return false;
    }
    // The settings are copied aside first and moved in last: their presence
    // says the folder is complete.
    const fs::path staging = work / "staging";
    fs::create_directories(staging, ec);
    if (!CopyInto(Physical(slot, resolve, kSettingsName), staging / kSettingsName, error)) return false;
    const std::string list = IniFile(staging).readText("VerifierFilename");
    if (!list.empty() && fs::path(list).is_relative()) {
        const fs::path to = work / list;
        fs::create_directories(to.parent_path(), ec);
        if (!CopyInto(Physical(slot, resolve, list), to, error)) return false;
    }
    fs::rename(staging / kSettingsName, settings, ec);
    if (ec) {
        error = "cannot move the settings into " + work.string() + ": " + ec.message();
        return false;
    }
    fs::remove(staging, ec);
    start = WorkStart::Fresh;
    return true;
}

bool PublishResults(const fs::path& slot, const ResolveName& resolve, std::string& error) {
    const fs::path work = slot / kWorkFolderName;
    for (const char* name : kResultNames) {
        const fs::path from = work / name, to = Physical(slot, resolve, name);
        std::error_code ec;
        if (fs::exists(from, ec)) {
            if (!CopyInto(from, to, error)) return false;
        } else {
            std::ofstream empty(to, std::ios::trunc);
            if (!empty) {
                error = "cannot write " + to.string();
                return false;
            }
        }
    }
    return true;
}

int32_t CountLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return 0;
    int32_t lines = 0;
    char last = '\n';
    for (char c; in.get(c); last = c)
        if (c == '\n') ++lines;
    return last == '\n' ? lines : lines + 1;
}

}  // namespace numen
