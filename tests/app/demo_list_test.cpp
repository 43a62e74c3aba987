// The demo list: demos/*.zvdemo files and their display names.
#include "app/demo_list.h"

#include "core/data_file.h"
#include "platform/log.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace {

using namespace zv;

using DemoListTest = test::DataFolderTest;

TEST(DemoName, FileNameWithoutFolderOrLastExtension)
{
    for (auto [path, name] : {std::pair{"demos/lap.zvdemo", "lap"}, {"demos/2017/fast.lap.zvdemo", "fast.lap"}, {"plain", "plain"}})
        EXPECT_EQ(app::demo_display_name(path), name) << path;
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
