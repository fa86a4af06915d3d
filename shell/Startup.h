// Startup: what every front end does before its first computation, written
// once: enter the working folder, take its instance lock, set the x87 mode,
// probe the processor, decide its profile from the probe and the tuning keys
// of "Numen.ini" (writing back what the decision says), choose the kernel
// families. The console, the window, the benchmarks and the tests that need
// a real start all go through here.
//
// The start-up is the one owner of the tuning keys (cpu, vendor, xmm_test,
// xmm, gap, lat64k, L1cache, L2cache, L3cache): it reads them through
// `Settings` and writes them back through `WriteSetting`, in the order
// arith/ProcessorProfile.h lists.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "arith/ProcessorProfile.h"
#include "platform/CpuProbe.h"
#include "platform/InstanceLock.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"

namespace numen {

// The tuning keys of `settings` as the profile rule reads them.
StoredTuning StoredTuningOf(const Settings& settings);

// The profile of `probe` with the tuning keys of `settings`. When the
// processor changed, `deleteCheckpoints` runs before any key is written;
// then the keys the decision names are written to `ini` and set in
// `settings`. `measureLatency64k` runs only when lat64k must be measured.
ProcessorProfile LoadProcessorProfile(const ProcessorProbe& probe, IniFile& ini, Settings& settings,
                                      const std::function<int32_t()>& measureLatency64k,
                                      const std::function<void()>& deleteCheckpoints);

// The start without folder and lock, for benchmarks and tests: x87 mode,
// this processor's profile from the settings in `ini` (a change of
// processor deletes the checkpoints beside `ini`), published as the current
// profile, the kernel families it and NoSSE2 / NoAVX allow, and whether
// base-2 runs take the weighted transform (NoWeighted). Returns the
// settings as read, tuning keys updated.
Settings StartEngine(IniFile& ini);

// A started front end: the working folder, its lock (held for the life of
// the session) and the settings read at start.
struct Session {
    std::filesystem::path folder;   // absolute; empty if it could not be told (files relative to ".")
    std::unique_ptr<InstanceLock> lock;
    Settings settings;
};

// Makes `requested` the current directory (empty: stays; every file of the
// system is opened relative to it), takes its lock and runs StartEngine.
// False, with `error` saying why, when the folder cannot be entered or
// another instance holds it; nothing is computed or written then.
bool StartSession(const std::filesystem::path& requested, Session& session, std::string& error);

}  // namespace numen
