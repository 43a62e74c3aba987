// The page builders and the actions the pages share (starting races,
// closing a connection, applying the setup to the rider's bike).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/menu_model.h"
#include "app/race_session.h"

namespace zv::app {

// ---- item makers ----
Widget button(std::string label, std::function<void(Game&)> action);
Widget choice_item(core::ChoiceSetting& c, std::function<void(Game&)> changed = {});
Widget number_item(core::NumberSetting& n, std::function<void(Game&)> changed = {});
Widget text_item(core::TextSetting& t);
Widget binding_item(core::Binding& b);
// A button that opens a page.
Widget page_button(std::string label, int page);
// Numbers the rows of the items in order (one column).
void stack_rows(Page& p, int first = 0);

// ---- the pages ----
Page main_page();
Page new_race_page();
Page chooser_page(Game& g);
Page time_trial_page();
Page quit_page();
Page bike_setup_page();
Page suspension_page();
Page stability_page();
Page controls_page();
Page graphics_page();
Page advanced_graphics_page();
Page playback_page();
Page series_list_page();
Page standings_page();
Page multiplayer_page(Game& g);

// ---- actions ----

// The race of the "New Race" page: closes the menu and any connection,
// loads the race with the 40 gates, then turns the line-up for the next one.
void start_race(Game& g);
// A time trial on the selected track (no gate kinds, 1000 laps).
void start_time_trial(Game& g);
// Closes a race-server connection before a local race.
void close_connection(Game& g);
// The gate table of the 40 gate choices (entries 40 ... 159 empty).
race::GateKinds gate_table_from_choices();
// Turns the 40 gates by the line-up rotation: gate i's contents go to gate
// (i + rotation) mod 40.
void rotate_lineup(int rotation);

// The chooser of the "Track" setting.
void choose_track(Game& g, int return_page);
// Applies the rider setup to the viewed rider's bike when it is this
// computer's rider (through the mechanic rule).
void apply_setup_to_local_bike(Game& g);
// Applies the riding aids of the choice settings to the local rider's bike.
void apply_aids_to_local_bike(Game& g);

// The "Current Settings: ..." line of the graphics page.
std::string current_settings_line();
// "Available" / "Not Available" beside the rendering method and shaders.
bool render_method_available(int render_texture_index);
bool shaders_available();

// The list page's entries: list offset of the page holding `index`.
int list_page_of(int index);

}  // namespace zv::app
