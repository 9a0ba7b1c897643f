#pragma once
// The manual-reset event the engine sets every 100 sectors: a Windows event
// object, an eventfd on Linux. Its handle is what WriteCdDataTao receives.

#include "engine/CdRwLib.h"

namespace qv::recording {

class ProgressEvent {
public:
    ProgressEvent();
    ~ProgressEvent();
    ProgressEvent(const ProgressEvent&) = delete;
    ProgressEvent& operator=(const ProgressEvent&) = delete;

    CdRwEvent* Handle() { return &handle_; }
    void Set();
    void Reset();
    // Without a time limit.
    void Wait();

private:
    CdRwEvent handle_{};
};

} // namespace qv::recording
