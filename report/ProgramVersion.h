// The program's version, as the About box and every line of "Numen.json"
// show it. The one place it is defined.
#pragma once

namespace numen {

inline constexpr const char* kProgramVersion = "0.1";

}  // namespace numen
