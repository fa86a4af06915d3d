// Whole-file replacement that a crash cannot tear: the new contents go to a
// temporary file beside the target, are flushed to the disk, and take the
// target's name with one rename(2), which is atomic within a file system.
// The two halves are also offered apart, for writers that must order
// several renames (the checkpoint files keep a previous copy).
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

// The first half: AtomicTemporaryPath(path) holds `contents` on the disk
// (fsync), with the permission bits and owner `path` has. The same refusals
// as ReplaceFileAtomically; on false no temporary is left and `path` is
// untouched.
bool WriteTemporaryFor(const std::filesystem::path& path, std::string_view contents);

// The second half: rename(2) `from` to `to`, then fsync of the folder, so
// that renames done one after another reach the disk in that order.
bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace numen
