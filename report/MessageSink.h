// MessageSink: the one channel from the worker to whatever shows its output
// (the window, the console, a test). The worker never calls the front end
// directly; it posts a kind and a text and waits until the sink has taken it,
// so values of kinds 1-3 are stored before the run goes on.
#pragma once

#include <string_view>

namespace numen {

// What the text of a posted message means.
enum MessageKind : int {
    PaneText = 0,         // a line for the results pane, or RunEndedText
    CurrentN = 1,         // the current n, decimal
    CurrentK = 2,         // the current k, decimal
    ListLineChanged = 3,  // the File-mode list line moved on (text unused)
};

// Posted as PaneText when the run has ended by itself.
inline constexpr std::string_view RunEndedText = "cestfini";

class MessageSink {
public:
    virtual ~MessageSink() = default;

    // Synchronous: returns once the front end has shown or stored the text.
    virtual void post(int kind, std::string_view text) = 0;

    // A notification that waits for the user (a log file stays locked);
    // returns when the user has acknowledged it.
    virtual void showBlockingMessage(std::string_view text) = 0;
};

}  // namespace numen
