// The demo list: demos/*.zvdemo files and their display names.
#include "app/demo_list.h"

#include "core/data_file.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace zv;
using test::ScopedEnv;
using test::TempDir;
using test::write_file;

class DemoListTest : public ::testing::Test {
protected:
    DemoListTest()
        : home_env_("XDG_DATA_HOME", dir_ / "xdg"),
          data_env_("ZV_HOME", dir_ / "data"),
          log_env_("TORV_LOGFILE", dir_ / "log.txt")
    {
        core::reset_data_files();
    }
    ~DemoListTest() override
    {
        platform::log_close();
        core::reset_data_files();
    }

    void write(const std::string& rel, std::string_view text) { write_file(dir_ / ("data/" + rel), text); }
    std::string log_text()
    {
        platform::log_close();
        return test::read_file(dir_ / "log.txt").value_or("");
    }

    TempDir dir_;
    ScopedEnv home_env_, data_env_, log_env_;
};

TEST(DemoName, FileNameWithoutFolderOrLastExtension)
{
    EXPECT_EQ(app::demo_display_name("demos/lap.zvdemo"), "lap");
    EXPECT_EQ(app::demo_display_name("demos/2017/fast.lap.zvdemo"), "fast.lap");
    EXPECT_EQ(app::demo_display_name("plain"), "plain");
}

TEST_F(DemoListTest, DemoListTakesDemosFolderZvdemoFilesOnly)
{
    write("demos/first.zvdemo", "x");
    write("demos/old/second.try.zvdemo", "x");
    write("demos/notes.txt", "x");
    write("elsewhere/third.zvdemo", "x");
    write("demos/first.zvdemo.gz", "x");

    app::DemoList demos = app::build_demo_list(core::working_set(), 1);
    EXPECT_EQ(demos.paths, (std::vector<std::string>{"demos/first.zvdemo", "demos/old/second.try.zvdemo"}));
    EXPECT_EQ(demos.names, (std::vector<std::string>{"first", "second.try"}));
    EXPECT_NE(log_text().find("demos/old/second.try.zvdemo -> second.try\n"), std::string::npos);
}

}  // namespace
