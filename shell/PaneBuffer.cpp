#include "shell/PaneBuffer.h"

namespace numen {

namespace {

std::string WithoutCarriageReturns(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

}  // namespace

PaneEdit PaneBuffer::show(std::string_view text) {
    PaneEdit edit;
    if (text_.size() > kTrimAbove) {
        const size_t lineEnd = text_.find('\n', kTrimCount - 1);
        edit.trimFront = lineEnd == std::string::npos ? kTrimCount : lineEnd + 1;
        text_.erase(0, edit.trimFront);
    }
    const size_t lastBreak = text_.rfind('\n');
    edit.replaceFrom = lastBreak == std::string::npos ? 0 : lastBreak + 1;
    edit.insert = WithoutCarriageReturns(text);
    text_.replace(edit.replaceFrom, std::string::npos, edit.insert);
    return edit;
}

}  // namespace numen
