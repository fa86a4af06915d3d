// Whole-file replacement that a crash cannot tear: the new contents go to a
// temporary file beside the target, are flushed to the disk, and take the
// target's name with one rename(2), which is atomic within a file system.
#pragma once

#include <filesystem>
#include <string_view>

namespace numen {

// The temporary file used by ReplaceFileAtomically: `path` + ".tmp".
std::filesystem::path AtomicTemporaryPath(const std::filesystem::path& path);

// Replaces the regular file `path` (or creates it) with `contents`.
// An existing file keeps its permission bits and, where allowed, its owner.
// Refuses, changing nothing, when the existing file is not a regular file or
// is read-only -- judged by its mode bits as well as by access(2), because
// access(W_OK) always succeeds for root -- and fails, changing nothing, when
// the folder cannot take the temporary file. Returns whether `path` now holds
// `contents`.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace numen
