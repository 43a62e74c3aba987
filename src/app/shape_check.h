// The generic physics shapes check: whether this installation rides on the
// stock shapes of the release. The race-server client reports the result.
#pragma once

#include <string>
#include <string_view>

namespace zv::app {

// RIPEMD-160, as 40 lower-case hexadecimal digits, over the contents of the
// seven generic shape files in order; a file that cannot be opened adds nothing.
std::string generic_shape_digest();

// True when `hex` equals one of the release's stored shape digests.
bool is_stock_shape_digest(std::string_view hex);

// Runs the check once (start-up) and keeps the result.
bool check_generic_shapes();
bool generic_shapes_are_stock();

}  // namespace zv::app
