#pragma once
// Sets the caller's manual-reset event: SetEvent on Windows, an eventfd
// write on Linux. The caller resets it.

#include "CdRwLib.h"

namespace qv::engine {

class ProgressSignal {
public:
    ProgressSignal() = default;
    explicit ProgressSignal(CdRwEvent event) : event_(event), armed_(true) {}

    void raise() const;

private:
    CdRwEvent event_{};
    bool armed_ = false;
};

} // namespace qv::engine
