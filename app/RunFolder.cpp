// What the working folder must allow before and while the run writes there:
// a path the recorder's job can hold, files that can be made, room for them.

#include "RunFlow.h"
#include "RunState.h"
#include "RunTexts.h"
#include "UnitMain.h"

#include "CommonUtils.h"
#include "FinishRun.h"
#include "payload/UnitCompress.h"
#include "payload/WorkingFiles.h"
#include "platform/RunLock.h"
#include "recording/UnitBurn.h"

namespace qv::app {

namespace {

// The job record holds the image's full path with its terminating zero.
constexpr size_t kImagePathSlot = sizeof(BurnJob::path[0]);

std::string FolderLine(const char* begin, const char* end) {
    return begin + ExecutableFolder() + end;
}

} // namespace

// Another copy in this folder is burning: this one touches nothing there
// (extracting would replace the files that run uses, and the end of the run
// would delete them) and only says so.
bool TFormMain::TakeRunFolder() {
    const auto lock = platform::LockRunFolder(WorkingFolderPath(payload::kRunLockFile));
    if (lock != platform::RunLockResult::HeldByOther) return true;
    otherRunInFolder_ = true;
    FailCheck(run_text::kAnotherCopyRunning);
    return false;
}

// Ends the second copy without saving settings (the other run saves its
// own) or cleaning up, as a run that did nothing.
void TFormMain::LeaveFolderToOtherRun() {
    finishing_ = true;
    RunResult = result::kCancelled;
    exitCode_ = RunResult;
    run_.processEnding(RunResult);
}

// Checked before anything is written: a cut name would hand the engine
// another file, or none.
bool TFormMain::FolderPathFits() {
    if (WorkingFolderPath(payload::kDiscImageFile).size() < kImagePathSlot) return true;
    RunStage = stage::kContentFile;
    FailCheck(FolderLine(run_text::kFolderPathTooLongBegin, run_text::kFolderPathTooLongEnd));
    return false;
}

// A file the run needs could not be made: the folder's fault, not the
// payload's. False when the run stops here.
bool TFormMain::ReportRunFileFailure(const payload::TDamagedMember& failure) {
    using Kind = payload::TDamagedMember::Kind;
    if (failure.kind == Kind::DiskFull) {
        RunStage = stage::kDiskSpace;
        FailCheck(run_text::kInsufficientDiskSpace);
        return false;
    }
    if (failure.kind == Kind::NotWritable) {
        RunStage = stage::kContentFile;
        FailCheck(FolderLine(run_text::kFolderNotWritableBegin, run_text::kFolderNotWritableEnd));
        return false;
    }
    return true;
}

} // namespace qv::app
