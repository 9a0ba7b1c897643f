#pragma once
// TBurnDataModule and TBurnThread: the data-disc write on a worker thread,
// a progress watcher turning the engine's signals into percent values, and
// the two handlers that close the burn on the window thread (its normal end,
// whose outcome the window decides, and the user's cancel).

#include "BurnWindow.h"
#include "engine/CdRwLib.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::recording {

class ProgressEvent;

namespace burn_text {
// Track files are named "MqvT-*.mp3", in any case.
inline constexpr const char* kTrackPrefix = "MqvT-";
inline constexpr const char* kTrackSuffix = ".mp3";
inline constexpr const char* kTagSection = "TRACKS AND TAGS";
inline constexpr const char* kTitleKey = "1";
inline constexpr const char* kTitleDateGap = "       ";
inline constexpr const char* kUnableToOpen = "\r\n\r\n*** Unable to open the file\r\n";
inline constexpr const char* kWriteProblem =
    "\r\n\r\n*** A problem has prevented completion of your CD. This may be due to a variety of "
    "reasons. Connect to the Internet then press OK to read more.";
inline constexpr const char* kNoTotalBytes =
    "\r\n\r\n*** Unable to calculate the total size of tracks bytes to be written.\r\n";
inline constexpr const char* kNoTotalSectors =
    "\r\n\r\n*** Unable to calculate the total size of tracks sectors to be written.\r\n";
} // namespace burn_text

inline constexpr uint8_t kTrackAtOnce = 2;
inline constexpr int32_t kSignalInterval = 100;

// The state both worker threads and the handlers share; the run owns it and
// hands it to its data module.
struct BurnState {
    std::atomic<BurnJob*> job{nullptr};
    BurnWindow* window = nullptr;
    // The watcher's event while a write runs; set and cleared under the mutex.
    std::mutex eventMutex;
    ProgressEvent* event = nullptr;
    std::thread watcher;
    std::atomic<bool> DoneFlag{false};
    std::atomic<uint32_t> sectorSize{0};
    // Set by the cancel: the write's failure is then the cancel's doing and
    // must not turn the run's result from "cancelled" into "failed".
    std::atomic<bool> cancelled{false};
    // The library may go only once no write call is running in it.
    std::mutex engineMutex;
    bool writing = false;
    bool releaseRequested = false;
};
// Releases the engine library now, or, while a write call runs, once it has
// returned (the window thread then does it). Never blocks.
void ReleaseEngineWhenIdle(BurnState& state);

class TBurnThread {
public:
    TBurnThread(BurnState& state, bool testFlag, uint8_t writeMode,
                const std::vector<std::string>& tracks, const std::vector<std::string>& tags,
                BurnWindow& window, std::function<void()> onTerminate);
    ~TBurnThread();
    TBurnThread(const TBurnThread&) = delete;
    TBurnThread& operator=(const TBurnThread&) = delete;

    // True once the engine's write call returned success for the whole
    // image; read by the termination handler after Execute has ended.
    bool Wrote() const { return wrote_.load(); }

private:
    void Execute();
    void FillJob(BurnJob& job);
    void Write(BurnJob& job);

    BurnState& state_;
    uint8_t writeMode_;
    std::vector<std::string> tracks_;
    std::vector<std::string> tags_;
    bool testFlag_;
    BurnWindow& window_;
    std::function<void()> onTerminate_;
    std::atomic<bool> wrote_{false};
    std::thread thread_;
};

// The name=value lines of the section, in file order.
std::vector<std::string> ReadTrackTags(const std::string& contentFile);
// "MqvT-*.mp3" names in the folder that are plain or hidden files, in
// case-insensitive order.
std::vector<std::string> FindTrackFiles(const std::string& folder);
// The value of the key in name=value lines, trimmed of blanks and control
// characters.
std::string TagValue(const std::vector<std::string>& tags, const std::string& key);
// The text cut into a NUL-terminated field of the size.
void CopyField(char* field, size_t size, const std::string& text);
// ProgressWatcher's percent: counted sectors of the total, whole division.
uint32_t ProgressPercent(uint32_t countedSectors, uint64_t totalSectors);

class TBurnDataModule {
public:
    explicit TBurnDataModule(BurnState& state) : state_(state) {}
    ~TBurnDataModule();
    TBurnDataModule(const TBurnDataModule&) = delete;
    TBurnDataModule& operator=(const TBurnDataModule&) = delete;

    void AttachWindow(std::unique_ptr<BurnWindow> window) { window_ = std::move(window); }
    BurnWindow* Window() { return window_.get(); }

    void SetTestWrite(bool testWrite) { testWrite_ = testWrite; }

    bool StartBurn(uint8_t writeMode);
    bool HasBurnThread() const { return burnThread_ != nullptr; }
    void AbortBurn();
    void BurnThreadTerminate();

private:
    BurnState& state_;
    std::unique_ptr<BurnWindow> window_;
    bool testWrite_ = false;
    TBurnThread* burnThread_ = nullptr;
    // Threads that have been started; joined when the module goes.
    std::vector<std::unique_ptr<TBurnThread>> threads_;
};

} // namespace qv::recording
