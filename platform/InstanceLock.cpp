// InstanceLock: flock(2) on the lock file; see InstanceLock.h.
#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace numen {

InstanceLock::InstanceLock(const std::filesystem::path& folder) {
    std::filesystem::path path = folder / kFileName;
    // Close-on-exec: a program we start (the log editor) must not keep the
    // lock alive after we exit.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        reason_ = "cannot open " + path.string() + ": " + std::strerror(errno);
        return;
    }
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        reason_ = errno == EWOULDBLOCK ? "another Numen is already running in " + folder.string()
                                       : "cannot lock " + path.string() + ": " + std::strerror(errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);   // closing the last descriptor releases the flock
}

}  // namespace numen
