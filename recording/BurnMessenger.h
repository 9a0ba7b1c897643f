#pragma once
// The two window messages of the burn side, sent with the blocking send so
// that the line a status message points to stays alive until the window
// has handled it.

#include "BurnWindow.h"

#include <cstdint>
#include <string>

namespace qv::recording {

// WM_USER + 100 and WM_USER + 101.
inline constexpr uint32_t kBurnProgressMessage = 1124;
inline constexpr uint32_t kBurnStatusMessage = 1125;
inline constexpr intptr_t kProgressMaximum = 100;

class BurnMessenger {
public:
    explicit BurnMessenger(BurnWindow& window) : window_(window) {}

    void Status(const std::string& line) {
        window_.Loop().SendAndWait([&] {
            window_.HandleBurnMessage(kBurnStatusMessage, 0,
                                      reinterpret_cast<intptr_t>(line.c_str()));
        });
    }
    void Progress(uint32_t percent) {
        window_.Loop().SendAndWait(
            [&] { window_.HandleBurnMessage(kBurnProgressMessage, percent, kProgressMaximum); });
    }

private:
    BurnWindow& window_;
};

} // namespace qv::recording
