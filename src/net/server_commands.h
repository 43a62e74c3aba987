// The text commands a race server sends: arcade physics off, the visibility
// parameters, the knockout table, and the answers to a file offer.
#pragma once

#include <array>
#include <string_view>

namespace zv::net {

inline constexpr int k_knockout_entries = 16;

enum class CommandKind {
    unknown,
    no_arcade,
    off_course_bias,
    off_course_scale,
    knockout,
    sendready,
    senddenied,
};

struct ServerCommand {
    CommandKind kind = CommandKind::unknown;
    double value = 0;                                // off_course_bias / off_course_scale
    std::array<int, k_knockout_entries> knockout{};  // knockout
};

// A word matches when white space or the end follows it; "no_arcade" and
// "sendready" must be the whole text. A missing number after
// off_course_bias / off_course_scale leaves the command unknown.
ServerCommand parse_server_command(std::string_view text);

// "knockout" numbers: up to 16 decimal integers fill the table in order;
// from the first one that cannot be read on, every entry takes the last
// value read (0 when none was).
std::array<int, k_knockout_entries> parse_knockout_table(std::string_view numbers);

}  // namespace zv::net
