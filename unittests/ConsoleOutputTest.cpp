// The console's pane: CR LF stored as LF, progress texts shown over one
// another on a terminal and left out of a file or pipe.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/console/ConsoleOutput.h"

namespace numen {
namespace {

// What the output wrote to its stream.
std::string Written(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(ConsoleOutputTest, LineEndsBecomeLineFeeds) {
    EXPECT_EQ(WithLineFeeds("Done.\r\n"), "Done.\n");
    EXPECT_EQ(WithLineFeeds("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(WithLineFeeds("progress\r"), "progress\r");  // a lone CR stays
}

TEST(ConsoleOutputTest, ProgressTextsOnATerminalAreOverwritten) {
    std::FILE* f = std::tmpfile();
    ConsoleOutput out(f, true);
    out.showPaneText("Start: For n=2 to 4, For k=3 to 9 step 2, k*2^n+1.\r\n");
    out.showPaneText("3*2^5 + 1 ? Computing power [10.00%]");
    out.showPaneText("3*2^5 + 1 ? Computing power [20.00%]");
    out.showPaneText("3*2^5 + 1 is prime!\r\n");
    out.showPaneText("Done.\r\n");
    EXPECT_EQ(Written(f),
              "Start: For n=2 to 4, For k=3 to 9 step 2, k*2^n+1.\n"
              "3*2^5 + 1 ? Computing power [10.00%]"
              "\r\033[K3*2^5 + 1 ? Computing power [20.00%]"
              "\r\033[K3*2^5 + 1 is prime!\n"
              "Done.\n");
    std::fclose(f);
}

TEST(ConsoleOutputTest, ProgressTextsAreLeftOutOfAFile) {
    std::FILE* f = std::tmpfile();
    ConsoleOutput out(f, false);
    out.showPaneText("3*2^5 + 1 ? Computing power [10.00%]");
    out.showPaneText("3*2^5 + 1 is prime!\r\n");
    out.showPaneText("4*2^5 + 1 ? Computing power [50.00%]");
    out.showPaneText("Done.\r\n");
    EXPECT_EQ(Written(f), "3*2^5 + 1 is prime!\nDone.\n");
    std::fclose(f);
}

TEST(ConsoleOutputTest, BlockingMessageGivesUpWhenTheRunIsStopped) {
    std::FILE* f = std::tmpfile();
    ConsoleOutput out(f, false);
    std::atomic<bool> running{false};
    out.showBlockingMessage("Numen.log cannot be opened.", running);  // returns at once
    EXPECT_NE(Written(f).find("Numen.log cannot be opened.\n"), std::string::npos);
    std::fclose(f);
}

}  // namespace
}  // namespace numen
