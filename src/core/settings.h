// The setting records: every user-adjustable value of the game with its menu
// label, default and limits. The configuration file, the menus, the command
// line and the console all work on the one process-wide `Settings` instance.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zv::core {

// A list of choice texts with the selected position. Its file value is the
// text of the current choice.
struct ChoiceSetting {
    const char* label = "";
    std::vector<const char*> choices;  // static or interned texts
    int index = 0;

    int count() const { return static_cast<int>(choices.size()); }
    // The selected text ("" when the list is empty or the index is off it).
    const char* current() const;
    // Position of the exact (case-sensitive) text, or -1.
    int find(std::string_view text) const;
    // Selects the exact text; false (and unchanged) when no choice matches.
    bool parse(std::string_view text);
    bool is(std::string_view text) const { return current() == text; }
};

// A number with its menu step and limits. Its file value is printed "%f".
struct NumberSetting {
    const char* label = "";
    double value = 0;
    double step = 1;
    double minimum = 0;
    double maximum = 0;

    // Scans the text with "%f"; false (and unchanged) when that fails,
    // otherwise stores the number clamped to [minimum, maximum].
    bool parse(std::string_view text);
    void set(double v);  // clamped
};

// A text of at most max_length characters.
struct TextSetting {
    const char* label = "";
    std::size_t max_length = 0;
    std::string text;

    void set(std::string_view value);  // cut to max_length
};

// A control binding: a key or an axis of the platform's input layer.
struct Binding {
    const char* label = "";
    const char* default_key = nullptr;
    const char* key_name = nullptr;   // interned, or none
    const char* axis_name = nullptr;  // interned, or none
    float low = 0.0f;                 // axis range
    float high = 1.0f;
    // Run-time state, owned by whoever binds the inputs.
    std::intptr_t handle = -1;        // -1: not bound to a device
    float value = 0.0f;               // 0..1

    bool bound() const { return key_name || axis_name; }
};

inline constexpr int k_gate_count = 40;
inline constexpr int k_server_history_size = 16;
inline constexpr std::size_t k_server_name_length = 127;
inline constexpr const char* k_default_server = "race.zarvox.org";

// Gate kinds of the slotNN choices, in choice order.
enum GateKind { gate_empty = 0, gate_human, gate_robot, gate_robot_2stroke, gate_robot_4stroke };

struct Settings {
    Settings();

    // ---- general (plain values) ----
    int xres = 640;
    int yres = 480;
    int draw_fps = 0;
    int draw_time = 0;
    int draw_ping = 1;
    int draw_speed = 0;
    int spy = 0;
    const char* track = nullptr;  // interned track folder, "rabbithill" by default
    int billboard_optimize_lookahead = 8;
    int message_lines = 5;
    int demo_backups = 0;
    float map_scale = 1.0f;

    // ---- race ----
    ChoiceSetting record{"Record Demo", {"No", "Yes"}, 0};
    ChoiceSetting skill{"Robot Skill", {"Novice", "Amateur", "Expert"}, 0};
    NumberSetting minutes{"Minutes", 0, 1, 0, 60};
    NumberSetting laps{"Laps", 5, 1, 0, 50};
    std::array<ChoiceSetting, k_gate_count> slots;  // "Gate 1".. "Gate 40"
    NumberSetting ghost_fade_distance{"Ghost Fade Distance", 10, 1, 0, 40};
    ChoiceSetting time_trial_abort{"Backing Up Aborts Attempt", {"No", "Yes"}, 1};

    // ---- rider setup ----
    ChoiceSetting bike;  // "Bike": the 68 model names
    TextSetting name{"Name", 63, "Joe Motocross"};
    TextSetting number{"Number", 3, "999"};
    ChoiceSetting rider_texture{"Riding Gear", {"default"}, 0};
    ChoiceSetting head_texture{"Helmet", {"default"}, 0};
    ChoiceSetting bike_texture{"Bike Graphics", {"default"}, 0};
    ChoiceSetting wheel_texture{"Wheel Graphics", {"default"}, 0};
    // Files of the riding-gear choices, parallel to the choice lists
    // (entry 0, "default", has none).
    std::vector<const char*> rider_texture_files{nullptr};
    std::vector<const char*> head_texture_files{nullptr};
    std::vector<const char*> bike_texture_files{nullptr};
    std::vector<const char*> wheel_texture_files{nullptr};
    NumberSetting stability{"Stability", 100, 1, 0, 100};
    NumberSetting leveling{"Leveling", 20, 1, 0, 100};
    NumberSetting roll_damping{"Roll Damping", 80, 1, 0, 100};
    NumberSetting roll_limit_angle{"Roll Limit Angle", 35, 1, 0, 180};
    NumberSetting roll_limit_factor{"Roll Limit Factor", 32, 1, 0, 64};
    NumberSetting steering_damping{"Steering Damping", 45, 1, 0, 100};
    NumberSetting steering_strength{"Steering Strength", 75, 1, 0, 100};
    NumberSetting max_steering_force{"Max Steering Force", 400, 5, 0, 1000};
    NumberSetting direct_steering{"Direct Steering", 0, 0.125, 0, 1};
    NumberSetting slow_damping_speed{"Slow Damping Speed", 40, 1, 0, 100};
    NumberSetting slow_damping_factor{"Slow Damping Factor", 2, 0.25, 1, 10};
    NumberSetting land_damping_falloff{"Landing Damping Falloff", 0.25, 0.0625, 0, 0.5};
    NumberSetting land_damping_factor{"Landing Damping Factor", 2, 0.25, 1, 3};
    NumberSetting full_lock_speed{"Full Lock Speed", 10, 1, 1, 100};
    NumberSetting restricted_lock_speed{"Restricted Lock Speed", 50, 1, 1, 100};
    NumberSetting restricted_lock{"Restricted Lock Angle", 5, 0.125, 0, 45};
    ChoiceSetting arcade{"Arcade Physics", {"No", "Yes"}, 1};
    ChoiceSetting front_brake{"Front Brake", {"Normal", "Antilock"}, 1};
    ChoiceSetting rear_brake{"Rear Brake", {"Normal", "Antilock"}, 0};
    ChoiceSetting stop_wheelies{"Stop Wheelies", {"No", "Yes", "Front Only"}, 0};
    ChoiceSetting auto_shift{"Automatic Shifting", {"No", "Yes"}, 1};
    ChoiceSetting auto_dab{"Dab When Stopped", {"No", "Yes"}, 1};
    ChoiceSetting auto_align{"Realign After Fall", {"No", "Yes"}, 1};
    ChoiceSetting sticky_dab{"Sticky Sit/Dab", {"No", "Yes"}, 0};
    ChoiceSetting reverse_steering{"Reversed Steering", {"No", "Yes"}, 1};
    ChoiceSetting lean_indicator{"Lean Indicator", {"No", "Yes"}, 1};
    NumberSetting auto_clutch_rpms{"Auto Clutch RPMs", 5000, 100, 0, 5000};
    NumberSetting brake_torque{"Braking Torque (Front)", 250, 10, 0, 500};
    NumberSetting rear_brake_torque{"Braking Torque (Rear)", 250, 10, 0, 500};
    NumberSetting max_dab_speed{"Max Dab Speed (MPH)", 20, 1, 5, 60};
    NumberSetting front_sprocket_adjustment{"Countershaft Sprocket", 0, 1, -2, 2};
    NumberSetting rear_sprocket_adjustment{"Rear Sprocket", 0, 1, -2, 2};
    NumberSetting fork_compression_adjustment{"Fork High Speed Compression Damping", 50, 1, 0, 100};
    NumberSetting fork_slow_compression_adjustment{"Fork Low Speed Compression Damping", 50, 1, 0, 100};
    NumberSetting fork_rebound_adjustment{"Fork High Speed Rebound Damping", 50, 1, 0, 100};
    NumberSetting fork_slow_rebound_adjustment{"Fork Low Speed Rebound Damping", 50, 1, 0, 100};
    NumberSetting fork_spring_rate_adjustment{"Fork Spring Rate", 50, 1, 0, 100};
    NumberSetting fork_preload_adjustment{"Fork Preload", 50, 1, 0, 100};
    NumberSetting fork_oil_level_adjustment{"Fork Oil Level", 50, 1, 0, 100};
    NumberSetting shock_compression_adjustment{"Shock High Speed Compression Damping", 50, 1, 0, 100};
    NumberSetting shock_slow_compression_adjustment{"Shock Low Speed Compression Damping", 50, 1, 0, 100};
    NumberSetting shock_rebound_adjustment{"Shock High Speed Rebound Damping", 50, 1, 0, 100};
    NumberSetting shock_slow_rebound_adjustment{"Shock Low Speed Rebound Damping", 50, 1, 0, 100};
    NumberSetting shock_spring_rate_adjustment{"Shock Spring Rate", 50, 1, 0, 100};
    NumberSetting shock_preload_adjustment{"Shock Preload", 50, 1, 0, 100};
    NumberSetting rider_yspring{"Rider Vertical Spring", 50, 1, 0, 100};
    NumberSetting rider_ydamping{"Rider Vertical Damping", 50, 1, 0, 100};
    NumberSetting rider_zspring{"Rider Forward Spring", 50, 1, 0, 100};
    NumberSetting rider_zdamping{"Rider Forward Damping", 50, 1, 0, 100};
    NumberSetting rider_mass_distribution{"Rider Mass Distribution", 0.33, 0.01, 0.33, 0.5};

    // ---- video and network ----
    ChoiceSetting video_mode{"Video Mode", {"Default Fullscreen", "Windowed"}, 0};
    TextSetting server_name{"Server", k_server_name_length, k_default_server};
    std::array<TextSetting, k_server_history_size> server_history;  // newest first
    int server_history_selected = -1;  // browsed entry of the "Server" field

    // ---- graphics ----
    NumberSetting ground_detail{"Ground Geometric Detail", 70, 1, 0, 100};
    NumberSetting ground_texture_detail{"Ground Texture Levels", 9, 1, 0, 10};
    ChoiceSetting ground_texture_dim{"Ground Texture Resolution",
        {"32x32", "64x64", "128x128", "256x256", "512x512", "1024x1024"}, 1};
    ChoiceSetting ground_mipmaps{"Enable Ground Mipmaps", {"No", "Yes"}, 1};
    ChoiceSetting texture_compress{"Compress Textures", {"No", "Yes", "Always"}, 0};
    ChoiceSetting use_fbo{"Use Framebuffer Objects", {"No", "Yes"}, 1};  // read, never written
    ChoiceSetting render_texture{"Terrain Rendering Method",
        {"Software", "Hardware/Copy", "Hardware/Direct", "Shaders/Copy", "Shaders/Direct"}, 0};
    ChoiceSetting use_shader{"Use Shader Programs", {"No", "Yes"}, 1};
    NumberSetting model_detail{"Model Geometric Detail", 50, 1, 0, 100};
    NumberSetting model_texture_detail{"Model Texture Detail", 9, 1, 0, 10};
    NumberSetting roost_density{"Roost Density", 1000, 10, 0, 1000};
    ChoiceSetting lens_flare{"Enable Lens Flares", {"No", "Yes"}, 1};
    ChoiceSetting reflections{"Enable Reflections", {"No", "Yes"}, 1};

    // ---- camera and sound ----
    ChoiceSetting hide_rider{"Hide 1st Person Rider", {"No", "Yes"}, 0};
    ChoiceSetting rigid_camera{"Rigid 3rd person camera", {"No", "Yes"}, 0};
    NumberSetting fov{"Field Of View", 110, 1, 10, 170};
    NumberSetting first_person_height{"1st Person Height", 0, 0.03125, 0, 1};
    NumberSetting first_person_angle{"1st Person Angle", 0, 1, 0, 40};
    NumberSetting third_person_height{"3rd Person Height", 5, 1, 0, 20};
    NumberSetting third_person_distance{"3rd Person Distance", 10, 1, 5, 40};
    NumberSetting volume{"Volume", 10, 1, 0, 10};
    NumberSetting comp_volume{"Competitor Volume", 8, 1, 0, 10};
    ChoiceSetting playback_mode{"Playback Mode", {"Playback Only", "Race Against"}, 0};

    // ---- bindings ----
    Binding throttle_key{"Throttle", "x"};
    Binding front_brake_key{"Front Brake", "c"};
    Binding rear_brake_key{"Rear Brake", "v"};
    Binding left_key{"Left", "left"};
    Binding right_key{"Right", "right"};
    Binding clutch_key{"Clutch", "z"};
    Binding upshift_key{"Upshift", "up"};
    Binding downshift_key{"Downshift", "down"};
    Binding dab_key{"Sit/Dab", "right ctrl"};
    Binding back_up_key{"Back up", "b"};
    Binding lean_forward_key{"Lean Forward", "n"};
    Binding lean_backward_key{"Lean Backward", "m"};
    Binding pause_key{"Pause", "pause"};
    Binding step_key{"Step", "."};
    Binding rewind_key{"Rewind", "\\"};
    Binding skip_key{"Skip", "/"};
    Binding prev_key{"Previous Bike", "["};
    Binding next_key{"Next Bike", "]"};
    Binding console_key{"Chat", "t"};
    Binding screenshot_key{"Screenshot", "s"};

    // Files of the current riding-gear choices (nullptr for "default").
    const char* rider_texture_file() const;
    const char* head_texture_file() const;
    const char* bike_texture_file() const;
    const char* wheel_texture_file() const;
};

// Number scanning shared by the settings, the console and the command line.
// scan_int reads like "%d" and scan_number like "%f": leading whitespace is
// skipped and trailing text ignored; false when no number starts the text.
// Integers beyond the int range saturate; scan_number refuses NaN and
// numbers beyond the double range.
bool scan_int(std::string_view text, int& out);
bool scan_number(std::string_view text, double& out);

inline constexpr double k_map_scale_min = 0.125;
inline constexpr double k_map_scale_max = 8.0;
// Sets map_scale clamped to 0.125..8; NaN changes nothing.
void set_map_scale(double scale);

// The process-wide settings, with their defaults from program start.
Settings& settings();
// Puts every setting back to its default. The choice lists built from the
// data files and the video modes are kept (the paint list is rebuilt when
// the bike was not the default one).
void reset_settings();

// ---- the key table: every configuration key in writing order ----

struct InternedText {
    const char** text;
};
// std::monostate marks a key that is recognised and ignored.
using SettingRef = std::variant<std::monostate, int*, float*, InternedText, ChoiceSetting*,
                                NumberSetting*, TextSetting*, Binding*>;

enum class SettingGroup {
    general,  // table of general keys
    setup,    // rider-setup keys, also read and written by setup files
    binding,  // control bindings
};

struct SettingEntry {
    const char* key;
    SettingRef ref;
    SettingGroup group;
    bool written;  // false for keys that are read but never written
};

// Every key the configuration file knows, in writing order; the keys that are
// only read ("use_fbo", "ground_texture_distance") follow at the end. The
// pointers refer to settings().
std::span<const SettingEntry> setting_table();
// The entry of a key (exact comparison), or nullptr.
const SettingEntry* find_setting(std::string_view key);

// ---- the control bindings ----

inline constexpr int k_control_count = 9;  // steering ... lean
struct ControlBinding {
    Binding Settings::*binding;
    int control;   // index into the nine control values
    float sign;
};
// The twelve bindings that feed the rider's control values.
extern const std::array<ControlBinding, 12> k_control_bindings;

// ---- graphics presets ----

struct GraphicsPreset {
    const char* name;  // "Compatibility", "High FPS", "Normal", "High Detail"
    double ground_detail;
    const char* ground_texture_dim;
    const char* ground_mipmaps;
    const char* texture_compress;
    const char* render_texture;
    const char* use_shader;
    double ground_texture_detail;
    double model_detail;
    double model_texture_detail;
    const char* lens_flare;
    const char* reflections;
    double roost_density;
};
// In menu order: Compatibility, High FPS, Normal, High Detail.
extern const std::array<GraphicsPreset, 4> k_graphics_presets;
const GraphicsPreset& compatibility_preset();
void apply_graphics_preset(const GraphicsPreset& preset);
// The preset whose twelve values all equal the current settings, or nullptr
// ("Custom").
const GraphicsPreset* matching_graphics_preset();

// ---- stability preset ----

// Sets the fifteen riding aids from a stability value 0..100 by
// interpolating the preset table. The values are stored without clamping.
void apply_stability(double stability);

// ---- video modes ----

struct VideoMode {
    int width = 0;
    int height = 0;
    int depth = 0;  // colour bits per pixel
};
// Fills the video_mode choices: "Default Fullscreen", "Windowed", then one
// "%dx%d" entry per full-screen mode whose depth equals the first mode's
// (a size listed twice appears once). The selection is reset to 0.
void set_video_modes(std::span<const VideoMode> fullscreen_modes);
// Size of each video_mode choice (entries 0 and 1 are 0 x 0).
const std::vector<VideoMode>& video_mode_sizes();

// ---- riding gear ----

// Builds the "Riding Gear", "Helmet", "Bike Graphics" and "Wheel Graphics"
// choice lists from the data files (the working set) and selects "default".
void build_gear_lists();
// Rebuilds "Bike Graphics" from the current bike's paint prefix and selects
// "default".
void rebuild_bike_texture_list();

// ---- race server history ----

// Stores the name as `server_name` (cut to 127 characters); when it is not
// empty and differs from history entry 0, shifts the history down (entry 15
// is dropped) and makes it entry 0. The browsed history index becomes -1.
void push_server_history(std::string_view name);

}  // namespace zv::core
