// Where the game data is found when ZV_HOME is unset: beside the program (a
// build folder), else in the installed "share/zarvox/" beside its "bin/".
#include "core/data_file_internal.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zv::core {
namespace {

TEST(DataFolderTest, BesideTheProgramThenTheInstalledFolder)
{
    test::TempDir tmp;
    const std::string bin = tmp / "prefix/bin/";
    const std::string installed = tmp / "prefix/share/zarvox/";
    std::filesystem::create_directories(bin);

    // Nothing anywhere: the program's folder, where the check reports it.
    EXPECT_EQ(data_folder_for_executable(bin), bin);
    // A folder of that name is no archive.
    std::filesystem::create_directories(installed + "zzzz.saf");
    EXPECT_EQ(data_folder_for_executable(bin), bin);
    std::filesystem::remove(installed + "zzzz.saf");
    // Other data there does not count: the archive marks the folder.
    test::write_file(installed + "zarvox_cup.series", "x");
    EXPECT_EQ(data_folder_for_executable(bin), bin);

    test::write_file(installed + "zzzz.saf", "archive");
    EXPECT_EQ(data_folder_for_executable(bin), installed);
    EXPECT_EQ(data_folder_for_executable(tmp / "prefix/bin//"), installed);

    // Data beside the program wins (a build folder next to an installed copy).
    test::write_file(bin + "zzzz.saf", "archive");
    EXPECT_EQ(data_folder_for_executable(bin), bin);

    // A program at the root has no parent to look beside.
    EXPECT_EQ(data_folder_for_executable("/"), "/");
}

}  // namespace
}  // namespace zv::core
