#pragma once
// When the n-th sector of a write is due at a simulated speed; deadlines
// count from the start so that slow sleeps do not add up. Used where no
// real drive sets the pace: the virtual recorder and libburn's pseudo-drives.

#include <chrono>
#include <cstdint>

namespace qv::engine {

class WritePace {
public:
    WritePace(double timeScale, uint16_t speed)
        : start_(std::chrono::steady_clock::now()),
          secondsPerSector_(speed == 0 ? 0.0
                                       : timeScale * kKilobytesPerSecondAt1x /
                                             (kSectorsPerSecondAt1x * speed)) {}

    bool paced() const { return secondsPerSector_ > 0; }
    std::chrono::steady_clock::time_point deadlineAfter(uint64_t sectors) const {
        const std::chrono::duration<double> elapsed(secondsPerSector_ *
                                                    static_cast<double>(sectors));
        return start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(elapsed);
    }

private:
    // 75 sectors a second is single speed, which the applet calls 176 KB/s.
    static constexpr double kSectorsPerSecondAt1x = 75.0;
    static constexpr double kKilobytesPerSecondAt1x = 176.0;

    std::chrono::steady_clock::time_point start_;
    double secondsPerSector_;
};

} // namespace qv::engine
