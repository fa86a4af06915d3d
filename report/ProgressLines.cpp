#include "report/ProgressLines.h"

#include "report/TextFormat.h"

namespace numen {

std::string PowerProgressStem(const Candidate& N) {
    if (N.c >= 0) return Format("%u*%u^%u + %d ? Computing power", N.k, N.b, N.n, N.c);
    return Format("%u*%u^%u - %d ? Computing power", N.k, N.b, N.n, int32_t(N.offsetMagnitude()));
}

std::string GfnProgressStem(uint32_t B, uint32_t m) {
    return Format("%u^%u + 1 ? Computing power", B, m);
}

std::string CyclotomicProgressStem(uint32_t n, uint32_t b) {
    return Format("\"%u.%u\" ? Computing power", n, b);
}

std::string LucasProgressStem(uint32_t k, uint32_t b, uint32_t n) {
    if (b == 2) return Format("%u*2^%u - 1 ? Computing Lucas seq.", k, n);
    return Format("%u*%u^%u - 1 ? Computing Lucas seq.", k, b, n);
}

std::string UntimedProgressText(std::string_view stem, double percent) {
    return std::string(stem) + Format(" [%.2lf%%]", percent);
}

std::string TimedProgressText(std::string_view stem, double percent, int64_t seconds) {
    return std::string(stem) +
           Format(" [%.2lf%%, %d mn %02d s remaining]", percent, int(seconds / 60), int(seconds % 60));
}

}  // namespace numen
