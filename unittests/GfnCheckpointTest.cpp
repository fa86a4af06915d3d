// "Numen.dtf" placed by another writer: GfnCheckpointBytes are the bytes
// GfnSaveCheckpoint writes, GfnLoadCheckpointFile reads them under any
// name, and GfnCheckpointFileBit tells a whole file of any plan from a
// damaged one without a transform, also across its 1 MiB read blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "arith/GfnCheckpoint.h"
#include "arith/GfnTransform.h"
#include "ref/TempFolder.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// A number a few steps into a powering modulo 1000^m + 1.
void Start(GfnTransform& t, uint32_t m) {
    t.plan(m, 1000);
    t.setValue(7);
    for (int i = 0; i < 3; ++i) {
        t.square();
        t.carry(7);
    }
    t.setMaxError(0.25f);
}

std::vector<int32_t> DigitsOf(const GfnTransform& t) {
    std::vector<int32_t> d(t.digitCount());
    t.readDigits(d.data());
    return d;
}

TEST(GfnCheckpointFileTest, BytesAreTheSavedFileAndLoadFromAnyName) {
    TempFolder folder;
    GfnTransform t;
    EXPECT_TRUE(GfnCheckpointBytes(t, 5).empty());  // not planned
    uint32_t bit = 0;
    Start(t, 4096);
    ASSERT_TRUE(GfnSaveCheckpoint(t, folder.path(), 77));
    const std::string bytes = GfnCheckpointBytes(t, 77);
    EXPECT_EQ(folder.read(kGfnCheckpointName), bytes);
    EXPECT_NE(GfnCheckpointBytes(t, 78), bytes);

    folder.write("Numen.dtf.prev", bytes);
    const std::vector<int32_t> saved = DigitsOf(t);
    t.setValue(1);
    t.setMaxError(0);
    EXPECT_FALSE(GfnLoadCheckpointFile(t, folder / "Numen.dtf.prev", 76));
    ASSERT_TRUE(GfnLoadCheckpointFile(t, folder / "Numen.dtf.prev", 77));
    EXPECT_EQ(DigitsOf(t), saved);
    EXPECT_EQ(t.maxError(), 0.25f);
    EXPECT_FALSE(GfnLoadCheckpointFile(t, folder / "absent", 77));
    EXPECT_FALSE(GfnCheckpointFileBit(folder / "absent", bit));
}

TEST(GfnCheckpointFileTest, FileBitAcceptsOnlyWholeFiles) {
    TempFolder folder;
    const fs::path file = folder / "state";
    // 2^18 digits: an array of several MiB, read in more than one block.
    for (uint32_t m : {4096u, 1u << 18}) {
        SCOPED_TRACE("m = " + std::to_string(m));
        GfnTransform t;
        Start(t, m);
        const std::string good = GfnCheckpointBytes(t, 123456);
        folder.write("state", good);
        uint32_t bit = 0;
        ASSERT_TRUE(GfnCheckpointFileBit(file, bit));
        EXPECT_EQ(bit, 123456u);

        for (size_t len : {size_t(0), size_t(3), size_t(19), size_t(20), size_t(1) << 20, (size_t(1) << 20) + 4,
                           good.size() - 8, good.size() - 1}) {
            if (len >= good.size()) continue;
            folder.write("state", good.substr(0, len));
            bit = 7;
            EXPECT_FALSE(GfnCheckpointFileBit(file, bit)) << "length " << len;
            EXPECT_EQ(bit, 7u);
        }
        folder.write("state", good + "x");
        EXPECT_FALSE(GfnCheckpointFileBit(file, bit)) << "overlong";
        // The magic, the bit index, g, b, E, the array at its start, across
        // the end of the first read block, at its end, and the check word.
        const size_t end = good.size() - 8;
        for (size_t at : {size_t(0), size_t(4), size_t(8), size_t(12), size_t(16), size_t(20), size_t(1) << 20,
                          (size_t(1) << 20) - 1, end - 1, end}) {
            if (at >= end + 4) continue;
            std::string bytes = good;
            bytes[at] ^= 0x04;
            folder.write("state", bytes);
            EXPECT_FALSE(GfnCheckpointFileBit(file, bit)) << "byte " << at;
        }
    }
}

}  // namespace
}  // namespace numen
