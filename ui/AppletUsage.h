#pragma once
// What `qvapplet --help` says beyond the front ends (the switches and the
// exit codes), and `qvapplet --version`.

#include <string>
#include <vector>

namespace qv::ui {

inline constexpr const char* kVersionArgument = "--version";

bool AsksForVersion(const std::vector<std::string>& arguments);
const char* AppletUsage();

} // namespace qv::ui
