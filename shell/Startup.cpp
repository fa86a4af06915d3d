// Startup: the one start-up sequence; see Startup.h.
#include "shell/Startup.h"

#include <system_error>

#include "arith/kernels/KernelFamily.h"
#include "platform/Fpu.h"
#include "search/CheckpointFile.h"
#include "tests/PowerRunWeighted.h"

namespace numen {

namespace fs = std::filesystem;

StoredTuning StoredTuningOf(const Settings& settings) {
    StoredTuning stored;
    stored.cpu = settings.cpu;
    stored.vendor = settings.vendor;
    stored.xmmTest = settings.xmm_test;
    stored.gap = settings.gap;
    stored.lat64k = settings.lat64k;
    return stored;
}

ProcessorProfile LoadProcessorProfile(const ProcessorProbe& probe, IniFile& ini, Settings& settings,
                                      const std::function<int32_t()>& measureLatency64k,
                                      const std::function<void()>& deleteCheckpoints) {
    const ProfileDecision decision = DecideProcessorProfile(probe, StoredTuningOf(settings), measureLatency64k);
    const TuningWriteBack& w = decision.writeBack;
    if (w.processorChanged) {
        deleteCheckpoints();
        settings.cpu = w.cpu;
        settings.vendor = w.vendor;
        WriteSetting(ini, settings, "cpu");
        WriteSetting(ini, settings, "vendor");
    }
    settings.xmm = w.xmm;
    WriteSetting(ini, settings, "xmm");
    if (w.gapChosen) {
        settings.gap = w.gap;
        WriteSetting(ini, settings, "gap");
    }
    if (w.lat64kChosen) {
        settings.lat64k = w.lat64k;
        WriteSetting(ini, settings, "lat64k");
    }
    if (w.cachesStored) {
        settings.L1cache = w.L1;
        settings.L2cache = w.L2;
        settings.L3cache = w.L3;
        WriteSetting(ini, settings, "L1cache");
        WriteSetting(ini, settings, "L2cache");
        WriteSetting(ini, settings, "L3cache");
    }
    return decision.profile;
}

Settings StartEngine(IniFile& ini) {
    SetX87ExtendedPrecision();
    Settings settings = ReadSettings(ini);
    const fs::path folder = ini.folder();
    SetCurrentProcessorProfile(LoadProcessorProfile(ProbeProcessor(), ini, settings, MeasureLatency64k,
                                                    [&] { DeleteCheckpoint(folder); }));
    const ProcessorProfile& profile = CurrentProcessorProfile();
    const bool noSse2 = settings.NoSSE2 != 0, noAvx = settings.NoAVX != 0;
    ChooseKernelFamilies(profile, noSse2, noAvx);
    SetWeightedRuns(settings.NoWeighted == 0);
    return settings;
}

bool StartSession(const fs::path& requested, Session& session, std::string& error) {
    std::error_code ec;
    if (!requested.empty()) fs::current_path(requested, ec);
    if (ec) {
        error = "cannot enter " + requested.string() + ": " + ec.message();
        return false;
    }
    session.folder = fs::current_path(ec);
    session.lock = std::make_unique<InstanceLock>(session.folder.empty() ? fs::path(".") : session.folder);
    if (!session.lock->held()) {
        error = session.lock->reason();
        return false;
    }
    IniFile ini(session.folder);
    session.settings = StartEngine(ini);
    return true;
}

}  // namespace numen
