#include "platform/Autostart.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace numen {

std::filesystem::path AutostartEntryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
    }
    return base / "autostart" / "numen.desktop";
}

namespace {

// Desktop-entry values escape spaces and quotes by quoting (Exec) and
// backslashes, and Path is taken verbatim up to the line end.
std::string QuotedExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool SetAutostart(bool on, const std::filesystem::path& program, const std::filesystem::path& folder) {
    const std::filesystem::path entry = AutostartEntryPath();
    std::error_code error;
    if (!on) {
        std::filesystem::remove(entry, error);
        return !error;
    }
    std::filesystem::create_directories(entry.parent_path(), error);
    if (error) return false;
    std::ofstream out(entry, std::ios::trunc);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Numen\n"
        << "Comment=Searches for and proves large primes\n"
        << "Exec=" << QuotedExec(program.string()) << "\n"
        << "Path=" << folder.string() << "\n"
        << "Terminal=false\n";
    out.close();
    return bool(out);
}

}  // namespace numen
