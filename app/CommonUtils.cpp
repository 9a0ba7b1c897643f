#include "CommonUtils.h"

#include "payload/SignatureTable.h"
#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/SystemFacts.h"

#include <cstdio>

namespace qv::app {

namespace {

struct ProcessValues {
    std::vector<std::string> arguments;
    std::string executablePath;
    std::string executableFolder;
    platform::EventLoop* loop = nullptr;
    int64_t payloadOffset = 0;
    bool terminated = false;
};

ProcessValues& Values() {
    static ProcessValues values;
    return values;
}

// A backslash is an ordinary character of a POSIX name ("My\Applet.exe" is
// one file there), so only "/" ends a folder on Linux.
bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

} // namespace

void SetPayloadOffset(int64_t offset) {
    Values().payloadOffset = offset;
}
int64_t PayloadOffset() {
    return Values().payloadOffset;
}

void SetArguments(std::vector<std::string> arguments) {
    Values().arguments = std::move(arguments);
}
const std::vector<std::string>& Arguments() {
    return Values().arguments;
}

bool SwitchMatches(const std::string& argument, const std::string& switchText) {
    return platform::SameAsciiFolded(argument, switchText);
}

bool HasSwitch(const std::vector<std::string>& arguments, const std::string& switchText) {
    for (const std::string& argument : arguments)
        if (SwitchMatches(argument, switchText)) return true;
    return false;
}

bool HasSwitch(const std::string& switchText) {
    return HasSwitch(Arguments(), switchText);
}

void SetExecutablePath(const std::string& path) {
    Values().executablePath = path;
    Values().executableFolder = FolderPart(path);
}
const std::string& ExecutablePath() {
    return Values().executablePath;
}
const std::string& ExecutableFolder() {
    return Values().executableFolder;
}

std::string FolderPart(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsFolderSeparator(path[i - 1])) return path.substr(0, i);
    return {};
}

std::string WorkingFolderPath(const std::string& name) {
    if (FolderPart(name) != ExecutableFolder()) return ExecutableFolder() + name;
    return name;
}

bool DeleteWorkingFile(const std::string& name) {
    const std::string path = WorkingFolderPath(name);
    const int32_t attributes = platform::FileAttributes(path);
    if (attributes < 0) return false;
    // Read-only, then hidden, comes off; taking 1 and 2 away as numbers
    // would turn a word without those bits (0x21 less 2 is 0x1F) read-only
    // again, and the file would stay.
    const auto word = static_cast<uint16_t>(attributes);
    const auto writable = static_cast<uint16_t>(word & ~platform::kAttrReadOnly);
    const auto plain = static_cast<uint16_t>(writable & ~platform::kAttrHidden);
    const bool first = platform::SetFileAttributes(path, writable);
    const bool second = platform::SetFileAttributes(path, plain);
    const bool deleted = platform::DeleteFile(path);
    return first && second && deleted;
}

void SetApplicationLoop(platform::EventLoop* loop) {
    Values().loop = loop;
}
platform::EventLoop* ApplicationLoop() {
    return Values().loop;
}

void ProcessMessages() {
    if (platform::EventLoop* loop = ApplicationLoop()) loop->ProcessMessages();
}

void Pause(uint32_t milliseconds) {
    if (platform::EventLoop* loop = ApplicationLoop()) {
        loop->Pause(milliseconds);
        return;
    }
    if (!ApplicationTerminated()) platform::ThisSystem().Sleep(milliseconds); // no window yet
}

void TerminateApplication() {
    Values().terminated = true;
    if (platform::EventLoop* loop = ApplicationLoop()) loop->Terminate();
}

bool ApplicationTerminated() {
    const platform::EventLoop* loop = ApplicationLoop();
    return Values().terminated || (loop != nullptr && loop->Terminated());
}

namespace {
// A code signature appended after the payload is no payload: a signed copy
// without one must end as silently as an unsigned one.
int64_t ArchiveRegionSize(const std::string& path, int64_t size) {
    try {
        payload::TFileStream file(path, payload::TFileStream::Mode::OpenRead);
        return payload::ArchiveRegionEnd(&file,
                                         payload::FindSignatureTable(&file, PayloadOffset()));
    } catch (const payload::EFileStreamError&) {
        return size; // unreadable: the run's own opening says so
    }
}
} // namespace

bool SizeGate(const std::string& path, int64_t minimum, int64_t maximum, int32_t& ownSize) {
    int64_t size = platform::FileSize(path);
    if (size < 0) size = 0;
    ownSize = static_cast<int32_t>(size > kSizeGateMaximum ? kSizeGateMaximum : size);
    const int64_t counted = ArchiveRegionSize(path, size);
    return minimum <= counted && size <= maximum;
}

std::string FormatFileVersion(const platform::FileVersionNumbers& version,
                              const std::string& form) {
    char text[64];
    const bool withBuild = form == kVersionFull || form == kVersionLong;
    // The minor and release numbers stand side by side: 4.60.0.1021 is "4.600".
    std::snprintf(text, sizeof text, withBuild ? "%u.%u%u(%u)" : "%u.%u%u",
                  version.mostSignificant >> 16, version.mostSignificant & 0xFFFF,
                  version.leastSignificant >> 16, version.leastSignificant & 0xFFFF);
    return text;
}

std::string FileVersionText(const std::string& file, const std::string& form) {
    const auto version = platform::ReadFileVersion(file);
    return version ? FormatFileVersion(*version, form) : kVersionNotFound;
}

std::string FormatShortDate(int year, int month, int day) {
    const std::string format = kShortDateFormat;
    std::string text;
    for (size_t i = 0; i < format.size();) {
        if (format.compare(i, 4, "yyyy") == 0) {
            text += std::to_string(year);
            i += 4;
        } else if (format.compare(i, 2, "mm") == 0) {
            text += TwoDigits(month);
            i += 2;
        } else if (format.compare(i, 2, "dd") == 0) {
            text += TwoDigits(day);
            i += 2;
        } else {
            text += format[i] == '/' ? kDateSeparator : format[i];
            ++i;
        }
    }
    return text;
}

} // namespace qv::app
