#pragma once
// Where the running program lives, and the registered window messages, which
// the start-up needs before any window exists.

#include <cstdint>
#include <string>

namespace qv::platform {

// The full path of the running executable; empty when the system cannot say.
std::string OwnExecutablePath();

// The number the system gives a named window message; the same name gives the
// same number for the life of the process. Linux hands out numbers from the
// range Windows uses (0xC000 and up) so the callers' range checks hold.
uint32_t RegisterNamedMessage(const std::string& name);

} // namespace qv::platform
