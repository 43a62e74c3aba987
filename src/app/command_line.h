// The command line: options, one file argument and "--".
#pragma once

#include <cstdio>
#include <optional>

#include "app/startup_flags.h"

namespace zv::app {

// Parses the arguments after the program name, left to right, into `values`,
// startup_flags(), graphics_values(), the debug level and core::settings().
// Derive the graphics values first: an option always wins over them.
// Returns std::nullopt to go on starting, or the exit status: 1 after an
// error (its message is written to `err`), 0 after "--open-home" (then
// values.open_home is set and the caller opens the home folder before it
// returns 0). A connect target clears the track override.
std::optional<int> parse_command_line(int argc, const char* const* argv, StartupValues& values,
                                      std::FILE* err = stderr);

}  // namespace zv::app
