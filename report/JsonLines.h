// JSON Lines: one JSON object per line, built whole in memory and appended
// to its file by one write, so that after a crash every line of the file is
// either complete or absent.
//
// JsonObject is a tiny writer for flat objects of strings, integers, reals,
// booleans and null, in the order added; keys are written as given (callers
// use plain ASCII names). Strings are escaped as JSON requires: quote,
// backslash and every control character below 0x20; other bytes (UTF-8)
// pass unchanged. A real that is not finite is written as null.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace numen {

// The JSON string literal of text, quotes included.
std::string JsonQuoted(std::string_view text);

class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view value);
    JsonObject& add(std::string_view key, const char* value) { return add(key, std::string_view(value)); }
    JsonObject& add(std::string_view key, int64_t value);
    JsonObject& add(std::string_view key, uint64_t value);
    JsonObject& add(std::string_view key, int32_t value) { return add(key, int64_t(value)); }
    JsonObject& add(std::string_view key, uint32_t value) { return add(key, uint64_t(value)); }
    JsonObject& add(std::string_view key, bool value);
    JsonObject& add(std::string_view key, double value);
    JsonObject& addNull(std::string_view key);
    // The value, or null when there is none.
    JsonObject& add(std::string_view key, const std::optional<double>& value);

    // The object's text, "{...}", no line end.
    std::string text() const { return body_ + "}"; }

private:
    void key(std::string_view key);
    std::string body_ = "{";
};

// The write(2) call the appender uses; tests give one that fails or writes
// only part of the line.
using WriteCall = ssize_t (*)(int fd, const void* data, size_t size);

// Appends line + LF to path (created when missing) by one write on an
// O_APPEND descriptor, then fdatasync. A write that fails or comes back
// short is cut off again (the file is truncated to where the line began),
// so no part of the line stays; a torn last line that an earlier process
// left (the file does not end in LF) is cut off before the new one is
// added. False when the file cannot be opened or the line was not written
// whole; the caller retries.
bool AppendJsonLine(const std::filesystem::path& path, std::string_view line, WriteCall write = nullptr);

}  // namespace numen
