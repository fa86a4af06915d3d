// ConsoleOutput: the results pane of the terminal runner. Lines go to
// stdout with LF line ends; progress texts (no line end) are shown on a
// terminal behind a carriage return and overwritten by the next text, and
// left out when stdout is a file or a pipe. The blocking message of a
// locked log file waits for Enter on a terminal, otherwise 60 s.
#pragma once

#include <cstdio>
#include <string>

#include "shell/RunControl.h"

namespace numen {

class ConsoleOutput final : public RunOutput {
public:
    // `terminal`: stdout is a terminal (progress texts are shown).
    ConsoleOutput(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    void showPaneText(std::string_view text) override;
    void showBlockingMessage(std::string_view text, const std::atomic<bool>& running) override;

private:
    std::FILE* out_;
    bool terminal_;
    size_t progressWidth_ = 0;   // characters of the progress text on screen
};

// `text` with every CR LF as LF.
std::string WithLineFeeds(std::string_view text);

}  // namespace numen
