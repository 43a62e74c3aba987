// The chat line (menu page 16): a one-line field whose submitted lines are
// console commands when they begin with "/" or "\", chat for the race
// server otherwise, with a history of the lines sent.
#pragma once

#include <string>

#include "app/line_edit.h"
#include "app/ui_keys.h"

namespace zv::app {

struct Game;

inline constexpr std::size_t k_chat_line_length = 119;
inline constexpr int k_chat_history_size = 100;
inline constexpr int k_max_message_scroll = 950;

// A key while the chat page is open (the menu dispatcher sends it).
void chat_key(Game& g, const UiInput& in);
// Draws the prompt "> " and the line with its cursor near the bottom of the
// window (a window-pixel projection is set by the caller).
void draw_chat_line(int width, int height);
// The message list's scroll offset (0 ... 950 lines back).
int message_scroll();
// Runs a submitted line; 1 when the line was used, 0 to keep it for editing.
int run_console_line(Game& g, const std::string& line);

}  // namespace zv::app
