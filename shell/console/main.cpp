// numen-console: the terminal front end, for servers and scripts.
//
//   numen-console COMMAND [FOLDER]
//
// Every setting stays in FOLDER/Numen.ini (default: the current directory);
// the command line only says what to do. Exit codes: 0 the run ended by
// itself (or profile done), 1 the folder could not be used (cannot enter
// it, another instance holds it), 2 usage, 3 stopped by a signal (the
// checkpoint is written and Running stays 1: `continue` takes it up), 4 the
// arithmetic error line ended the run, 5 the mode or command is not
// available yet, 6 Continue found the current values out of range.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"
#include "platform/CpuProbe.h"
#include "platform/Fpu.h"
#include "shell/FieldNormalisation.h"
#include "shell/IniFile.h"
#include "platform/Priority.h"
#include "shell/RunControl.h"
#include "shell/Startup.h"
#include "shell/console/ConsoleOutput.h"
#include "tests/PowerRunWeighted.h"

#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace numen {
namespace {

namespace fs = std::filesystem;

constexpr int kExitDone = 0;
constexpr int kExitFolderUnusable = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3;
constexpr int kExitArithmeticError = 4;
constexpr int kExitListRefused = 5;
constexpr int kExitOutOfRange = 6;

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: numen-console COMMAND [FOLDER]\n"
                 "\n"
                 "Runs in FOLDER (default: the current directory), whose Numen.ini holds\n"
                 "every setting.\n"
                 "\n"
                 "commands:\n"
                 "  profile    probe the processor, update its keys in Numen.ini, print it\n"
                 "  start      start the configured search from the beginning of its range\n"
                 "  continue   continue the search from the stored n and k\n"
                 "  test       run the self-test\n"
                 "  bench      run the main benchmark (NumenMarks)\n"
                 "  bench-gfn  run the generalized-Fermat benchmark\n"
                 "  bench-base3  run the base-3 benchmark\n"
                 "\n"
                 "Ctrl-C (SIGINT), SIGTERM and SIGHUP stop a run at its next poll; the\n"
                 "checkpoint is kept and 'continue' goes on from there.\n"
                 "\n"
                 "exit status: 0 run ended by itself, 1 folder unusable or in use, 2 usage,\n"
                 "3 stopped by a signal, 4 arithmetic error, 5 list cannot be used,\n"
                 "6 current values out of range for continue\n");
}

const char* VendorName(int32_t vendor) {
    switch (vendor) {
    case kVendorIntel: return "Intel";
    case kVendorAmd: return "AMD";
    default: return "other";
    }
}

const char* AvxName(int32_t avxLevel) {
    switch (avxLevel) {
    case 0: return "none";
    case 1: return "AVX2+FMA";
    default: return "AVX-512F";
    }
}

void PrintCacheLeaves(const char* name, const CacheLeaf (&leaves)[kMaxCacheLeaves]) {
    std::printf("  %-17s", name);
    int shown = 0;
    for (const CacheLeaf& l : leaves) {
        if ((l.eax & 0x1F) == 0) break;
        std::printf("%s%08x %08x %08x", shown++ ? " | " : " ", l.eax, l.ebx, l.ecx);
    }
    std::printf("%s (EAX EBX ECX per cache)\n", shown ? "" : " none");
}

void PrintProfile(const ProcessorProfile& p, const Session& session, const fs::path& iniPath) {
    const ProcessorProbe& raw = p.probe;
    const bool noSse2 = session.settings.NoSSE2 != 0, noAvx = session.settings.NoAVX != 0;
    std::printf("Processor profile (settings: %s)\n", iniPath.c_str());
    std::printf("  vendor string     \"%s\"\n", raw.vendor);
    std::printf("  vendor            %d (%s)\n", p.vendor, VendorName(p.vendor));
    std::printf("  family            %d (signature 0x%08x)\n", p.family, raw.signature);
    std::printf("  SSE level         %d%s\n", p.sseLevel, noSse2 ? " (NoSSE2 set)" : "");
    std::printf("  avx               %s (level %d)%s\n", AvxName(p.avxLevel), p.avxLevel,
                noAvx ? " (NoAVX set)" : "");
    std::printf("  gap               %d\n", p.gap);
    std::printf("  lat64k            %d\n", p.lat64k);
    std::printf("  L1 / L2 / L3      %u / %u / %u bytes\n", p.L1, p.L2, p.L3);
    std::printf("  features          0x%08x (leaf 1 EDX)\n", raw.features);
    std::printf("  features ECX      0x%08x (leaf 1 ECX)\n", raw.featuresEcx);
    std::printf("  ext. features     0x%08x (leaf 0x80000001 EDX)\n", raw.extFeatures);
    std::printf("  leaf 7 EBX        0x%08x\n", raw.leaf7Ebx);
    std::printf("  XCR0              0x%016llx\n", static_cast<unsigned long long>(raw.xcr0));
    std::printf("  descriptors      ");
    for (uint8_t d : raw.descriptors) std::printf(" %02x", d);
    std::printf(" (leaf 2 EAX EDX EBX ECX)\n");
    PrintCacheLeaves("leaf 4", raw.intelCaches);
    PrintCacheLeaves("leaf 0x8000001D", raw.amdCaches);
    std::printf("  ext. cache leaves 0x%08x 0x%08x 0x%08x (0x80000005 ECX, 0x80000006 ECX EDX)\n", raw.extL1Ecx,
                raw.extL2Ecx, raw.extL3Edx);
    std::printf("  x87 control word  0x%04x\n", X87ControlWord());
    std::printf("  kernels           %s for squares, %s for products\n", SquaringKernels().name,
                ProductKernels().name);
    std::printf("  GFN carry pass    %s\n", GfnCarryVariantName(GfnCarryKernels()));
    std::printf("  base-2 runs       %s\n", WeightedRunsEnabled() ? "weighted transform with the error check"
                                                                 : "exact square and fold (NoWeighted set)");
}

int RunProfile(const fs::path& folder) {
    Session session;
    std::string error;
    if (!StartSession(folder, session, error)) {
        std::fprintf(stderr, "numen-console: %s\n", error.c_str());
        return kExitFolderUnusable;
    }
    PrintProfile(CurrentProcessorProfile(), session, IniFile(session.folder).path());
    return kExitDone;
}

// Runs Start, Continue, the self-test or a benchmark to its end. The stop
// signals are blocked in every thread and taken here, so the worker is never
// interrupted inside a write.
int RunWorker(const fs::path& folder, WorkerCommand command, bool continueRun) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Session session;
    std::string error;
    if (!StartSession(folder, session, error)) {
        std::fprintf(stderr, "numen-console: %s\n", error.c_str());
        return kExitFolderUnusable;
    }
    // Before the worker exists, which inherits it.
    SetProcessPriority(session.settings.Priority);
    ConsoleOutput output(stdout, ::isatty(STDOUT_FILENO) != 0);
    RunControl control(session.folder.empty() ? fs::path(".") : session.folder, session.settings, output);
    const StartResult started =
        command == WorkerCommand::Search ? control.StartRun(continueRun) : control.StartCommand(command);
    switch (started) {
    case StartResult::Started: break;
    case StartResult::OutOfRange:
        std::fprintf(stderr, "numen-console: %s\n", WithLineFeeds(kOutOfRangeText).c_str());
        return kExitOutOfRange;
    case StartResult::WorkerAlive: return kExitUsage;   // cannot happen: the control is new
    }

    bool signalled = false;
    const timespec slice{0, 200 * 1000 * 1000};
    while (control.WorkerAlive()) {
        if (sigtimedwait(&stopSignals, nullptr, &slice) > 0 && !signalled) {
            signalled = true;
            control.Interrupt();   // like closing the window: Running stays 1
        }
    }
    control.Wait();
    std::fflush(stdout);
    if (signalled && control.LastEnd() == RunEnd::Stopped) return kExitStopped;
    switch (control.LastEnd()) {
    case RunEnd::Error: return kExitArithmeticError;
    case RunEnd::ListRefused: return kExitListRefused;
    case RunEnd::Stopped: return kExitStopped;
    default: return kExitDone;
    }
}

int Main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::string_view command = argv[1];
    fs::path folder = argc == 3 ? fs::path(argv[2]) : fs::path();
    if (command == "profile") return RunProfile(folder);
    if (command == "start") return RunWorker(folder, WorkerCommand::Search, false);
    if (command == "continue") return RunWorker(folder, WorkerCommand::Search, true);
    if (command == "test") return RunWorker(folder, WorkerCommand::SelfTest, false);
    if (command == "bench") return RunWorker(folder, WorkerCommand::Benchmark, false);
    if (command == "bench-gfn") return RunWorker(folder, WorkerCommand::GfnBenchmark, false);
    if (command == "bench-base3") return RunWorker(folder, WorkerCommand::Base3Benchmark, false);
    if (command == "help" || command == "--help" || command == "-h") {
        PrintUsage(stdout);
        return kExitDone;
    }
    std::fprintf(stderr, "numen-console: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return kExitUsage;
}

}  // namespace
}  // namespace numen

int main(int argc, char** argv) { return numen::Main(argc, argv); }
