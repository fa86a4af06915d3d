// What every topic of numen-bench shares beside the timing: the start-up the
// program would make, and the FFTW reference the transform topics compare with.
#pragma once

#include <cstdint>

namespace numen::bench {

// The program's start-up (x87 mode, profile, kernel choice) with a settings
// file of our own in the temporary folder `folderName`, so that the user's
// "Numen.ini" is never read or written.
void StartLikeTheProgram(const char* folderName);

// Microseconds of an FFTW complex forward + backward pair of `length`
// points, in place, planned once: measured planning up to `measureUpTo`
// points (seconds of planning at 2^19, and a quarter faster than an
// estimated plan), estimated beyond.
double FftwPairMicroseconds(uint32_t length, uint32_t measureUpTo);

}  // namespace numen::bench
