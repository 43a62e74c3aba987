// The setting records, their defaults and the key table.
#include "core/settings.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/bike_names.h"
#include "core/messages.h"

namespace zv::core {

// ---- record operations ----

const char* ChoiceSetting::current() const
{
    if (index < 0 || index >= count())
        return "";
    return choices[static_cast<std::size_t>(index)];
}

int ChoiceSetting::find(std::string_view text) const
{
    for (int i = 0; i < count(); ++i)
        if (text == choices[static_cast<std::size_t>(i)])
            return i;
    return -1;
}

bool ChoiceSetting::parse(std::string_view text)
{
    int i = find(text);
    if (i < 0)
        return false;
    index = i;
    return true;
}

bool NumberSetting::parse(std::string_view text)
{
    double v = 0;
    if (!scan_number(text, v))
        return false;
    set(v);
    return true;
}

void NumberSetting::set(double v)
{
    value = std::clamp(v, minimum, maximum);
}

void TextSetting::set(std::string_view v)
{
    text.assign(v.substr(0, std::min(v.size(), max_length)));
}

namespace {

std::string_view skip_space(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    return text.substr(i);
}

}  // namespace

bool scan_int(std::string_view text, int& out)
{
    text = skip_space(text);
    if (!text.empty() && text[0] == '+' && text.size() > 1 && text[1] != '-')
        text.remove_prefix(1);
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc::result_out_of_range)
        v = (!text.empty() && text[0] == '-') ? LLONG_MIN : LLONG_MAX;
    else if (ec != std::errc())
        return false;
    out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    return true;
}

bool scan_number(std::string_view text, double& out)
{
    text = skip_space(text);
    if (!text.empty() && text[0] == '+' && text.size() > 1 && text[1] != '-')
        text.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v,
                                     std::chars_format::general);
    if (ec != std::errc() || std::isnan(v))
        return false;
    out = v;
    return true;
}

// ---- the instance ----

namespace {

constexpr const char* k_gate_kinds[] = {"Empty", "Human", "Robot", "Robot (2 stroke)",
                                        "Robot (4 stroke)"};

// Gates 18, 19, 21, 22 and 23 hold robots and gate 20 the player.
GateKind default_gate_kind(int gate_number)
{
    switch (gate_number) {
    case 18: case 19: case 21: case 22: case 23: return gate_robot;
    case 20: return gate_human;
    default: return gate_empty;
    }
}

const std::array<std::string, k_gate_count>& gate_labels()
{
    static const auto labels = [] {
        std::array<std::string, k_gate_count> l;
        for (int i = 0; i < k_gate_count; ++i)
            l[static_cast<std::size_t>(i)] = "Gate " + std::to_string(i + 1);
        return l;
    }();
    return labels;
}

std::vector<VideoMode>& video_sizes()
{
    static std::vector<VideoMode> sizes(2);
    return sizes;
}

const char* file_of(const ChoiceSetting& c, const std::vector<const char*>& files)
{
    if (c.index < 0 || static_cast<std::size_t>(c.index) >= files.size())
        return nullptr;
    return files[static_cast<std::size_t>(c.index)];
}

}  // namespace

Settings::Settings()
{
    track = intern("rabbithill");
    for (int i = 0; i < k_gate_count; ++i) {
        ChoiceSetting& gate = slots[static_cast<std::size_t>(i)];
        gate.label = gate_labels()[static_cast<std::size_t>(i)].c_str();
        gate.choices.assign(std::begin(k_gate_kinds), std::end(k_gate_kinds));
        gate.index = default_gate_kind(i + 1);
    }
    bike.label = "Bike";
    for (const BikeModelName& m : k_bike_models)
        bike.choices.push_back(m.name);
    bike.index = 0;
    for (TextSetting& h : server_history)
        h.max_length = k_server_name_length;
    for (Binding* b : {&throttle_key, &front_brake_key, &rear_brake_key, &left_key, &right_key,
                       &clutch_key, &upshift_key, &downshift_key, &dab_key, &back_up_key,
                       &lean_forward_key, &lean_backward_key, &pause_key, &step_key, &rewind_key,
                       &skip_key, &prev_key, &next_key, &console_key, &screenshot_key})
        b->key_name = intern(b->default_key);
}

const char* Settings::rider_texture_file() const { return file_of(rider_texture, rider_texture_files); }
const char* Settings::head_texture_file() const { return file_of(head_texture, head_texture_files); }
const char* Settings::bike_texture_file() const { return file_of(bike_texture, bike_texture_files); }
const char* Settings::wheel_texture_file() const { return file_of(wheel_texture, wheel_texture_files); }

Settings& settings()
{
    static Settings instance;
    return instance;
}

void reset_settings()
{
    Settings& s = settings();
    Settings fresh;
    // The lists built from the data files and the display stay.
    fresh.rider_texture.choices = s.rider_texture.choices;
    fresh.head_texture.choices = s.head_texture.choices;
    fresh.wheel_texture.choices = s.wheel_texture.choices;
    fresh.rider_texture_files = s.rider_texture_files;
    fresh.head_texture_files = s.head_texture_files;
    fresh.wheel_texture_files = s.wheel_texture_files;
    bool same_bike = s.bike.index == fresh.bike.index;
    if (same_bike) {
        fresh.bike_texture.choices = s.bike_texture.choices;
        fresh.bike_texture_files = s.bike_texture_files;
    }
    fresh.video_mode.choices = s.video_mode.choices;
    s = std::move(fresh);
    set_message_line_limit(s.message_lines);  // the list follows its setting
    if (!same_bike)
        rebuild_bike_texture_list();  // paints of the default bike
}

void set_map_scale(double scale)
{
    if (std::isnan(scale))
        return;
    settings().map_scale = static_cast<float>(std::clamp(scale, k_map_scale_min, k_map_scale_max));
}

// ---- the key table ----

namespace {

std::vector<SettingEntry> build_table(Settings& s)
{
    using G = SettingGroup;
    std::vector<SettingEntry> t;
    auto add = [&t](const char* key, SettingRef ref, G group, bool written = true) {
        t.push_back({key, ref, group, written});
    };
    add("xres", &s.xres, G::general);
    add("yres", &s.yres, G::general);
    add("draw_fps", &s.draw_fps, G::general);
    add("draw_time", &s.draw_time, G::general);
    add("draw_ping", &s.draw_ping, G::general);
    add("draw_speed", &s.draw_speed, G::general);
    add("spy", &s.spy, G::general);
    add("track", InternedText{&s.track}, G::general);
    add("record", &s.record, G::general);
    add("skill", &s.skill, G::general);
    add("minutes", &s.minutes, G::general);
    add("laps", &s.laps, G::general);
    static const auto slot_keys = [] {
        std::array<std::string, k_gate_count> k;
        for (int i = 0; i < k_gate_count; ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "slot%02d", i);
            k[static_cast<std::size_t>(i)] = buf;
        }
        return k;
    }();
    for (std::size_t i = 0; i < s.slots.size(); ++i)
        add(slot_keys[i].c_str(), &s.slots[i], G::general);
    add("ghost_fade_distance", &s.ghost_fade_distance, G::general);
    add("time_trial_abort", &s.time_trial_abort, G::general);

    add("bike", &s.bike, G::setup);
    add("name", &s.name, G::setup);
    add("number", &s.number, G::setup);
    add("rider_texture", &s.rider_texture, G::setup);
    add("head_texture", &s.head_texture, G::setup);
    add("bike_texture", &s.bike_texture, G::setup);
    add("wheel_texture", &s.wheel_texture, G::setup);
    add("stability", &s.stability, G::setup);
    add("leveling", &s.leveling, G::setup);
    add("roll_damping", &s.roll_damping, G::setup);
    add("roll_limit_angle", &s.roll_limit_angle, G::setup);
    add("roll_limit_factor", &s.roll_limit_factor, G::setup);
    add("steering_damping", &s.steering_damping, G::setup);
    add("steering_strength", &s.steering_strength, G::setup);
    add("max_steering_force", &s.max_steering_force, G::setup);
    add("direct_steering", &s.direct_steering, G::setup);
    add("slow_damping_speed", &s.slow_damping_speed, G::setup);
    add("slow_damping_factor", &s.slow_damping_factor, G::setup);
    add("land_damping_falloff", &s.land_damping_falloff, G::setup);
    add("land_damping_factor", &s.land_damping_factor, G::setup);
    add("full_lock_speed", &s.full_lock_speed, G::setup);
    add("restricted_lock_speed", &s.restricted_lock_speed, G::setup);
    add("restricted_lock", &s.restricted_lock, G::setup);
    add("arcade", &s.arcade, G::setup);
    add("front_brake", &s.front_brake, G::setup);
    add("rear_brake", &s.rear_brake, G::setup);
    add("stop_wheelies", &s.stop_wheelies, G::setup);
    add("auto_shift", &s.auto_shift, G::setup);
    add("auto_dab", &s.auto_dab, G::setup);
    add("auto_align", &s.auto_align, G::setup);
    add("sticky_dab", &s.sticky_dab, G::setup);
    add("reverse_steering", &s.reverse_steering, G::setup);
    add("lean_indicator", &s.lean_indicator, G::setup);
    add("auto_clutch_rpms", &s.auto_clutch_rpms, G::setup);
    add("brake_torque", &s.brake_torque, G::setup);
    add("rear_brake_torque", &s.rear_brake_torque, G::setup);
    add("max_dab_speed", &s.max_dab_speed, G::setup);
    add("front_sprocket_adjustment", &s.front_sprocket_adjustment, G::setup);
    add("rear_sprocket_adjustment", &s.rear_sprocket_adjustment, G::setup);
    add("fork_compression_adjustment", &s.fork_compression_adjustment, G::setup);
    add("fork_slow_compression_adjustment", &s.fork_slow_compression_adjustment, G::setup);
    add("fork_rebound_adjustment", &s.fork_rebound_adjustment, G::setup);
    add("fork_slow_rebound_adjustment", &s.fork_slow_rebound_adjustment, G::setup);
    add("fork_spring_rate_adjustment", &s.fork_spring_rate_adjustment, G::setup);
    add("fork_preload_adjustment", &s.fork_preload_adjustment, G::setup);
    add("fork_oil_level_adjustment", &s.fork_oil_level_adjustment, G::setup);
    add("shock_compression_adjustment", &s.shock_compression_adjustment, G::setup);
    add("shock_slow_compression_adjustment", &s.shock_slow_compression_adjustment, G::setup);
    add("shock_rebound_adjustment", &s.shock_rebound_adjustment, G::setup);
    add("shock_slow_rebound_adjustment", &s.shock_slow_rebound_adjustment, G::setup);
    add("shock_spring_rate_adjustment", &s.shock_spring_rate_adjustment, G::setup);
    add("shock_preload_adjustment", &s.shock_preload_adjustment, G::setup);
    add("rider_yspring", &s.rider_yspring, G::setup);
    add("rider_ydamping", &s.rider_ydamping, G::setup);
    add("rider_zspring", &s.rider_zspring, G::setup);
    add("rider_zdamping", &s.rider_zdamping, G::setup);
    add("rider_mass_distribution", &s.rider_mass_distribution, G::setup);

    add("video_mode", &s.video_mode, G::general);
    add("server_name", &s.server_name, G::general);
    static const auto history_keys = [] {
        std::array<std::string, k_server_history_size> k;
        for (int i = 0; i < k_server_history_size; ++i) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "server_name_hist%02d", i);
            k[static_cast<std::size_t>(i)] = buf;
        }
        return k;
    }();
    for (std::size_t i = 0; i < s.server_history.size(); ++i)
        add(history_keys[i].c_str(), &s.server_history[i], G::general);
    add("ground_detail", &s.ground_detail, G::general);
    add("ground_texture_detail", &s.ground_texture_detail, G::general);
    add("ground_texture_dim", &s.ground_texture_dim, G::general);
    add("ground_mipmaps", &s.ground_mipmaps, G::general);
    add("texture_compress", &s.texture_compress, G::general);
    add("render_texture", &s.render_texture, G::general);
    add("use_shader", &s.use_shader, G::general);
    add("roost_density", &s.roost_density, G::general);
    add("lens_flare", &s.lens_flare, G::general);
    add("reflections", &s.reflections, G::general);
    add("hide_rider", &s.hide_rider, G::general);
    add("rigid_camera", &s.rigid_camera, G::general);
    add("model_detail", &s.model_detail, G::general);
    add("model_texture_detail", &s.model_texture_detail, G::general);
    add("fov", &s.fov, G::general);
    add("first_person_height", &s.first_person_height, G::general);
    add("first_person_angle", &s.first_person_angle, G::general);
    add("third_person_height", &s.third_person_height, G::general);
    add("third_person_distance", &s.third_person_distance, G::general);
    add("volume", &s.volume, G::general);
    add("comp_volume", &s.comp_volume, G::general);
    add("playback_mode", &s.playback_mode, G::general);
    add("billboard_optimize_lookahead", &s.billboard_optimize_lookahead, G::general);
    add("message_lines", &s.message_lines, G::general);
    add("demo_backups", &s.demo_backups, G::general);
    add("map_scale", &s.map_scale, G::general);

    add("throttle_key", &s.throttle_key, G::binding);
    add("front_brake_key", &s.front_brake_key, G::binding);
    add("rear_brake_key", &s.rear_brake_key, G::binding);
    add("left_key", &s.left_key, G::binding);
    add("right_key", &s.right_key, G::binding);
    add("clutch_key", &s.clutch_key, G::binding);
    add("upshift_key", &s.upshift_key, G::binding);
    add("downshift_key", &s.downshift_key, G::binding);
    add("dab_key", &s.dab_key, G::binding);
    add("back_up_key", &s.back_up_key, G::binding);
    add("lean_forward_key", &s.lean_forward_key, G::binding);
    add("lean_backward_key", &s.lean_backward_key, G::binding);
    add("pause_key", &s.pause_key, G::binding);
    add("step_key", &s.step_key, G::binding);
    add("rewind_key", &s.rewind_key, G::binding);
    add("skip_key", &s.skip_key, G::binding);
    add("prev_key", &s.prev_key, G::binding);
    add("next_key", &s.next_key, G::binding);
    add("console_key", &s.console_key, G::binding);
    add("screenshot_key", &s.screenshot_key, G::binding);

    // Read for files of older versions, never written.
    add("use_fbo", &s.use_fbo, G::general, false);
    add("ground_texture_distance", std::monostate{}, G::general, false);
    return t;
}

}  // namespace

std::span<const SettingEntry> setting_table()
{
    static const std::vector<SettingEntry> table = build_table(settings());
    return table;
}

const SettingEntry* find_setting(std::string_view key)
{
    for (const SettingEntry& e : setting_table())
        if (key == e.key)
            return &e;
    return nullptr;
}

const std::array<ControlBinding, 12> k_control_bindings = {{
    {&Settings::left_key, 0, +1.0f},
    {&Settings::right_key, 0, -1.0f},
    {&Settings::throttle_key, 1, +1.0f},
    {&Settings::front_brake_key, 2, +1.0f},
    {&Settings::rear_brake_key, 3, +1.0f},
    {&Settings::upshift_key, 4, +1.0f},
    {&Settings::downshift_key, 4, -1.0f},
    {&Settings::clutch_key, 5, +1.0f},
    {&Settings::dab_key, 6, +1.0f},
    {&Settings::back_up_key, 7, +1.0f},
    {&Settings::lean_forward_key, 8, -1.0f},
    {&Settings::lean_backward_key, 8, +1.0f},
}};

// ---- video modes ----

void set_video_modes(std::span<const VideoMode> fullscreen_modes)
{
    ChoiceSetting& vm = settings().video_mode;
    std::vector<VideoMode>& sizes = video_sizes();
    vm.choices = {"Default Fullscreen", "Windowed"};
    sizes.assign(2, VideoMode{});
    for (const VideoMode& m : fullscreen_modes) {
        if (m.depth != fullscreen_modes.front().depth || m.width <= 0 || m.height <= 0)
            continue;
        bool seen = std::any_of(sizes.begin() + 2, sizes.end(), [&m](const VideoMode& o) {
            return o.width == m.width && o.height == m.height;
        });
        if (seen)
            continue;
        char text[32];
        std::snprintf(text, sizeof text, "%dx%d", m.width, m.height);
        vm.choices.push_back(intern(text));
        sizes.push_back(m);
    }
    vm.index = 0;
}

const std::vector<VideoMode>& video_mode_sizes()
{
    return video_sizes();
}

// ---- server history ----

void push_server_history(std::string_view name)
{
    Settings& s = settings();
    s.server_name.set(name);
    const std::string& stored = s.server_name.text;
    if (!stored.empty() && stored != s.server_history[0].text) {
        for (std::size_t i = s.server_history.size() - 1; i > 0; --i)
            s.server_history[i].text = std::move(s.server_history[i - 1].text);
        s.server_history[0].text = stored;
    }
    s.server_history_selected = -1;
}

}  // namespace zv::core
