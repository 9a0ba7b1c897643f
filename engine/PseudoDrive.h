#pragma once
// libburn's "stdio:PATH" pseudo-drives: whether the engine can write the
// file at all (a folder, or a place the user may not write, cannot be a
// drive), and whether the file is a blank disc.

#include <string>

namespace qv::engine {

// The path of a "stdio:PATH" device.
std::string PseudoDrivePath(const std::string& device);

// Empty when the file can be read and written (or made); else why not.
std::string PseudoDriveFault(const std::string& path);

// A blank pseudo-disc: a regular file that is empty, or none yet.
bool EmptyRegularFile(const std::string& path);

} // namespace qv::engine
