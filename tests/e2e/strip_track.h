// A tiny test track for races that must end quickly: a flat square of
// 256 ft with 24 gates facing -z, the lap a straight from the gates past
// the lap end 140 ft away, and robot lines for chosen gates.
#pragma once

#include "support/temp_dir.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zv::test {

// The gates stand 8 ft apart along x at z = 220.
inline float strip_gate_x(int gate) { return 20.0f + 8.0f * static_cast<float>(gate - 1); }

// The first checkpoint 24 ft in front of the gates, the lap end 140 ft;
// both span `width` ft around x = `middle` (by default the width of gates
// 18 to 23 only).
inline void write_strip(const std::filesystem::path& folder, int middle = 176, int width = 40)
{
    write_file(folder / "terrain.hf", "3 16.0 0.0 10.0\n:" + std::string(17 * 17 * 2, '\0'));
    write_file(folder / "shading.ppm", "P6\n17 17\n255\n" + std::string(17 * 17 * 3, '\x60'));
    write_file(folder / "texturelist", "1 5 15 dirt.png\n");
    write_file(folder / "tileinfo", "friction 1.0 1.0\naddtile\n");
    write_file(folder / "tilemap", std::string(64, '\0'));
    std::string gates = "startinggate:\n";
    for (int k = 1; k <= 24; ++k)
        gates.append("[").append(std::to_string(static_cast<int>(strip_gate_x(k)))).append(" 0 220] 0 null null null\n");
    gates += "checkpoints:\n"
             + std::to_string(width) + " [" + std::to_string(middle) + " 0 196] [0 0 -1]\n"
             + std::to_string(width) + " [" + std::to_string(middle) + " 0 80] [0 0 -1]\n" +
             "firstlap:\n0 1\n"
             "normallap:\n0 1\n";
    write_file(folder / "timing_gates", gates);
    write_file(folder / "desc", "Strip Test Track\n");
}

// The robots' learnt lines for the strip: for each of `gates` a way out of
// the gate to the first checkpoint (the first two points close together, as
// a bike sampled from a standstill) and a way on from there past the lap
// end, so each robot finds its own line ahead of it in both sections.
inline std::string strip_lines(const std::vector<int>& gates)
{
    auto point = [](float x, float z, float speed) {
        std::ostringstream s;
        s << "[" << x << " 2 " << z << "] " << speed << " 1\n";
        return s.str();
    };
    auto section = [&](const std::vector<std::pair<float, float>>& way) {
        std::string text = std::to_string(gates.size()) + "\n";
        for (int gate : gates) {
            text += std::to_string(way.size()) + " 300 700 0 1000000 1000000 0 0 0\n";
            for (const auto& [z, speed] : way)
                text += point(strip_gate_x(gate), z, speed);
        }
        return text;
    };
    std::vector<std::pair<float, float>> out_of_gate = {{220, 0}, {219.5f, 6}, {216, 14}, {211, 20},
                                                        {205, 24}, {199, 26}, {193, 28}};
    std::vector<std::pair<float, float>> straight = {{199, 26}, {198, 26}};
    for (float z = 192; z >= 100; z -= 8)
        straight.push_back({z, 32});
    for (float z = 92, v = 28; z >= 40; z -= 8, v -= 4)
        straight.push_back({z, v});
    return "ct03 4\n" + section(out_of_gate) + section(straight) + "0\n0\n";
}

}  // namespace zv::test
