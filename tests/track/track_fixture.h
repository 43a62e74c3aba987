// A private data folder and home folder with a tiny track folder in it, for
// the scenery, loading and track info tests.
#pragma once

#include "core/data_file.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zv::test {

// The smallest useful ground: size exponent 1 (5 x 5 samples, 2 x 2 tiles),
// cells of 16 units (a field of 64), heights from 0 to 10 stored inline.
inline std::string tiny_terrain_hf(std::uint16_t sample = 0)
{
    std::string s = "1 16.0 0.0 10.0\n:";
    for (int i = 0; i < 25; ++i) {
        s.push_back(static_cast<char>(sample & 0xff));
        s.push_back(static_cast<char>(sample >> 8));
    }
    return s;
}

inline std::string tiny_shading()
{
    return "P6\n5 5\n255\n" + std::string(75, '\x80');
}

class TrackFolders : public DataFolderTest {
protected:
    static constexpr const char* k_folder = "tracks/mini";

    std::string data() const { return tmp_.str() + "data/"; }
    std::string home() const { return tmp_.str() + "xdg/Zarvox/"; }
    // A file in the track folder (in the data folder).
    std::string track_file(std::string_view name) const
    {
        return data() + k_folder + "/" + std::string(name);
    }
    void put(std::string_view name, std::string_view bytes) { write_file(track_file(name), bytes); }
    void put_data(std::string_view name, std::string_view bytes)
    {
        write_file(data() + std::string(name), bytes);
    }
    void remove(std::string_view name) { std::filesystem::remove(track_file(name)); }

    // The files every track needs: height field, shading, surfaces, tile map.
    void write_minimal_track(bool with_tileinfo = true)
    {
        put("terrain.hf", tiny_terrain_hf());
        put("shading.ppm", tiny_shading());
        put("texturelist", "1 5 15 dirt.png\n");
        if (with_tileinfo)
            put("tileinfo", "friction 1.0 1.0\naddtile\n");
        put("tilemap", std::string(4, '\0'));
    }

    const TempDir& tmp_ = dir_;
};

}  // namespace zv::test
