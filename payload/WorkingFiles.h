#pragma once
// The files of the applet's working folder and the payload switches, each
// spelt once.

namespace qv::payload {

inline constexpr const char* kContentFile = "qvorig.qv";
inline constexpr const char* kEngineFile = "CdRwLib.dll";
inline constexpr const char* kCarriedAspiFile = "mqv2k.qv";
inline constexpr const char* kInstalledAspiFile = "wnaspi32.dll";
inline constexpr const char* kDiscImageFile = "qvi9cd.qv";
inline constexpr const char* kUnusedFile = "qvc.qv";
inline constexpr const char* kNewAppletFile = "qv1e.qv";
inline constexpr const char* kBatchFile = "qv1e.bat";
inline constexpr const char* kAppletResultFile = "Applet.exe";
// Held by the run that uses the folder; a second copy finds it locked.
inline constexpr const char* kRunLockFile = "qvrun.lock";

// "#13/#10" is seven ordinary characters typed on the command line.
inline constexpr const char* kSwitchPackRle = "/#13/#10";
inline constexpr const char* kSwitchPackLh5 = "/max#13/#10";
inline constexpr const char* kSwitchPackWithoutImage = "/Now#13/#10";
inline constexpr const char* kSwitchSpawn = "/spawnqv00#13/#10";
inline constexpr const char* kSwitchEmpty = "/emptyqv00#13/#10";

} // namespace qv::payload
