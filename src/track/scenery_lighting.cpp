#include "track/scenery_lighting.h"

#include "core/data_file.h"
#include "core/loading_status.h"
#include "core/messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zv::track {

const std::array<const char*, k_sky_count> k_default_sky = {
    "@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"};

namespace {

constexpr std::size_t k_line_size = 1024;

Lighting g_lighting;

bool all_finite(std::initializer_list<float> values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

bool read_vec3(const std::string& value, Vec3f& out)
{
    Vec3f v{};
    if (std::sscanf(value.c_str(), " [ %f %f %f ] ", &v[0], &v[1], &v[2]) != 3 ||
        !all_finite({v[0], v[1], v[2]}))
        return false;
    out = v;
    return true;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

void load_sky(SkySide side, std::string_view name)
{
    g_lighting.sky_names[side].assign(name);
    g_lighting.sky[side] = load_texture(name, k_texture_clamp);
}

// Applies one line; false for an unknown keyword.
bool apply(const std::string& key, const std::string& value, std::vector<FlareElement>& pending)
{
    Lighting& l = g_lighting;
    if (key == "sun_vector")
        read_vec3(value, l.sun_vector);
    else if (key == "sun_color")
        read_vec3(value, l.sun_color);
    else if (key == "ambient")
        read_vec3(value, l.ambient);
    else if (key == "global_ambient")
        read_vec3(value, l.global_ambient);
    else if (key == "sky_n")
        load_sky(k_sky_north, value);
    else if (key == "sky_e")
        load_sky(k_sky_east, value);
    else if (key == "sky_s")
        load_sky(k_sky_south, value);
    else if (key == "sky_w")
        load_sky(k_sky_west, value);
    else if (key == "sky_u")
        load_sky(k_sky_up, value);
    else if (key == "sky_env")
        load_sky(k_sky_env, value);
    else if (key == "flare_element") {
        FlareElement e;
        char name[1024];
        if (std::sscanf(value.c_str(), " [ %f %f ] [ %f %f %f ] %f %1023s", &e.params[0],
                        &e.params[1], &e.color[0], &e.color[1], &e.color[2], &e.size, name) == 7 &&
            all_finite({e.params[0], e.params[1], e.color[0], e.color[1], e.color[2], e.size}) &&
            pending.size() < static_cast<std::size_t>(k_max_flare_elements)) {
            e.texture_name = name;
            e.texture = load_texture(e.texture_name, k_texture_clamp);
            pending.push_back(std::move(e));
        }
    } else if (key == "flare_point" || key == "flare_vector") {
        Flare f;
        if (read_vec3(value, f.position)) {
            f.kind = key == "flare_point" ? FlareKind::point : FlareKind::direction;
            f.elements = std::move(pending);
            pending.clear();
            l.flares.push_back(std::move(f));
        }
    } else if (key == "fog") {
        Vec3f c;
        float density;
        if (std::sscanf(value.c_str(), " [ %f %f %f ] %f ", &c[0], &c[1], &c[2], &density) == 4 &&
            all_finite({c[0], c[1], c[2], density})) {
            l.fog_color = c;
            l.fog_density = density;
        }
    } else if (key == "dynamic_lighting") {
        int on;
        if (std::sscanf(value.c_str(), "%d", &on) == 1)
            l.dynamic_lighting = on > 0;
    } else if (key == "near_plane" || key == "far_plane") {
        float v;
        if (std::sscanf(value.c_str(), "%f", &v) == 1 && std::isfinite(v))
            (key == "near_plane" ? l.near_plane : l.far_plane) = v;
    } else {
        return false;
    }
    return true;
}

void read_file(core::DataFile& f)
{
    std::vector<FlareElement> pending;
    std::string line;
    while (core::read_line(f, line, k_line_size)) {
        core::refresh_loading_stage();
        std::size_t end = line.size();
        while (end > 0 && is_space(line[end - 1]))
            --end;
        std::size_t start = 0;
        while (start < end && (line[start] == ' ' || line[start] == '\t'))
            ++start;
        if (start == end)
            continue;
        std::size_t key_end = line.find_first_of(" \t", start);
        if (key_end == std::string::npos || key_end > end)
            key_end = end;
        std::string key = line.substr(start, key_end - start);
        std::size_t value_start = key_end;
        while (value_start < end && (line[value_start] == ' ' || line[value_start] == '\t'))
            ++value_start;
        std::string value = line.substr(value_start, end - value_start);
        if (!apply(key, value, pending)) {
            core::show_message("Error reading lighting: Unknown identifier '%.950s'\n", key.c_str());
            return;
        }
    }
}

}  // namespace

void reset_lighting() { g_lighting = Lighting{}; }

const Lighting& lighting() { return g_lighting; }

void load_lighting(std::string_view path)
{
    reset_lighting();
    core::begin_loading_stage("Loading lighting");
    Lighting& l = g_lighting;
    l.sun_vector = {1, 1, 1};
    if (core::DataFilePtr f = core::open_data_file(path, "rb"))
        read_file(*f);

    l.near_plane = std::clamp(l.near_plane, k_min_near_plane, k_max_near_plane);
    l.far_plane = std::min(l.far_plane, k_max_far_plane);
    if (l.far_plane < l.near_plane)
        l.far_plane = l.near_plane;
    Vec3f& s = l.sun_vector;
    float len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (len > 0 && std::isfinite(len))
        s = {s[0] / len, s[1] / len, s[2] / len};
    else
        s = Lighting{}.sun_vector;
    for (int side = 0; side < k_sky_count; ++side)
        if (l.sky_names[static_cast<std::size_t>(side)].empty())
            load_sky(static_cast<SkySide>(side), k_default_sky[static_cast<std::size_t>(side)]);
    core::end_loading_stage();
}

}  // namespace zv::track
