// The one fatal arithmetic failure: exhausted memory, a zero divisor, a
// transform product that fails its checksum. Nothing but the run threads'
// catch-all handlers catch it.
#pragma once

#include <stdexcept>

namespace numen {

class ArithmeticFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace numen
