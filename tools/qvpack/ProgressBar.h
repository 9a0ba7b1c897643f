#pragma once
// The progress of a whole command on standard error, when that is a
// terminal: "label [#####.....] 120.5/650.0 MB  45.3 MB/s  0:12 left",
// redrawn at most a few times a second. Nothing at all on a pipe or file.

#include "payload/codec/CodecEngine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::qvpack {

class ProgressBar {
public:
    ProgressBar(std::string label, int64_t totalBytes);
    ~ProgressBar(); // clears the bar's line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool Enabled() const { return enabled_; }
    // The previous member counts as done; percentages now apply to this one.
    void StartMember(int64_t bytes);
    // Members in the order the archive walks them: each begins at the first
    // progress event after the one before reached 100 %.
    void FollowMembers(std::vector<int64_t> sizes);
    // The archive's progress events (percent of the current member); empty
    // when nothing is drawn, so the coding loop is not slowed down.
    payload::TShowProgressEvent Handler();
    // For work that counts its own bytes: this many of the total are done.
    void ShowDone(int64_t bytes);

private:
    void ShowPercent(int32_t percent);
    void Draw(int64_t done);

    std::string label_;
    int64_t total_;
    bool enabled_;
    int64_t base_ = 0;
    int64_t member_ = 0;
    int32_t lastPercent_ = -1;
    std::vector<int64_t> following_;
    size_t next_ = 0;
    uint64_t startTicks_;
    uint64_t drawnTicks_ = 0;
    bool drawn_ = false;
    int64_t drawnDone_ = 0;
    size_t width_ = 0;
};

} // namespace qv::qvpack
