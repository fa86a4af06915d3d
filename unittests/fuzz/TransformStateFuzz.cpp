// Fuzz target: the transform state file "Numen.dtf" (arith/GfnCheckpoint.h).
//
// The first input byte chooses the plan the file is loaded into (bit 0: a
// one-pass transform of 32 elements, or a two-pass one of 32 rows of 64
// elements and a gap of 2); the rest is the file, loaded for bit index 17.
//
// Properties: a refused file leaves the transform's array and largest
// error as they were; an accepted one is saved back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "arith/GfnCheckpoint.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/kernels/KernelFamily.h"

namespace numen {
namespace {

constexpr uint32_t kBit = 17;
constexpr float kUnsetError = 0.125f;

// A planned transform holding 3, and a copy of its array to compare with.
struct Planned {
    GfnTransform transform;
    std::vector<Complex> array;

    Planned(uint32_t m, uint32_t l2Bytes) {
        // The baseline family: its shapes do not depend on the processor,
        // so the seeds fit on every machine.
        transform.plan(m, 1000, GfnSettings{&Sse2Kernels(), GfnCarryVariant::kSse2, l2Bytes, 6, 2});
        reset();
    }
    void reset() {
        transform.setValue(3);
        transform.setMaxError(kUnsetError);
        const GfnState& st = *transform.state();
        array.assign(st.array, st.array + st.elementCount());
    }
    bool unchanged() const {
        const GfnState& st = *transform.state();
        return st.maxError == kUnsetError &&
               std::memcmp(st.array, array.data(), array.size() * sizeof(Complex)) == 0;
    }
};

Planned& OnePass() {
    static Planned planned(64, 256 * 1024);
    return planned;
}

// A second-level cache below 256 KB with lat64k 6 runs L = 2048 in rows.
Planned& TwoPass() {
    static Planned planned(4096, 128 * 1024);
    return planned;
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    if (size == 0) return 0;
    Planned& planned = (data[0] & 1) ? TwoPass() : OnePass();
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::filesystem::path folder = fuzz::ScratchSubfolder("read");
    fuzz::WriteWholeFile(folder / kGfnCheckpointName, file);

    if (!GfnLoadCheckpoint(planned.transform, folder, kBit)) {
        NUMEN_FUZZ_CHECK(planned.unchanged());
        return 0;
    }
    const std::filesystem::path rewritten = fuzz::ScratchSubfolder("rewritten");
    NUMEN_FUZZ_CHECK(GfnSaveCheckpoint(planned.transform, rewritten, kBit));
    NUMEN_FUZZ_CHECK(fuzz::ReadWholeFile(rewritten / kGfnCheckpointName) == file);
    planned.reset();
    return 0;
}
