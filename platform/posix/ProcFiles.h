#pragma once
// Readers of the /proc texts the system facts come from, kept apart so they
// can be tested on any text.

#include "platform/SystemFacts.h"

#include <string>

namespace qv::platform {

// /proc/net/route: a route that is up, to 0.0.0.0 with mask 0.0.0.0.
bool HasIpv4DefaultRoute(const std::string& procNetRoute);
// /proc/net/ipv6_route: a route that is up and not rejecting, to ::/0,
// through a device other than the loopback.
bool HasIpv6DefaultRoute(const std::string& procNetIpv6Route);
// /proc/meminfo: MemTotal, MemAvailable (MemFree on old kernels), SwapTotal
// and SwapFree, in bytes.
MemoryStatus ParseMemInfo(const std::string& procMeminfo);

std::string ReadWholeFile(const std::string& path);

} // namespace qv::platform
