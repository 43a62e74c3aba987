// The rider description text that tells the other clients which bike, skins,
// number and name a rider has: "bike|rider|bike texture|wheel|head", the
// number and the name on three lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "replay/demo_header.h"

namespace zv::net {

// Room for the text in the client information datagram and in a reliable
// message.
inline constexpr std::size_t k_description_datagram_room = 982;
inline constexpr std::size_t k_description_message_room = 465;
inline constexpr std::size_t k_rider_number_chars = 3;

// The full text, or the short form (bike, number, name) when the full one
// does not fit in `room` bytes; the short form is cut to the room as well.
std::string format_rider_description(const replay::DemoRider& rider, std::size_t room);

// The first line split at "|" into the five fields (missing trailing fields
// stay empty), the second line's first three characters as the number, the
// third line as the name.
replay::DemoRider parse_rider_description(std::string_view text);

}  // namespace zv::net
