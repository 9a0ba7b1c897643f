// The run batch that removes what the running applet cannot remove itself.

#include "app/FinishRun.h"

#include "platform/Processes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;

app::RunBatchInputs Inputs(bool deleteApplet, bool deleteAspi) {
    app::RunBatchInputs in;
    in.executableFolder = "C:\\Temp\\Disc 1\\";
    in.executableName = "Applet.exe";
    in.deleteApplet = deleteApplet;
    in.deleteAspi = deleteAspi;
    in.processId = 4242;
    return in;
}

TEST(RunBatch, WindowsLinesForEachVariant) {
    const Lines head{"@echo off", "cd \"C:\\Temp\\Disc 1\\\""};
    const Lines applet{":try", "del \"Applet.exe\"", "if exist \"Applet.exe\" goto try"};
    const Lines aspi{":try2", "del \"wnaspi32.dll\"", "if exist \"wnaspi32.dll\" goto try2"};
    const Lines tail{"del \"C:\\Temp\\Disc 1\\qv1e.bat\"", "exit"};
    auto join = [](std::initializer_list<Lines> parts) {
        Lines all;
        for (const Lines& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    EXPECT_EQ(app::WindowsRunBatchLines(Inputs(true, true)), join({head, applet, aspi, tail}));
    EXPECT_EQ(app::WindowsRunBatchLines(Inputs(true, false)), join({head, applet, tail}));
    EXPECT_EQ(app::WindowsRunBatchLines(Inputs(false, true)), join({head, aspi, tail}));
    EXPECT_EQ(app::WindowsRunBatchLines(Inputs(false, false)), join({head, tail}));
}

TEST(RunBatch, AspiTidyUpFromVersionFiveAndWhenNotFound) {
    EXPECT_TRUE(app::AspiVersionAsksForTidyUp("5.0"));
    EXPECT_TRUE(app::AspiVersionAsksForTidyUp("Not Found"));
    EXPECT_FALSE(app::AspiVersionAsksForTidyUp("4.600"));
    EXPECT_FALSE(app::AspiVersionAsksForTidyUp(""));
}

TEST(RunBatch, ShellScriptWaitsOnlyWhenItDeletesSomething) {
    app::RunBatchInputs in = Inputs(false, false);
    in.executableFolder = "/tmp/it's here/";
    in.executableName = "applet";
    EXPECT_EQ(app::ShellRunBatchLines(in),
              (Lines{"cd '/tmp/it'\\''s here/' || exit 1", "rm -f -- '/tmp/it'\\''s here/qv1e.bat'",
                     "exit 0"}));
    in.deleteApplet = true;
    in.executableName = "-applet";
    EXPECT_EQ(app::ShellRunBatchLines(in),
              (Lines{"cd '/tmp/it'\\''s here/' || exit 1",
                     "while kill -0 4242 2>/dev/null; do sleep 0.1; done", "rm -f -- '-applet'",
                     "rm -f -- '/tmp/it'\\''s here/qv1e.bat'", "exit 0"}));
}

#ifndef _WIN32
bool GoneWithin(const std::filesystem::path& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::filesystem::exists(path) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !std::filesystem::exists(path);
}

TEST(RunBatch, ShellScriptDeletesTheAppletOnceItsProcessHasEnded) {
    std::random_device entropy;
    const auto folder =
        std::filesystem::temp_directory_path() / ("qv-batch-" + std::to_string(entropy()));
    std::filesystem::create_directories(folder);
    const auto applet = folder / "applet";
    std::filesystem::copy_file("/bin/sleep", applet);
    const std::string appletPath = applet.string();
    char* argv[] = {const_cast<char*>(appletPath.c_str()), const_cast<char*>("0.6"), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, appletPath.c_str(), nullptr, nullptr, argv, environ), 0);

    app::RunBatchInputs in;
    in.executableFolder = folder.string() + "/";
    in.executableName = "applet";
    in.deleteApplet = true;
    in.processId = child;
    const auto batch = folder / "qv1e.bat";
    {
        std::ofstream out(batch);
        for (const std::string& line : app::ShellRunBatchLines(in))
            out << line << "\n";
    }
    ASSERT_TRUE(platform::StartBatchDetached(batch.string(), true));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(std::filesystem::exists(applet)) << "deleted while the process still ran";
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(GoneWithin(applet, std::chrono::seconds(5)));
    EXPECT_TRUE(GoneWithin(batch, std::chrono::seconds(5)));
    std::filesystem::remove_all(folder);
}
#endif

} // namespace
} // namespace qv::test
