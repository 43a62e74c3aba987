// Digests that identify the game data of this release.
#pragma once

#include <array>
#include <string_view>

namespace zv::core {

// RIPEMD-160 (40 lower-case hexadecimal digits) over the contents of the
// seven generic physics shapes, read in the order of k_generic_shape_files.
// A client whose shapes match one of these rides with stock physics; an
// empty slot never matches.
extern const std::array<std::string_view, 3> k_generic_shape_digests;

inline constexpr std::array<std::string_view, 7> k_generic_shape_files = {
    "@generic_frame.shp",    "@generic_fork_upper.shp", "@generic_fork_lower.shp",
    "@generic_swingarm.shp", "@front_wheel.shp",        "@rear_wheel.shp",
    "@generic_rider.shp",
};

// The reference archive's digest (over its first MiB) is
// k_reference_archive_digest, declared with the data-file functions.

}  // namespace zv::core
