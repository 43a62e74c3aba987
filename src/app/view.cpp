#include "app/view.h"
#include "app/multiplayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/menu.h"
#include "race/riders.h"
#include "app/screenshot_png.h"
#include "app/view_font.h"
#include "app/world_view.h"
#include "core/data_file.h"
#include "platform/log.h"
#include "render/display_pictures.h"
#include "sim/bike.h"
#include "track/start_gate.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::app {

using race::rider_slot;
using race::RiderSlot;
using race::k_rider_local;
using race::k_rider_slot_count;

namespace {

struct Picture {
    render::DisplayPicture which;
    GLuint texture = 0;
};

std::array<Picture, 4> g_pictures = {{
    {render::DisplayPicture::tach},
    {render::DisplayPicture::shifter},
    {render::DisplayPicture::pit_board},
    {render::DisplayPicture::title},
}};
constexpr std::size_t k_title_picture = 3;

constexpr float k_view_span = 160.0f;   // feet shown top to bottom
constexpr int k_max_view_cells = 96;     // ground cells across the view

// The texture loader owns the pictures (loaded at start-up, kept for the run).
bool load_picture(Picture& p)
{
    p.texture = render::display_picture(p.which);
    return p.texture != 0;
}

void draw_plain_title(int width, int height)
{
    glDisable(GL_TEXTURE_2D);
    const std::string_view title = "ZARVOX";
    int scale = std::max(2, width / 80);
    float x = (width - text_width(title, scale)) * 0.5f;
    float y = height * 0.3f;
    glColor3f(0.05f, 0.1f, 0.15f);
    draw_text(x + scale, y + scale, scale, title);
    glColor3f(1.0f, 0.85f, 0.2f);
    draw_text(x, y, scale, title);
}

void draw_title(int width, int height)
{
    set_pixel_projection(width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Picture& p = g_pictures[k_title_picture];
    if (!p.texture) {
        draw_plain_title(width, height);
        return;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(0, 0);
    glTexCoord2f(1, 0); glVertex2f(static_cast<float>(width), 0);
    glTexCoord2f(1, 1); glVertex2f(static_cast<float>(width), static_cast<float>(height));
    glTexCoord2f(0, 1); glVertex2f(0, static_cast<float>(height));
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

// The ground colour of a sample: its shading, else a height tint.
void ground_colour(const track::Terrain& t, int i, int j)
{
    i = std::clamp(i, 0, t.grid_side - 1);
    j = std::clamp(j, 0, t.grid_side - 1);
    std::size_t at = static_cast<std::size_t>(i) + static_cast<std::size_t>(t.grid_side) * static_cast<std::size_t>(j);
    if (t.shading.size() >= (at + 1) * 3) {
        // Shading is stored at half intensity.
        glColor3f(std::min(1.0f, t.shading[at * 3] / 127.5f), std::min(1.0f, t.shading[at * 3 + 1] / 127.5f),
                  std::min(1.0f, t.shading[at * 3 + 2] / 127.5f));
        return;
    }
    float range = t.max_height - t.min_height;
    float h = range > 0 ? (t.heights[at] - t.min_height) / range : 0.5f;
    glColor3f(0.35f + 0.4f * h, 0.3f + 0.3f * h, 0.2f + 0.2f * h);
}

void draw_ground(const track::Terrain& t, float cx, float cz, float half_w, float half_h)
{
    if (t.grid_side < 2 || t.cell_size <= 0)
        return;
    float span = 2 * std::max(half_w, half_h);
    int step = std::max(1, static_cast<int>(std::ceil(span / t.cell_size / k_max_view_cells)));
    int i0 = std::max(0, static_cast<int>((cx - half_w) / t.cell_size) - step);
    int i1 = std::min(t.grid_side - 1, static_cast<int>((cx + half_w) / t.cell_size) + step);
    int j0 = std::max(0, static_cast<int>((cz - half_h) / t.cell_size) - step);
    int j1 = std::min(t.grid_side - 1, static_cast<int>((cz + half_h) / t.cell_size) + step);
    glBegin(GL_QUADS);
    for (int j = j0; j < j1; j += step)
        for (int i = i0; i < i1; i += step) {
            int in = std::min(i + step, t.grid_side - 1), jn = std::min(j + step, t.grid_side - 1);
            ground_colour(t, i, j);
            glVertex2f(i * t.cell_size, -j * t.cell_size);
            glVertex2f(in * t.cell_size, -j * t.cell_size);
            glVertex2f(in * t.cell_size, -jn * t.cell_size);
            glVertex2f(i * t.cell_size, -jn * t.cell_size);
        }
    glEnd();
}

void draw_gates()
{
    const track::TrackTiming& timing = track::track_timing();
    const std::vector<track::GateState>& states = track::gate_states();
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (std::size_t k = 0; k < timing.gates.size(); ++k) {
        const track::StartingGate& gate = timing.gates[k];
        float raise = k < states.size() ? states[k].raise : 1.0f;
        glColor3f(0.9f * raise + 0.2f, 0.9f * raise + 0.2f, 0.9f * raise + 0.2f);
        // The bar stands 3 ahead of the bike, across its way.
        float fx = -std::sin(gate.heading), fz = -std::cos(gate.heading);
        float bx = gate.x + 3 * fx, bz = gate.z + 3 * fz;
        glVertex2f(bx - fz * 1.5f, -(bz + fx * 1.5f));
        glVertex2f(bx + fz * 1.5f, -(bz - fx * 1.5f));
    }
    glEnd();
}

void draw_bikes(const Game& g)
{
    glPointSize(5.0f);
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        const RiderSlot& r = rider_slot(slot);
        if (!r.bike)
            continue;
        sim::Vec3 front = sim::body_position(r.bike->body(sim::k_front_wheel));
        sim::Vec3 rear = sim::body_position(r.bike->body(sim::k_rear_wheel));
        if (slot == g.viewed)
            glColor3f(1.0f, 0.2f, 0.1f);
        else if (r.kind == k_rider_local)
            glColor3f(1.0f, 0.6f, 0.1f);
        else
            glColor3f(0.1f, 0.2f, 0.9f);
        glLineWidth(4.0f);
        glBegin(GL_LINES);
        glVertex2f(rear.x, -rear.z);
        glVertex2f(front.x, -front.z);
        glEnd();
        glBegin(GL_POINTS);
        glVertex2f(front.x, -front.z);
        glEnd();
    }
    glLineWidth(1.0f);
}

void draw_ground_view(Game& g, int width, int height)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const track::Terrain& t = track::loaded_terrain();
    float cx = t.field_size * 0.5f, cz = t.field_size * 0.5f;
    if (const RiderSlot& r = rider_slot(g.viewed); r.bike) {
        sim::Vec3 p = sim::body_position(r.bike->body(sim::k_frame));
        if (std::isfinite(p.x) && std::isfinite(p.z))
            cx = p.x, cz = p.z;
    }
    float half_h = k_view_span * 0.5f;
    float half_w = half_h * (height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(cx - half_w, cx + half_w, -cz - half_h, -cz + half_h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    // Looking down with z flipped turns every face around.
    glDisable(GL_CULL_FACE);
    draw_ground(t, cx, cz, half_w, half_h);
    draw_gates();
    draw_bikes(g);
}

const char* view_name(ViewMode v)
{
    switch (v) {
    case ViewMode::rider: return "Rider view";
    case ViewMode::chase: return "Chase view";
    case ViewMode::track_camera: return "Track camera";
    case ViewMode::editor: return "Editor";
    case ViewMode::title: return "";
    }
    return "";
}

}  // namespace

void init_gl_state(bool flat_shading)
{
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (flat_shading)
        glShadeModel(GL_FLAT);
}

void load_display_pictures()
{
    load_font();
    for (Picture& p : g_pictures)
        if (!p.texture)
            load_picture(p);
}

void release_display_pictures()
{
    release_font();
    for (Picture& p : g_pictures)
        p.texture = 0;
}

void set_pixel_projection(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

void draw_view(Game& g, int width, int height, double longest_frame, bool hide_hud)
{
    if (g.view == ViewMode::title || !track::track_loaded())
        draw_title(width, height);
    else if (g.view == ViewMode::editor)
        draw_ground_view(g, width, height);
    else
        draw_world_view(g, width, height);
    // The information layer (message lines included) goes over every view,
    // so recorded video frames carry it and "--hidden-hud" hides it.
    if (!hide_hud)
        draw_info_layer_for(g, width, height, longest_frame);
}

void draw_overlays(Game& g, int width, int height, bool hide_pause_text)
{
    set_pixel_projection(width, height);
    const int scale = 2;
    // The view's name at the bottom left, where the rider view has its pit
    // board instead.
    if (g.view != ViewMode::title && g.view != ViewMode::rider) {
        glColor3f(1, 1, 0.6f);
        draw_text(8, static_cast<float>(height - 12 * scale), scale, view_name(g.view));
    }
    if (g.paused && !hide_pause_text) {
        const std::string_view text = "Paused";
        glColor3f(1, 1, 1);
        draw_text((width - text_width(text, 4)) * 0.5f, height * 0.4f, 4, text);
    }
    if (viewed_is_local(g) && g.connected && !multiplayer_has_place()) {
        const std::string_view text = "Warmup mode - collisions disabled";
        glColor3f(1, 1, 1);
        draw_text((width - text_width(text, 2)) * 0.5f, height * 0.3f, 2, text);
    }
    draw_menu(g, width, height);
}

void finish_frame(bool glfinish)
{
    if (glfinish)
        glFinish();
}

void draw_loading_screen(std::string_view text, int width, int height)
{
    draw_title(width, height);
    int scale = std::max(2, width / 320);
    float y = height * 0.75f;
    glColor3f(0, 0, 0);
    draw_text((width - text_width(text, scale)) * 0.5f + scale, y + scale, scale, text);
    glColor3f(1, 1, 1);
    draw_text((width - text_width(text, scale)) * 0.5f, y, scale, text);
}

}  // namespace zv::app
