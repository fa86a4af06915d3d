// POSIX side of the atomic file replacement; see AtomicFile.h.
#include "platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace numen {

namespace {

bool WriteAll(int fd, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here loses nothing that the
// rename has not already made visible, so it is not reported.
void SyncFolder(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::filesystem::path AtomicTemporaryPath(const std::filesystem::path& path) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    return tmp;
}

bool WriteTemporaryFor(const std::filesystem::path& path, std::string_view contents) {
    struct stat old {};
    bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) return false;
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        if (::access(path.c_str(), W_OK) != 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }

    // A temporary left by a crash is stale; anything else in its place
    // (a folder, say) makes the O_EXCL open below fail.
    std::filesystem::path tmp = AtomicTemporaryPath(path);
    ::unlink(tmp.c_str());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;

    bool ok = true;
    if (exists) {
        // Owner first: chown may clear set-id bits that fchmod then restores.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* not ours to give away */ }
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, contents) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    SyncFolder(to);
    return true;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    if (!WriteTemporaryFor(path, contents)) return false;
    const std::filesystem::path tmp = AtomicTemporaryPath(path);
    if (RenameDurably(tmp, path)) return true;
    ::unlink(tmp.c_str());
    return false;
}

}  // namespace numen
