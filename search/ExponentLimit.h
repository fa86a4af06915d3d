// The largest exponent a run of a form and base takes: the range
// normalisation of the front ends and the list modes share it.
#pragma once

#include <cstdint>

namespace numen {

// The largest exponent the transforms take for a form and base: 2^23 for
// the generalized Fermat form, 33,554,400 for base 2, otherwise
// m * 2^20 - 32 with m the number of base-b digits in one 2^20 word.
uint32_t ExponentLimit(int testForm, uint32_t base);

}  // namespace numen
