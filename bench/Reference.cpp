#include "bench/Reference.h"

#include <filesystem>
#include <random>

#include <fftw3.h>

#include "bench/Timing.h"
#include "shell/IniFile.h"
#include "shell/Startup.h"

namespace numen::bench {

void StartLikeTheProgram(const char* folderName) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / folderName;
    std::filesystem::create_directories(folder);
    IniFile ini(folder);
    StartEngine(ini);
}

double FftwPairMicroseconds(uint32_t length, uint32_t measureUpTo) {
    fftw_complex* data = fftw_alloc_complex(length);
    const unsigned flags = length <= measureUpTo ? FFTW_MEASURE : FFTW_ESTIMATE;
    fftw_plan forward = fftw_plan_dft_1d(int(length), data, data, FFTW_FORWARD, flags);
    fftw_plan backward = fftw_plan_dft_1d(int(length), data, data, FFTW_BACKWARD, flags);
    std::mt19937_64 rng(length);
    for (uint32_t i = 0; i < length; ++i) {
        data[i][0] = double(int32_t(rng() % 65536) - 32768);
        data[i][1] = double(int32_t(rng() % 65536) - 32768);
    }
    const double scale = 1.0 / length;
    const double us = MinimumMicroseconds([&] {
        fftw_execute(forward);
        fftw_execute(backward);
        data[0][0] *= scale;  // keeps the values bounded across repeats
        data[0][1] *= scale;
    });
    fftw_destroy_plan(forward);
    fftw_destroy_plan(backward);
    fftw_free(data);
    return us;
}

}  // namespace numen::bench
