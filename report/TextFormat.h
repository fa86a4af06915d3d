// Format: printf-style formatting into a std::string of exactly the needed
// length, so that result lines of any size are composed without fixed buffers.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace numen {

[[gnu::format(printf, 1, 2)]] inline std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(size_t(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

}  // namespace numen
