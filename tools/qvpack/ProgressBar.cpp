#include "ProgressBar.h"

#include "CliSupport.h"

#include <algorithm>
#include <cstdio>

namespace qv::qvpack {

namespace {
constexpr int kBarWidth = 30;
constexpr uint64_t kRedrawMicros = 200000; // five times a second at most
constexpr int32_t kDonePercent = 100;
constexpr double kMegabyte = 1e6;
constexpr const char* kBarFormat = "\r%s [%s%s] %.1f/%.1f MB  %.1f MB/s  %s left";
constexpr const char* kUnknownLeft = "-:--";
} // namespace

ProgressBar::ProgressBar(std::string label, int64_t totalBytes)
    : label_(std::move(label)), total_(std::max<int64_t>(totalBytes, 1)),
      enabled_(StderrIsTerminal()), startTicks_(NowTicks()) {}

ProgressBar::~ProgressBar() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
    std::fflush(stderr);
}

void ProgressBar::StartMember(int64_t bytes) {
    base_ += member_;
    member_ = bytes;
    lastPercent_ = -1;
}

void ProgressBar::FollowMembers(std::vector<int64_t> sizes) {
    following_ = std::move(sizes);
    next_ = 0;
    lastPercent_ = kDonePercent; // the first event starts the first member
}

payload::TShowProgressEvent ProgressBar::Handler() {
    if (!enabled_) return {};
    return [this](int32_t& percent) { ShowPercent(percent); };
}

void ProgressBar::ShowDone(int64_t bytes) {
    if (enabled_) Draw(bytes);
}

void ProgressBar::ShowPercent(int32_t percent) {
    if (percent < 0) return;
    if (lastPercent_ == kDonePercent && next_ < following_.size()) StartMember(following_[next_++]);
    lastPercent_ = std::min(percent, kDonePercent);
    Draw(base_ + member_ * lastPercent_ / kDonePercent);
}

void ProgressBar::Draw(int64_t done) {
    const uint64_t now = NowTicks();
    done = std::clamp<int64_t>(done, 0, total_);
    // The first and the finished state are always drawn, else a few a second.
    const bool finishing = done == total_ && drawnDone_ < total_;
    if (drawn_ && !finishing && now - drawnTicks_ < kRedrawMicros) return;
    drawn_ = true;
    drawnDone_ = done;
    drawnTicks_ = now;
    const double seconds = static_cast<double>(now - startTicks_) / 1e6;
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    char left[32];
    if (rate > 0) {
        const auto s = static_cast<long>(static_cast<double>(total_ - done) / rate);
        std::snprintf(left, sizeof left, "%ld:%02ld", s / 60, s % 60);
    } else {
        std::snprintf(left, sizeof left, "%s", kUnknownLeft);
    }
    const auto filled = static_cast<int>(done * kBarWidth / total_);
    char line[256];
    const int n = std::snprintf(line, sizeof line, kBarFormat, label_.c_str(),
                                std::string(static_cast<size_t>(filled), '#').c_str(),
                                std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(),
                                static_cast<double>(done) / kMegabyte,
                                static_cast<double>(total_) / kMegabyte, rate / kMegabyte, left);
    width_ = std::max(width_, static_cast<size_t>(std::max(n, 0)));
    std::fputs(line, stderr);
    std::fflush(stderr);
}

} // namespace qv::qvpack
