// The graphics presets and the stability preset.
#include <algorithm>
#include <cmath>

#include "core/settings.h"

namespace zv::core {

// ---- graphics presets ----

const std::array<GraphicsPreset, 4> k_graphics_presets = {{
    //  name            ground  dim        mipmaps compress  method              shader  gtex mdl  mtex flare  refl   roost
    {"Compatibility",   70, "64x64",   "Yes", "No",  "Software",        "Yes",  9, 50,  9, "Yes", "Yes", 1000},
    {"High FPS",        50, "64x64",   "Yes", "Yes", "Hardware/Direct", "No",   7, 25,  7, "No",  "No",     0},
    {"Normal",          70, "128x128", "Yes", "Yes", "Shaders/Direct",  "Yes",  9, 50,  9, "Yes", "Yes", 1000},
    {"High Detail",     90, "256x256", "Yes", "No",  "Shaders/Direct",  "Yes", 10, 75, 10, "Yes", "Yes", 1000},
}};

const GraphicsPreset& compatibility_preset()
{
    return k_graphics_presets[0];
}

void apply_graphics_preset(const GraphicsPreset& p)
{
    Settings& s = settings();
    s.ground_detail.set(p.ground_detail);
    s.ground_texture_dim.parse(p.ground_texture_dim);
    s.ground_mipmaps.parse(p.ground_mipmaps);
    s.texture_compress.parse(p.texture_compress);
    s.render_texture.parse(p.render_texture);
    s.use_shader.parse(p.use_shader);
    s.ground_texture_detail.set(p.ground_texture_detail);
    s.model_detail.set(p.model_detail);
    s.model_texture_detail.set(p.model_texture_detail);
    s.lens_flare.parse(p.lens_flare);
    s.reflections.parse(p.reflections);
    s.roost_density.set(p.roost_density);
}

const GraphicsPreset* matching_graphics_preset()
{
    const Settings& s = settings();
    for (const GraphicsPreset& p : k_graphics_presets) {
        if (s.ground_detail.value == p.ground_detail && s.ground_texture_dim.is(p.ground_texture_dim)
            && s.ground_mipmaps.is(p.ground_mipmaps) && s.texture_compress.is(p.texture_compress)
            && s.render_texture.is(p.render_texture) && s.use_shader.is(p.use_shader)
            && s.ground_texture_detail.value == p.ground_texture_detail
            && s.model_detail.value == p.model_detail
            && s.model_texture_detail.value == p.model_texture_detail
            && s.lens_flare.is(p.lens_flare) && s.reflections.is(p.reflections)
            && s.roost_density.value == p.roost_density)
            return &p;
    }
    return nullptr;
}

// ---- stability preset ----

namespace {

// Six points of each riding aid, from stability 0 to stability 100 in steps
// of 20.
struct StabilityRow {
    NumberSetting Settings::*aid;
    double p[6];
};

const StabilityRow k_stability_rows[] = {
    {&Settings::leveling, {20, 20, 20, 20, 20, 20}},
    {&Settings::roll_damping, {40, 50, 60, 70, 75, 80}},
    {&Settings::roll_limit_angle, {90, 45, 45, 40, 35, 35}},
    {&Settings::roll_limit_factor, {0, 5, 10, 32, 32, 32}},
    {&Settings::steering_damping, {45, 45, 45, 45, 45, 45}},
    {&Settings::steering_strength, {75, 75, 75, 75, 75, 75}},
    {&Settings::direct_steering, {1, 1, 1, 1, 1, 0}},
    {&Settings::max_steering_force, {400, 400, 400, 400, 400, 400}},
    {&Settings::slow_damping_speed, {40, 40, 40, 40, 40, 40}},
    {&Settings::slow_damping_factor, {1, 1, 1.5, 2, 2, 2}},
    {&Settings::land_damping_falloff, {0, 0.125, 0.25, 0.25, 0.25, 0.25}},
    {&Settings::land_damping_factor, {1, 1.5, 2, 2, 2, 2}},
    {&Settings::full_lock_speed, {10, 10, 10, 10, 10, 10}},
    {&Settings::restricted_lock_speed, {50, 50, 50, 50, 50, 50}},
    {&Settings::restricted_lock, {45, 15, 10, 5, 5, 5}},
};

}  // namespace

void apply_stability(double stability)
{
    double s = stability * 5 * 0.01;
    if (!(s >= 0))  // also NaN
        s = 0;
    s = std::min(s, 5.0);
    int i = std::clamp(static_cast<int>(std::floor(s)), 0, 4);
    double f = s - i;
    Settings& st = settings();
    for (const StabilityRow& row : k_stability_rows)
        (st.*row.aid).value = row.p[i] + f * (row.p[i + 1] - row.p[i]);
}

}  // namespace zv::core
