#pragma once
// The burn side's two window messages, sent with the blocking send so that
// the line a status message points to stays alive until the window has
// handled it. On Windows they are real window messages to the main window.

#include "BurnMessages.h"
#include "BurnWindow.h"

#include <cstdint>
#include <string>

namespace qv::recording {

class BurnMessenger {
public:
    explicit BurnMessenger(BurnWindow& window) : window_(window) {}

    void Status(const std::string& line) {
        window_.Loop().SendWindowMessage(WM_BURNSTATUS, 0,
                                         reinterpret_cast<intptr_t>(line.c_str()));
    }
    void Progress(uint32_t percent) {
        window_.Loop().SendWindowMessage(WM_BURNPROGRESS, percent, kProgressMaximum);
    }

private:
    BurnWindow& window_;
};

} // namespace qv::recording
