#pragma once
// One run per working folder: the run holds a lock on a file there for as
// long as it lasts. The system drops the lock when the process ends, however
// it ends, so a run that was killed never keeps the next one out.

#include <string>

namespace qv::platform {

enum class RunLockResult {
    Held,        // this process holds the lock now
    HeldByOther, // another process holds it: that run is going on
    Unavailable, // no lock file can be made there (a folder that refuses files)
};

// Takes the lock on the file at path, made when missing. One lock per
// process; a second call returns Held while the first is kept.
RunLockResult LockRunFolder(const std::string& path);
// Removes the lock file and drops the lock; nothing when none is held.
void UnlockRunFolder();

} // namespace qv::platform
