// The message box without a display, and the file manager opener.
#include "platform/file_manager.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/log.h"
#include "support/temp_dir.h"

namespace zv::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;

// Runs fn in a child process with standard error sent to a file; returns
// that text.
template <class Fn>
std::string child_stderr(const TempDir& dir, Fn fn)
{
    std::string path = dir / "stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(path.c_str(), "w", stderr))
            _exit(2);
        fn();
        std::fflush(stderr);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return test::read_file(path).value_or("");
}

TEST(MessageBox, WithoutADisplayTheTextGoesToStandardError)
{
    TempDir dir;
    ScopedEnv no_x("DISPLAY", std::nullopt);
    ScopedEnv no_wayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_EQ(child_stderr(dir, [] { message_box("Error", "Out of virtual memory"); }),
              "Error: Out of virtual memory\n");
    EXPECT_EQ(child_stderr(dir, [] { message_box("Problem starting Zarvox", "line one\nline two\n"); }),
              "Problem starting Zarvox: line one\nline two\n");
    // An empty display variable is no display either.
    ScopedEnv empty_x("DISPLAY", "");
    EXPECT_EQ(child_stderr(dir, [] { message_box("T", "%s %d"); }), "T: %s %d\n");
}

// Waits (up to a generous limit) for a file the background opener writes.
std::string wait_for_file(const std::string& path)
{
    for (int i = 0; i < 500; ++i) {
        if (auto text = test::read_file(path); text && !text->empty() && text->back() == '\n')
            return *text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

TEST(FileManager, RunsXdgOpenWithThePathAsOneArgument)
{
    TempDir dir;
    std::string record = dir / "record.txt";
    std::string script = dir / "bin/xdg-open";
    test::write_file(script, "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" > '" + record + ".tmp'\nmv '" +
                                 record + ".tmp' '" + record + "'\n");
    chmod(script.c_str(), 0755);
    ScopedEnv path("PATH", dir / "missing" + ":" + dir / "bin" + ":/usr/bin:/bin");
    std::string folder = dir / "My Games/it's \"here\"; $(touch pwned)";
    ASSERT_TRUE(open_in_file_manager(folder.c_str()));
    EXPECT_EQ(wait_for_file(record), "1|" + folder + "\n");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(FileManager, FailsWithoutXdgOpen)
{
    TempDir dir;
    ScopedEnv log_env("TORV_LOGFILE", dir / "log.txt");
    log_close();
    ScopedEnv path("PATH", dir.str());
    EXPECT_FALSE(open_in_file_manager("/tmp"));
    EXPECT_FALSE(open_in_file_manager(""));
    log_close();
    auto log = test::read_file(dir / "log.txt").value_or("");
    EXPECT_NE(log.find("Can't start xdg-open for \"/tmp\"\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace zv::platform
