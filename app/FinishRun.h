#pragma once
// The end of every run: settings saved, the report, the payload files
// removed, and the run batch that deletes what a running program cannot
// delete itself (the applet, a carried ASPI copy).

#include <functional>
#include <string>
#include <vector>

namespace qv::app {

struct TRunState;

struct RunBatchInputs {
    std::string executableFolder; // trailing separator included
    std::string executableName;
    bool deleteApplet = false;
    // The ASPI loop: tidy-ASPI asked for and the ASPI version text starts
    // with "5" or later ("Not Found" qualifies).
    bool deleteAspi = false;
    // Linux only: the process whose end the script waits for.
    long processId = 0;
};

// "qv1e.bat" for the Windows command interpreter, one line each (the file
// ends every line in CR LF).
std::vector<std::string> WindowsRunBatchLines(const RunBatchInputs& inputs);
// The same steps for /bin/sh, which can delete a running file and so waits
// for the applet's process to end first.
std::vector<std::string> ShellRunBatchLines(const RunBatchInputs& inputs);
// True when the version text asks for the ASPI copy's tidy-up: layers from
// version 5 on are the carried kind the applet may remove.
bool AspiVersionAsksForTidyUp(const std::string& shortVersion);

// The clean-up; every failure inside it is ignored.
void CleanUpRun(TRunState& run, bool tidyAspi, bool deleteApplet);

// The end of the run ends the process at once (the applet's own run; tests
// keep the default, which only ends the event loop).
void EndProcessAtFinishRun(TRunState& run);

} // namespace qv::app
