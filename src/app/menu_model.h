// The menus' widget model: the items of a page, their screen rectangles, the
// common key and pointer behaviour, and the state of the open page. The
// pages and the drawing build on it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/line_edit.h"
#include "app/menu.h"
#include "app/ui_keys.h"
#include "core/settings.h"

namespace zv::app {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool contains(float x, float y) const { return x >= left && x < right && y >= top && y < bottom; }
};

enum class WidgetKind { button, choice, number, text, binding };

struct Widget {
    WidgetKind kind = WidgetKind::button;
    std::string label;                         // buttons; settings show their record's label
    std::function<std::string()> label_fn;     // a button label that follows the game
    core::ChoiceSetting* choice = nullptr;
    core::NumberSetting* number = nullptr;
    core::TextSetting* text = nullptr;
    core::Binding* binding = nullptr;
    // A button's action; on a choice it replaces "next choice" on activation
    // (the chooser).
    std::function<void(Game&)> action;
    // Runs after the setting changed.
    std::function<void(Game&)> changed;
    // Text beside the value ("0.680 kg/mm").
    std::function<std::string()> detail;
    // Page-specific keys, tried first; true when the key was taken.
    std::function<bool(Game&, const UiInput&)> key_hook;
    // Layout: the column and row the item sits in.
    int column = 0, row = 0;
    // Filled by the layout.
    Rect rect;
    int bar_left = 0, bar_right = 0;  // number settings: the slider bar

    std::string shown_label() const;
};

// A table drawn under the items (standings, riders on the server).
struct MenuTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

struct Page {
    int number = -1;
    std::string title;
    std::vector<Widget> items;
    int columns = 1;
    int first_row = 0;                 // rows left free above the items
    // Lines drawn below the items (refreshed every frame).
    std::function<std::vector<std::string>(Game&)> notes;
    std::function<MenuTable(Game&)> table;
};

// The state of the menus (one process-wide record).
struct MenuState {
    int built_page = -1;     // the page `page` was built for
    Page page;
    int current = 0;         // highlighted item
    // Chooser.
    std::string chooser_title;
    core::ChoiceSetting* chooser_setting = nullptr;
    ChooserCallback chooser_callback;
    int chooser_return = 0;
    int chooser_offset = 0;  // first entry of the list page
    // List pages (playback, series) and the series on the standings page.
    int list_offset = 0;
    int series = -1;
    // Type-ahead of choice settings.
    std::string type_ahead;
    const core::ChoiceSetting* type_ahead_owner = nullptr;
    // Text field being edited.
    LineEdit edit;
    const core::TextSetting* edit_owner = nullptr;
    // Pointer and tick bookkeeping.
    float pointer_x = -1, pointer_y = -1;
    bool pointer_known = false;
    int tick_start_page = -1;
    // A list page turned: the page is built again once the key is done,
    // with this item current (-1: the last one).
    bool rebuild_pending = false;
    int rebuild_current = 0;
    // Layout of the last frame.
    int width = 640, height = 480;
};

MenuState& menu_state();
// Back to the start (tests).
void reset_menu_state();

inline constexpr int k_list_page_size = 20;
inline constexpr int k_slider_reach = 15;        // pixels beside the bar a click still takes
inline constexpr std::size_t k_type_ahead_length = 31;

// Builds the page the game has open when it is not the one built; the
// current item becomes 0 then.
void ensure_page(Game& g);
// Rebuilds the open page (after a list page turned), keeping the current
// item where it can.
void rebuild_page(Game& g);
// Asks for the page to be built again after the key that turned it.
void request_rebuild(Game& g, int current);
// The page builder of a page number (menu_pages*.cpp).
Page build_page(Game& g, int number);

// ---- common behaviour ----

// The choice setting's type-ahead: a printable character is appended and the
// first choice from the current one on whose text contains it
// (case-insensitively) is selected; Tab moves on to the next such choice;
// backspace clears the text. True when the choice changed.
bool choice_type_ahead(MenuState& st, core::ChoiceSetting& c, const UiInput& in);
// Next / previous choice with wrap-around.
void next_choice(core::ChoiceSetting& c);
void previous_choice(core::ChoiceSetting& c);
// The slider rule: x within the rectangle's rows and within 15 pixels of the
// bar sets the value from its place on the bar, rounded to a step and
// clamped. True when the click was taken.
bool slider_click(core::NumberSetting& n, const Widget& w, float x, float y);
double slider_value(const core::NumberSetting& n, int bar_left, int bar_right, float x);
// One step left or right, clamped.
void step_number(core::NumberSetting& n, int direction);

// The index of the item under the pointer, or -1.
int item_at(const Page& p, float x, float y);

// Lays out the page's items for a window size (fills every rect and slider
// bar). The drawing uses the same figures.
struct PageLayout {
    int scale = 2;
    int line_height = 20;
    int top = 0;            // first item row's top
    int left = 0;
    int column_width = 0;
    int notes_top = 0;      // below the last row
};
// `note_lines` is the room kept below the items for notes and a table.
PageLayout layout_page(Page& p, int width, int height, int note_lines = 4);

// The text of a binding as the page shows it ("x", "Joystick1 axis 0", "-").
std::string binding_text(const core::Binding& b);

// Starts capturing a binding (menu_capture.cpp).
void start_capture(Game& g, core::Binding& b);

}  // namespace zv::app
