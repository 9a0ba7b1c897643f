#include "FinishRun.h"

#include "CommonUtils.h"
#include "PreflightChecks.h"
#include "Report.h"
#include "RunState.h"
#include "Settings.h"
#include "UnitMain.h"

#include "payload/WorkingFiles.h"
#include "payload/codec/Stream.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/RunLock.h"
#include "recording/UnitBurn.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace qv::app {

namespace {

constexpr uint32_t kReportPause = 2400;
constexpr char kFirstTidyVersion = '5';
[[maybe_unused]] constexpr const char* kBatchLineEnd = "\r\n";
constexpr const char* kScriptLineEnd = "\n";
// "--" ends the options: an applet named "-Applet.exe" is a file name too.
constexpr const char* kShellRemove = "rm -f -- ";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Single quotes keep every character but the quote itself literal.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string AspiShortVersion(const TRunState& run) {
    return VersionOf(run.environment, WorkingFolderPath(payload::kInstalledAspiFile),
                     kVersionShort);
}

void UnhideCarriedAspi(const TRunState& run) {
    const std::string aspi = WorkingFolderPath(payload::kInstalledAspiFile);
    if (!platform::FileExists(aspi) || !AspiVersionAsksForTidyUp(AspiShortVersion(run))) return;
    const int32_t attributes = platform::FileAttributes(aspi);
    if (attributes >= 0 && (attributes & platform::kAttrHidden) != 0)
        platform::SetFileAttributes(aspi,
                                    static_cast<uint16_t>(attributes - platform::kAttrHidden));
}

// A new file in place of whatever has the name: a link put there is removed,
// never written through.
void WriteRunBatch(const std::string& path, const std::vector<std::string>& lines,
                   const char* lineEnd) {
    std::string text;
    for (const std::string& line : lines)
        text += line + lineEnd;
    platform::RemoveEntry(path);
    payload::TFileStream out(path, payload::TFileStream::Mode::CreateExclusive);
    out.Write(text.data(), static_cast<int32_t>(text.size()));
    out.Flush();
}

} // namespace

bool AspiVersionAsksForTidyUp(const std::string& shortVersion) {
    return !shortVersion.empty() && static_cast<unsigned char>(shortVersion.front()) >=
                                        static_cast<unsigned char>(kFirstTidyVersion);
}

std::vector<std::string> WindowsRunBatchLines(const RunBatchInputs& in) {
    std::vector<std::string> lines{"@echo off", "cd " + Quoted(in.executableFolder)};
    if (in.deleteApplet) {
        lines.push_back(":try");
        lines.push_back("del " + Quoted(in.executableName));
        lines.push_back("if exist " + Quoted(in.executableName) + " goto try");
    }
    if (in.deleteAspi) {
        lines.push_back(":try2");
        lines.push_back("del " + Quoted(payload::kInstalledAspiFile));
        lines.push_back("if exist " + Quoted(payload::kInstalledAspiFile) + " goto try2");
    }
    lines.push_back("del " + Quoted(in.executableFolder + payload::kBatchFile));
    lines.push_back("exit");
    return lines;
}

std::vector<std::string> ShellRunBatchLines(const RunBatchInputs& in) {
    std::vector<std::string> lines{"cd " + ShellQuoted(in.executableFolder) + " || exit 1"};
    if (in.deleteApplet || in.deleteAspi)
        lines.push_back("while kill -0 " + std::to_string(in.processId) +
                        " 2>/dev/null; do sleep 0.1; done");
    if (in.deleteApplet) lines.push_back(kShellRemove + ShellQuoted(in.executableName));
    if (in.deleteAspi) lines.push_back(kShellRemove + ShellQuoted(payload::kInstalledAspiFile));
    lines.push_back(kShellRemove + ShellQuoted(in.executableFolder + payload::kBatchFile));
    lines.push_back("exit 0");
    return lines;
}

void CleanUpRun(TRunState& run, bool tidyAspi, bool deleteApplet) {
    try {
        recording::ReleaseEngineWhenIdle(run.burn);
        DeleteWorkingFile(payload::kUnusedFile);
        DeleteWorkingFile(payload::kEngineFile);
        DeleteWorkingFile(payload::kCarriedAspiFile);
        if (tidyAspi) UnhideCarriedAspi(run);
        DeleteWorkingFile(payload::kDiscImageFile);
    } catch (const std::exception&) {
        // What cannot be removed now stays; the run ends regardless.
    }
    if (!run.settings.DeleteApplet) deleteApplet = false;

    RunBatchInputs in;
    in.executableFolder = ExecutableFolder();
    in.executableName = ExecutablePath().substr(ExecutableFolder().size());
    in.deleteApplet = deleteApplet;
    in.deleteAspi = tidyAspi && AspiVersionAsksForTidyUp(AspiShortVersion(run));
    in.processId = platform::CurrentProcessId();
    const std::string batch = WorkingFolderPath(payload::kBatchFile);
    try {
#ifdef _WIN32
        WriteRunBatch(batch, WindowsRunBatchLines(in), kBatchLineEnd);
#else
        WriteRunBatch(batch, ShellRunBatchLines(in), kScriptLineEnd);
#endif
    } catch (const std::exception&) {
        return; // no batch of ours to start; the run ends regardless
    }
    platform::StartBatchDetached(batch, run.ntFamily);
}

void EndProcessAtFinishRun(TRunState& run) {
    run.processEnding = [](int exitCode) { platform::EndProcess(exitCode); };
}

void TFormMain::FinishRun(bool tidyAspi, bool deleteApplet) {
    // Presses during the report pause would enter here again: the run ends once.
    if (finishing_) return;
    finishing_ = true;
    SaveSettings();
    if (facts_.IsOnline()) SendReport(*this);
    Pause(kReportPause);
    DeleteWorkingFile(payload::kContentFile);
    CleanUpRun(run_, tidyAspi, deleteApplet);
    platform::UnlockRunFolder();
    exitCode_ = RunResult;
    run_.processEnding(RunResult);
}

} // namespace qv::app
