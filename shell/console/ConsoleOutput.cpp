#include "shell/console/ConsoleOutput.h"

#include <chrono>

#include <poll.h>
#include <unistd.h>

namespace numen {

std::string WithLineFeeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

void ConsoleOutput::showPaneText(std::string_view text) {
    const std::string shown = WithLineFeeds(text);
    const bool progress = shown.empty() || shown.back() != '\n';
    if (progress && !terminal_) return;
    // Back to the start of the progress text on screen and clear it (ANSI erase to end of line).
    if (progressWidth_ > 0) std::fputs("\r\033[K", out_);
    std::fwrite(shown.data(), 1, shown.size(), out_);
    progressWidth_ = progress ? shown.size() : 0;
    std::fflush(out_);
}

void ConsoleOutput::showBlockingMessage(std::string_view text, const std::atomic<bool>& running) {
    showPaneText(WithLineFeeds(text) + "\n");
    const bool interactive = ::isatty(STDIN_FILENO) != 0;
    std::fputs(interactive ? "Press Enter to retry.\n" : "Retrying in 60 s.\n", out_);
    std::fflush(out_);
    // Waits in short slices so that a stop request is not held up.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (running.load()) {
        if (interactive) {
            pollfd in{STDIN_FILENO, POLLIN, 0};
            if (::poll(&in, 1, 250) > 0) {
                char line[256];
                if (std::fgets(line, sizeof line, stdin) == nullptr || line[0] != '\0') return;
            }
        } else {
            if (std::chrono::steady_clock::now() >= until) return;
            ::usleep(250000);
        }
    }
}

}  // namespace numen
