// The headless simulator run in a private data and home folder, with the
// tiny tracks its tests write there.
#pragma once

#include "program.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zv::test {

inline const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";

class SimRun : public ::testing::Test {
protected:
    SimRun()
    {
        std::filesystem::create_directories(dir_ / "home");
        env_ = {{"ZV_HOME", dir_ / "data"}, {"XDG_DATA_HOME", dir_ / "home"}, {"TORV_LOGFILE", dir_ / "log.txt"}};
    }

    // Writes a file of a track folder in the data folder.
    void put(const std::string& track, const std::string& name, const std::string& bytes)
    {
        write_file(dir_ / ("data/" + track + "/" + name), bytes);
    }
    // A 5 x 5 ground of 16-foot cells (heights 0 to 10, every sample the
    // two bytes of `sample`), grey shading, a dirt tile map, and the timing
    // file given.
    void write_tiny_track(const std::string& track, const std::string& timing_gates,
                          const std::string& sample = std::string("\x10\x20", 2))
    {
        std::string hf = "1 16.0 0.0 10.0\n:";
        for (int i = 0; i < 25; ++i)
            hf += sample;
        put(track, "terrain.hf", hf);
        put(track, "shading.ppm", "P6\n5 5\n255\n" + std::string(75, '\x80'));
        put(track, "texturelist", "1 5 15 dirt.png\n");
        put(track, "tilemap", std::string(4, '\0'));
        put(track, "timing_gates", timing_gates);
    }

    RunResult sim(const std::vector<std::string>& args) { return run_program(k_sim, args, env_, dir_ / "run"); }

    TempDir dir_;
    std::map<std::string, std::string> env_;
};

}  // namespace zv::test
