// zarvox-terrain-bench [loads] | roost [ticks]: writes a 1025 x 1025 terrain (heights in
// terrain.png and, in a second folder, inline after terrain.hf; a tile map,
// shading and a tile table) into a temporary folder, then loads each folder
// `loads` times and prints the mean load time. Also times terrain_height.
#include "core/data_file.h"
#include "platform/log.h"
#include "track/terrain.h"
#include "roost_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process, seconds (the machine may be shared).
double cpu_seconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Times {
    double wall, cpu;
};

// Rolling ground with a few bumps, a tile map of four surfaces and shading.
zv::track::Terrain make_terrain()
{
    using zv::track::Terrain;
    Terrain t;
    t.size_exponent = 9;
    t.grid_side = 1025;
    t.tile_side = 512;
    t.cell_size = 2.0f;
    t.field_size = 2048.0f;
    const std::size_t w = 1025;
    t.heights.resize(w * w);
    t.shading.resize(w * w * 3);
    for (std::size_t j = 0; j < w; ++j) {
        for (std::size_t i = 0; i < w; ++i) {
            double x = static_cast<double>(i), z = static_cast<double>(j);
            double h = 20.0 * std::sin(x * 0.013) * std::cos(z * 0.017) + 3.0 * std::sin(x * 0.21 + z * 0.11);
            t.heights[i + w * j] = static_cast<float>(h);
            auto shade = static_cast<std::uint8_t>(64 + static_cast<int>(h * 2.0) % 60);
            t.shading[3 * (i + w * j)] = shade;
            t.shading[3 * (i + w * j) + 1] = static_cast<std::uint8_t>(shade + 10);
            t.shading[3 * (i + w * j) + 2] = static_cast<std::uint8_t>(shade / 2);
        }
    }
    t.tile_map.resize(512 * 512);
    for (std::size_t k = 0; k < t.tile_map.size(); ++k)
        t.tile_map[k] = static_cast<std::uint8_t>((k / 7 + k / 512 / 5) % 4);
    return t;
}

void write_text(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

Times time_loads(const char* track, int loads)
{
    auto start = Clock::now();
    double cpu = cpu_seconds();
    for (int k = 0; k < loads; ++k) {
        if (!zv::track::load_terrain(track, 2)) {
            std::fprintf(stderr, "loading %s failed\n", track);
            std::exit(1);
        }
        zv::track::free_terrain();
    }
    return {seconds_since(start) / loads, (cpu_seconds() - cpu) / loads};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "roost") {
        zv::track::Terrain ground = make_terrain();
        return run_roost_bench(ground, argc > 2 ? std::max(1, std::atoi(argv[2])) : 1280);
    }
    int loads = argc > 1 ? std::atoi(argv[1]) : 10;
    if (loads < 1)
        loads = 1;
    char tmpl[] = "/tmp/zv-terrain-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path root = tmpl;
    const std::filesystem::path home = root / "home";
    std::filesystem::create_directories(root / "data");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    setenv("ZV_HOME", (root / "data").c_str(), 1);
    setenv("TORV_LOGFILE", (root / "log.txt").c_str(), 1);
    zv::core::reset_data_files();

    zv::track::Terrain t = make_terrain();
    auto start = Clock::now();
    if (!zv::track::save_terrain(t, "@bench/png")) {
        std::fprintf(stderr, "saving failed\n");
        return 1;
    }
    double save = seconds_since(start);
    const std::filesystem::path png = home / "Zarvox/bench/png";
    write_text(png / "tileinfo",
               "texture @grass.png\nfriction 1.1 1\nfriction 0.9 30\naddtile\n"
               "texture @mud.png\nfriction 0.7 1\nroost count=4 size=0.3\naddtile\n"
               "texture @sand.png\naddtile\ntexture @rock.png\nroll_resist 2 4 1\naddtile\n");

    // The same ground with its samples inline after the header.
    const std::filesystem::path inl = home / "Zarvox/bench/inline";
    std::filesystem::create_directories(inl);
    for (const char* f : {"shadingx2.ppm", "tilemap", "tileinfo"})
        std::filesystem::copy_file(png / f, inl / f);
    {
        std::ifstream hf(png / "terrain.hf");
        std::string header;
        std::getline(hf, header);
        int n = 0;
        float cell = 0, lo = 0, hi = 0;
        std::sscanf(header.c_str(), "%d %f %f %f", &n, &cell, &lo, &hi);
        std::string out = header + "\n:";
        for (float h : t.heights) {
            double s = (h - lo) / (hi - lo) * 65535.0 + 0.5;
            auto v = static_cast<unsigned>(std::fmin(std::fmax(s, 0.0), 65535.0));
            out.push_back(static_cast<char>(v & 0xff));
            out.push_back(static_cast<char>(v >> 8));
        }
        write_text(inl / "terrain.hf", out);
    }

    Times png_load = time_loads("@bench/png", loads);
    Times inline_load = time_loads("@bench/inline", loads);

    // Height queries along a wandering line, as the wheels and camera ask.
    if (!zv::track::load_terrain("@bench/inline", 2))
        return 1;
    constexpr int k_points = 1 << 16;
    constexpr int k_rounds = 300;
    std::vector<float> xs(k_points), zs(k_points);
    for (int k = 0; k < k_points; ++k) {
        xs[static_cast<std::size_t>(k)] = 1024.0f + 900.0f * std::sin(static_cast<float>(k) * 1e-3f);
        zs[static_cast<std::size_t>(k)] = 1024.0f + 900.0f * std::cos(static_cast<float>(k) * 1.3e-3f);
    }
    const long k_queries = static_cast<long>(k_points) * k_rounds;
    start = Clock::now();
    double query_cpu = cpu_seconds();
    float sum = 0;
    for (int r = 0; r < k_rounds; ++r)
        for (int k = 0; k < k_points; ++k)
            sum += zv::track::terrain_height(xs[static_cast<std::size_t>(k)], zs[static_cast<std::size_t>(k)]);
    double query = seconds_since(start);
    query_cpu = cpu_seconds() - query_cpu;
    zv::track::free_terrain();

    std::printf("terrain 1025 x 1025, %d loads each (wall / processor time)\n", loads);
    std::printf("save_terrain (png, shading, tilemap):   %8.1f ms\n", save * 1e3);
    std::printf("load_terrain, heights from terrain.png: %8.1f ms / %8.1f ms\n", png_load.wall * 1e3,
                png_load.cpu * 1e3);
    std::printf("load_terrain, heights inline:           %8.1f ms / %8.1f ms\n", inline_load.wall * 1e3,
                inline_load.cpu * 1e3);
    double n = static_cast<double>(k_queries);
    std::printf("terrain_height: %.1f ns / %.1f ns per query (checksum %g)\n", query / n * 1e9,
                query_cpu / n * 1e9, static_cast<double>(sum));
    zv::platform::log_close();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
