// The on-screen message list and interned strings.
#pragma once

#include <string_view>

namespace zv::core {

constexpr int k_message_ring_lines = 1000;
constexpr int k_message_line_chars = 127;

// Logs the text and shows it in the message area for a while.
void show_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
void clear_messages();
// The game clock (seconds) that show_message stamps new lines against, and
// the removal rule the main loop runs once a frame.
void set_message_clock(double seconds);
void expire_messages(double game_clock);
int messages_on_screen();
// The most lines counted on screen at once (the message_lines setting;
// default 5, held within 0 ... 1000).
void set_message_line_limit(int lines);
// Line `back` lines before the newest (0 = newest); "" when none.
const char* message_line(int back);

// Returns the stored string equal to text (case-sensitive), storing a copy on
// first sight. Interned strings live until the process ends.
const char* intern(std::string_view text);

}  // namespace zv::core
