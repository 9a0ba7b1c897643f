#pragma once
// The replace batch "qv1e.bat": once the running applet has ended, it removes
// the executable, moves the new copy "qv1e.qv" to "Applet.exe" and deletes
// itself. Windows gets the command interpreter's twelve lines; Linux the same
// steps as a POSIX shell script under the same file name.

#include <string>

namespace qv::payload {

struct ReplaceBatchPaths {
    std::string folder; // the applet folder, trailing separator included
    std::string self;   // the running executable
    std::string copy;   // "qv1e.qv" in the folder
    std::string batch;  // "qv1e.bat" in the folder
};

// The twelve lines, each ending in CR LF.
std::string WindowsReplaceBatch(const ReplaceBatchPaths& paths);
// The shell script; paths are quoted for the shell whatever they contain.
std::string PosixReplaceScript(const ReplaceBatchPaths& paths);
// The text for the system the applet runs on.
std::string ReplaceBatchText(const ReplaceBatchPaths& paths);

} // namespace qv::payload
