// The message ring shown by the head-up display; every message also goes to
// the log.
#include "core/messages.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/log.h"
#include "platform/text_format.h"

namespace zv::core {

namespace {

constexpr double k_first_removal_delay = 2.0;
constexpr double k_next_removal_delay = 5.0;
constexpr int k_default_line_limit = 5;
constexpr const char* k_reset_colour = "\033[0m";

struct MessageRing {
    std::mutex mutex;
    char lines[k_message_ring_lines][k_message_line_chars + 1] = {};
    int newest = -1;     // index of the newest line; -1 before the first
    int stored = 0;      // lines holding a message, at most the ring size
    int on_screen = 0;
    int line_limit = k_default_line_limit;
    double clock = 0.0;
    double next_removal = 0.0;
};

MessageRing& ring()
{
    static MessageRing r;
    return r;
}

// Copies at most k_message_line_chars bytes of text without cutting a UTF-8
// sequence in two.
void store_line(char* line, std::string_view text)
{
    size_t n = std::min(text.size(), static_cast<size_t>(k_message_line_chars));
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(line, text.data(), n);
    line[n] = '\0';
}

}  // namespace

void show_message(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = platform::vformat_text(format, args);
    va_end(args);

    std::string_view body = text;
    if (!body.empty() && body.back() == '\n')
        body.remove_suffix(1);
    // The log gets one whole line; a coloured message resets the colour
    // before its line feed.
    bool coloured = body.find('\033') != std::string_view::npos;
    platform::log_printf("%.*s%s\n", static_cast<int>(body.size()), body.data(),
                         coloured ? k_reset_colour : "");

    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    r.newest = (r.newest + 1) % k_message_ring_lines;
    store_line(r.lines[r.newest], body);
    r.stored = std::min(r.stored + 1, k_message_ring_lines);
    r.on_screen = std::min(r.on_screen + 1, r.line_limit);
    r.next_removal = r.clock + k_first_removal_delay;
}

void clear_messages()
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    r.newest = -1;
    r.stored = 0;
    r.on_screen = 0;
}

void set_message_clock(double seconds)
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    r.clock = seconds;
}

void expire_messages(double game_clock)
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    r.clock = game_clock;
    if (r.on_screen > 0 && game_clock > r.next_removal) {
        --r.on_screen;
        r.next_removal = game_clock + k_next_removal_delay;
    }
}

int messages_on_screen()
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    return r.on_screen;
}

void set_message_line_limit(int lines)
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    r.line_limit = std::clamp(lines, 0, k_message_ring_lines);
    r.on_screen = std::min(r.on_screen, r.line_limit);
}

const char* message_line(int back)
{
    MessageRing& r = ring();
    std::lock_guard lock(r.mutex);
    if (back < 0 || back >= r.stored)
        return "";
    return r.lines[(r.newest - back + k_message_ring_lines) % k_message_ring_lines];
}

}  // namespace zv::core
