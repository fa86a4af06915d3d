// DeferredCheckpoint: offered writes reach the real store only when the gate
// says so (each answer asked once, each write reported once), a stop always
// writes, reads never ask, and a refused write leaves the last record whole.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "arith/GfnTransform.h"
#include "ref/TempFolder.h"
#include "search/FolderCheckpoint.h"
#include "shell/console/boinc/DeferredCheckpoint.h"

namespace numen {
namespace {

using testing::TempFolder;

// Answers from a script (then "no"), counting questions and completions.
class ScriptedGate final : public CheckpointGate {
public:
    explicit ScriptedGate(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}
    bool timeToCheckpoint() override {
        ++asked;
        if (answers_.empty()) return false;
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void checkpointCompleted() override { ++completed; }
    int asked = 0, completed = 0;

private:
    std::deque<bool> answers_;
};

// Records which writes arrived; reads answer true without touching outputs.
class RecordingStore final : public RunCheckpoint {
public:
    bool readStage(uint32_t&) override { return note("readStage", true); }
    bool readPower(uint32_t, const PowerRecordParams&, uint32_t&, uint32_t&, BigInt&) override {
        return note("readPower", true);
    }
    bool readPower(uint32_t, const PowerRecordParams&, uint32_t, uint32_t&, uint32_t&, RadixInt&) override {
        return note("readPowerRadix", true);
    }
    void writePower(uint32_t, const PowerRecordParams&, uint32_t steps, uint32_t, const BigInt&) override {
        note("writePower " + std::to_string(steps), true);
    }
    void writePower(uint32_t, const PowerRecordParams&, uint32_t steps, uint32_t, const RadixInt&) override {
        note("writePowerRadix " + std::to_string(steps), true);
    }
    bool resumeGfn(uint32_t, const PowerRecordParams&, uint32_t&, uint32_t&, RadixInt&, GfnTransform&) override {
        return note("resumeGfn", true);
    }
    void saveGfn(uint32_t, const PowerRecordParams&, uint32_t steps, uint32_t, const RadixInt&,
                 const GfnTransform&) override {
        note("saveGfn " + std::to_string(steps), true);
    }
    bool readDivisibility(uint32_t, uint32_t, uint32_t, uint32_t&, uint32_t&, BigInt&, BigInt&, BigInt&) override {
        return note("readDivisibility", true);
    }
    void writeDivisibility(uint32_t, uint32_t, uint32_t, uint32_t steps, uint32_t, const BigInt&, const BigInt&,
                           const BigInt&) override {
        note("writeDivisibility " + std::to_string(steps), true);
    }
    std::vector<std::string> calls;

private:
    bool note(std::string call, bool answer) {
        calls.push_back(std::move(call));
        return answer;
    }
};

const PowerRecordParams kParams{3, 5, 2, 120000, 1};

TEST(DeferredCheckpointTest, RunningWritesOnlyTheTicksTheGateAllowsAndReportsEach) {
    RecordingStore inner;
    ScriptedGate gate({false, false, true, false, true});
    std::atomic<bool> running{true};
    DeferredCheckpoint store(inner, gate, running);
    const BigInt residue(7);
    for (uint32_t steps = 1; steps <= 6; ++steps) store.writePower(1, kParams, steps, 0, residue);

    EXPECT_EQ(inner.calls, (std::vector<std::string>{"writePower 3", "writePower 5"}));
    EXPECT_EQ(gate.asked, 6);      // one question per offered write, none more
    EXPECT_EQ(gate.completed, 2);  // one report per write made
    EXPECT_EQ(store.deferredWrites(), 4u);
}

TEST(DeferredCheckpointTest, EveryKindOfWriteIsGatedAndAStopWritesUnasked) {
    RecordingStore inner;
    ScriptedGate gate;   // never allows
    std::atomic<bool> running{true};
    DeferredCheckpoint store(inner, gate, running);
    const BigInt x(2);
    const RadixInt r(1 << 16, 3);
    GfnTransform transform;
    store.writePower(1, kParams, 1, 0, x);
    store.writePower(6, kParams, 2, 0, r);
    store.saveGfn(5, kParams, 3, 0, r, transform);
    store.writeDivisibility(3, 5, 120000, 4, 0, x, x, x);
    EXPECT_TRUE(inner.calls.empty());
    EXPECT_EQ(gate.asked, 4);

    running = false;   // the run is stopping: its last write must land
    store.writePower(1, kParams, 11, 0, x);
    store.writePower(6, kParams, 12, 0, r);
    store.saveGfn(5, kParams, 13, 0, r, transform);
    store.writeDivisibility(3, 5, 120000, 14, 0, x, x, x);
    EXPECT_EQ(inner.calls, (std::vector<std::string>{"writePower 11", "writePowerRadix 12", "saveGfn 13",
                                                     "writeDivisibility 14"}));
    EXPECT_EQ(gate.asked, 4);       // a stop does not ask
    EXPECT_EQ(gate.completed, 4);   // but is reported
}

TEST(DeferredCheckpointTest, ReadsGoStraightThroughWithoutAskingTheGate) {
    RecordingStore inner;
    ScriptedGate gate;
    std::atomic<bool> running{true};
    DeferredCheckpoint store(inner, gate, running);
    uint32_t stage = 0, steps = 0, bit = 0, left = 0;
    BigInt x;
    RadixInt r(1 << 16);
    GfnTransform transform;
    EXPECT_TRUE(store.readStage(stage));
    EXPECT_TRUE(store.readPower(1, kParams, steps, bit, x));
    EXPECT_TRUE(store.readPower(6, kParams, 1 << 16, steps, bit, r));
    EXPECT_TRUE(store.resumeGfn(5, kParams, steps, bit, r, transform));
    EXPECT_TRUE(store.readDivisibility(3, 5, 120000, steps, left, x, x, x));
    EXPECT_EQ(inner.calls.size(), 5u);
    EXPECT_EQ(gate.asked, 0);
    EXPECT_EQ(gate.completed, 0);
}

TEST(DeferredCheckpointTest, ARefusedTickLeavesTheLastWrittenRecordInTheFolder) {
    TempFolder folder;
    FolderCheckpoint inner(folder.path());
    ScriptedGate gate({true, false});
    std::atomic<bool> running{true};
    DeferredCheckpoint store(inner, gate, running);
    store.writePower(1, kParams, 100, 17, BigInt(12345));
    store.writePower(1, kParams, 200, 16, BigInt(54321));   // refused

    uint32_t steps = 0, bit = 0;
    BigInt residue;
    ASSERT_TRUE(store.readPower(1, kParams, steps, bit, residue));
    EXPECT_EQ(steps, 100u);
    EXPECT_EQ(bit, 17u);
    EXPECT_EQ(residue.compareInt(12345), 0);

    running = false;
    store.writePower(1, kParams, 250, 15, BigInt(999));
    ASSERT_TRUE(store.readPower(1, kParams, steps, bit, residue));
    EXPECT_EQ(steps, 250u);
    EXPECT_EQ(residue.compareInt(999), 0);
}

}  // namespace
}  // namespace numen
