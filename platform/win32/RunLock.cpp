#include "platform/RunLock.h"

#include "platform/win32/WinApi.h"

namespace qv::platform {

namespace {

HANDLE& TheLock() {
    static HANDLE lock = INVALID_HANDLE_VALUE;
    return lock;
}

} // namespace

// Opened without sharing, the file is the lock: a second opener gets a
// sharing violation; the system deletes the file when the handle closes.
RunLockResult LockRunFolder(const std::string& path) {
    HANDLE& held = TheLock();
    if (held != INVALID_HANDLE_VALUE) return RunLockResult::Held;
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        held = file;
        return RunLockResult::Held;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? RunLockResult::HeldByOther
                                                     : RunLockResult::Unavailable;
}

void UnlockRunFolder() {
    HANDLE& held = TheLock();
    if (held == INVALID_HANDLE_VALUE) return;
    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
}

} // namespace qv::platform
