// WorkFolder: the engine's working folder inside a BOINC slot, and the
// copies between it and the work unit's files.
//
// The client names a task's files by logical names ("Numen.ini", the list,
// "Numen.txt", ...) that in the slot folder may be link files pointing into
// the project folder, so the engine cannot work in the slot folder itself:
// it runs in the subfolder `work`. At the first start the settings and the
// list are copied there (the list under the name "VerifierFilename" gives,
// the settings last, so a settings file in `work` means a whole copy); at
// the end the result files are copied out to their resolved names, an
// empty file for one the run did not write, so every declared output of
// the work unit exists. The folder stays across restarts of the task, and
// with it the run's position and checkpoint.
//
// `resolve` maps a logical name to the physical one (boinc_resolve_filename_s
// under the client; the name itself in tests), relative to `slot` unless
// absolute. Costs one copy of each small file.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace numen {

using ResolveName = std::function<std::string(const std::string& logical)>;

inline constexpr const char* kSettingsName = "Numen.ini";
inline constexpr const char* kResultNames[] = {"Numen.txt", "Numen.log", "Numen.json"};
inline constexpr const char* kWorkFolderName = "work";

// How the task begins in its work folder.
enum class WorkStart {
    Fresh,    // just copied in: start the run from the beginning
    Resume,   // a run was going (Running=1): continue it
    Ended,    // the run ended before the task was restarted: only deliver
};

// Prepares `slot`/work; false with `error` when the settings or the list
// cannot be read or copied (nothing usable is left behind then).
bool PrepareWorkFolder(const std::filesystem::path& slot, const ResolveName& resolve, WorkStart& start,
                       std::string& error);

// Copies the result files of `slot`/work to their resolved names.
bool PublishResults(const std::filesystem::path& slot, const ResolveName& resolve, std::string& error);

// The lines of a list file (a last line without a line end counts); 0 when
// it cannot be read.
int32_t CountLines(const std::filesystem::path& file);

}  // namespace numen
