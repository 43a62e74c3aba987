#include "app/world_view.h"
#include "app/multiplayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "app/camera_keys.h"
#include "app/chat_line.h"
#include "app/console.h"
#include "app/graphics_values.h"
#include "app/hud.h"
#include "app/rider_drawing.h"
#include "race/riders.h"
#include "app/startup_flags.h"
#include "race/time_trial.h"
#include "core/settings.h"
#include "render/camera.h"
#include "render/render_stats.h"
#include "render/renderer.h"
#include "render/terrain_draw.h"
#include "render/terrain_textures.h"
#include "render/textures.h"
#include "render/world.h"
#include "sim/bike.h"
#include "track/race_rules.h"
#include "track/scenery_cameras.h"
#include "track/scenery_flaggers.h"
#include "track/scenery_lighting.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::app {

using race::rider_slot;
using race::RiderSlot;
using race::k_rider_slot_count;
using race::physics_world;
using race::trial_record;

namespace {

constexpr int k_terrain_refresh_budget = 8000;
// Lines of the message list the chat line shows at least, for paging back.
constexpr int k_chat_message_lines = 10;
render::Camera g_view_camera;

render::Vec3f body_point(const sim::Bike& b)
{
    const dReal* p = dBodyGetPosition(b.body(sim::k_frame));
    return {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

// What every layer of the head-up display is told of the frame.
HudFrame hud_frame(const Game& g, int width, int height)
{
    sim::SimWorld* world = physics_world();
    const int tick = world ? world->tick : 0;
    HudFrame hud;
    hud.width = width;
    hud.height = height;
    hud.tick = tick;
    hud.viewed_slot = g.viewed;
    hud.bike = rider_slot(g.viewed).bike.get();
    hud.time_trial = g.time_trial;
    hud.trial_last_ticks = trial_record().last_ticks;
    hud.trial_best_ticks = trial_record().best_ticks;
    if (g.time_trial && trial_record().attempt_start >= 0)
        hud.trial_lap_ticks = std::max(0, tick - trial_record().attempt_start);
    hud.title = track::current_track_long_name();
    hud.connected = g.connected;
    hud.has_place = multiplayer_has_place();
    hud.ping_ticks = multiplayer_ping_ticks();
    hud.offset_ticks = multiplayer_offset_ticks();
    hud.render_stats_level = startup_flags().render_stats_level;
    const render::RenderStats& rs = render::render_stats();
    hud.stats = {{rs.now.ground_polygons, rs.max.ground_polygons}, {rs.now.model_polygons, rs.max.model_polygons},
                 {rs.now.billboards, rs.max.billboards},           {rs.now.decals, rs.max.decals},
                 {rs.now.texture_changes, rs.max.texture_changes}, {rs.now.shader_changes, rs.max.shader_changes}};
    hud.race = g.view != ViewMode::title && track::track_loaded();
    return hud;
}

}  // namespace

void update_flaggers_at(int tick)
{
    const track::TrackTiming& timing = track::track_timing();
    const track::RaceState& race = track::race_state();
    std::vector<track::FlaggerRider> riders;
    for (const track::Standing& st : track::running_standings()) {
        track::FlaggerRider r;
        r.checkpoint = track::checkpoint_at(timing, std::max(0, st.position));
        const RiderSlot& slot = rider_slot(st.slot);
        r.crashed = slot.bike && slot.bike->knocked_off();
        r.finished = race.riders[static_cast<std::size_t>(st.slot)].finished;
        riders.push_back(r);
    }
    track::FlaggerRace f;
    // The flaggers' clock is the tick counter: the starter shows his boards
    // and walks off while the riders wait, well before the gate drops.
    f.tick = tick;
    f.has_timing = timing.has_timing();
    f.leader_position = track::running_standings().empty() ? 0 : track::running_standings().front().position;
    f.first_lap_length = timing.first_count();
    f.normal_lap_length = timing.normal_count();
    f.race_laps = race.race_laps;
    f.halfway_lap = race.halfway_lap;
    f.riders = riders;
    track::update_flaggers(f);
}

void init_world_view()
{
    const core::Settings& s = core::settings();
    render::RendererOptions o;
    o.use_shaders = s.use_shader.index == 1;
    o.vertex_arrays = !startup_flags().no_vertex_arrays;
    o.print_orientation = startup_flags().print_orientation;
    // The detail values of start-up, which the command line may have replaced.
    const GraphicsValues& gv = graphics_values();
    o.model_texture_bias = gv.model_texture_bias;
    o.lod_scale = gv.lod_scale;
    o.lod_bias = gv.lod_bias;
    o.ground_detail_factor = gv.ground_detail_factor;
    o.detail_distance = gv.detail_distance.value_or(0.0f);
    o.fade_distance = gv.fade_distance.value_or(0.0f);
    render::init_renderer(o);
    track::set_terrain_texture_method(render::terrain_texture_method(s.render_texture.index),
                                      32 << s.ground_texture_dim.index);
    // "--ground-texture-detail" may have replaced the setting's level bias.
    render::set_ground_texture_level_bias(graphics_values().ground_texture_bias);
    load_hud_pictures();
}

void shutdown_world_view()
{
    release_hud_pictures();
    render::shutdown_renderer();
}

void begin_track_view() { render::begin_track_load(); }
void end_track_view() { render::end_track_load(); }
std::size_t texture_memory_used() { return render::texture_memory(); }

const render::Camera& view_camera() { return g_view_camera; }

void refresh_world_view() { render::refresh_terrain(track::loaded_terrain(), k_terrain_refresh_budget); }

void draw_world_view(Game& g, int width, int height)
{
    const track::Lighting& light = track::lighting();
    render::set_clip_planes(light.near_plane, light.far_plane);
    render::set_projection(width, height, static_cast<float>(core::settings().fov.value));
    sim::SimWorld* world = physics_world();
    int tick = world ? world->tick : 0;
    render::WorldFrame frame;
    frame.tick = tick;
    frame.race_time = (tick - track::race_state().start_tick) / 128.0;
    frame.viewed_slot = g.viewed;
    fill_frame_riders(g, rider_drawing(), frame);
    frame.update_scenery = [tick] { update_flaggers_at(tick); };
    const sim::Bike* viewed = rider_slot(g.viewed).bike.get();
    const StartupValues* values = g.values;
    bool keyframed = false;  // the keyframe camera, not a track camera, drew
    switch (g.view) {
    case ViewMode::rider:
        if (viewed)
            g_view_camera = render::rider_camera(*viewed, frame);
        break;
    case ViewMode::chase:
        if (viewed) {
            render::Vec3f centre = values ? values->chase_center : render::Vec3f{0, 2.52f, 0.52f};
            render::ChasePoints c =
                render::chase_points(*viewed, centre, static_cast<float>(core::settings().third_person_height.value),
                                     static_cast<float>(core::settings().third_person_distance.value));
            // The console's free camera sits where the chase camera is; once
            // aimed it looks its own way.
            FreeCamera& free = free_camera();
            free.position = c.eye;
            if (free.aimed) {
                g_view_camera = render::Camera{c.eye, free_camera_rows(free), {}};
                render::draw_world(g_view_camera, frame);
            } else {
                g_view_camera = render::look_at_camera(c.eye, c.target, frame);
            }
        }
        break;
    default: {
        if (keyframe_camera_on()) {
            if (std::optional<CameraPose> pose = keyframe_camera_pose(tick)) {
                render::set_projection(width, height, pose->fov);
                g_view_camera = pose_camera(*pose);
                render::draw_world(g_view_camera, frame);
                keyframed = true;
                break;
            }
        }
        // Track cameras: the digit-key choice, else the camera of the viewed
        // rider's checkpoint, else the first.
        auto cams = track::cameras();
        int index = g.track_camera;
        if (index < 0 && viewed)
            index = track::camera_for_checkpoint(
                track::checkpoint_at(track::track_timing(), std::max(0, track::rider_position(g.viewed))));
        if (index < 0 || index >= static_cast<int>(cams.size()))
            index = cams.empty() ? -1 : 0;
        render::Vec3f target = viewed ? body_point(*viewed) : render::Vec3f{0, 0, 0};
        render::Vec3f from = index >= 0 ? render::Vec3f{cams[static_cast<std::size_t>(index)].x,
                                                        cams[static_cast<std::size_t>(index)].y,
                                                        cams[static_cast<std::size_t>(index)].z}
                                        : render::Vec3f{target[0], target[1] + 30, target[2] + 30};
        g_view_camera = render::look_at_camera(from, target, frame);
        break;
    }
    }
    HudFrame hud = hud_frame(g, width, height);
    if (g.view == ViewMode::track_camera) {
        // The broadcast ticker belongs to a camera picked with a digit key;
        // the local rider's unsent chat line shows over any track camera.
        hud.ticker = g.track_camera >= 0 && !keyframed;
        if (viewed_is_local(g))
            hud.pending_text = chat_state().line.text;
        draw_track_camera_overlay(hud);
    }
    if (g.view == ViewMode::rider && !(values && values->hide_hud))
        draw_rider_overlay(hud);
}

void draw_info_layer_for(const Game& g, int width, int height, double longest_frame)
{
    HudFrame hud = hud_frame(g, width, height);
    hud.longest_frame = longest_frame;
    // The open chat line pages back through older message lines.
    if (g.menu_page == k_menu_chat) {
        hud.message_scroll = message_scroll();
        hud.min_message_lines = k_chat_message_lines;
    }
    draw_info_layer(hud);
}

}  // namespace zv::app
