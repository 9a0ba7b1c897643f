#include "platform/Processes.h"

namespace qv::platform {

namespace {
// CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS and DETACHED_PROCESS |
// NORMAL_PRIORITY_CLASS; spelt out so the rule reads the same on Linux.
constexpr uint32_t kNewConsoleFlags = 0x30;
constexpr uint32_t kDetachedFlags = 0x28;
constexpr const char* kCommandComPrefix = "command.com /c ";
} // namespace

BatchStartRule BatchStartRuleFor(const std::string& batchFullPath, bool ntFamily) {
    const std::string quoted = "\"" + batchFullPath + "\"";
    if (ntFamily) return {quoted, kNewConsoleFlags};
    return {kCommandComPrefix + quoted, kDetachedFlags};
}

} // namespace qv::platform
