// Fpu: x87 control word through <fpu_control.h>; see Fpu.h.
#include "platform/Fpu.h"

#include <cfenv>
#include <fpu_control.h>

namespace numen {

void SetX87ExtendedPrecision() {
    // fesetround sets both the x87 and the SSE rounding fields.
    std::fesetround(FE_TONEAREST);
    fpu_control_t cw;
    _FPU_GETCW(cw);
    constexpr fpu_control_t kPrecisionField = 0x300;   // PC: 00 single, 10 double, 11 extended
    constexpr fpu_control_t kRoundingField = 0xC00;    // RC: 00 nearest
    cw = static_cast<fpu_control_t>((cw & ~(kPrecisionField | kRoundingField)) | _FPU_EXTENDED | _FPU_RC_NEAREST);
    _FPU_SETCW(cw);
}

uint16_t X87ControlWord() {
    fpu_control_t cw;
    _FPU_GETCW(cw);
    return static_cast<uint16_t>(cw);
}

}  // namespace numen
