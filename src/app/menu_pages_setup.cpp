// The setup pages: bike setup, suspension and gearing, stability aids,
// controls, graphics and sound, advanced graphics.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/main_loop.h"
#include "app/menu_pages.h"
#include "core/settings.h"
#include "platform/window.h"
#include "platform/window_mode.h"
#include "render/gl_caps.h"
#include "render/terrain_textures.h"
#include "sim/bike_info.h"
#include "sim/setup.h"

namespace zv::app {

namespace {

std::string format(const char* f, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

// A setup number: a change goes to the local rider's bike.
Widget setup_number(core::NumberSetting& n) { return number_item(n, apply_setup_to_local_bike); }

// A riding-gear choice: activation opens its chooser, "left"/"right" change
// it in place.
Widget gear_item(core::ChoiceSetting& c, const char* title, ChooserCallback chosen = {})
{
    Widget w = choice_item(c);
    if (chosen)
        w.changed = [chosen, &c](Game& g) { chosen(g, c.index); };
    w.action = [&c, title, chosen](Game& g) {
        open_chooser(g, title, c,
                     [&c, chosen](Game& game, int index) {
                         if (index < 0 || index >= c.count())
                             return;
                         c.index = index;
                         if (chosen)
                             chosen(game, index);
                     },
                     k_menu_bike_setup);
    };
    return w;
}

// A new bike: its paint list is rebuilt and the setup applied.
void bike_chosen(Game& g, int)
{
    core::rebuild_bike_texture_list();
    apply_setup_to_local_bike(g);
}

// Fraction t of a 0..100 adjustment, clamped.
float fraction(const core::NumberSetting& n) { return std::clamp(static_cast<float>(n.value) * 0.01f, 0.0f, 1.0f); }

const sim::BikeInfo* current_bike_info() { return sim::find_bike_info(core::settings().bike.current()); }

std::function<std::string()> interpolated(const core::NumberSetting& n, float sim::BikeInfo::*lo,
                                          float sim::BikeInfo::*hi, float (*display)(float), const char* f)
{
    return [&n, lo, hi, display, f] {
        const sim::BikeInfo* info = current_bike_info();
        if (!info)
            return std::string();
        const float t = fraction(n);
        return format(f, display(info->*lo + t * (info->*hi - info->*lo)));
    };
}

std::function<std::string()> teeth(const core::NumberSetting& n, float sim::BikeInfo::*field)
{
    return [&n, field] {
        const sim::BikeInfo* info = current_bike_info();
        return info ? format("%.2f teeth", info->*field + n.value) : std::string();
    };
}

Widget with_detail(Widget w, std::function<std::string()> detail)
{
    w.detail = std::move(detail);
    return w;
}

}  // namespace

Page bike_setup_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_bike_setup;
    p.title = "Bike Setup";
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    p.items.push_back(page_button("Suspension and Gearing", k_menu_suspension));
    p.items.push_back(page_button("Advanced Stability Setup", k_menu_stability));
    p.items.push_back(gear_item(s.bike, "Choose Bike", bike_chosen));
    p.items.push_back(text_item(s.name));
    p.items.push_back(text_item(s.number));
    p.items.push_back(gear_item(s.rider_texture, "Choose Riding Gear"));
    p.items.push_back(gear_item(s.head_texture, "Choose Helmet"));
    p.items.push_back(gear_item(s.bike_texture, "Choose Bike Graphics"));
    p.items.push_back(gear_item(s.wheel_texture, "Choose Wheel Graphics"));

    // Stability: a new whole number re-applies the preset of riding aids.
    Widget stability = number_item(s.stability);
    stability.changed = [last = std::floor(s.stability.value)](Game& g) mutable {
        const double now = std::floor(core::settings().stability.value);
        if (now == last)
            return;
        last = now;
        core::apply_stability(core::settings().stability.value);
        apply_setup_to_local_bike(g);
    };
    stability.key_hook = [](Game& g, const UiInput& in) {
        if (in.key != UiKey::character || in.character != '*')
            return false;
        g.menu_page = k_menu_stability;
        return true;
    };
    p.items.push_back(std::move(stability));

    p.items.push_back(setup_number(s.auto_clutch_rpms));
    p.items.push_back(setup_number(s.brake_torque));
    p.items.push_back(setup_number(s.rear_brake_torque));
    p.items.push_back(setup_number(s.max_dab_speed));
    for (core::ChoiceSetting* c : {&s.arcade, &s.front_brake, &s.rear_brake, &s.stop_wheelies, &s.auto_shift,
                                   &s.auto_dab})
        p.items.push_back(choice_item(*c, apply_aids_to_local_bike));
    p.items.push_back(choice_item(s.sticky_dab));
    p.items.push_back(choice_item(s.auto_align, apply_aids_to_local_bike));
    p.items.push_back(choice_item(s.reverse_steering));
    p.items.push_back(choice_item(s.lean_indicator));
    stack_rows(p);
    return p;
}

Page suspension_page()
{
    core::Settings& s = core::settings();
    using I = sim::BikeInfo;
    Page p;
    p.number = k_menu_suspension;
    p.title = "Suspension and Gearing";
    p.items.push_back(page_button("Back to Bike Setup Menu", k_menu_bike_setup));
    p.items.push_back(setup_number(s.fork_compression_adjustment));
    p.items.push_back(setup_number(s.fork_slow_compression_adjustment));
    p.items.push_back(setup_number(s.fork_rebound_adjustment));
    p.items.push_back(setup_number(s.fork_slow_rebound_adjustment));
    p.items.push_back(with_detail(setup_number(s.fork_spring_rate_adjustment),
                                  interpolated(s.fork_spring_rate_adjustment, &I::fork_spring_min, &I::fork_spring_max,
                                               sim::fork_spring_display_kg_mm, "%.3f kg/mm")));
    p.items.push_back(with_detail(setup_number(s.fork_preload_adjustment),
                                  interpolated(s.fork_preload_adjustment, &I::fork_preload_min, &I::fork_preload_max,
                                               sim::length_display_mm, "%.2f mm")));
    p.items.push_back(with_detail(setup_number(s.fork_oil_level_adjustment),
                                  interpolated(s.fork_oil_level_adjustment, &I::fork_oil_min, &I::fork_oil_max,
                                               sim::length_display_mm, "%.2f mm")));
    p.items.push_back(setup_number(s.shock_compression_adjustment));
    p.items.push_back(setup_number(s.shock_slow_compression_adjustment));
    p.items.push_back(setup_number(s.shock_rebound_adjustment));
    p.items.push_back(setup_number(s.shock_slow_rebound_adjustment));
    p.items.push_back(with_detail(setup_number(s.shock_spring_rate_adjustment),
                                  interpolated(s.shock_spring_rate_adjustment, &I::shock_spring_min,
                                               &I::shock_spring_max, sim::shock_spring_display_kg_mm, "%.2f kg/mm")));
    p.items.push_back(with_detail(setup_number(s.shock_preload_adjustment),
                                  interpolated(s.shock_preload_adjustment, &I::shock_preload_min,
                                               &I::shock_preload_max, sim::length_display_mm, "%.2f mm")));
    p.items.push_back(with_detail(setup_number(s.front_sprocket_adjustment),
                                  teeth(s.front_sprocket_adjustment, &I::countershaft_teeth)));
    p.items.push_back(with_detail(setup_number(s.rear_sprocket_adjustment),
                                  teeth(s.rear_sprocket_adjustment, &I::rear_teeth)));
    p.items.push_back(setup_number(s.rider_yspring));
    p.items.push_back(setup_number(s.rider_ydamping));
    p.items.push_back(setup_number(s.rider_zspring));
    p.items.push_back(setup_number(s.rider_zdamping));
    p.items.push_back(setup_number(s.rider_mass_distribution));
    stack_rows(p);
    return p;
}

Page stability_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_stability;
    p.title = "Advanced Stability Setup";
    p.items.push_back(page_button("Back to Bike Setup Menu", k_menu_bike_setup));
    for (core::NumberSetting* n :
         {&s.leveling, &s.roll_damping, &s.roll_limit_angle, &s.roll_limit_factor, &s.steering_damping,
          &s.steering_strength, &s.max_steering_force, &s.direct_steering, &s.slow_damping_speed,
          &s.slow_damping_factor, &s.land_damping_falloff, &s.land_damping_factor, &s.full_lock_speed,
          &s.restricted_lock_speed, &s.restricted_lock})
        p.items.push_back(setup_number(*n));
    stack_rows(p);
    return p;
}

Page controls_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_controls;
    p.title = "Customize Controls";
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    for (core::Binding* b :
         {&s.throttle_key, &s.front_brake_key, &s.rear_brake_key, &s.left_key, &s.right_key, &s.clutch_key,
          &s.upshift_key, &s.downshift_key, &s.dab_key, &s.back_up_key, &s.lean_forward_key,
          &s.lean_backward_key, &s.pause_key, &s.step_key, &s.rewind_key, &s.skip_key, &s.prev_key,
          &s.next_key, &s.console_key, &s.screenshot_key})
        p.items.push_back(binding_item(*b));
    stack_rows(p);
    return p;
}

// ---- graphics ----

std::string current_settings_line()
{
    const core::GraphicsPreset* preset = core::matching_graphics_preset();
    return std::string("Current Settings: ") + (preset ? preset->name : "Custom");
}

bool shaders_available()
{
    const render::GlCaps& caps = render::gl_caps();
    return caps.vertex_shader && caps.fragment_shader;
}

bool render_method_available(int index) { return render::terrain_method_available(index); }

namespace {

// Switches the window to the chosen video mode.
void switch_video_mode(Game&)
{
    const core::Settings& s = core::settings();
    const int mode = s.video_mode.index;
    if (mode == 1) {
        platform::set_window_mode(s.xres, s.yres, false);
        return;
    }
    const std::vector<core::VideoMode>& sizes = core::video_mode_sizes();
    if (mode > 1 && mode < static_cast<int>(sizes.size()))
        platform::set_window_mode(sizes[static_cast<std::size_t>(mode)].width,
                                  sizes[static_cast<std::size_t>(mode)].height, true);
    else
        platform::set_window_mode(0, 0, true);
}

Widget preset_button(const char* label, std::size_t preset)
{
    return button(label, [preset](Game&) { core::apply_graphics_preset(core::k_graphics_presets[preset]); });
}

}  // namespace

Page graphics_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_graphics;
    p.title = "Graphics/Sound Setup";
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    p.items.push_back(page_button("Advanced Graphics Setup", k_menu_advanced_graphics));
    p.items.push_back(preset_button("Use Compatibility Settings", 0));
    p.items.push_back(preset_button("Use High FPS Settings", 1));
    p.items.push_back(preset_button("Use Normal Settings", 2));
    p.items.push_back(preset_button("Use High Detail Settings", 3));
    p.items.push_back(choice_item(s.video_mode));
    p.items.push_back(button("Switch To Selected Mode Now", switch_video_mode));
    p.items.push_back(choice_item(s.hide_rider));
    p.items.push_back(choice_item(s.rigid_camera));
    for (core::NumberSetting* n : {&s.fov, &s.first_person_height, &s.first_person_angle, &s.third_person_height,
                                   &s.third_person_distance, &s.volume, &s.comp_volume})
        p.items.push_back(number_item(*n));
    stack_rows(p);
    p.notes = [](Game&) {
        const render::GlCaps& caps = render::gl_caps();
        return std::vector<std::string>{
            current_settings_line(),
            "Some settings will not take effect until next restart",
            "Driver info:",
            caps.vendor,
            caps.renderer,
            caps.version,
        };
    };
    return p;
}

Page advanced_graphics_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_advanced_graphics;
    p.title = "Advanced Graphics Setup";
    p.items.push_back(page_button("Back to Graphics/Sound Menu", k_menu_graphics));
    p.items.push_back(number_item(s.ground_detail));
    p.items.push_back(number_item(s.ground_texture_detail));
    p.items.push_back(choice_item(s.ground_texture_dim));
    p.items.push_back(choice_item(s.ground_mipmaps));
    p.items.push_back(choice_item(s.texture_compress));
    p.items.push_back(with_detail(choice_item(s.render_texture), [] {
        return std::string(render_method_available(core::settings().render_texture.index) ? "Available"
                                                                                           : "Not Available");
    }));
    p.items.push_back(with_detail(choice_item(s.use_shader), [] {
        // "No" needs nothing of the driver.
        const bool ok = core::settings().use_shader.index == 0 || shaders_available();
        return std::string(ok ? "Available" : "Not Available");
    }));
    p.items.push_back(number_item(s.model_detail));
    p.items.push_back(number_item(s.model_texture_detail));
    p.items.push_back(number_item(s.roost_density));
    p.items.push_back(choice_item(s.lens_flare));
    p.items.push_back(choice_item(s.reflections));
    stack_rows(p);
    return p;
}

}  // namespace zv::app
