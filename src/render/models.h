// Models from ".jm" files: meshes with materials, bone weights, tangents and
// texture density, cached by name for the life of a track with their
// level-of-detail variants ("_lodN" files beside them).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "render/jm_format.h"

namespace zv::render {

struct Mesh {
    int vertex_count = 0;
    int triangle_count = 0;
    int bone_weights = 0;                 // K of the file; 0 unskinned
    std::array<float, 5> material{32, 1, 1, 1, 1};
    std::array<float, 4> colour{1, 1, 1, 1};
    float m1 = 32;
    std::vector<float> positions, normals, uvs, tangents;          // V*3, V*3, V*2, V*3
    std::vector<float> bind_positions, bind_normals, bind_tangents; // skinned only
    std::vector<float> weights;                                     // V*4, skinned only
    std::vector<int> bone_indices;                                  // V*4, skinned only
    std::vector<int> triangles;                                     // T*3
    unsigned display_list = 0;
    bool list_tried = false;
    float density_u = 0, density_v = 0;   // this mesh and the ones after it
    bool skinned() const { return bone_weights > 0; }
};

struct Model;
struct LodVariant {
    float switch_value = 1;  // 2^number of the "_lodN" name
    Model* model = nullptr;
};

struct Model {
    std::uint32_t id = 0;
    std::string name;
    std::vector<Mesh> meshes;   // the first stands for the model
    bool env_flag = false;      // some mesh has m1 = -1
    int generation = 0;
    std::vector<LodVariant> lods;  // coarser variants, smallest switch value first
    float density_u = 0, density_v = 0;
    float radius = 0;           // largest vertex distance from the origin
};

// Turns a parsed file into a model: v flipped, weights into four slots,
// degenerate triangles removed, tangents, density. `degenerate` receives the
// number of triangles deleted; the bone warning is logged under `name`.
Model build_model(const JmModel& file, std::string_view name, int& degenerate);

// Inserts a variant before the first one whose switch value is not smaller.
void insert_lod(Model& model, LodVariant variant);
// The "_lod" number of a data-file name for a base path (no '@', no
// extension), or -1 when the name is not a variant of it.
int lod_number(std::string_view file_name, std::string_view base_path);
// The model to draw at a distance: the coarsest variant whose switch value
// times `unit` is not beyond the distance.
const Model& pick_lod(const Model& model, float distance, float unit);
Model& pick_lod(Model& model, float distance, float unit);
// Model level of detail: a model seen from `distance` feet is drawn as if it
// stood at distance x lod scale + lod bias (scale 0 and bias 0 keep every
// model at full detail; a bias makes even near models coarser), and there a
// variant takes over once its switch value x 32 feet is reached.
inline constexpr float k_lod_switch_feet = 32.0f;
void set_model_detail(float lod_scale, float lod_bias);
float model_detail_distance(float distance);
// The variant to draw for a model seen from `distance` feet.
Model& detail_variant(Model& model, float distance);

// ---- cache ----
Model* load_model(std::string_view name);
Model* load_model_variant(std::string_view name, std::string_view alternative, bool warn);
Model* model_by_id(std::uint32_t id);
void advance_model_generation();
int model_generation();
void release_models(bool all);
int model_count();

// The largest texture edge worth using for a model seen at `distance` on a
// screen `screen_height` pixels high with vertical half-extent V.
int model_texture_limit(const Model& model, float distance, int screen_height, float half_extent_v);

// ---- drawing ----
// "--novertexarrays": each triangle goes vertex by vertex.
void set_vertex_arrays(bool on);
// Bone transforms for the next skinned draw: centres, translations (3 each)
// and row-major rotations (9 each).
void set_model_bones(int n, const float* centres, const float* translations, const float* rotations);
// Software skinning of one mesh with the bones set (tests and the
// fixed-function path).
void skin_mesh(Mesh& mesh, int n, const float* centres, const float* translations, const float* rotations);
// The shader program for a model while programs are in use: environment
// reflection for models flagged with m1 = -1 (when the track has an
// environment picture), normal-mapped and specular-mapped lighting when the
// companions exist, plain per-pixel lighting otherwise; fixed function with
// the programs off.
int choose_model_program(const Model& model, unsigned normal_map, unsigned specular_map, unsigned env_map);
// Makes that program current and binds its textures (unit 0 the picture or
// the environment, 1 the normal map, 2 the specular map); end_ returns to
// fixed function.
void begin_model_program(const Model& model, unsigned texture, unsigned normal_map, unsigned specular_map,
                         unsigned env_map);
void end_model_program();
// Draws a model's meshes with the current GL state; counts its vertices and
// triangles in the render statistics. Every material's alpha is multiplied
// by the model opacity, so a caller that fades a model (a ghost) and turns
// blending on sees it drawn faded, not reset to the material's own alpha.
void draw_model(Model& model);
// The opacity draw_model applies, 0 ... 1 (1 until changed); callers that
// fade set it back to 1 when done.
void set_model_opacity(float opacity);
float model_opacity();
// A material colour with its alpha multiplied by the opacity (limited to
// 0 ... 1).
std::array<float, 4> material_colour(const std::array<float, 4>& colour, float opacity);

}  // namespace zv::render
