// Startup: the tuning keys a made-up processor leaves in a real "Numen.ini"
// -- exact keys and order at a first start, nothing rewritten at the next,
// checkpoints deleted before the keys when the processor changed, the cache
// keys of Intel family 15 -- and the settings value agreeing with the file.
// Then the whole start on this machine: folder, lock, profile, kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ref/TempFolder.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/KernelFamily.h"
#include "search/CheckpointFile.h"
#include "shell/Startup.h"
#include "tests/PowerRunWeighted.h"

namespace numen {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSse = 1u << 25;
constexpr uint32_t kSse2 = 1u << 26;

ProcessorProbe MadeUpProcessor(const char* vendor, int32_t family, uint32_t features = kSse | kSse2) {
    ProcessorProbe p;
    std::memcpy(p.vendor, vendor, std::min<std::size_t>(std::strlen(vendor), 12));
    p.family = family;
    p.signature = static_cast<uint32_t>(family) << 8;
    p.features = features;
    return p;
}

class StartupTest : public ::testing::Test {
protected:
    void put(const std::string& text) const { temp.write("Numen.ini", text); }
    std::string contents() const { return temp.read("Numen.ini"); }
    bool stored(const std::string& line) const { return contents().find("\n" + line + "\n") != std::string::npos; }
    bool hasKey(const std::string& key) const { return contents().find("\n" + key + "=") != std::string::npos; }
    void touch(const char* name) const { std::ofstream(folder / name) << "x"; }

    // As the start-up does it: settings read first, checkpoints deleted with
    // the search's own deletion.
    ProcessorProfile load(const ProcessorProbe& probe) {
        settings = ReadSettings(ini);
        return LoadProcessorProfile(probe, ini, settings, [this] { ++measurements; return 3; },
                                    [this] { ++deletions; DeleteCheckpoint(folder); });
    }

    testing::TempFolder temp;
    const fs::path folder = temp.path();
    IniFile ini{folder};
    Settings settings;
    int measurements = 0;
    int deletions = 0;
};

TEST_F(StartupTest, FirstStartWritesTheProcessorAndDeletesNoOtherFile) {
    touch("Numen.log");
    touch("Numen.txt");
    ProcessorProfile p = load(MadeUpProcessor("GenuineIntel", 6));
    EXPECT_EQ(deletions, 1);
    EXPECT_TRUE(fs::exists(folder / "Numen.log"));
    EXPECT_TRUE(fs::exists(folder / "Numen.txt"));
    EXPECT_EQ(contents(), "[Init]\ncpu=6\nvendor=GenuineIntel\nxmm=2\ngap=1\nlat64k=3\n");
    EXPECT_EQ(p.sseLevel, 2);
    EXPECT_EQ(settings, ReadSettings(ini));   // what was written is what the value holds

    // The same processor again: nothing deleted, nothing measured, same file.
    touch("Numen.dta");
    load(MadeUpProcessor("GenuineIntel", 6));
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(measurements, 1);
    EXPECT_TRUE(fs::exists(folder / "Numen.dta"));
    EXPECT_EQ(contents(), "[Init]\ncpu=6\nvendor=GenuineIntel\nxmm=2\ngap=1\nlat64k=3\n");
}

TEST_F(StartupTest, ChangeOfFamilyOrVendorDeletesCheckpointsBeforeRewritingKeys) {
    struct Case {
        const char* storedFile;
        const char* vendor;
        int32_t family;
    } cases[] = {
        {"[Init]\ncpu=6\nvendor=GenuineIntel\n", "AuthenticAMD", 6},    // vendor
        {"[Init]\ncpu=6\nvendor=GenuineIntel\n", "GenuineIntel", 15},   // family
        {"[Init]\ncpu=6\nvendor=genuineintel\n", "GenuineIntel", 6},    // case counts here
    };
    for (const Case& c : cases) {
        put(c.storedFile);
        touch("Numen.dta");
        touch("Numen.dtf");
        touch("Numen.log");
        std::string seenAtDeletion;
        settings = ReadSettings(ini);
        LoadProcessorProfile(MadeUpProcessor(c.vendor, c.family), ini, settings, [] { return 3; },
                             [&] { seenAtDeletion = contents(); DeleteCheckpoint(folder); });
        EXPECT_EQ(seenAtDeletion.rfind(c.storedFile, 0), 0u) << "keys written before deletion";
        EXPECT_FALSE(fs::exists(folder / "Numen.dta"));
        EXPECT_FALSE(fs::exists(folder / "Numen.dtf"));
        EXPECT_TRUE(fs::exists(folder / "Numen.log"));
        EXPECT_TRUE(stored("cpu=" + std::to_string(c.family)));
        EXPECT_TRUE(stored(std::string("vendor=") + c.vendor));
        EXPECT_EQ(settings, ReadSettings(ini));
    }
}

TEST_F(StartupTest, PaddedVendorStringIsRecognisedAtTheNextStart) {
    load(MadeUpProcessor("  Shanghai  ", 7));
    EXPECT_TRUE(stored("vendor=Shanghai"));
    load(MadeUpProcessor("  Shanghai  ", 7));
    EXPECT_EQ(deletions, 1);
}

TEST_F(StartupTest, XmmTestInTheFileForcesTheStoredLevel) {
    put("[Init]\nxmm_test=11\n");
    EXPECT_EQ(load(MadeUpProcessor("GenuineIntel", 6)).sseLevel, 1);
    EXPECT_TRUE(stored("xmm=1"));
    EXPECT_TRUE(stored("xmm_test=11"));
}

TEST_F(StartupTest, StoredTuningIsKeptAsWrittenAndMissingTuningIsWritten) {
    put("[Init]\ncpu=6\nvendor=GenuineIntel\ngap = 7\nlat64k=9\n");
    ProcessorProfile p = load(MadeUpProcessor("GenuineIntel", 6));
    EXPECT_EQ(p.gap, 7);
    EXPECT_EQ(p.lat64k, 9);
    EXPECT_EQ(measurements, 0);
    EXPECT_EQ(contents(), "[Init]\ncpu=6\nvendor=GenuineIntel\ngap = 7\nlat64k=9\nxmm=2\n");   // not rewritten

    put("[Init]\ngap=\nlat64k=0\n");
    p = load(MadeUpProcessor("GenuineIntel", 6));
    EXPECT_EQ(p.gap, 1);
    EXPECT_EQ(p.lat64k, 3);
    EXPECT_TRUE(stored("gap=1"));
    EXPECT_TRUE(stored("lat64k=3"));
    EXPECT_EQ(settings, ReadSettings(ini));
}

TEST_F(StartupTest, CacheKeysAreWrittenForIntelFamily15Only) {
    ProcessorProbe p4 = MadeUpProcessor("GenuineIntel", 15);
    const uint8_t descriptors[16] = {0x01, 0x66, 0x5B, 0x50, 0, 0, 0, 0, 0x7B, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(p4.descriptors, descriptors, 16);
    load(p4);
    EXPECT_EQ(contents(), "[Init]\ncpu=15\nvendor=GenuineIntel\nxmm=2\ngap=4\nlat64k=2\n"
                          "L1cache=8192\nL2cache=524288\nL3cache=0\n");
    EXPECT_EQ(settings, ReadSettings(ini));

    for (auto [vendor, family] : {std::pair{"AuthenticAMD", 15}, std::pair{"GenuineIntel", 6}}) {
        put("");
        ProcessorProbe other = MadeUpProcessor(vendor, family);
        std::memcpy(other.descriptors, descriptors, 16);
        ProcessorProfile q = load(other);
        EXPECT_EQ(q.L2, 524288u) << vendor;   // the profile knows the sizes all the same
        EXPECT_FALSE(hasKey("L1cache") || hasKey("L2cache") || hasKey("L3cache")) << vendor;
    }
}

// The whole start touches process-wide state: the current directory, the
// profile and the kernel choice (carry pass included). Each is put back.
class StartupSessionTest : public StartupTest {
protected:
    ~StartupSessionTest() override {
        std::error_code ignored;
        fs::current_path(cwd, ignored);
        SetCurrentProcessorProfile(profile);
        ChooseKernelFamilies(ProcessorProfile{}, false, false);   // products: the plain family, as before start-up
        ForceSquaringKernels(squaring);
        SetWeightedRuns(weighted, 0);
    }
    const fs::path cwd = fs::current_path();
    const bool weighted = WeightedRunsEnabled();
    const ProcessorProfile profile = CurrentProcessorProfile();
    const KernelFamily& squaring = SquaringKernels();
};

TEST_F(StartupSessionTest, FolderThatCannotBeUsedStopsTheStartBeforeAnyFile) {
    Session session;
    std::string error;
    const fs::path missing = folder / "missing";
    EXPECT_FALSE(StartSession(missing, session, error));
    EXPECT_EQ(error.rfind("cannot enter " + missing.string() + ": ", 0), 0u) << error;

    InstanceLock other(folder);
    ASSERT_TRUE(other.held()) << other.reason();
    EXPECT_FALSE(StartSession(folder, session, error));
    EXPECT_NE(error.find("already running"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(folder / "Numen.ini"));
}

TEST_F(StartupSessionTest, StartInAFolderPublishesTheProfileAndTheKernelsTheSettingsAllow) {
    put("[Init]\nNoAVX=1\n");
    Session session;
    std::string error;
    ASSERT_TRUE(StartSession(folder, session, error)) << error;
    EXPECT_TRUE(session.lock->held());
    EXPECT_EQ(fs::canonical(session.folder), fs::canonical(folder));
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(folder));
    EXPECT_EQ(session.settings, ReadSettings(ini));
    EXPECT_EQ(session.settings.NoAVX, 1);

    const ProcessorProfile& p = CurrentProcessorProfile();
    EXPECT_EQ(p.probe.signature, ProbeProcessor().signature);
    EXPECT_TRUE(stored("cpu=" + std::to_string(p.family)));
    EXPECT_TRUE(stored("xmm=" + std::to_string(p.sseLevel)));
    // NoAVX keeps both the AVX kernels and the AVX carry passes out.
    EXPECT_EQ(SquaringKernels().avxLevel, 0);
    EXPECT_EQ(ProductKernels().avxLevel, 0);
    EXPECT_EQ(GfnCarryKernels(), ChosenKernelFamilies(p, false, true).gfnCarry);

    // A second start in the same folder while the session holds it.
    Session second;
    EXPECT_FALSE(StartSession(folder, second, error));
}

// NoWeighted reaches the runs through the start, default on.
TEST_F(StartupSessionTest, NoWeightedKeepsTheBase2RunsOnTheExactPath) {
    StartEngine(ini);
    EXPECT_TRUE(WeightedRunsEnabled());
    EXPECT_TRUE(UsesWeightedTransform(3, 100000, 1));
    put(contents() + "NoWeighted=1\n");  // the tuning keys kept: no second latency sweep
    EXPECT_EQ(StartEngine(ini).NoWeighted, 1);
    EXPECT_FALSE(WeightedRunsEnabled());
    EXPECT_FALSE(UsesWeightedTransform(3, 100000, 1));
}

}  // namespace
}  // namespace numen
