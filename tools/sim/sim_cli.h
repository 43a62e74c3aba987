// The command line of zarvox-sim. Each mode lives in its own file and
// registers its options and its run function from a static initialiser:
//
//   static const bool registered = zv::sim_tool::register_mode(
//       {"--info", "print the track's identity", run_info},
//       {{"--track", true, "NAME", "track folder"}});
//
// main() parses the arguments against every registered option and runs the
// one mode whose flag was given.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zv::sim_tool {

struct OptionSpec {
    std::string_view name;      // "--track"
    bool takes_value = false;   // "--track NAME" / "--track=NAME"
    std::string_view value_name;
    std::string_view help;
};

struct Options {
    std::map<std::string, std::string, std::less<>> values;  // flags map to ""
    std::vector<std::string> arguments;                      // non-option words

    bool has(std::string_view name) const { return values.find(name) != values.end(); }
    // The option's value, or fallback when it was not given.
    std::string value(std::string_view name, std::string_view fallback = {}) const;
};

using RunMode = int (*)(const Options& options);

struct Mode {
    std::string_view flag;  // the option that selects the mode, "--info"
    std::string_view help;
    RunMode run = nullptr;
};

// Registers a mode's flag (a plain option) and the options it reads. An
// option registered by several modes must agree on takes_value.
bool register_mode(const Mode& mode, std::initializer_list<OptionSpec> options = {});
// A mode whose flag names what it works on and takes a value ("--demo
// FILE"). Other mode flags given beside it ("--info") are left for it to
// read as what to do with that, rather than run as modes of their own.
bool register_subject_mode(const Mode& mode, std::string_view value_name,
                           std::initializer_list<OptionSpec> options = {});
// Options shared by several modes (a modifier such as "--json").
bool register_options(std::initializer_list<OptionSpec> options);

// Parses argv. False (after a message on standard error) for an unknown
// option or a missing value.
bool parse_command_line(int argc, char** argv, Options& out);
void print_usage(std::FILE* to);
// Runs the one selected mode; usage and 1 when none or several are given.
int run(const Options& options);

// Status of a failed command: usage error or failed run.
constexpr int k_exit_failure = 1;

}  // namespace zv::sim_tool
