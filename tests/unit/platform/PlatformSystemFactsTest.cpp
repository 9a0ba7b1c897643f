#include "platform/SystemFacts.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/posix/ProcFiles.h"
#endif

namespace qv::platform {
namespace {

TEST(PlatformSystemFacts, ThisMachineAnswersSensibly) {
    SystemFacts& facts = ThisSystem();
    EXPECT_TRUE(facts.IsNtFamily());
    const MemoryStatus memory = facts.Memory();
    EXPECT_GT(memory.totalPhysical, 1ull << 20);
    EXPECT_LE(memory.availablePhysical, memory.totalPhysical);

    const uint32_t before = facts.TickCount();
    const uint64_t counterBefore = facts.TimeStampCounter();
    facts.Sleep(100);
    // The Windows tick count moves in steps of about 16 ms.
    EXPECT_GE(static_cast<uint32_t>(facts.TickCount() - before), 60u);
    EXPECT_GT(facts.TimeStampCounter(), counterBefore);
#ifndef _WIN32
    EXPECT_TRUE(facts.TopLevelWindowTitles().empty());
    EXPECT_FALSE(facts.PostQuitToWindow("CD Player"));
#endif
}

#ifndef _WIN32
constexpr const char* kRouteTitles =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(PlatformSystemFacts, DefaultRouteMeansOnline) {
    struct Case {
        const char* routes;
        bool online;
    };
    const Case cases[] = {
        {"eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", true},
        {"eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", false},
        {"eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", false}, // down
        {"", false},
        {"garbage line\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasIpv4DefaultRoute(std::string(kRouteTitles) + c.routes), c.online) << c.routes;
    EXPECT_FALSE(HasIpv4DefaultRoute("eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\n"))
        << "the first line is the column titles";

    const std::string zeros(32, '0');
    const std::string via = " 00 " + zeros +
                            " 00 fd000000000000000000000000000001 00000400 "
                            "00000002 00000000 ";
    EXPECT_TRUE(HasIpv6DefaultRoute(zeros + via + "00000003     eth0\n"));
    EXPECT_FALSE(HasIpv6DefaultRoute(zeros + via + "00200200       lo\n"));
    EXPECT_FALSE(HasIpv6DefaultRoute(zeros + via + "00000201     eth0\n")) << "reject route";
    EXPECT_FALSE(HasIpv6DefaultRoute("fd00" + zeros.substr(4) + " 40" + via.substr(3) +
                                     "00000001     eth0\n"));
}

TEST(PlatformSystemFacts, MemInfoInBytes) {
    const MemoryStatus status = ParseMemInfo("MemTotal:       16384 kB\n"
                                             "MemFree:         1024 kB\n"
                                             "MemAvailable:    8192 kB\n"
                                             "SwapTotal:       2048 kB\n"
                                             "SwapFree:        1536 kB\n");
    EXPECT_EQ(status.totalPhysical, 16384u * 1024);
    EXPECT_EQ(status.availablePhysical, 8192u * 1024);
    EXPECT_EQ(status.totalPageFile, 2048u * 1024);
    EXPECT_EQ(status.availablePageFile, 1536u * 1024);
    EXPECT_EQ(ParseMemInfo("MemTotal: 100 kB\nMemFree: 40 kB\n").availablePhysical, 40u * 1024)
        << "kernels without MemAvailable";
    EXPECT_EQ(ParseMemInfo("").totalPhysical, 0u);
}
#endif

} // namespace
} // namespace qv::platform
