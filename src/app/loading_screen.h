// The loading screen: the title picture with a status text, and the record
// of the longest wait between two texts.
#pragma once

#include <string>
#include <string_view>

namespace zv::app {

inline constexpr std::size_t k_loading_text_chars = 79;

// Drains the pending input events, lets go of every binding and the mouse
// button, and draws the title picture with the text (when a window can be
// drawn). Notes the time since the previous call for the delay record.
void show_loading(std::string_view text);

// The record of the longest time between two loading texts and the text that
// was showing during it.
void reset_loading_delay();
double max_loading_delay();
const std::string& max_loading_delay_text();
// The same bookkeeping against a given time (seconds), for tests.
void note_loading_text(std::string_view text, double now);

// Routes the loading stages of the other modules (core/loading_status.h) to
// this screen, and back off.
void attach_loading_screen();
void detach_loading_screen();

}  // namespace zv::app
