#pragma once
// Test helpers for the recorder engine and its binding: where the built
// engines are, a scratch folder, the environment, a progress event of the
// kind the applet hands to WriteCdDataTao, and job records.

#include "engine/CdRwLib.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace qv::test {

inline std::string BuiltEngineDir() {
    return QV_ENGINE_DIR;
}

// Folder of one stand-in engine: "recording_engine", "engine_without_sendopc"
// or "engine_without_audio".
inline std::string TestEngineDir(const char* name) {
    return std::string(QV_TEST_ENGINES_DIR) + "/" + name;
}

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

// The tests' one temp folder, in the spelling these tests use.
class ScratchFolder : public PlatformTempFolder {
public:
    std::string file(const std::string& name) const { return File(name); }
    std::string path() const { return Path(); }
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The first bytes of a PE library for the given machine (0x14c i386, 0x8664
// x86_64): enough for a header check, refused by every loader.
inline std::vector<uint8_t> PeLibraryHeader(uint16_t machine) {
    std::vector<uint8_t> bytes(512, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = 0x80;
    bytes[0x80] = 'P';
    bytes[0x81] = 'E';
    bytes[0x84] = static_cast<uint8_t>(machine & 0xff);
    bytes[0x85] = static_cast<uint8_t>(machine >> 8);
    return bytes;
}
// The same for an ELF shared object, the machine given by its PE number.
inline std::vector<uint8_t> ElfLibraryHeader(uint16_t peMachine) {
    std::vector<uint8_t> bytes(64, 0);
    const uint8_t ident[] = {0x7f, 'E', 'L', 'F', 1, 1, 1};
    std::copy(std::begin(ident), std::end(ident), bytes.begin());
    bytes[16] = 3; // a shared object
    bytes[18] = peMachine == 0x14c ? 3 : 62;
    return bytes;
}
// The machine of this build and that of its other bitness.
#if defined(__i386__)
inline constexpr uint16_t kThisMachine = 0x14c, kOtherBitnessMachine = 0x8664;
#else
inline constexpr uint16_t kThisMachine = 0x8664, kOtherBitnessMachine = 0x14c;
#endif

// A job of one entry, as the burn thread fills it for the data disc.
inline BurnJob OneEntryJob(const std::string& path, uint64_t size) {
    BurnJob job{};
    job.first = 1;
    std::strncpy(job.path[0], path.c_str(), CDRW_PATH_SIZE - 1);
    job.entryCount = 1;
    job.size[0] = static_cast<uint32_t>(size);
    std::strncpy(job.title[0], "Image", CDRW_TITLE_SIZE - 1);
    std::strncpy(job.discTitle, "Test disc", CDRW_TITLE_SIZE - 1);
    return job;
}

// The manual-reset event the applet hands to the engine, with a count of the
// signals it received. Signals that come faster than the counter resets the
// event merge on Windows, so writes counted there must be paced.
class ProgressEvent {
public:
    ProgressEvent() {
#ifdef _WIN32
        handle_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        watcher_ = std::thread([this] { watch(); });
#else
        handle_ = eventfd(0, EFD_NONBLOCK);
#endif
    }
    ~ProgressEvent() {
#ifdef _WIN32
        stop();
        CloseHandle(handle_);
#else
        close(handle_);
#endif
    }
    ProgressEvent(const ProgressEvent&) = delete;
    ProgressEvent& operator=(const ProgressEvent&) = delete;

    CdRwEvent* handle() {
        return &handle_;
    }

    // Signals so far; call after the write has returned.
    uint64_t signals() {
#ifdef _WIN32
        std::lock_guard lock(mutex_);
        takeSignal();
        return count_;
#else
        uint64_t value = 0;
        if (read(handle_, &value, sizeof value) == sizeof value) count_ += value;
        return count_;
#endif
    }

private:
#ifdef _WIN32
    void takeSignal() {
        if (WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) return;
        ResetEvent(handle_);
        ++count_;
    }
    void watch() {
        for (;;) {
            WaitForSingleObject(handle_, INFINITE);
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            takeSignal();
        }
    }
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        SetEvent(handle_);
        watcher_.join();
    }
    std::thread watcher_;
    std::mutex mutex_;
    bool stopping_ = false;
#endif
    CdRwEvent handle_{};
    uint64_t count_ = 0;
};

} // namespace qv::test
