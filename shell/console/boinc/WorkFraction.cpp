#include "shell/console/boinc/WorkFraction.h"

#include <algorithm>
#include <charconv>

namespace numen {

std::optional<double> ProgressPercent(std::string_view text) {
    if (text.empty() || text.back() == '\n') return std::nullopt;
    const size_t open = text.rfind(" [");
    if (open == std::string_view::npos) return std::nullopt;
    const char* first = text.data() + open + 2;
    const char* last = text.data() + text.size();
    double percent = 0.0;
    const auto [end, error] = std::from_chars(first, last, percent);
    if (error != std::errc() || end == last || *end != '%') return std::nullopt;
    return std::clamp(percent, 0.0, 100.0);
}

void WorkFraction::linesDone(int32_t lines) {
    if (lines != linesDone_) linePercent_ = 0.0;
    linesDone_ = std::clamp(lines, 0, totalLines_);
    update();
}

void WorkFraction::candidatePercent(double percent) {
    linePercent_ = std::max(linePercent_, std::clamp(percent, 0.0, 100.0));
    update();
}

void WorkFraction::update() {
    const double line = linesDone_ < totalLines_ ? linePercent_ / 100.0 : 0.0;
    const double now = (double(linesDone_) + line) / double(totalLines_);
    value_ = std::max(value_, std::min(now, 1.0));
}

}  // namespace numen
