#pragma once
// The stage for run-flow tests: a scratch working folder holding the content
// file, the disc image and an ASPI layer; the fakes of tests/fakes (virtual
// time, event loop, system facts, settings store) and a view that keeps the
// terminal's event log; the real recorder engine, configured through a file
// in the folder; and a burn side that only records its start.

#include "tests/fakes/EventLogView.h"
#include "tests/fakes/FakeEventLoop.h"
#include "tests/fakes/FakeSettingsStore.h"
#include "tests/fakes/FakeSystemFacts.h"
#include "tests/unit/engine/EngineHarness.h"

#include "app/CommonUtils.h"
#include "app/PreflightChecks.h"
#include "app/RunFlow.h"
#include "app/RunState.h"
#include "app/Settings.h"
#include "app/UnitMain.h"
#include "recording/CdRwLibE.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::test {

// Records the priority changes of the CPU-speed measurement; can fail.
class RecordingPriorities final : public app::TPriorityControl {
public:
    std::vector<std::string> calls;
    bool failRaise = false;
    void Remember() override { calls.push_back("remember"); }
    void RaiseToHighest() override {
        calls.push_back("raise");
        if (failRaise) throw std::runtime_error("no time-stamp counter");
    }
    void Restore() override { calls.push_back("restore"); }
};

// The console lines of status items, as the view splits them.
inline std::vector<std::string> LinesOf(std::initializer_list<std::string> items) {
    EventLogView splitter;
    for (const std::string& item : items)
        splitter.AddStatusItem(item);
    return splitter.ConsoleLines();
}

// True when the entries appear in the log in this order (others between).
inline bool InOrder(const std::vector<std::string>& log,
                    std::initializer_list<std::string> entries) {
    auto next = log.begin();
    for (const std::string& entry : entries) {
        next = std::find(next, log.end(), entry);
        if (next == log.end()) return false;
        ++next;
    }
    return true;
}

inline constexpr const char* kTitleLine = "\"Demo Disc\"";
inline constexpr const char* kProductItem = "Data Quarlow\r\n";
inline constexpr const char* kVersionLine = "Version 5.55 with ASPI 4.600(1021)";
inline constexpr const char* kRecorderLine = "CD Recorder:  VIRTUAL CD-RW RECORDER";

class RunFlowHarness {
public:
    RunFlowHarness() {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        app::SetExecutablePath((std::filesystem::path(folder.path()) / "qvapplet").string());
        app::SetArguments({});
        app::SetApplicationLoop(&loop);
        app::TRunEnvironment& environment = run.environment;
        environment.currentDirectory = [this] { return folder.path(); };
        environment.freeBytes = [this](const std::string&) { return freeBytes; };
        environment.searchPath = [this] { return searchPath; };
        environment.fileVersion = [this](const std::string& file, const std::string& versionForm) {
            const auto found = versions.find(file + "|" + versionForm);
            return found == versions.end() ? std::string(app::kVersionNotFound) : found->second;
        };
        environment.setThreadPriority = [this](platform::ThreadPriority priority) {
            windowPriorities.push_back(priority);
        };
        environment.cpuPriorities = &priorities;
        environment.startBurn = [this](uint8_t mode) {
            burnStarts.push_back(mode);
            return burnStartsSucceed;
        };
        run.ntFamily = true;
        run.ownSize = 1000000;
        versions[app::ExecutablePath() + "|Short"] = "5.55";
        versions["wnaspi32.dll|Short"] = "4.600";
        versions["wnaspi32.dll|Long"] = "4.600(1021)";

        recording::SetEngineFolder(BuiltEngineDir());
        SetEnvironment("CDRWLIB_CONFIG", folder.file("engine.cfg"));
        Configure("");
        WriteText(folder.file("qvorig.qv"), "Demo source\r\n[TITLE]\r\nTitle =Demo Disc\r\n");
        WriteBytes(folder.file("qvi9cd.qv"), std::vector<uint8_t>(4096, 0x5A));
        WriteText(folder.file("wnaspi32.dll"), "layer");
    }

    ~RunFlowHarness() {
        recording::FreeEngine();
        recording::SetEngineFolder("");
        SetEnvironment("CDRWLIB_CONFIG", "");
        app::SetApplicationLoop(nullptr);
        std::filesystem::current_path(previousFolder_);
    }

    RunFlowHarness(const RunFlowHarness&) = delete;
    RunFlowHarness& operator=(const RunFlowHarness&) = delete;

    // The virtual recorder: a CD-R drive writing as fast as it can, its disc
    // in the working folder, plus the given lines.
    void Configure(const std::string& lines) {
        WriteText(folder.file("engine.cfg"), "disc = disc.img\ntime_scale = 0\n" + lines);
    }
    // A disc with data on it.
    void InsertWrittenDisc() { WriteBytes(folder.file("disc.img"), std::vector<uint8_t>(2048, 1)); }
    void InsertBlankDisc() { std::filesystem::remove(folder.file("disc.img")); }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(folder.file(name));
    }

    // Window creation, then the first activation, which runs the run start.
    void Start() {
        CreateForm();
        form->ApplicationEvents1Activate();
    }
    void CreateForm() {
        form = std::make_unique<app::TFormMain>(view, facts, run);
        form->UserSettings = &store;
        form->FormCreate();
        view.log.clear();
    }
    // A button press from the message loop.
    void PressRight() { form->RightClicked(); }
    void PressLeft() { form->LeftClicked(); }
    // A press the user makes while the run waits, at the virtual moment.
    void PressRightAt(uint32_t moment) {
        loop.At(moment, [this] { PressRight(); });
    }
    void PressLeftAt(uint32_t moment) {
        loop.At(moment, [this] { PressLeft(); });
    }

    std::string RightCaption() const { return view.Caption(app::Button::Right); }

    ScratchFolder folder;
    fakes::FakeClock clock;
    fakes::FakeEventLoop loop{clock};
    fakes::FakeSystemFacts facts{clock};
    fakes::FakeSettingsStore store;
    EventLogView view;
    RecordingPriorities priorities;
    app::TRunState run;
    std::unique_ptr<app::TFormMain> form;

    int64_t freeBytes = int64_t{1} << 32;
    std::string searchPath;
    std::map<std::string, std::string> versions; // "file|form" -> text
    std::vector<uint8_t> burnStarts;
    bool burnStartsSucceed = true;
    std::vector<platform::ThreadPriority> windowPriorities;

private:
    std::filesystem::path previousFolder_;
};

} // namespace qv::test
