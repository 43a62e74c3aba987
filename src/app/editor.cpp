#include "app/editor.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/startup_flags.h"
#include "app/view.h"
#include "app/view_font.h"
#include "core/data_file.h"
#include "core/messages.h"
#include "platform/input.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "render/terrain_draw.h"
#include "sim/bike.h"
#include "track/deform.h"
#include "track/scenery.h"
#include "track/timing.h"
#include "track/timing_file.h"
#include "track/track.h"

namespace zv::app {

namespace {

constexpr float k_view_span = 160.0f;         // feet shown top to bottom
constexpr int k_max_view_cells = 128;         // ground cells across the view
constexpr float k_pan_speed = 80.0f;          // feet per second
constexpr float k_min_radius = 1.0f, k_max_radius = 64.0f;
constexpr float k_min_rate = 0.25f, k_max_rate = 32.0f;
constexpr float k_tick_seconds = 1.0f / 128.0f;
constexpr int k_full_refresh = 1 << 30;       // every waiting chunk at once

struct Editor {
    BrushMode mode = BrushMode::raise;
    float radius = 8;   // feet
    float rate = 2;     // feet per second (raise, lower); fraction per second (smooth, flatten)
    EditorView view;
    // Pan keys held: left, right, up, down.
    std::array<bool, 4> pan{};
    bool stroking = false;
    float flatten_height = 0;
    bool pointer_on_ground = false;
    GroundPoint pointer;
    std::vector<float> scratch;
};

Editor& editor()
{
    static Editor e;
    return e;
}

std::uint32_t code_of(const char* name)
{
    std::optional<platform::ControlCode> c = platform::find_control(name);
    return c ? *c : k_no_code;
}

const char* mode_name(BrushMode m)
{
    switch (m) {
    case BrushMode::raise: return "Raise";
    case BrushMode::lower: return "Lower";
    case BrushMode::smooth: return "Smooth";
    case BrushMode::flatten: return "Flatten";
    }
    return "";
}

float sample_at(const track::Terrain& t, int i, int j) { return track::terrain_sample(t, i, j); }

// Light from the upper left, so a rut shows as a dark line and a heap as a
// bright one whatever the track's shading says.
float slope_light(const track::Terrain& t, int i, int j, int step)
{
    float dx = sample_at(t, i + step, j) - sample_at(t, i - step, j);
    float dz = sample_at(t, i, j + step) - sample_at(t, i, j - step);
    float span = 2.0f * static_cast<float>(step) * t.cell_size;
    float nx = -dx / span, nz = -dz / span;
    float len = std::sqrt(nx * nx + 1 + nz * nz);
    float lit = (-0.6f * nx + 0.64f - 0.48f * nz) / len;
    return std::clamp(0.35f + 0.75f * lit, 0.2f, 1.3f);
}

void ground_colour(const track::Terrain& t, int i, int j, int step)
{
    i = std::clamp(i, 0, t.grid_side - 1);
    j = std::clamp(j, 0, t.grid_side - 1);
    std::size_t at = static_cast<std::size_t>(i) + static_cast<std::size_t>(t.grid_side) * static_cast<std::size_t>(j);
    float r = 0.55f, g = 0.45f, b = 0.3f;
    if (t.shading.size() >= (at + 1) * 3) {
        // Shading is kept at half intensity.
        r = t.shading[at * 3] / 255.0f;
        g = t.shading[at * 3 + 1] / 255.0f;
        b = t.shading[at * 3 + 2] / 255.0f;
    }
    float l = slope_light(t, i, j, step) * 1.6f;
    glColor3f(std::min(1.0f, r * l), std::min(1.0f, g * l), std::min(1.0f, b * l));
}

void draw_ground(const track::Terrain& t, const EditorView& v)
{
    if (t.grid_side < 2 || t.cell_size <= 0)
        return;
    float span = 2 * std::max(v.half_width, v.half_height);
    int step = std::max(1, static_cast<int>(std::ceil(span / t.cell_size / k_max_view_cells)));
    int i0 = std::max(0, static_cast<int>((v.centre_x - v.half_width) / t.cell_size) - step);
    int i1 = std::min(t.grid_side - 1, static_cast<int>((v.centre_x + v.half_width) / t.cell_size) + step);
    int j0 = std::max(0, static_cast<int>((v.centre_z - v.half_height) / t.cell_size) - step);
    int j1 = std::min(t.grid_side - 1, static_cast<int>((v.centre_z + v.half_height) / t.cell_size) + step);
    glBegin(GL_QUADS);
    for (int j = j0; j < j1; j += step)
        for (int i = i0; i < i1; i += step) {
            int in = std::min(i + step, t.grid_side - 1), jn = std::min(j + step, t.grid_side - 1);
            ground_colour(t, i, j, step);
            glVertex2f(i * t.cell_size, j * t.cell_size);
            glVertex2f(in * t.cell_size, j * t.cell_size);
            glVertex2f(in * t.cell_size, jn * t.cell_size);
            glVertex2f(i * t.cell_size, jn * t.cell_size);
        }
    glEnd();
}

void draw_markers(const Game& g, const Editor& e)
{
    // Gate lines, bikes, then the brush's rim.
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glColor3f(1, 1, 1);
    for (const track::StartingGate& gate : track::track_timing().gates) {
        float fx = -std::sin(gate.heading), fz = -std::cos(gate.heading);
        float bx = gate.x + 3 * fx, bz = gate.z + 3 * fz;
        glVertex2f(bx - fz * 1.5f, bz + fx * 1.5f);
        glVertex2f(bx + fz * 1.5f, bz - fx * 1.5f);
    }
    for (int slot = 0; slot < race::k_rider_slot_count; ++slot) {
        const race::RiderSlot& r = race::rider_slot(slot);
        if (!r.bike)
            continue;
        sim::Vec3 front = sim::body_position(r.bike->body(sim::k_front_wheel));
        sim::Vec3 rear = sim::body_position(r.bike->body(sim::k_rear_wheel));
        if (slot == g.viewed)
            glColor3f(1.0f, 0.2f, 0.1f);
        else
            glColor3f(0.1f, 0.2f, 0.9f);
        glVertex2f(rear.x, rear.z);
        glVertex2f(front.x, front.z);
    }
    glEnd();
    if (e.pointer_on_ground) {
        glColor3f(1.0f, 0.9f, 0.2f);
        glBegin(GL_LINE_LOOP);
        for (int k = 0; k < 48; ++k) {
            float a = static_cast<float>(k) * 6.2831853f / 48.0f;
            glVertex2f(e.pointer.x + e.radius * std::cos(a), e.pointer.z + e.radius * std::sin(a));
        }
        glEnd();
    }
    glLineWidth(1.0f);
}

void update_pointer(Editor& e)
{
    const track::Terrain& t = track::loaded_terrain();
    if (e.view.width <= 0 || e.view.height <= 0 || t.grid_side < 2) {
        e.pointer_on_ground = false;
        return;
    }
    e.pointer = ground_at_pixel(e.view, cursor_x(), cursor_y());
    e.pointer_on_ground = e.pointer.x >= 0 && e.pointer.z >= 0 && e.pointer.x <= t.field_size &&
                          e.pointer.z <= t.field_size;
}

}  // namespace

GroundPoint ground_at_pixel(const EditorView& v, float px, float py)
{
    GroundPoint p;
    float w = static_cast<float>(std::max(v.width, 1)), h = static_cast<float>(std::max(v.height, 1));
    p.x = v.centre_x - v.half_width + px / w * 2 * v.half_width;
    p.z = v.centre_z - v.half_height + py / h * 2 * v.half_height;
    return p;
}

void brush_stroke(track::Terrain& t, BrushMode mode, float x, float z, float radius, float amount,
                  float flatten_height, std::vector<float>& scratch)
{
    if (t.grid_side < 2 || !(t.cell_size > 0) || !(radius > 0) || !std::isfinite(x) || !std::isfinite(z))
        return;
    if (mode == BrushMode::raise || mode == BrushMode::lower) {
        track::deform(t, x, z, radius, mode == BrushMode::raise ? amount : -amount);
        return;
    }
    // Smooth and flatten move single samples: the brush of one cell's radius
    // touches only the sample it is centred on. Targets come first, so the
    // result does not depend on the order the samples are visited in.
    const float r = radius / t.cell_size;
    const int m = static_cast<int>(std::ceil(r));
    const int ci = static_cast<int>(std::floor(x / t.cell_size)), cj = static_cast<int>(std::floor(z / t.cell_size));
    const float fraction = std::clamp(amount, 0.0f, 1.0f);
    struct Change {
        int i, j;
        float delta;
    };
    scratch.clear();
    for (int j = cj - m + 1; j <= cj + m; ++j)
        for (int i = ci - m + 1; i <= ci + m; ++i) {
            if (i < 0 || j < 0 || i >= t.grid_side || j >= t.grid_side)
                continue;
            float du = x / t.cell_size - static_cast<float>(i), dv = z / t.cell_size - static_cast<float>(j);
            float d = std::sqrt(du * du + dv * dv);
            if (d > r)
                continue;
            float q = d / r, w = 2 * q * q * q - 3 * q * q + 1;
            float h = sample_at(t, i, j);
            float target = flatten_height;
            if (mode == BrushMode::smooth) {
                float sum = 0;
                for (int b = -1; b <= 1; ++b)
                    for (int a = -1; a <= 1; ++a)
                        sum += sample_at(t, i + a, j + b);
                target = sum / 9.0f;
            }
            float delta = (target - h) * fraction * w;
            if (delta == 0)
                continue;
            scratch.push_back(static_cast<float>(i));
            scratch.push_back(static_cast<float>(j));
            scratch.push_back(delta);
        }
    for (std::size_t k = 0; k + 2 < scratch.size(); k += 3)
        track::deform(t, scratch[k] * t.cell_size, scratch[k + 1] * t.cell_size, t.cell_size, scratch[k + 2]);
}

bool editor_has_unsaved_changes() { return startup_flags().editor && track::loaded_terrain().modified; }

bool editor_key(Game&, std::uint32_t code, bool pressed)
{
    Editor& e = editor();
    const FixedKeys& k = fixed_keys();
    const std::array<std::uint32_t, 4> pans = {k.left, k.right, k.up, k.down};
    for (std::size_t p = 0; p < pans.size(); ++p)
        if (code != k_no_code && code == pans[p]) {
            e.pan[p] = pressed;
            return true;
        }
    if (!pressed)
        return false;
    struct ModeKey {
        const char* name;
        BrushMode mode;
    };
    static const ModeKey modes[] = {
        {"r", BrushMode::raise}, {"l", BrushMode::lower}, {"m", BrushMode::smooth}, {"f", BrushMode::flatten}};
    for (const ModeKey& mk : modes)
        if (code == code_of(mk.name)) {
            e.mode = mk.mode;
            return true;
        }
    if (code == code_of("-") || code == code_of("=")) {
        e.radius = std::clamp(code == code_of("-") ? e.radius / 1.25f : e.radius * 1.25f, k_min_radius, k_max_radius);
        return true;
    }
    if (code == k.page_up || code == k.page_down) {
        e.rate = std::clamp(code == k.page_down ? e.rate / 1.5f : e.rate * 1.5f, k_min_rate, k_max_rate);
        return true;
    }
    if (code == code_of("F2")) {
        save_edited_track();
        return true;
    }
    return false;
}

void editor_tick(Game& g)
{
    Editor& e = editor();
    const float step = k_pan_speed * k_tick_seconds;
    e.view.centre_x += (e.pan[1] ? step : 0) - (e.pan[0] ? step : 0);
    e.view.centre_z += (e.pan[3] ? step : 0) - (e.pan[2] ? step : 0);
    update_pointer(e);
    track::Terrain& t = track::loaded_terrain();
    if (!g.mouse_button || g.menu_page != k_menu_closed || !e.pointer_on_ground) {
        e.stroking = false;
        return;
    }
    if (!e.stroking)
        e.flatten_height = track::terrain_height(e.pointer.x, e.pointer.z);
    e.stroking = true;
    brush_stroke(t, e.mode, e.pointer.x, e.pointer.z, e.radius, e.rate * k_tick_seconds, e.flatten_height,
                 e.scratch);
}

void enter_editor(Game& g)
{
    Editor& e = editor();
    const track::Terrain& t = track::loaded_terrain();
    e.view.centre_x = e.view.centre_z = t.field_size * 0.5f;
    if (const race::RiderSlot& r = race::rider_slot(g.viewed); r.bike) {
        sim::Vec3 p = sim::body_position(r.bike->body(sim::k_frame));
        if (std::isfinite(p.x) && std::isfinite(p.z))
            e.view.centre_x = p.x, e.view.centre_z = p.z;
    }
    e.pan = {};
    e.stroking = false;
}

void leave_editor(Game&)
{
    // The renderer's tables follow every changed sample now, not over the
    // next frames, so the ground that is drawn is the ground that is ridden.
    render::refresh_terrain(track::loaded_terrain(), k_full_refresh);
    race::lift_bikes_off_ground();
    editor().stroking = false;
}

void draw_editor_view(Game& g, int width, int height)
{
    Editor& e = editor();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    e.view.width = width;
    e.view.height = height;
    e.view.half_height = k_view_span * 0.5f;
    e.view.half_width = e.view.half_height * (height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // z grows down the screen, as the pointer's rows do.
    glOrtho(e.view.centre_x - e.view.half_width, e.view.centre_x + e.view.half_width,
            e.view.centre_z + e.view.half_height, e.view.centre_z - e.view.half_height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    const track::Terrain& t = track::loaded_terrain();
    draw_ground(t, e.view);
    draw_markers(g, e);
    set_pixel_projection(width, height);
    char line[160];
    float h = e.pointer_on_ground ? track::terrain_height(e.pointer.x, e.pointer.z) : 0.0f;
    std::snprintf(line, sizeof line, "%s  radius %.1f  strength %.2f  height %.2f%s", mode_name(e.mode), e.radius,
                  e.rate, h, t.modified ? "  (modified)" : "");
    glColor3f(1, 1, 1);
    draw_text(8, 8, 2, line);
    draw_text(8, 30, 2, "r l m f: brush  - =: radius  PgUp PgDn: strength  arrows: pan  F2: save");
}

bool save_edited_track()
{
    const std::string& folder = track::current_track();
    if (folder.empty() || !track::track_loaded())
        return false;
    const std::string path = "@" + folder;
    const std::string home = core::home_folder();
    if (!home.empty())
        core::make_directories_for(home + folder + "/");
    // A track without timing, statues or billboards files gets none made for
    // it (an empty file would change the track's hash for nothing).
    auto had = [&](const char* file) { return core::open_data_file(path + "/" + file, "rb") != nullptr; };
    bool ok = track::save_terrain(track::loaded_terrain(), path);
    if (track::track_timing().has_timing() || had("timing_gates"))
        ok = track::write_timing_gates(path, track::track_timing()) && ok;
    if (track::track_object_count() > track::first_editable_object() || had("statues"))
        ok = track::save_statues(path + "/statues", track::first_editable_object()) && ok;
    if (track::billboard_count() > track::first_editable_billboard() || had("billboards"))
        ok = track::save_billboards(path + "/billboards", track::first_editable_billboard()) && ok;
    if (ok) {
        track::loaded_terrain().modified = false;
        core::show_message("Saved track '%s'", folder.c_str());
    }
    return ok;
}

}  // namespace zv::app
