#pragma once

#include <string>
#include <vector>

namespace qv::platform {

inline constexpr const char* kNullDevice = "/dev/null";

// Runs the program (searched on PATH) with the arguments in a session of its
// own, standard streams on /dev/null, without a child left for us to reap:
// a short-lived shell starts it in the background and ends at once.
bool SpawnDetached(const std::vector<std::string>& command);

} // namespace qv::platform
