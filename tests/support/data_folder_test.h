// A test fixture with a private home folder, data folder and log file, and
// the data-file lookups reset around each test.
#pragma once

#include "core/data_file.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zv::test {

class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest()
        : home_env_("XDG_DATA_HOME", dir_ / "xdg"),
          data_env_("ZV_HOME", dir_ / "data"),
          log_env_("TORV_LOGFILE", dir_ / "log.txt")
    {
        core::reset_data_files();
    }
    ~DataFolderTest() override
    {
        platform::log_close();
        core::reset_data_files();
    }

    // Writes a file into the data folder.
    void write(const std::string& rel, std::string_view text) { write_file(dir_ / ("data/" + rel), text); }
    // Closes the log and returns what it holds.
    std::string log_text()
    {
        platform::log_close();
        return read_file(dir_ / "log.txt").value_or("");
    }

    TempDir dir_;
    ScopedEnv home_env_, data_env_, log_env_;
};

}  // namespace zv::test
