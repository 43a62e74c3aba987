#include "app/hud.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "race/riders.h"
#include "app/screenshot_png.h"
#include "app/view_font.h"
#include "core/data_file.h"
#include "core/messages.h"
#include "core/settings.h"
#include "render/display_pictures.h"
#include "sim/bike.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "track/track.h"

namespace zv::app {

using race::rider_slots;
using race::RiderSlot;

namespace {

struct Picture {
    render::DisplayPicture which;
    GLuint texture = 0;
};

std::array<Picture, 3> g_pictures = {
    {{render::DisplayPicture::tach}, {render::DisplayPicture::shifter}, {render::DisplayPicture::pit_board}}};
enum { k_tach, k_shifter, k_pitboard };
bool g_graph = false;
constexpr double k_pi = 3.14159265358979323846;

// The texture loader owns the pictures (loaded at start-up, kept for the run).
bool load_picture(Picture& p)
{
    p.texture = render::display_picture(p.which);
    return p.texture != 0;
}

void set_pixels(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// Part of a picture (u0..u1, v0..v1) into a screen rectangle.
void draw_picture(const Picture& p, float x, float y, float w, float h, float u0 = 0, float v0 = 0, float u1 = 1,
                  float v1 = 1)
{
    if (!p.texture)
        return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex2f(x, y);
    glTexCoord2f(u1, v0);
    glVertex2f(x + w, y);
    glTexCoord2f(u1, v1);
    glVertex2f(x + w, y + h);
    glTexCoord2f(u0, v1);
    glVertex2f(x, y + h);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void rect(float x, float y, float w, float h)
{
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y + h);
    glEnd();
}

void text(float x, float y, int scale, const std::string& s) { draw_text(x, y, scale, s); }

int text_scale(int height) { return std::max(1, height / 360); }

void draw_graph(const HudFrame& f)
{
    const SuspensionRings& r = suspension_rings();
    int s = text_scale(f.height);
    float w = f.width * 0.45f, h = f.height * 0.2f;
    auto plot = [&](float x0, const std::array<float, k_suspension_samples>& v, float scale, float cr, float cg, float cb) {
        glColor4f(cr, cg, cb, 1);
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < k_suspension_samples; ++i) {
            int k = (r.newest + 1 + i) % k_suspension_samples;
            float y = std::clamp(v[static_cast<std::size_t>(k)] * scale, -1.0f, 1.0f);
            glVertex2f(x0 + w * i / k_suspension_samples, f.height * 0.25f - y * h * 0.5f);
        }
        glEnd();
    };
    glDisable(GL_TEXTURE_2D);
    plot(f.width * 0.025f, r.fork, 2.0f, 1, 1, 1);
    plot(f.width * 0.025f, r.fork_fast, 0.1f, 0, 1, 0);
    plot(f.width * 0.025f, r.fork_slow, 0.5f, 1, 0, 0);
    plot(f.width * 0.525f, r.swingarm, 2.0f, 1, 1, 1);
    plot(f.width * 0.525f, r.shock_fast, 0.2f, 0, 1, 0);
    plot(f.width * 0.525f, r.shock_slow, 1.0f, 1, 0, 0);
    float y = f.height * 0.25f + h * 0.5f + 4;
    glColor4f(1, 1, 1, 1);
    text(f.width * 0.025f, y, s, " Fork Position");
    glColor4f(0, 1, 0, 1);
    text(f.width * 0.025f, y + 9 * s, s, " Fork Speed (High)");
    glColor4f(1, 0, 0, 1);
    text(f.width * 0.025f, y + 18 * s, s, " Fork Speed (Low)");
    glColor4f(1, 1, 1, 1);
    text(f.width * 0.525f, y, s, " Swingarm Position");
    glColor4f(0, 1, 0, 1);
    text(f.width * 0.525f, y + 9 * s, s, " Shock Speed (High)");
    glColor4f(1, 0, 0, 1);
    text(f.width * 0.525f, y + 18 * s, s, " Shock Speed (Low)");
}

void draw_tachometer(const HudFrame& f)
{
    float size = f.height * 0.3f;
    float x = f.width - size - f.height * 0.03f, y = f.height - size - f.height * 0.03f;
    glColor4f(1, 1, 1, 1);
    draw_picture(g_pictures[k_tach], x, y, size, size);
    double angle = tachometer_angle(sim::engine_rpm(*f.bike)) * k_pi / 180.0;
    float cx = x + size / 2, cy = y + size / 2, len = size * 0.42f;
    // Clockwise from straight up on a screen whose y grows downward.
    float tx = cx + static_cast<float>(std::sin(angle)) * len, ty = cy - static_cast<float>(std::cos(angle)) * len;
    float nx = -(ty - cy) / len * size * 0.012f, ny = (tx - cx) / len * size * 0.012f;
    glColor4f(0.9f, 0.05f, 0.05f, 1);
    glBegin(GL_TRIANGLES);
    glVertex2f(cx + nx, cy + ny);
    glVertex2f(cx - nx, cy - ny);
    glVertex2f(tx, ty);
    glEnd();
    // The gear picture beside the dial.
    const Picture& sh = g_pictures[k_shifter];
    ShifterCell c = shifter_cell(f.bike->controls.gear);
    float g = size * 0.35f;
    glColor4f(1, 1, 1, 1);
    draw_picture(sh, x - g - size * 0.05f, y + size - g, g, g, c.column / 3.0f, c.row / 3.0f, (c.column + 1) / 3.0f,
                 (c.row + 1) / 3.0f);
}

void draw_pit_board(const HudFrame& f)
{
    int slot = f.viewed_slot;
    const auto& standings = track::running_standings();
    int index = -1;
    PitBoardInput in;
    in.number = f.bike->number;
    in.race = !f.time_trial;
    in.gap_seconds = gap_to_rider_ahead(slot, standings, index);
    in.position = std::max(0, index);
    in.lap = track::laps_completed(slot);
    if (f.time_trial) {
        in.last_ticks = f.trial_last_ticks;
        in.best_ticks = f.trial_best_ticks;
    } else {
        int laps = track::laps_completed(slot);
        in.last_ticks = laps > 0 ? track::lap_time_ticks(slot, laps) : 0;
        in.best_ticks = track::best_lap(slot).ticks;
    }
    std::vector<std::string> lines = pit_board_lines(in);
    int s = text_scale(f.height);
    float w = f.height * 0.32f, h = f.height * 0.26f;
    float x = f.height * 0.03f, y = f.height - h - f.height * 0.03f;
    glColor4f(1, 1, 1, 1);
    if (g_pictures[k_pitboard].texture) {
        draw_picture(g_pictures[k_pitboard], x, y, w, h);
    } else {
        glColor4f(0.1f, 0.1f, 0.1f, 0.8f);
        rect(x, y, w, h);
    }
    // Dark writing on the light board (light on the plain dark one).
    bool board = g_pictures[k_pitboard].texture != 0;
    glColor4f(0.75f, 0.05f, 0.05f, 1);
    text(x + w * 0.08f, y + h * 0.08f, 2 * s, lines[0]);
    if (board)
        glColor4f(0.08f, 0.08f, 0.08f, 1);
    else
        glColor4f(1, 1, 1, 1);
    for (std::size_t i = 1; i < lines.size(); ++i)
        text(x + w * 0.08f, y + h * 0.08f + 18 * s + static_cast<float>(i - 1) * 10 * s, s, lines[i]);
    // Riders close ahead at the last timing gate.
    int p = track::rider_position(slot) - 1;
    int mine = p >= 0 ? track::crossing_tick(slot, p) : -1;
    std::string banner;
    if (mine >= 0 && f.tick - mine < 15 * 128)
        for (int i = 0; i < index; ++i) {
            int other = standings[static_cast<std::size_t>(i)].slot;
            int theirs = track::crossing_tick(other, p);
            if (theirs >= 0 && mine - theirs < 3 * 128 && f.tick - theirs < 15 * 128)
                banner += close_rider_text(track::race_state().entries[static_cast<std::size_t>(other)].number,
                                           (mine - theirs) * k_hud_tick);
        }
    if (!banner.empty()) {
        float bw = static_cast<float>(text_width(banner, s)) + 8;
        glColor4f(0, 0, 0, 0.5f);
        rect(x, y - 12 * s, bw, 10 * s);
        glColor4f(1, 1, 1, 1);
        text(x + 4, y - 11 * s, s, banner);
    }
}

void draw_lean(const HudFrame& f)
{
    float lean = rider_lean(*f.bike);
    float cx = f.width * 0.5f, cy = f.height * 0.92f, len = f.height * 0.06f;
    bool warn = std::fabs(lean) > k_lean_warning;
    glColor4f(warn ? 1.0f : 0.2f, warn ? 0.2f : 1.0f, 0.2f, 0.8f);
    float tx = cx + std::sin(lean) * len, ty = cy - std::cos(lean) * len;
    float nx = std::cos(lean) * len * 0.15f, ny = std::sin(lean) * len * 0.15f;
    glBegin(GL_TRIANGLES);
    glVertex2f(cx - nx, cy - ny);
    glVertex2f(cx + nx, cy + ny);
    glVertex2f(tx, ty);
    glEnd();
}

void draw_map(const HudFrame& f)
{
    unsigned map = track::map_texture();
    if (!map)
        return;
    float size = f.height * 0.25f * static_cast<float>(core::settings().map_scale);
    float x = f.width - size - 8, y = 8;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, map);
    glColor4f(1, 1, 1, 0.85f);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(1, 0);
    glVertex2f(x + size, y);
    glTexCoord2f(1, 1);
    glVertex2f(x + size, y + size);
    glTexCoord2f(0, 1);
    glVertex2f(x, y + size);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    float field = track::loaded_terrain().field_size;
    if (!(field > 0))
        return;
    // Every rider as a dot, the viewed one in red.
    for (const RiderSlot& r : rider_slots()) {
        if (!r.bike)
            continue;
        const dReal* p = dBodyGetPosition(r.bike->body(sim::k_frame));
        bool viewed = r.bike.get() == f.bike;
        glColor4f(viewed ? 1.0f : 1.0f, viewed ? 0.2f : 1.0f, viewed ? 0.2f : 1.0f, 1);
        float px = x + static_cast<float>(p[0]) / field * size, py = y + static_cast<float>(p[2]) / field * size;
        rect(px - 2, py - 2, 5, 5);
    }
}

void draw_banner(const HudFrame& f)
{
    // Timed by the tick counter from the race's loading, not by the race
    // start: the banner greets the rider and is gone long before the gate
    // drops.
    const track::RaceState& race = track::race_state();
    float a = banner_opacity(std::max(0, f.tick) * k_hud_tick);
    if (a <= 0)
        return;
    int s = 2 * text_scale(f.height);
    std::string length = race_length_text(race.extra_laps > 0 ? race.extra_laps : race.race_laps, race.time_limit_ticks);
    glColor4f(1, 1, 1, a);
    text((f.width - text_width(f.title, s)) * 0.5f, f.height * 0.3f, s, f.title);
    text((f.width - text_width(length, s)) * 0.5f, f.height * 0.3f + 10 * s, s, length);
}

void draw_results(const HudFrame& f)
{
    if (!f.race)
        return;
    bool final = track::has_final_standings();
    const auto& list = final ? track::final_standings() : track::running_standings();
    bool any = false;
    for (const track::Standing& st : list)
        any = any || track::race_state().riders[static_cast<std::size_t>(st.slot)].finished;
    if (!any && !final)
        return;
    int s = text_scale(f.height);
    float x = f.width * 0.2f, y = f.height * 0.12f, row = 10.0f * s;
    const float cols[6] = {0, 40, 80, 120, 190, 270};
    glColor4f(1, 1, 1, 1);
    text(x, y, 2 * s, results_title(final));
    y += 20 * s;
    auto header = results_header();
    for (int c = 0; c < 6; ++c)
        text(x + cols[c] * s, y, s, header[static_cast<std::size_t>(c)]);
    y += row;
    int above = -1, shown = 0;
    const track::RaceState& race = track::race_state();
    for (const track::Standing& st : list) {
        if (!final && !race.riders[static_cast<std::size_t>(st.slot)].finished)
            continue;
        ResultInput r;
        r.position = ++shown;
        r.number = race.entries[static_cast<std::size_t>(st.slot)].number;
        r.laps = track::laps_completed(st.slot);
        r.gap_seconds = above >= 0 ? (st.tick - above) * k_hud_tick : 0;
        track::BestLap best = track::best_lap(st.slot);
        r.best_ticks = best.ticks;
        r.best_lap = best.lap;
        above = st.tick;
        if (shown % 2 == 0) {
            glColor4f(0, 0, 0, 0.35f);
            rect(x - 4, y - 1, 330.0f * s, row);
        }
        bool viewed = st.slot == f.viewed_slot;
        glColor4f(viewed ? 1.0f : 0.75f, viewed ? 1.0f : 0.75f, viewed ? 1.0f : 0.75f, 1);
        auto cells = result_row(r);
        for (int c = 0; c < 6; ++c)
            text(x + cols[c] * s, y, s, cells[static_cast<std::size_t>(c)]);
        y += row;
    }
    if (final && !list.empty()) {
        glColor4f(1, 1, 1, 1);
        text(x, y + 4, s, total_race_time_text(list.front().tick - race.start_tick));
        y += row + 4;
        glColor4f(1, 0.2f, 0.2f, 1);
        for (const track::Standing& st : list) {
            int pen = track::cutting_penalty(st.slot);
            if (pen <= 0 && st.laps_deducted <= 0)
                continue;
            text(x, y, s,
                 penalty_text({race.entries[static_cast<std::size_t>(st.slot)].number, st.laps_deducted,
                               st.penalty_ticks * k_hud_tick}));
            y += row;
        }
    }
}

}  // namespace

double gap_to_rider_ahead(int slot, const std::vector<track::Standing>& standings, int& index)
{
    index = -1;
    for (std::size_t i = 0; i < standings.size(); ++i)
        if (standings[i].slot == slot)
            index = static_cast<int>(i);
    if (index <= 0)
        return 0;
    const track::Standing& ahead = standings[static_cast<std::size_t>(index - 1)];
    int p = std::min(track::rider_position(slot), track::rider_position(ahead.slot)) - 1;
    int mine = track::crossing_tick(slot, p), theirs = track::crossing_tick(ahead.slot, p);
    if (p < 0 || mine < 0 || theirs < 0)
        return 0;
    return (mine - theirs) * k_hud_tick;
}

void load_hud_pictures()
{
    for (Picture& p : g_pictures)
        if (!p.texture)
            load_picture(p);
}

void release_hud_pictures()
{
    for (Picture& p : g_pictures)
        p.texture = 0;
}

SuspensionRings& suspension_rings()
{
    static SuspensionRings r;
    return r;
}

void record_suspension_sample(const sim::Bike& bike)
{
    SuspensionRings& r = suspension_rings();
    int k = (r.newest + 1) % k_suspension_samples;
    auto at = static_cast<std::size_t>(k);
    float fork_v = sim::fork_speed(bike);
    static float last_shock = 0;
    float shock = sim::shock_compression(bike);
    float shock_v = (shock - last_shock) * 128.0f;
    last_shock = shock;
    r.fork[at] = sim::fork_position(bike);
    r.fork_fast[at] = fork_v;
    r.fork_slow[at] = std::clamp(fork_v, -1.0f, 1.0f);
    r.swingarm[at] = sim::swingarm_angle(bike);
    r.shock_fast[at] = shock_v;
    r.shock_slow[at] = std::clamp(shock_v, -0.5f, 0.5f);
    r.newest = k;
}

void toggle_suspension_graph() { g_graph = !g_graph; }
bool suspension_graph_shown() { return g_graph; }

float rider_lean(const sim::Bike& bike)
{
    const dReal* p = dBodyGetPosition(bike.body(sim::k_frame));
    const dReal* r = dBodyGetRotation(bike.body(sim::k_frame));
    track::TerrainVec3 n = track::terrain_normal(static_cast<float>(p[0]), static_cast<float>(p[2]));
    float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(len > 0))
        return 0;
    // The frame's x axis (its side) against the ground normal.
    float side = static_cast<float>(r[0] * n.x + r[4] * n.y + r[8] * n.z) / len;
    return -std::asin(std::clamp(side, -1.0f, 1.0f));
}

// A time trial's running lap time, large at the top right, under the map
// when there is one (clear of the message lines at the top left).
static void draw_trial_clock(const HudFrame& f)
{
    const std::string t = lap_time_tenths(f.trial_lap_ticks);
    const int s = 2 * text_scale(f.height);
    const float map = track::map_texture() ? f.height * 0.25f * static_cast<float>(core::settings().map_scale) + 8 : 0;
    const float x = f.width - 12 - static_cast<float>(text_width(t, s));
    const float y = std::min(8 + map, f.height * 0.5f);
    glColor4f(0, 0, 0, 0.6f);
    text(x + 2, y + 2, s, t);
    glColor4f(1, 1, 0.7f, 1);
    text(x, y, s, t);
}

void draw_rider_overlay(const HudFrame& f)
{
    if (!f.bike)
        return;
    load_hud_pictures();
    set_pixels(f.width, f.height);
    if (g_graph)
        draw_graph(f);
    draw_tachometer(f);
    draw_pit_board(f);
    if (f.time_trial && f.trial_lap_ticks >= 0)
        draw_trial_clock(f);
    if (!f.server_text.empty()) {
        int s = text_scale(f.height);
        glColor4f(1, 1, 1, 1);
        text((f.width - text_width(f.server_text, s)) * 0.5f, 4, s, f.server_text);
    }
    if (core::settings().lean_indicator.index == 1)
        draw_lean(f);
    draw_map(f);
    draw_banner(f);
    glColor4f(1, 1, 1, 1);
}

// The newest message lines, oldest at the top, as many as fit.
static void draw_message_lines(const HudFrame& f)
{
    const int scale = std::max(2, text_scale(f.height));
    const int line_height = 10 * scale;
    const int fit = std::max(0, (f.height - 4 * line_height) / line_height);
    const int scroll = std::clamp(f.message_scroll, 0, core::k_message_ring_lines);
    int lines = std::min(std::max(core::messages_on_screen(), f.min_message_lines), fit);
    lines = std::min(lines, core::k_message_ring_lines - scroll);
    glColor4f(1, 1, 1, 1);
    for (int back = lines - 1, row = 0; back >= 0; --back, ++row)
        text(8, 8.0f + static_cast<float>(row * line_height), scale, core::message_line(back + scroll));
}

void draw_info_layer(const HudFrame& f)
{
    set_pixels(f.width, f.height);
    draw_results(f);
    const core::Settings& s = core::settings();
    int sc = text_scale(f.height);
    float x = 8, y = f.height * 0.45f, row = 10.0f * sc;
    glColor4f(1, 1, 1, 1);
    auto line = [&](const std::string& t) {
        text(x, y, sc, t);
        y += row;
    };
    if (s.draw_fps)
        line(fps_text(f.longest_frame));
    if (s.draw_time && f.race)
        line(clock_text((f.tick - track::race_state().start_tick) * k_hud_tick));
    if (s.draw_ping && f.connected && f.has_place)
        line(ping_text(f.ping_ticks, f.offset_ticks));
    if (s.draw_speed && f.bike)
        line(speed_text(sim::bike_speed(*f.bike)));
    if (f.render_stats_level > 0)
        for (const std::string& t : render_stat_lines(f.stats))
            line(t);
    if (f.bike && s.sticky_dab.index == 1 && f.bike->controls.sticky_state)
        line("Dabbing!");
    draw_message_lines(f);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
}

}  // namespace zv::app

namespace zv::app {

namespace {

// Gap (seconds) between a rider and the leader at the last timing gate both
// have passed; 0 until they share one.
double gap_to_leader(int slot, int leader)
{
    int p = std::min(track::rider_position(slot), track::rider_position(leader)) - 1;
    if (p < 0 || slot == leader)
        return 0;
    int mine = track::crossing_tick(slot, p), theirs = track::crossing_tick(leader, p);
    return mine >= 0 && theirs >= 0 ? (mine - theirs) * k_hud_tick : 0;
}

}  // namespace

std::string ticker_text()
{
    const std::vector<track::Standing>& standings = track::running_standings();
    if (standings.empty())
        return {};
    const track::RaceState& race = track::race_state();
    const int leader = standings.front().slot;
    std::string line = ticker_lap_text(track::laps_completed(leader), race.race_laps);
    for (std::size_t i = 0; i < standings.size(); ++i) {
        const int slot = standings[i].slot;
        if (slot < 0 || slot >= track::k_rider_slots)
            continue;
        if (!line.empty())
            line += "    ";
        line += ticker_entry(static_cast<int>(i) + 1, race.entries[static_cast<std::size_t>(slot)].number,
                             gap_to_leader(slot, leader));
    }
    return line;
}

namespace {

// Screen pixels the ticker moves per second of race ticks, at scale 1.
constexpr double k_ticker_speed = 60.0;

void draw_ticker(const HudFrame& f)
{
    const std::string line = ticker_text();
    if (line.empty())
        return;
    const int s = text_scale(f.height);
    // Above the view's name at the bottom left.
    const float band = 12.0f * s, y = static_cast<float>(f.height) - band - 30.0f;
    glColor4f(0, 0, 0, 0.6f);
    rect(0, y, static_cast<float>(f.width), band);
    glColor4f(1, 1, 0.85f, 1);
    const int width = text_width(line, s);
    if (width <= f.width - 16) {
        text(8, y + 2.0f * s, s, line);
        return;
    }
    // Too long for the screen: it runs from right to left, end to start.
    const int period = width + f.width / 3;
    const int shift = static_cast<int>(std::max(0, f.tick) * k_hud_tick * k_ticker_speed * s) % period;
    for (int x : {f.width - shift, f.width - shift - period})
        if (x < f.width && x + width > 0)
            text(static_cast<float>(x), y + 2.0f * s, s, line);
}

}  // namespace

void draw_track_camera_overlay(const HudFrame& f)
{
    if (!f.ticker && f.pending_text.empty())
        return;
    set_pixels(f.width, f.height);
    if (f.ticker)
        draw_ticker(f);
    if (!f.pending_text.empty()) {
        const int s = text_scale(f.height);
        glColor4f(1, 1, 1, 1);
        text((f.width - text_width(f.pending_text, s)) * 0.5f, 4, s, f.pending_text);
    }
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
}

}  // namespace zv::app
