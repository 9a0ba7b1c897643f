#include "ProgressEvent.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace qv::recording {

#ifdef _WIN32

ProgressEvent::ProgressEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
ProgressEvent::~ProgressEvent() {
    if (handle_ != nullptr) CloseHandle(handle_);
}
void ProgressEvent::Set() {
    SetEvent(handle_);
}
void ProgressEvent::Reset() {
    ResetEvent(handle_);
}
void ProgressEvent::Wait() {
    WaitForSingleObject(handle_, INFINITE);
}

#else

ProgressEvent::ProgressEvent() : handle_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
ProgressEvent::~ProgressEvent() {
    if (handle_ >= 0) close(handle_);
}
void ProgressEvent::Set() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(handle_, &one, sizeof one);
}
void ProgressEvent::Reset() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read_ = read(handle_, &count, sizeof count);
}
void ProgressEvent::Wait() {
    pollfd waiting{handle_, POLLIN, 0};
    while (poll(&waiting, 1, -1) < 0 && errno == EINTR) {
    }
}

#endif

} // namespace qv::recording
