#include "track/scenery.h"

#include "core/data_file.h"
#include "core/loading_status.h"
#include "core/messages.h"
#include "track/terrain.h"

#include <algorithm>
#include <cmath>

namespace zv::track {

namespace {

struct SceneryState {
    std::vector<TrackObject> objects;
    std::vector<Billboard> billboards;
    std::array<std::vector<int>, k_bucket_grid * k_bucket_grid> buckets;
    float bucket_field_size = 0;
    bool normal_mapping = false;
};

SceneryState& state()
{
    static SceneryState s;
    return s;
}

// "" and "null" both mean no file.
bool is_none(std::string_view name) { return name.empty() || name == "null"; }

template <typename T>
void reset_list(std::vector<T>& list)
{
    std::vector<T>().swap(list);
    list.reserve(k_initial_list_capacity);
}

// The index of the part of a name that an extension replacement cuts off:
// from the last '.' of the last path component, or the end when it has none.
std::size_t extension_start(std::string_view name)
{
    std::size_t slash = name.find_last_of('/');
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return name.size();
    return dot;
}

bool ends_with(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

TextureId load_first_texture(const std::vector<std::string>& names)
{
    for (const std::string& n : names)
        if (TextureId t = load_texture(n))
            return t;
    return 0;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char* name_or_null(const std::string& name) { return name.empty() ? "null" : name.c_str(); }

}  // namespace

// ---- track objects ----

void set_normal_mapping(bool on) { state().normal_mapping = on; }
bool normal_mapping() { return state().normal_mapping; }

std::vector<std::string> companion_map_names(std::string_view texture, std::string_view model,
                                             std::string_view suffix)
{
    static constexpr std::string_view k_exts[] = {".seq", ".png", ".ppm"};
    std::vector<std::string> out;
    if (!is_none(texture)) {
        bool repeat = ends_with(texture, "-repeat.png") || ends_with(texture, "-repeat.ppm") ||
                      ends_with(texture, "-repeat.seq");
        if (repeat) {
            std::string base(texture.substr(0, texture.find_last_of('-')));
            for (std::string_view ext : k_exts)
                out.push_back(base + std::string(suffix) + "-repeat" + std::string(ext));
        } else {
            std::string base(texture.substr(0, extension_start(texture)));
            for (std::string_view ext : k_exts)
                out.push_back(base + std::string(suffix) + std::string(ext));
        }
    }
    if (!is_none(model)) {
        std::string base(model.substr(0, extension_start(model)));
        for (std::string_view ext : k_exts)
            out.push_back(base + std::string(suffix) + std::string(ext));
    }
    return out;
}

int create_track_object(float x, float y_above_ground, float z, float angle,
                        std::string_view model, std::string_view texture, std::string_view shape)
{
    TrackObject o;
    if (!is_none(model)) {
        o.model_name.assign(model);
        o.model = load_model(model);
    }
    if (!is_none(texture))
        o.texture_name.assign(texture);
    if (o.model && !is_none(texture)) {
        o.texture = load_texture(texture);
        if (state().normal_mapping) {
            o.normal_map = load_first_texture(companion_map_names(texture, model, "_norm"));
            o.specular_map = load_first_texture(companion_map_names(texture, model, "_spec"));
        }
    }
    if (!is_none(shape)) {
        o.shape_name.assign(shape);
        if (const Shape* s = load_shape(shape))
            o.shape = *s;
        else
            core::show_message("Warning: missing shape file %.900s", o.shape_name.c_str());
    }
    o.x = x;
    o.z = z;
    o.y_above_ground = y_above_ground;
    o.y = terrain_height(x, z) + y_above_ground;
    o.angle = angle;
    float c = std::cos(angle), s = std::sin(angle);
    o.rotation = {c, 0, s, 0, 1, 0, -s, 0, c};
    o.spin = angle >= k_spin_angle ? std::exp2(angle) : 0.0f;
    auto& list = state().objects;
    list.push_back(std::move(o));
    return static_cast<int>(list.size()) - 1;
}

int track_object_count() { return static_cast<int>(state().objects.size()); }
TrackObject& track_object(int index) { return state().objects[static_cast<std::size_t>(index)]; }
std::span<TrackObject> track_objects() { return state().objects; }

// ---- billboards ----

std::optional<TintedName> parse_tinted_name(std::string_view name)
{
    if (name.size() < 8 || name[0] != '#' || name[7] != '#')
        return std::nullopt;
    int d[6];
    for (int i = 0; i < 6; ++i)
        if ((d[i] = hex_digit(name[static_cast<std::size_t>(i) + 1])) < 0)
            return std::nullopt;
    return TintedName{static_cast<std::uint8_t>(d[0] * 16 + d[1]),
                      static_cast<std::uint8_t>(d[2] * 16 + d[3]),
                      static_cast<std::uint8_t>(d[4] * 16 + d[5]), name.substr(8)};
}

int create_billboard(float x, float y_above_ground, float z, float size, float aspect,
                     std::string_view texture)
{
    Billboard b;
    b.x = x;
    b.z = z;
    b.y_above_ground = y_above_ground;
    b.y = terrain_height(x, z) + y_above_ground;
    b.size = size;
    b.aspect = aspect;
    if (!is_none(texture)) {
        b.texture_name.assign(texture);
        b.texture = load_texture(texture, k_texture_alpha);
    }
    auto& list = state().billboards;
    list.push_back(std::move(b));
    return static_cast<int>(list.size()) - 1;
}

int billboard_count() { return static_cast<int>(state().billboards.size()); }
Billboard& billboard(int index) { return state().billboards[static_cast<std::size_t>(index)]; }
std::span<Billboard> billboards() { return state().billboards; }

void set_billboard_texture(int index, TextureId texture, int tick)
{
    Billboard& b = billboard(index);
    b.texture = texture;
    b.texture_tick = tick;
}

// ---- the scenery files ----

int load_billboards(std::string_view path)
{
    core::DataFilePtr f = core::open_data_file(path, "rb");
    return f ? read_billboards(*f) : -1;
}

int read_billboards(core::DataFile& file)
{
    core::DataFile* f = &file;
    int count = 0;
    float x, y, z, size, aspect;
    char name[1024];
    while (core::scan(*f, " [ %f %f %f ] %f %f %1023s ", &x, &y, &z, &size, &aspect, name) == 6) {
        std::string_view texture = name;
        std::optional<TintedName> tint = parse_tinted_name(texture);
        if (tint)
            texture = tint->name;
        int i = create_billboard(x, y, z, size, aspect, texture);
        if (tint) {
            Billboard& b = billboard(i);
            b.r = tint->r;
            b.g = tint->g;
            b.b = tint->b;
        }
        ++count;
        core::refresh_loading_stage();
    }
    return count;
}

int load_statues(std::string_view path)
{
    core::DataFilePtr f = core::open_data_file(path, "rb");
    return f ? read_statues(*f) : -1;
}

int read_statues(core::DataFile& file)
{
    core::DataFile* f = &file;
    int count = 0;
    float x, y, z, angle;
    char model[1024], texture[1024], shape[1024];
    while (core::scan(*f, " [ %f %f %f ] %f %1023s %1023s %1023s ", &x, &y, &z, &angle, model,
                      texture, shape) == 7) {
        create_track_object(x, y, z, angle, model, texture, shape);
        ++count;
        core::refresh_loading_stage();
    }
    return count;
}

bool save_billboards(std::string_view path, int first_billboard)
{
    core::DataFilePtr f = core::open_data_file(path, "wb");
    if (!f) {
        core::show_message("Can't open 'billboards'\n");
        return false;
    }
    auto& list = state().billboards;
    for (std::size_t i = static_cast<std::size_t>(std::max(first_billboard, 0)); i < list.size();
         ++i) {
        const Billboard& b = list[i];
        core::print(*f, "[%f %f %f] %f %f ", b.x, b.y_above_ground, b.z, b.size, b.aspect);
        if (b.r == 255 && b.g == 255 && b.b == 255)
            core::print(*f, "%s\n", name_or_null(b.texture_name));
        else
            core::print(*f, "#%02x%02x%02x#%s\n", b.r, b.g, b.b, b.texture_name.c_str());
    }
    if (!core::commit_data_file(std::move(f))) {
        core::show_message("Can't write 'billboards'\n");
        return false;
    }
    return true;
}

bool save_statues(std::string_view path, int first_object)
{
    core::DataFilePtr f = core::open_data_file(path, "wb");
    if (!f) {
        core::show_message("Can't open 'statues'\n");
        return false;
    }
    auto& list = state().objects;
    for (std::size_t i = static_cast<std::size_t>(std::max(first_object, 0)); i < list.size();
         ++i) {
        const TrackObject& o = list[i];
        core::print(*f, "[%f %f %f] %f %s %s %s\n", o.x, o.y_above_ground, o.z, o.angle,
                    name_or_null(o.model_name), name_or_null(o.texture_name),
                    name_or_null(o.shape_name));
    }
    if (!core::commit_data_file(std::move(f))) {
        core::show_message("Can't write 'statues'\n");
        return false;
    }
    return true;
}

// ---- object buckets ----

int bucket_index(float coordinate, float field_size)
{
    if (!(field_size > 0))
        return 0;
    double b = std::floor((static_cast<double>(coordinate) / field_size - 0.125) * 4.0 / 3.0 *
                          k_bucket_grid);
    if (!(b >= 0))  // also NaN
        return 0;
    if (b > k_bucket_grid - 1)
        return k_bucket_grid - 1;
    return static_cast<int>(b);
}

void build_object_buckets(float field_size)
{
    SceneryState& s = state();
    for (auto& bucket : s.buckets)
        reset_list(bucket);
    s.bucket_field_size = field_size;
    for (std::size_t i = 0; i < s.objects.size(); ++i) {
        const TrackObject& o = s.objects[i];
        if (!o.shape)
            continue;
        float r = o.shape->bounding_radius;
        int x0 = bucket_index(o.x - r, field_size), x1 = bucket_index(o.x + r, field_size);
        int z0 = bucket_index(o.z - r, field_size), z1 = bucket_index(o.z + r, field_size);
        for (int bz = z0; bz <= z1; ++bz)
            for (int bx = x0; bx <= x1; ++bx)
                s.buckets[static_cast<std::size_t>(bx + k_bucket_grid * bz)].push_back(
                    static_cast<int>(i));
    }
}

std::span<const int> object_bucket(int bx, int bz)
{
    bx = std::clamp(bx, 0, k_bucket_grid - 1);
    bz = std::clamp(bz, 0, k_bucket_grid - 1);
    return state().buckets[static_cast<std::size_t>(bx + k_bucket_grid * bz)];
}

std::span<const int> objects_near(float x, float z)
{
    float field = state().bucket_field_size;
    return object_bucket(bucket_index(x, field), bucket_index(z, field));
}

// ---- lifetime ----

void clear_scenery()
{
    SceneryState& s = state();
    reset_list(s.objects);
    reset_list(s.billboards);
    for (auto& bucket : s.buckets)
        std::vector<int>().swap(bucket);
    s.bucket_field_size = 0;
}

}  // namespace zv::track
