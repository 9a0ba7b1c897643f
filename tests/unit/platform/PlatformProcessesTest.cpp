#include "platform/Files.h"
#include "platform/Processes.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qv::platform {
namespace {

using test::PlatformTempFolder;

TEST(PlatformProcesses, BatchStartRuleFollowsTheFamily) {
    const BatchStartRule nt = BatchStartRuleFor("C:\\Apps\\qv1e.bat", true);
    EXPECT_EQ(nt.commandLine, "\"C:\\Apps\\qv1e.bat\"");
    EXPECT_EQ(nt.creationFlags, 0x30u);
    const BatchStartRule old = BatchStartRuleFor("C:\\My Apps\\qv1e.bat", false);
    EXPECT_EQ(old.commandLine, "command.com /c \"C:\\My Apps\\qv1e.bat\"");
    EXPECT_EQ(old.creationFlags, 0x28u);
}

// Waits for a detached process without a fixed sleep: generous, so a loaded
// machine does not fail it, and quick when things work.
bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

#ifdef _WIN32
constexpr const char* kBatchText = "@echo off\r\n"
                                   "echo ran> \"%~dp0ran.txt\"\r\n"
                                   "del \"%~f0\"\r\n"
                                   "exit\r\n";
#else
// The script notes where its input comes from and its session, then
// removes itself as the clean-up scripts do.
constexpr const char* kBatchText =
    "cd \"$(dirname \"$0\")\"\n"
    "readlink /proc/$$/fd/0 > input.txt\n"
    "read -r pid name state ppid group session rest < /proc/$$/stat\n"
    "echo \"$session\" > session.txt\n"
    "echo ran > ran.txt.part && mv ran.txt.part ran.txt\n"
    "rm -f -- \"$0\"\n";
#endif

TEST(PlatformProcesses, DetachedBatchRunsAndRemovesItself) {
    PlatformTempFolder folder;
    const std::string batch = folder.Write("qv1e.bat", kBatchText);
    ASSERT_TRUE(StartBatchDetached(batch, true));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(folder.File("ran.txt")); }));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(batch); }));
#ifndef _WIN32
    EXPECT_EQ(PlatformTempFolder::Read(folder.File("input.txt")), "/dev/null\n");
    const std::string session = PlatformTempFolder::Read(folder.File("session.txt"));
    EXPECT_NE(std::stol(session), static_cast<long>(::getsid(0))) << "runs in a session of its own";
#endif
}

TEST(PlatformProcesses, MissingBatchIsReported) {
    PlatformTempFolder folder;
    EXPECT_FALSE(StartBatchDetached(folder.File("none.bat"), true));
}

TEST(PlatformProcesses, PrioritiesAreSetAndRestored) {
    const ProcessPriority process = CurrentProcessPriority();
    const ThreadPriority thread = CurrentThreadPriority();
    SetProcessPriority(ProcessPriority::High);
    SetThreadPriority(ThreadPriority::AboveNormal);
    EXPECT_EQ(CurrentProcessPriority(), ProcessPriority::High);
    EXPECT_EQ(CurrentThreadPriority(), ThreadPriority::AboveNormal);
    SetThreadPriority(thread);
    SetProcessPriority(process);
    EXPECT_EQ(CurrentProcessPriority(), process);
    EXPECT_EQ(CurrentThreadPriority(), thread);
}

TEST(PlatformProcessesDeathTest, EndProcessFlushesAndExitsWithTheCode) {
    EXPECT_EXIT(
        {
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
            std::fputs("flushed before the end", stderr);
            EndProcess(7);
        },
        testing::ExitedWithCode(7), "flushed before the end");
}

} // namespace
} // namespace qv::platform
