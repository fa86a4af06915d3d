// The storage side of the two text files "Numen.log" and "Numen.txt":
// one append of one line, with the file opened, written and closed each
// time, so the files can be read or edited while a run goes on and nothing
// is lost if the process ends. Files are UTF-8 with LF line ends.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace numen {

// The text as stored: every CR LF (a line that stays in the pane) becomes LF.
std::string StoredText(std::string_view text);

// Local time t in the 24-character asctime form, e.g.
// "Mon Dec  7 00:16:48 2026" (English names whatever the locale).
std::string AsctimeStamp(std::time_t t);

// One attempt to append text to path. False when the file cannot be opened
// or the write does not complete; the caller retries.
bool AppendOnce(const std::filesystem::path& path, std::string_view text);

}  // namespace numen
