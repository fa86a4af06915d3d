// IniFile: the settings file "Numen.ini" of a working folder, section [Init].
//
// Reading follows the Windows private-profile conventions, so a file edited
// by hand or carried over from an older installation reads as expected:
// lines end in LF or CR LF; section and key names compare without case;
// blanks around keys and values are dropped; the first of duplicate keys
// wins; lines starting with ';' and lines without '=' are not keys. A value
// ends at a CR or NUL byte within it, so that what is read is always what
// a write can store: a text read and written back reads back the same.
//
// Every write re-reads the file, changes or adds the one key and replaces the
// whole file atomically (temporary file in the same folder, fsync, rename),
// so a crash leaves either the old or the new file, never half of one. Every
// line the write does not concern is kept byte for byte: other sections,
// unknown keys, comments, junk. A write that cannot be done (read-only file,
// unwritable folder, unreadable file) changes nothing and reports nothing.
//
// No state is cached between calls: the file on disk is the truth, as a user
// may edit it while the program runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace numen {

class IniFile {
public:
    // Reads return at most this many characters, like an 80-character
    // buffer with its terminating NUL.
    static constexpr std::size_t kMaxTextLength = 79;
    static constexpr const char* kFileName = "Numen.ini";
    static constexpr const char* kSection = "Init";

    // The file "Numen.ini" in `folder` (an empty folder means the current
    // directory, as a relative path).
    explicit IniFile(const std::filesystem::path& folder);

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path folder() const { return path_.parent_path(); }

    // The stored value of `key`, else `defaultText`; either in its
    // ReadBackForm, so that writing a value read here stores it unchanged.
    std::string readText(std::string_view key, std::string_view defaultText = "") const;

    // What readText gives back once writeText has stored `text`: cut at its
    // first CR, LF or NUL (a line cannot hold them; a hand-edited file may),
    // blanks around it dropped, at most kMaxTextLength characters, and no
    // blank left at the end of that cut. A caller about to store a text can
    // show this form as what the setting will become.
    static std::string ReadBackForm(std::string_view text);

    // readText converted by ParseDecimal and limited to the type's range:
    // empty, missing or non-numeric values read as 0 (or `defaultValue` when
    // the key is missing). A negative value read as unsigned is 0.
    int32_t readInt(std::string_view key, int32_t defaultValue = 0) const;
    uint32_t readUnsigned(std::string_view key, uint32_t defaultValue = 0) const;

    // key=value with the key spelled as given. A text is cut at its first
    // CR, LF or NUL and stored without the blanks around it, as it reads
    // back; beyond kMaxTextLength characters the file keeps it whole.
    void writeInt(std::string_view key, int32_t value);         // "%d"
    void writeUnsigned(std::string_view key, uint32_t value);   // "%u"
    void writeText(std::string_view key, std::string_view text);

private:
    std::filesystem::path path_;
};

// The decimal reading used for integer keys: leading blanks, an optional
// sign, then digits up to the first other character; no digits gives 0.
// The value saturates at +-2^62 so that any number of digits is harmless.
int64_t ParseDecimal(std::string_view text);

}  // namespace numen
