#include "app/engine_sounds.h"
#include "app/multiplayer.h"

#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/console_pipe.h"
#include "app/rider_drawing.h"
#include "race/riders.h"
#include "app/startup.h"
#include "app/world_view.h"
#include "core/settings.h"
#include "platform/audio.h"
#include "platform/log.h"
#include "replay/history.h"
#include "replay/state_record.h"
#include "replay/visibility.h"
#include "sim/bike.h"
#include "sim/drivetrain.h"
#include "sound/engine_sound.h"
#include "track/race_rules.h"

namespace zv::app {

using race::rider_slot;
using race::RiderSlot;
using race::k_rider_local;
using race::k_rider_history;
using race::k_rider_slot_count;
using race::k_no_rider;
using race::physics_world;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
std::unique_ptr<std::FILE, FileCloser> g_record_file;

sim::Vec3 to_sim(const render::Vec3f& v) { return {v[0], v[1], v[2]}; }

// The engine of a rider: a locally simulated one from its bike's engine; a
// replayed one from the record drawn for this tick (its engine speed, and
// the load its recorded throttle gives at that speed), never from the
// engine its bike would simulate.
sound::EngineInput engine_input(int slot, const sim::Bike& bike)
{
    sound::EngineInput in;
    in.rpm = sim::engine_rpm(bike);
    in.torque = sim::bike_engine_torque(bike);
    const sim::SimWorld* world = physics_world();
    if (rider_slot(slot).kind == k_rider_history && world)
        if (std::optional<replay::Pose> pose = replay::pose_for_tick(slot, world->tick)) {
            const replay::DriveState d = replay::decode_drive(pose->record.bytes[replay::k_at_drive]);
            in.rpm = replay::record_engine_rpm(pose->record);
            const float throttle = d.crashed() ? 0.0f : static_cast<float>(d.throttle) / 15.0f;
            in.torque = sim::engine_torque(bike.info, in.rpm / sim::k_rpm_per_rad_s, throttle);
        }
    in.position = sim::body_position(bike.body(sim::k_frame));
    in.velocity = sim::body_linear_vel(bike.body(sim::k_frame));
    return in;
}

}  // namespace

float sound_mode_gain(bool paused, bool editor, bool menu_open, bool viewed_local)
{
    if (paused || editor)
        return 0.0f;
    if (!menu_open)
        return 1.0f;
    return viewed_local ? 0.0f : 0.25f;
}

void open_sound_output(const StartupValues& values)
{
    if (values.audio_record_file) {
        g_record_file.reset(std::fopen(values.audio_record_file->c_str(), "wb"));
        if (!g_record_file)
            platform::log_printf("Can't open '%s' for the audio recording\n", values.audio_record_file->c_str());
        platform::open_readback(k_audio_record_rate, k_audio_record_block);
        return;
    }
    if (!values.no_sound)
        platform::open_audio();
}

void close_sound_output()
{
    sound::free_all_engine_sounds();
    if (platform::audio_is_open())
        platform::close_audio();
    g_record_file.reset();
}

void load_rider_engine_sound(int slot)
{
    const sim::Bike* bike = rider_slot(slot).bike.get();
    if (!bike) {
        sound::load_engine_sound(slot, "", "");
        return;
    }
    sound::load_engine_sound(slot, bike->bike_texture, bike->info.bike_class ? bike->info.bike_class : "");
}

void update_engine_sounds(Game& g)
{
    if (!platform::audio_is_open())
        return;
    const core::Settings& s = core::settings();
    const bool menu_open = g.menu_page != k_menu_closed;
    const float base = sound_mode_gain(g.paused, g.view == ViewMode::editor, menu_open, viewed_is_local(g)) *
                       static_cast<float>(s.volume.value) * 0.1f;
    const float others = base * static_cast<float>(s.comp_volume.value) * 0.1f;

    std::array<replay::SlotDriver, k_rider_slot_count> drivers{};
    const replay::VisibilityContext visibility = visibility_context(g, rider_drawing(), drivers);

    const render::Camera& camera = view_camera();
    sound::Listener listener;
    listener.position = to_sim(camera.position);
    listener.side = {camera.rotation[0], camera.rotation[1], camera.rotation[2]};
    if (const sim::Bike* followed = rider_slot(g.viewed).bike.get())
        listener.velocity = sim::body_linear_vel(followed->body(sim::k_frame));

    auto& pipes = pipe_parameters();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        const sim::Bike* bike = rider_slot(slot).bike.get();
        if (!bike || !sound::engine_sound(slot))
            continue;
        PipeParameters& p = pipes[static_cast<std::size_t>(slot)];
        if (p.changed) {
            sound::set_engine_pipe(slot, sound::Pipe{p.length, p.spread, p.gain, p.first_tap, p.last_tap});
            p.changed = false;
        }
        float gain = slot == g.viewed ? base : others;
        if (replay::is_rider_hidden(slot, visibility))
            gain = 0;
        sound::update_engine_sound(slot, gain, engine_input(slot, *bike), listener);
    }
}

void record_audio_block()
{
    if (!g_record_file)
        return;
    const auto block = platform::mix_readback();
    if (block.empty())
        return;
    // Little-endian 16-bit samples, whatever the machine.
    std::array<unsigned char, 2 * k_audio_record_block> bytes{};
    const std::size_t n = std::min(block.size(), static_cast<std::size_t>(k_audio_record_block));
    for (std::size_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint16_t>(block[i]);
        bytes[2 * i] = static_cast<unsigned char>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), g_record_file.get());
}

}  // namespace zv::app
