// Autostart: start the window at login, in its working folder, through an
// XDG autostart entry ("$XDG_CONFIG_HOME/autostart/numen.desktop", or
// ~/.config/autostart/). Turning it off removes the entry.
#pragma once

#include <filesystem>

namespace numen {

// The entry's path for the current user's configuration folder.
std::filesystem::path AutostartEntryPath();

// Writes (on) or removes (off) the entry: `program` started in `folder`.
// False when the entry cannot be written or removed; the caller then
// clears the option.
bool SetAutostart(bool on, const std::filesystem::path& program, const std::filesystem::path& folder);

}  // namespace numen
