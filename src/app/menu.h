// The menus: full-screen pages drawn over the running scene, one open at a
// time. The main loop draws the open page every frame, sends it every key
// press of a tick while it is open, and the pointer once per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/ui_keys.h"
#include "core/settings.h"

namespace zv::app {

struct Game;

// Page numbers (k_menu_closed, k_menu_main and k_menu_chat live with the
// main loop).
inline constexpr int k_menu_new_race = 1;
inline constexpr int k_menu_chooser = 2;
inline constexpr int k_menu_playback = 3;
inline constexpr int k_menu_series = 4;
inline constexpr int k_menu_standings = 5;
inline constexpr int k_menu_time_trial = 6;
inline constexpr int k_menu_bike_setup = 7;
inline constexpr int k_menu_suspension = 8;
inline constexpr int k_menu_stability = 9;
inline constexpr int k_menu_controls = 10;
inline constexpr int k_menu_graphics = 11;
inline constexpr int k_menu_advanced_graphics = 12;
inline constexpr int k_menu_multiplayer = 13;
inline constexpr int k_menu_quit = 18;

// Draws the open page over the frame (window-pixel coordinates).
void draw_menu(Game& g, int width, int height);

// A key press for the open page. Keys that arrive after a page change in
// the same tick are ignored.
void menu_key(Game& g, const UiInput& in);

// A tick begins: from now on a page change stops the tick's later keys.
void menu_begin_tick(const Game& g);

// The pointer, once per frame: with no button held the item under it is
// highlighted; with the button held a movement drags (a slider follows).
void menu_pointer(Game& g, float x, float y, bool button_held);

using ChooserCallback = std::function<void(Game&, int index)>;
// Opens the chooser list (page 2) on the list page that holds the setting's
// current choice. Choosing entry i returns to `return_page` and runs the
// callback with i.
void open_chooser(Game& g, const char* title, core::ChoiceSetting& setting, ChooserCallback callback,
                  int return_page);

// ---- binding capture (Customize Controls) ----

bool capturing_binding();
// The binding being captured, or nullptr.
const core::Binding* captured_binding();
// A pressed control while capturing: "esc" cancels, typed characters are no
// key presses, the first other key is recorded with the game clock.
void capture_key(std::uint32_t code, double game_clock);
// After the tick's events: binds the axis that moved or the recorded key
// once its wait is over.
void finish_capture_tick(Game& g);
void cancel_capture();

// ---- what the pages hand to parts that are not built yet ----

// The demo chosen on the playback page ("@" + its path), for demo playback.
const std::string& menu_demo_argument();
// The race server the multiplayer page asked to connect to; the race-server
// client takes it (and clears it).
std::optional<std::string>& menu_connect_target();

// With a counted points-series event under way: once the race has its final
// standings the result goes into the series' standings file.
void finish_series_event(Game& g);

}  // namespace zv::app
