// Things placed on the ground of a track: track objects (statues and the
// starting-gate objects), billboards, and the 8 x 8 object buckets the bike
// contact test walks. Flaggers, cameras and lighting have their own headers.
// Positions: x and z on the ground, y given above the ground there; the
// absolute y adds terrain_height(x, z).
#pragma once

#include "track/resources.h"
#include "track/shape.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {
struct DataFile;
}

namespace zv::track {

struct TrackObject {
    ModelId model = 0;
    std::optional<Shape> shape;  // private copy; the starting gate turns it
    TextureId texture = 0;
    TextureId normal_map = 0;
    TextureId specular_map = 0;
    float x = 0, y = 0, z = 0;   // y absolute
    float y_above_ground = 0;
    float angle = 0;             // radians about the vertical axis
    // Row-major rotation about y by angle: world = rotation * local.
    std::array<float, 9> rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    float spin = 0;              // 2^angle when angle >= 3.25, else 0
    int last_contact_tick = -1;  // tick of the last bike contact
    // The names it was created with ("" = none), for the editor's save.
    std::string model_name, texture_name, shape_name;
};

struct Billboard {
    float x = 0, y = 0, z = 0;  // y absolute
    float size = 1;
    float y_above_ground = 0;
    float aspect = 1;
    TextureId texture = 0;
    std::uint8_t r = 255, g = 255, b = 255, a = 255;
    std::string texture_name;  // as created, "" = none
    int texture_tick = 0;      // tick its texture was last changed (animation start)
};

// Every list holds 16 entries before its first growth and then doubles.
constexpr std::size_t k_initial_list_capacity = 16;

// An angle at or above this stores a spin value of 2^angle.
constexpr float k_spin_angle = 3.25f;

// ---- track objects ----
// Any name may be "" or "null" for none. Loads the model, and when it loaded
// the texture (and, with normal mapping, the normal and specular maps), and
// the shape; a shape that cannot be loaded shows
// "Warning: missing shape file %.900s". Returns the new object's index.
int create_track_object(float x, float y_above_ground, float z, float angle,
                        std::string_view model, std::string_view texture, std::string_view shape);
int track_object_count();
TrackObject& track_object(int index);  // index must be in range
std::span<TrackObject> track_objects();

// The normal and specular map companions are looked up only while shader
// programs are in use (the renderer sets this).
void set_normal_mapping(bool on);
bool normal_mapping();
// The companion names tried in order for a texture and model name, with
// suffix "_norm" or "_spec" (exposed for the tests).
std::vector<std::string> companion_map_names(std::string_view texture, std::string_view model,
                                             std::string_view suffix);

// ---- billboards ----
// texture "" or "null" = none. Returns the new billboard's index.
int create_billboard(float x, float y_above_ground, float z, float size, float aspect,
                     std::string_view texture);
int billboard_count();
Billboard& billboard(int index);  // index must be in range
std::span<Billboard> billboards();
// Changes a billboard's texture and restarts its animation at tick.
void set_billboard_texture(int index, TextureId texture, int tick);

// A billboard name "#RRGGBB#name" carries a tint: returns the colour bytes and
// the texture name after the second '#'; nullopt for any other name.
struct TintedName {
    std::uint8_t r, g, b;
    std::string_view name;
};
std::optional<TintedName> parse_tinted_name(std::string_view name);

// ---- the scenery files ----
// Each reads entries until one does not match and keeps what was read.
// Returns the number of entries read, or -1 when the file does not open.
int load_billboards(std::string_view path);
int load_statues(std::string_view path);
int read_billboards(core::DataFile& file);
int read_statues(core::DataFile& file);

// The editor's save: the billboards from index first_billboard on, the
// objects from first_object on. False (after "Can't open 'billboards'" or
// "Can't open 'statues'") when the file cannot be created.
bool save_billboards(std::string_view path, int first_billboard);
bool save_statues(std::string_view path, int first_object);

// ---- object buckets ----
constexpr int k_bucket_grid = 8;
// Bucket index along one axis for a coordinate: the grid covers the central
// three quarters of the field.
int bucket_index(float coordinate, float field_size);
// Empties the buckets and enters every object that has a shape in each bucket
// its square (centre +- bounding radius) overlaps.
void build_object_buckets(float field_size);
std::span<const int> object_bucket(int bx, int bz);  // bx, bz in 0..7
// The object indices near (x, z): the bucket that holds the point.
std::span<const int> objects_near(float x, float z);

// ---- lifetime ----
// Empties the object, billboard and bucket lists (capacity back to 16).
void clear_scenery();

}  // namespace zv::track
