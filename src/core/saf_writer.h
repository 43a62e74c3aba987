// Writing ".saf" archives: a text directory of "<size> <path>\n" lines ended
// by "-\n", followed by every member's bytes in directory order.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {

struct SafMember {
    std::string path;                 // member path, "/"-separated
    std::vector<std::uint8_t> bytes;  // stored as is (already gzip'd for ".gz" paths)
};

// Longest directory line the archive reader accepts, line feed included.
constexpr std::size_t k_saf_max_line = 1023;

// True when the path can be stored: not empty, no line feed, carriage return,
// NUL or backslash, no empty path segments (the reader collapses runs of "/"), no
// leading or trailing "/", and short enough for its directory line.
bool valid_saf_member_path(std::string_view path, std::uint64_t size);

// The archive's bytes, or nullopt when a member path cannot be stored or two
// members share a path (compared case-insensitively, as lookups are).
std::optional<std::vector<std::uint8_t>> build_saf(std::span<const SafMember> members);

// Builds the archive and writes it to `path` through a temporary file in the
// same folder, so an interrupted write never leaves a damaged archive behind.
bool write_saf(const std::string& path, std::span<const SafMember> members);

}  // namespace zv::core
