#include "platform/RunLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr int kAttempts = 4;

struct HeldLock {
    int fd = -1;
    std::string path;
};

HeldLock& TheLock() {
    static HeldLock lock;
    return lock;
}

// A run that ends removes its lock file while holding it; a lock taken on
// the removed file keeps no one out, so the name must still be this file.
bool StillNamed(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace

RunLockResult LockRunFolder(const std::string& path) {
    HeldLock& held = TheLock();
    if (held.fd >= 0) return RunLockResult::Held;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // O_NOFOLLOW: a link put there is no lock of ours to write through.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) return RunLockResult::Unavailable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? RunLockResult::HeldByOther : RunLockResult::Unavailable;
        }
        if (StillNamed(fd, path)) {
            held = HeldLock{fd, path};
            return RunLockResult::Held;
        }
        ::close(fd);
    }
    return RunLockResult::HeldByOther;
}

void UnlockRunFolder() {
    HeldLock& held = TheLock();
    if (held.fd < 0) return;
    ::unlink(held.path.c_str());
    ::close(held.fd);
    held = HeldLock{};
}

} // namespace qv::platform
