#include "UnitBurn.h"

#include "BurnMessenger.h"
#include "CdRwLibE.h"
#include "ProgressEvent.h"
#include "WriteSpeed.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Processes.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

namespace qv::recording {

namespace {

constexpr uint32_t kTestWriteAllBits = 0xFFFFFFFFu;
constexpr uint32_t kSectorSize = CDRW_SECTOR_SIZE;
constexpr uint32_t kPercent = 100;

using platform::LowerAscii;
using platform::TrimControls;

bool MatchesTrackPattern(const std::string& name) {
    const std::string lower = LowerAscii(name);
    const std::string prefix = LowerAscii(burn_text::kTrackPrefix);
    const std::string suffix = LowerAscii(burn_text::kTrackSuffix);
    return lower.size() >= prefix.size() + suffix.size() && lower.starts_with(prefix) &&
           lower.ends_with(suffix);
}

void SetEvent(BurnState& state) {
    const std::lock_guard lock(state.eventMutex);
    if (state.event != nullptr) state.event->Set();
}

uint64_t TotalBytes(const BurnJob& job) {
    uint64_t sum = 0;
    const uint32_t count = std::min<uint32_t>(job.entryCount, CDRW_MAX_ENTRIES);
    for (uint32_t i = 0; i < count; ++i)
        sum += job.size[i];
    return sum;
}

// Each wake counts as 100 sectors however many signals came meanwhile.
void ProgressWatcher(BurnState& state, BurnWindow& window, ProgressEvent& event) {
    platform::SetThreadPriority(platform::ThreadPriority::BelowNormal);
    BurnMessenger messenger(window);
    uint32_t counted = 0;
    uint64_t totalBytes = 0;
    bool firstPass = true;
    for (;;) {
        event.Wait();
        counted += kSignalInterval;
        if (const BurnJob* job = state.job.load(); job != nullptr) {
            if (firstPass) {
                totalBytes = TotalBytes(*job);
                if (totalBytes == 0) {
                    messenger.Status(burn_text::kNoTotalBytes);
                    return;
                }
                firstPass = false;
            }
            const uint32_t sectorSize = state.sectorSize.load();
            const uint64_t sectors = sectorSize == 0 ? 0 : totalBytes / sectorSize;
            if (sectors == 0) {
                messenger.Status(burn_text::kNoTotalSectors);
                return;
            }
            const uint32_t percent = ProgressPercent(counted, sectors);
            std::this_thread::yield();
            messenger.Progress(percent);
        }
        event.Reset();
        if (state.DoneFlag.load()) return;
    }
}

// Marks the engine in use by this thread; a release asked for meanwhile is
// carried out by the window thread once the use ends.
class EngineUse {
public:
    EngineUse(BurnState& state, BurnWindow& window) : state_(state), window_(window) {
        const std::lock_guard lock(state_.engineMutex);
        state_.writing = true;
    }
    ~EngineUse() {
        const std::lock_guard lock(state_.engineMutex);
        state_.writing = false;
        if (state_.releaseRequested) {
            state_.releaseRequested = false;
            window_.Loop().Post([] { FreeEngine(); });
        }
    }
    EngineUse(const EngineUse&) = delete;
    EngineUse& operator=(const EngineUse&) = delete;

private:
    BurnState& state_;
    BurnWindow& window_;
};

} // namespace

void ReleaseEngineWhenIdle(BurnState& state) {
    const std::lock_guard lock(state.engineMutex);
    if (state.writing)
        state.releaseRequested = true;
    else
        FreeEngine();
}

uint32_t ProgressPercent(uint32_t countedSectors, uint64_t totalSectors) {
    return static_cast<uint32_t>(uint64_t{countedSectors} * kPercent / totalSectors);
}

void CopyField(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

std::string TagValue(const std::vector<std::string>& tags, const std::string& key) {
    for (const std::string& line : tags) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && line.compare(0, equals, key) == 0)
            return TrimControls(line.substr(equals + 1));
    }
    return {};
}

std::vector<std::string> ReadTrackTags(const std::string& contentFile) {
    std::vector<std::string> tags;
    std::ifstream in(contentFile, std::ios::binary);
    const std::string header = LowerAscii(std::string("[") + burn_text::kTagSection + "]");
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = TrimControls(line);
        if (trimmed.starts_with('[')) {
            inSection = LowerAscii(trimmed) == header;
            continue;
        }
        if (inSection && trimmed.find('=') != std::string::npos) tags.push_back(trimmed);
    }
    return tags;
}

std::vector<std::string> FindTrackFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!MatchesTrackPattern(name)) continue;
        const int32_t attributes = platform::FileAttributes(folder + name);
        if (attributes < 0 || (attributes & ~(platform::kAttrHidden | platform::kAttrNormal)) != 0)
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LowerAscii(a) < LowerAscii(b);
    });
    std::erase_if(names,
                  [&](const std::string& name) { return !platform::FileExists(folder + name); });
    return names;
}

TBurnThread::TBurnThread(BurnState& state, bool testFlag, uint8_t writeMode,
                         const std::vector<std::string>& tracks,
                         const std::vector<std::string>& tags, BurnWindow& window,
                         std::function<void()> onTerminate)
    : state_(state), writeMode_(writeMode), tracks_(tracks), tags_(tags), testFlag_(testFlag),
      window_(window), onTerminate_(std::move(onTerminate)) {
    thread_ = std::thread([this] { Execute(); });
}

TBurnThread::~TBurnThread() {
    if (thread_.joinable()) thread_.join();
}

void TBurnThread::FillJob(BurnJob& job) {
    BurnMessenger messenger(window_);
    job.first = 1;
    const std::string path = window_.DiscImagePath();
    if (!platform::FileExists(path)) {
        messenger.Status(std::string(burn_text::kUnableToOpen) + " " +
                         (tracks_.empty() ? std::string() : tracks_.front()));
    } else {
        CopyField(job.path[0], CDRW_PATH_SIZE, path);
        job.entryWord[0] = 0;
        job.entryCount = 1;
        const int64_t size = platform::FileSize(path);
        job.size[0] = size < 0 ? 0 : static_cast<uint32_t>(size);
        CopyField(job.title[0], CDRW_TITLE_SIZE, TagValue(tags_, burn_text::kTitleKey));
    }
    const auto title = platform::SendAndWaitFor(window_.Loop(), [&] {
        return window_.CurrentContentTitle() + burn_text::kTitleDateGap + window_.ShortDateToday();
    });
    CopyField(job.discTitle, CDRW_TITLE_SIZE, TrimControls(title.value_or(std::string())));
}

void TBurnThread::Write(BurnJob& job) {
    BurnMessenger messenger(window_);
    state_.sectorSize = kSectorSize;
    const int32_t result =
        EngineEntries.WriteCdDataTao != nullptr
            ? EngineEntries.WriteCdDataTao(&job, kSignalInterval, state_.event->Handle(),
                                           testFlag_ ? kTestWriteAllBits : 0)
            : CDRW_NOT_STARTED;
    if (result == kEngineSuccess) {
        wrote_ = true;
        return;
    }
    messenger.Status(std::string(burn_text::kWriteProblem) + " " + EngineStatusText(result));
    if (!state_.cancelled.load()) window_.Loop().SendAndWait([&] { window_.RecordingFailed(); });
}

void TBurnThread::Execute() {
    BurnState& state = state_;
    state.cancelled = false;
    auto job = std::make_unique<BurnJob>();
    std::memset(job.get(), 0, sizeof(BurnJob));
    state.window = &window_;
    ProgressEvent event;
    try {
        FillJob(*job);
        state.job = job.get();
        {
            EngineUse use(state, window_);
            if (EngineLoaded()) {
                BurnMessenger messenger(window_);
                SetWriteSpeed(window_, messenger);
            }
            {
                const std::lock_guard lock(state.eventMutex);
                state.event = &event;
            }
            state.DoneFlag = false;
            state.watcher =
                std::thread([this, &event] { ProgressWatcher(state_, window_, event); });
            platform::SetProcessPriority(platform::ProcessPriority::High);
            platform::SetThreadPriority(platform::ThreadPriority::AboveNormal);
            if (writeMode_ == kTrackAtOnce) Write(*job);
        }
    } catch (const std::exception& error) {
        // Whatever stopped the thread before the write returned, no disc was
        // made: the run ends as a failed recording, never as a success.
        BurnMessenger(window_).Status(std::string(burn_text::kWriteProblem) + " " + error.what());
        if (!state.cancelled.load()) window_.Loop().SendAndWait([&] { window_.RecordingFailed(); });
    }
    state.DoneFlag = true;
    SetEvent(state);
    if (state.watcher.joinable()) state.watcher.join();
    {
        const std::lock_guard lock(state.eventMutex);
        state.event = nullptr;
    }
    state.job = nullptr;
    job.reset();
    window_.Loop().Post(onTerminate_);
}

TBurnDataModule::~TBurnDataModule() {
    threads_.clear();
}

bool TBurnDataModule::StartBurn(uint8_t writeMode) {
    if (window_ == nullptr) return false;
    const std::string folder = window_->AppletFolder();
    const std::vector<std::string> tracks = FindTrackFiles(folder);
    const std::vector<std::string> tags = ReadTrackTags(window_->ContentFilePath());
    threads_.push_back(std::make_unique<TBurnThread>(state_, testWrite_, writeMode, tracks, tags,
                                                     *window_, [this] { BurnThreadTerminate(); }));
    burnThread_ = threads_.back().get();
    return true;
}

void TBurnDataModule::BurnThreadTerminate() {
    const bool wrote = burnThread_ != nullptr && burnThread_->Wrote();
    burnThread_ = nullptr;
    window_->BurnEnded(wrote);
}

void TBurnDataModule::AbortBurn() {
    BurnWindow& window = *window_;
    state_.cancelled = true;
    burnThread_ = nullptr;
    window.System().Beep();
    if (EngineLoaded()) EngineEntries.Unload();
    ReleaseEngineWhenIdle(state_);
    state_.DoneFlag = true;
    SetEvent(state_);
    platform::SetProcessPriority(platform::ProcessPriority::Normal);
    window.SetGaugeHintToPercent();
    window.CountRecording(false);
}

} // namespace qv::recording
