// The command line: options, one file argument and "--".
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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

// "--help" (or "-h") and "--version" are answered before anything starts, so
// they work without game data and leave no home folder or log behind. The
// arguments are read as the parser reads them (an option's value is never
// taken for an option; "--" ends the options) up to the first argument the
// parser would refuse, which it then reports itself. Returns 0 after writing
// the help or the version line to `out`, std::nullopt otherwise.
std::optional<int> answer_information_request(int argc, const char* const* argv, std::FILE* out = stdout);

// The groups "--help" lists the options in, in this order.
enum class Group { general, race, display, sound, network, debugging };

// One option as the parser knows it, for the help text and its checks.
struct OptionHelp {
    std::string name;
    bool takes_value = false;
    Group group = Group::general;
    std::string value_name;  // empty without a value
    std::string help;
};
std::vector<OptionHelp> command_line_options();

void print_help(std::FILE* out);
void print_version(std::FILE* out);

}  // namespace zv::app
