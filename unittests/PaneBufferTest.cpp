// The pane's last-line replacement and its trimming.
#include <gtest/gtest.h>

#include "shell/PaneBuffer.h"

namespace numen {
namespace {

TEST(PaneBuffer, ProgressIsOverwrittenAndLinesStay) {
    PaneBuffer pane;
    pane.show("Start: For n=2 to 3.\r\n");
    pane.show("3*2^2 + 1 ? Computing power [10.00%]");
    PaneEdit edit = pane.show("3*2^2 + 1 ? Computing power [50.00%]");
    EXPECT_EQ(edit.replaceFrom, 21u);   // after "Start: ...\n"
    EXPECT_EQ(pane.text(), "Start: For n=2 to 3.\n3*2^2 + 1 ? Computing power [50.00%]");
    pane.show("3*2^2 + 1 is prime! (a = 2) [2 digits]\r\n");
    pane.show("Done.\r\n");
    EXPECT_EQ(pane.text(), "Start: For n=2 to 3.\n3*2^2 + 1 is prime! (a = 2) [2 digits]\nDone.\n");
    // A text of several lines (the self-test's headings) replaces the empty last line.
    pane.show("\r\nTest OK.\r\n");
    EXPECT_EQ(pane.text().substr(pane.text().size() - 11), "\n\nTest OK.\n");
}

TEST(PaneBuffer, NeverGrowsMuchBeyondTheLimitAndStartsOnALine) {
    PaneBuffer pane;
    const std::string line(99, 'x');
    size_t largest = 0;
    for (int i = 0; i < 1000; ++i) {
        const PaneEdit edit = pane.show(line + "\r\n");
        if (edit.trimFront > 0) {
            EXPECT_GE(edit.trimFront, PaneBuffer::kTrimCount);
            EXPECT_LT(edit.trimFront, PaneBuffer::kTrimCount + 100);
        }
        largest = std::max(largest, pane.text().size());
        ASSERT_EQ(pane.text().front(), 'x');
        ASSERT_EQ(pane.text().size() % 100, 0u);   // whole lines only
    }
    EXPECT_LE(largest, PaneBuffer::kTrimAbove + 100);
}

}  // namespace
}  // namespace numen
