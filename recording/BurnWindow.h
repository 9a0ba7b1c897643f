#pragma once
// What the recording side needs of the main window, without knowing the
// window's unit. Every call here runs on the window thread: the burn thread
// and the progress watcher reach it only through Loop().SendAndWait, and the
// two handlers of the data module already run there. The two window messages
// go to the loop's window (BurnMessenger), not through this interface.

#include "platform/EventLoop.h"
#include "platform/SystemFacts.h"

#include <cstdint>
#include <string>

namespace qv::recording {

// The inputs of the speed choice, read from the window in one go.
struct SpeedHistory {
    int32_t cpuSpeed = 0; // MHz
    bool ntFamily = true;
    uint8_t memoryGrade = 0;
    bool priorBurnWasGood = true;
    bool holdThrottle = false;
    int32_t priorX = 0;
    int32_t successTotal = 0;
};

class BurnWindow {
public:
    virtual ~BurnWindow() = default;

    virtual platform::EventLoop& Loop() = 0;
    virtual platform::SystemFacts& System() = 0;

    // The write failed, or the thread stopped before it: the run's result
    // becomes a failed recording unless it already has a real one.
    virtual void RecordingFailed() = 0;
    virtual std::string CurrentContentTitle() const = 0;
    // Today in the process-wide short date format.
    virtual std::string ShortDateToday() const = 0;
    // The applet's own folder, trailing separator included, where the
    // track files lie; and the paths of the disc image and of the content
    // description, whose names are the payload's.
    virtual std::string AppletFolder() const = 0;
    virtual std::string DiscImagePath() const = 0;
    virtual std::string ContentFilePath() const = 0;

    virtual SpeedHistory ReadSpeedHistory() const = 0;
    virtual void StoreThrottleHold(bool hold) = 0;
    // Sets SpeedFactor, then runs the window's writing-time estimate.
    virtual void ApplySpeedFactor(int64_t factor) = 0;
    virtual void DisableLeftButton() = 0;
    virtual void ProcessWindowMessages() = 0;

    // The progress gauge's hint becomes its percent done.
    virtual void SetGaugeHintToPercent() = 0;
    // Raises the success or failure counter of the run's write mode and
    // rebuilds the summaries.
    virtual void CountRecording(bool success) = 0;
    // The burn thread has ended, the engine's write having succeeded for the
    // whole image or not: what the run makes of it is the window's choice.
    virtual void BurnEnded(bool wrote) = 0;
};

} // namespace qv::recording
