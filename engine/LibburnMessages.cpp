#include "LibburnMessages.h"

#include <libburn/libburn.h>

#include <cstring>
#include <iostream>
#include <string>

namespace qv::engine {

using namespace burn;

namespace {

constexpr const char* kMessagePrefix = "CdRwLib: libburn: ";
constexpr const char* kSeverityFollows = " : ";
constexpr const char* kSystemErrorBefore = "( Most recent system error: ";
constexpr const char* kSystemErrorText = "  '";
constexpr const char* kSystemErrorAfter = "' )";
constexpr const char* kShownSeverity = "SORRY";
constexpr const char* kNoSeverity = "NEVER";

} // namespace

void QueueLibburnMessages() {
    std::string queued = kShownSeverity, printed = kNoSeverity, prefix = kMessagePrefix;
    burn_msgs_set_severities(queued.data(), printed.data(), prefix.data());
}

void PrintLibburnMessages(bool quiet) {
    std::string minimum = kShownSeverity;
    char text[BURN_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    int code = 0, systemError = 0;
    while (burn_msgs_obtain(minimum.data(), &code, text, &systemError, severity) == 1) {
        if (quiet) continue;
        std::cerr << kMessagePrefix << severity << kSeverityFollows << text << '\n';
        if (systemError != 0)
            std::cerr << kMessagePrefix << kSystemErrorBefore << systemError << kSystemErrorText
                      << std::strerror(systemError) << kSystemErrorAfter << '\n';
    }
}

} // namespace qv::engine
