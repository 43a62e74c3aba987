// ".jm" model files: text, "JM2" followed by the bone weight count and the
// skeleton name, then meshes (material of five numbers, vertex and triangle
// counts, vertices with position, normal, texture coordinates and bone
// weights, triangles of three indices). The older headerless layout holds
// one mesh without material.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::render {

struct JmVertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{0, 1, 0};
    std::array<float, 2> uv{};  // as written in the file (v not yet flipped)
    std::vector<float> weights; // one per bone of the file, may be empty
};

struct JmMesh {
    // m1 .. m5: m1 < 0 makes m2 the alpha; m3..m5 are the colour.
    std::array<float, 5> material{32, 1, 1, 1, 1};
    std::vector<JmVertex> vertices;
    std::vector<std::array<int, 3>> triangles;
};

struct JmModel {
    int version = 2;          // 1 or 2; 0 for the older headerless layout
    int bone_count = 0;       // K (version 2)
    std::string skeleton = "none";
    std::vector<JmMesh> meshes;
};

// The file's text. Numbers are printed with "%.6g", so writing is
// deterministic and reading gives the printed values back. Nullopt when the
// model cannot be written: no meshes, a mesh without vertices or triangles,
// a triangle index out of range, weights not matching the bone count, an
// empty skeleton name or one with white space, or an older-layout model with
// more than one mesh or with weights.
std::optional<std::string> write_jm(const JmModel& model);

// Parses a model file. A mesh with a number that cannot be read ends the mesh
// list (the meshes before it stay); nullopt when the header is bad or no mesh
// could be read. Triangle indices are kept as read (validation is the
// loader's). Counts above the limits are refused.
constexpr int k_jm_max_vertices = 1 << 20;
constexpr int k_jm_max_triangles = 1 << 21;
constexpr int k_jm_max_bones = 64;
std::optional<JmModel> read_jm(std::string_view text);

}  // namespace zv::render
