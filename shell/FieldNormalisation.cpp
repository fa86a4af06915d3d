#include "shell/FieldNormalisation.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace numen {
namespace {

constexpr uint32_t kSignedMax = 2147483647u;

bool ReadsNegative(uint32_t v) { return v > kSignedMax; }

uint32_t MakeEven(uint32_t v) { return v & ~1u; }

uint32_t MakeOdd(uint32_t v) { return v | 1u; }

// An even step of at least 2.
uint32_t EvenStep(uint32_t v) { return v < 2 ? 2 : MakeEven(v); }

}  // namespace

uint32_t GfnKLimit(uint32_t nMax) {
    const double c = nMax <= 2048 ? 36000000.0 : 40000000.0;
    const double limit = std::floor(c / std::pow(static_cast<double>(nMax), 0.3));
    return MakeEven(limit >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(limit));
}

Settings NormaliseFields(const Settings& stored) {
    Settings s = stored;
    const int form = s.Mode2;
    if (ReadsNegative(s.nMin)) s.nMin = kSignedMax;
    if (ReadsNegative(s.nMax)) s.nMax = kSignedMax;

    const uint32_t limit = ExponentLimit(form, s.Base);
    const uint32_t lowest = form == AnyForm ? 0 : 2;
    if (s.nMin < lowest) s.nMin = lowest;
    if (s.nMin > limit) s.nMin = limit;
    if (s.nMax < lowest || s.nMax > limit) s.nMax = limit;
    if (s.nMax < s.nMin) s.nMax = s.nMin;

    if (s.kMin < 2) s.kMin = 2;
    if (s.kMax < s.kMin) s.kMax = s.kMin;
    if (s.kStep == 0) s.kStep = 1;

    if (form == GfnForm) {
        s.kMin = MakeEven(s.kMin);
        s.kMax = std::min(MakeEven(s.kMax), GfnKLimit(s.nMax));
        if (s.kStep < 2) s.kStep = 2;
    } else if (form == PlusOneForm || form == MinusOneForm) {
        if (s.Base == 2) {
            s.kMin = MakeOdd(s.kMin);
            s.kMax = MakeOdd(s.kMax);
            s.kStep = EvenStep(s.kStep);
        } else {
            // Clamped before the parity rule, so that an odd base still gets an even k.
            for (uint32_t* v : {&s.kMin, &s.kMax, &s.kStep})
                if (ReadsNegative(*v)) *v = kSignedMax;
            if (s.Base % 2 == 1) {
                s.kMin = MakeEven(s.kMin);
                s.kMax = MakeEven(s.kMax);
                s.kStep = EvenStep(s.kStep);
            }
        }
    }
    if (s.kMax < s.kMin) s.kMin = s.kMax;

    if (s.a == 0 && s.b == 0 && s.c == 0) s.b = 1;
    return s;
}

uint32_t CurrentValue(const std::string& text) {
    uint32_t value = 0;
    const char* first = text.data();
    while (first < text.data() + text.size() && *first == ' ') ++first;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    return error == std::errc() ? value : 0;
}

bool CurrentValuesInRange(const Settings& s) {
    const uint32_t n = CurrentValue(s.n), k = CurrentValue(s.k);
    switch (s.Mode1) {
    case StandardMode: return s.nMin <= n && n <= s.nMax && s.kMin <= k && k <= s.kMax;
    case AlgebraicMode: return s.nMin <= n && n <= s.nMax;
    case CullenMode: return n == s.nMin;
    default: return true;
    }
}

void StoreNormalisedFields(IniFile& ini, const Settings& normalised) {
    for (const char* key : {"nMin", "nMax", "kMin", "kMax", "kStep", "a", "b", "c", "VerifierFilename", "FileLine"})
        WriteSetting(ini, normalised, key);
}

void FillSearchJob(const Settings& s, SearchJob& job) {
    job.mode = s.Mode1;
    job.testForm = s.Mode2;
    job.base = s.Base;
    job.nMin = s.nMin;
    job.nMax = s.nMax;
    job.kMin = s.kMin;
    job.kMax = s.kMax;
    job.kStep = s.kStep;
    job.a = s.a;
    job.b = s.b;
    job.c = s.c;
    job.currentN = CurrentValue(s.n);
    job.currentK = CurrentValue(s.k);
    job.rangeInfo = s.Info != 0;
    job.onlyFactors = s.OnlyFactors != 0;
    job.morehead = s.Morehead != 0;
    job.options = TestOptions{s.VerifComposites != 0, s.Use16bitBRT != 0};
    job.trialLimit = ManualLimitOf(s);
    job.live.nbIter.store(s.nbIter, std::memory_order_relaxed);
}

}  // namespace numen
