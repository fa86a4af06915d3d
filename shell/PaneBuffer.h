// PaneBuffer: what the results pane does with each text the worker sends.
//
// A text replaces the pane's last line (everything after the last line
// break), so a progress text without a line end is overwritten by the next
// text and a line ending in CR LF stays, leaving an empty last line. Before
// the replacement a pane above 25000 characters loses its first 10000 (and
// the rest of the line they end in, so the pane never starts mid-line).
// The window applies each returned edit to its text widget; the buffer
// keeps the same text, so the rule is tested without a display.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace numen {

// One change of the pane: drop `trimFront` characters at the start, then
// replace everything from `replaceFrom` (counted after the trim) to the
// end with `insert`. Line ends are LF.
struct PaneEdit {
    size_t trimFront = 0;
    size_t replaceFrom = 0;
    std::string insert;
};

class PaneBuffer {
public:
    static constexpr size_t kTrimAbove = 25000;
    static constexpr size_t kTrimCount = 10000;

    // Applies a worker text (CR LF or LF line ends) and returns the edit.
    PaneEdit show(std::string_view text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace numen
