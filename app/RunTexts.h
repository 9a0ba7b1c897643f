#pragma once
// Every status-console text and caption of the run flow and the pre-flight
// checks, spelt once, exactly as the user sees them.

namespace qv::app::run_text {

// Failures of the checks and of the burn start.
inline constexpr const char* kRequiredFilesMissing =
    "\r\n\r\n*** Required files are missing!  Press OK to exit now.\r\n";
inline constexpr const char* kInsufficientDiskSpace =
    "\r\n\r\n*** Insufficient hard drive space to proceed! If running from a network drive please "
    "move the file to a local drive.  Press OK to exit now.\r\n";
inline constexpr const char* kNoAspiLayer = "\r\n\r\n*** No ASPI layer found!  Connect to the "
                                            "Internet then press OK to learn how to get one "
                                            "at our web site.\r\n";
inline constexpr const char* kNotEnoughMemory =
    "\r\n\r\n*** There is not enough memory available. Try closing other programs now.\r\n";
inline constexpr const char* kNoRecorderOrMethod =
    "\r\n\r\n*** There is no CD recorder present or no compatible recording method available with "
    "your CD recorder.  No CD can be made.  Connect to the Internet then press OK.\r\n\r\n\r\n";
// The support address inside the "not detected" message; the publisher's own.
inline constexpr const char* kSupportEmail = "support@quarlow.example";
inline constexpr const char* kNoRecorderDetectedBegin =
    "\r\n\r\n*** No CD recorder was detected.  Connect to the Internet to view our help page or "
    "email ";
inline constexpr const char* kNoRecorderDetectedEnd =
    " with full problem description and code(NC).\r\n";
inline constexpr const char* kNeedAdministrativeRights =
    "\r\n\r\n*** You need to logon with Administrative rights to access the CD recorder \r\n";
inline constexpr const char* kNoBlankDisc =
    "\r\n*** Attention - No Blank CD was found, please check it. Then try again by pressing OK "
    "after "
    "inserting a blank CD. Program will exit if a blank CD is not found again.\r\n\r\n";
// A payload member that failed its checks while it was extracted: the file
// name, then the archive's own message.
inline constexpr const char* kDamagedFileBegin = "\r\n\r\n*** The carried file ";
inline constexpr const char* kDamagedFileMiddle = " is damaged: ";
inline constexpr const char* kDamagedFileEnd = "\r\nNo CD can be made.  Press OK to exit now.\r\n";
// The working folder, named between the two parts: it cannot be written (a
// file the run needs could not be made there), or its path does not fit the
// recorder's job.
inline constexpr const char* kFolderNotWritableBegin =
    "\r\n\r\n*** This folder cannot be written: ";
inline constexpr const char* kFolderNotWritableEnd =
    "\r\nMove the applet to a folder you may write to.  Press OK to exit now.\r\n";
inline constexpr const char* kFolderPathTooLongBegin =
    "\r\n\r\n*** The path of this folder is too long for the CD recorder: ";
inline constexpr const char* kFolderPathTooLongEnd =
    "\r\nMove the applet to a folder with a shorter path.  Press OK to exit now.\r\n";

// A second copy started in the folder of a run that is going on.
inline constexpr const char* kAnotherCopyRunning =
    "\r\n\r\n*** Another copy of this program is already making a CD in this folder.  Let it "
    "finish, then start this one again if you need a second CD.  Press OK to exit now.\r\n";

// The recorder report.
inline constexpr const char* kVersionPrefix = "Version ";
inline constexpr const char* kWithAspi = " with ASPI ";
inline constexpr const char* kRecorderPrefix = "CD Recorder: ";
inline constexpr const char* kBlank = " ";

// The erase question and its answers.
inline constexpr const char* kEraseQuestion = "\r\n--> Disc is not blank but it is a CDRW. Do you "
                                              "want to erase it?  All previous data will be "
                                              "lost!\r\n";
inline constexpr const char* kErasingStarted = "\r\n--> Erasing started, please wait a moment";
inline constexpr const char* kErasingSuccessful =
    "\r\n--> Erasing successful.  Beginning recording\r\n";
inline constexpr const char* kUnableToErase =
    "\r\n--> Unable to erase this CD, please use a blank one.";

// The burn start and the time estimate.
inline constexpr const char* kUsingTao = "(Using TAO method- Pause near end is normal)";
inline constexpr const char* kDoNotDisturb = "Don't disturb or run other programs while recording.";
inline constexpr const char* kSpeedIsPrefix = "Speed is ";
inline constexpr const char* kSpeedIsSuffix = "X: ";
inline constexpr const char* kReadyIn = "CD will be ready in";
inline constexpr const char* kMinutes = "minutes.";

// The end of a good recording.
inline constexpr const char* kCompletedBanner =
    "\r\n *********************************\r\nCD completed successfully!\r\n"
    "*********************************";
inline constexpr const char* kLabelHint = "Hint - Label your CD with a marker now.    ";
inline constexpr const char* kCredit = "Recorded by the Quarlow CD maker.";

// The title line's quotes.
inline constexpr const char* kTitleQuote = "\"";

// Captions of the erase question and after it.
inline constexpr const char* kCaptionYes = "Yes";
inline constexpr const char* kCaptionNo = "No";
inline constexpr const char* kCaptionHelp = "Help";
inline constexpr const char* kCaptionCancel = "Cancel";

} // namespace qv::app::run_text
