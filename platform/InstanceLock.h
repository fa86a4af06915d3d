// InstanceLock: one Numen per working folder.
//
// Two instances in one folder would write the same settings, logs and
// checkpoint. The lock is an exclusive flock(2) on "Numen.lock" in the
// folder, taken without waiting; the kernel drops it when the process ends
// in any way, so a crash never leaves a stale lock. The lock file itself is
// left in place (removing it would let a third instance lock a new file
// while the second still holds the old one).
#pragma once

#include <filesystem>
#include <string>

namespace numen {

class InstanceLock {
public:
    static constexpr const char* kFileName = "Numen.lock";

    // Tries once to lock `folder`/Numen.lock; see held() and reason().
    explicit InstanceLock(const std::filesystem::path& folder);
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();   // releases the lock

    bool held() const { return fd_ >= 0; }
    // Why the lock is not held: another instance, or the system error.
    const std::string& reason() const { return reason_; }

private:
    int fd_ = -1;
    std::string reason_;
};

}  // namespace numen
