#include "report/JsonLines.h"

#include <charconv>
#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace numen {

std::string JsonQuoted(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

void JsonObject::key(std::string_view key) {
    if (body_.size() > 1) body_ += ',';
    body_ += JsonQuoted(key);
    body_ += ':';
}

JsonObject& JsonObject::add(std::string_view k, std::string_view value) {
    key(k);
    body_ += JsonQuoted(value);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, int64_t value) {
    key(k);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, uint64_t value) {
    key(k);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value) {
    key(k);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, double value) {
    if (!std::isfinite(value)) return addNull(k);
    key(k);
    // The shortest text that reads back as the same double, locale-free.
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    body_.append(buffer, ec == std::errc() ? end : buffer);
    return *this;
}

JsonObject& JsonObject::addNull(std::string_view k) {
    key(k);
    body_ += "null";
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, const std::optional<double>& value) {
    return value ? add(k, *value) : addNull(k);
}

namespace {

// The length of the file up to and including its last LF: what stays when
// a torn last line (a write cut short by a power loss) is taken away.
// -1 when the file cannot be read.
off_t WholeLinesLength(int fd, off_t size) {
    char block[4096];
    off_t end = size;
    while (end > 0) {
        const off_t begin = end > off_t(sizeof block) ? end - off_t(sizeof block) : 0;
        const ssize_t got = ::pread(fd, block, size_t(end - begin), begin);
        if (got != ssize_t(end - begin)) return -1;
        for (ssize_t i = got; i > 0; --i)
            if (block[i - 1] == '\n') return begin + i;
        end = begin;
    }
    return 0;
}

}  // namespace

bool AppendJsonLine(const std::filesystem::path& path, std::string_view line, WriteCall write) {
    if (write == nullptr) write = ::write;
    std::string whole(line);
    whole += '\n';
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Only this process appends (one instance per folder), so the line
    // begins where the file ends now.
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        ::close(fd);
        return false;
    }
    // Only this process appends, so a file that does not end in LF ends in
    // the torn line of an earlier write; it goes before the new line is added.
    char last = '\n';
    if (before.st_size > 0 && ::pread(fd, &last, 1, before.st_size - 1) != 1) last = 0;
    if (last != '\n') {
        const off_t whole = WholeLinesLength(fd, before.st_size);
        if (whole < 0 || ::ftruncate(fd, whole) != 0) {
            ::close(fd);
            return false;
        }
        before.st_size = whole;
    }
    const bool complete = write(fd, whole.data(), whole.size()) == ssize_t(whole.size());
    if (!complete) {
        // Whatever part of the line reached the file goes again.
        (void)!::ftruncate(fd, before.st_size);
    } else {
        // A failed sync still leaves the whole line written: a retry would
        // only repeat it.
        (void)::fdatasync(fd);
    }
    ::close(fd);
    return complete;
}

}  // namespace numen
