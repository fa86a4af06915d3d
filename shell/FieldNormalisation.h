// FieldNormalisation: what every front end does to the range fields before
// a Start or Continue (and the window when it closes): the values as
// "Numen.ini" holds them become values the search loops can rely on, and the
// search job is filled from them. Shared by the console and the window; pure
// except for StoreNormalisedFields, which writes the corrected keys back.
#pragma once

#include <cstdint>

#include "search/ExponentLimit.h"
#include "search/SearchJob.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"

namespace numen {

// The largest even k (the varying base) a generalized Fermat run of
// exponents up to nMax takes: below C / nMax^0.3, C = 36e6 up to nMax 2048
// and 40e6 above.
uint32_t GfnKLimit(uint32_t nMax);

// `stored` with nMin, nMax, kMin, kMax, kStep and a, b, c corrected: n in
// 2..limit (0..limit for Any) and nMax >= nMin; kMin >= 2, kMax >= kMin,
// kStep >= 1; the parity of k and kStep the form and base need; k below
// 2^31 for bases other than 2; a = b = c = 0 read as b = 1. Every other key
// is returned unchanged.
Settings NormaliseFields(const Settings& stored);

// The current n or k as the "n" and "k" keys hold them (unsigned decimal,
// empty or not a number reads as 0).
uint32_t CurrentValue(const std::string& text);

// Continue's check that the current position lies in the range of the
// mode: Standard nMin <= n <= nMax and kMin <= k <= kMax, Algebraic
// nMin <= n <= nMax, Cullen n = nMin, File and Verifier always.
bool CurrentValuesInRange(const Settings& normalised);

// The text shown when the check fails.
inline constexpr const char* kOutOfRangeText = "Current values are out of range.\nImpossible to continue !";

// Writes the keys the normalisation owns (nMin, nMax, kMin, kMax, kStep,
// a, b, c, VerifierFilename, FileLine), each in its stored form.
void StoreNormalisedFields(IniFile& ini, const Settings& normalised);

// The job of a run from normalised settings: mode, form, base, ranges,
// coefficients, current position, Range Info, Only factors, Morehead, the
// test options, the manual trial limit and nbIter. Leaves `running` and
// `continueRun` alone; Cullen mode's k = n is the run start's business.
void FillSearchJob(const Settings& normalised, SearchJob& job);

}  // namespace numen
