#include "app/loading_screen.h"

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/view.h"
#include "core/loading_status.h"
#include "platform/events.h"
#include "platform/log.h"
#include "platform/window.h"

namespace zv::app {

namespace {

struct DelayRecord {
    double last_time = -1;   // -1: no text shown since the reset
    std::string last_text;
    double longest = 0;
    std::string longest_text;
};

DelayRecord& record()
{
    static DelayRecord r;
    return r;
}

}  // namespace

void note_loading_text(std::string_view text, double now)
{
    DelayRecord& r = record();
    if (r.last_time >= 0 && now - r.last_time > r.longest) {
        r.longest = now - r.last_time;
        r.longest_text = r.last_text;
    }
    r.last_time = now;
    r.last_text.assign(text.substr(0, k_loading_text_chars));
}

void reset_loading_delay()
{
    DelayRecord& r = record();
    r.longest = 0;
    r.longest_text.clear();
    r.last_time = -1;  // the next text starts the clock
}

double max_loading_delay() { return record().longest; }
const std::string& max_loading_delay_text() { return record().longest_text; }

void show_loading(std::string_view text)
{
    text = text.substr(0, k_loading_text_chars);
    // The close request is kept by the window layer, so draining loses nothing.
    while (platform::pop_event()) {
    }
    reset_binding_values();
    game().mouse_button = false;
    if (platform::begin_frame()) {
        int w = 0, h = 0;
        platform::window_size(w, h);
        draw_loading_screen(text, w, h);
        platform::end_frame();
    }
    note_loading_text(text, platform::platform_seconds());
}

void attach_loading_screen()
{
    core::set_loading_status_sink([](std::string_view text) { show_loading(text); });
}

void detach_loading_screen() { core::set_loading_status_sink({}); }

}  // namespace zv::app
