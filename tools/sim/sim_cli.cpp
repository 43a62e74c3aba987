#include "sim_cli.h"

#include <algorithm>
#include <cstdio>

namespace zv::sim_tool {

namespace {

struct Registry {
    std::vector<OptionSpec> options;
    std::vector<Mode> modes;
    std::vector<std::string_view> subjects;  // flags of modes that take a value
};


Registry& registry()
{
    static Registry r;
    return r;
}

bool is_subject(std::string_view flag)
{
    const auto& s = registry().subjects;
    return std::find(s.begin(), s.end(), flag) != s.end();
}

const OptionSpec* find_option(std::string_view name)
{
    for (const OptionSpec& o : registry().options)
        if (o.name == name)
            return &o;
    return nullptr;
}

void add_option(const OptionSpec& spec)
{
    if (!find_option(spec.name))
        registry().options.push_back(spec);
}

}  // namespace

std::string Options::value(std::string_view name, std::string_view fallback) const
{
    auto it = values.find(name);
    return it == values.end() ? std::string(fallback) : it->second;
}

bool register_mode(const Mode& mode, std::initializer_list<OptionSpec> options)
{
    registry().modes.push_back(mode);
    add_option({mode.flag, false, {}, mode.help});
    for (const OptionSpec& o : options)
        add_option(o);
    return true;
}

bool register_subject_mode(const Mode& mode, std::string_view value_name,
                           std::initializer_list<OptionSpec> options)
{
    // Registered with its value first, so the mode's own plain flag is not.
    add_option({mode.flag, true, value_name, mode.help});
    registry().subjects.push_back(mode.flag);
    return register_mode(mode, options);
}

bool register_options(std::initializer_list<OptionSpec> options)
{
    for (const OptionSpec& o : options)
        add_option(o);
    return true;
}

bool parse_command_line(int argc, char** argv, Options& out)
{
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (options_done || arg.size() < 2 || arg.substr(0, 2) != "--") {
            out.arguments.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        std::string_view name = arg;
        std::string_view inline_value;
        bool has_inline = false;
        if (std::size_t eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inline_value = arg.substr(eq + 1);
            has_inline = true;
        }
        const OptionSpec* spec = find_option(name);
        if (!spec) {
            std::fprintf(stderr, "zarvox-sim: unknown option '%.*s'\n", static_cast<int>(name.size()),
                         name.data());
            return false;
        }
        if (!spec->takes_value) {
            if (has_inline) {
                std::fprintf(stderr, "zarvox-sim: option '%.*s' takes no value\n",
                             static_cast<int>(name.size()), name.data());
                return false;
            }
            out.values[std::string(name)] = "";
            continue;
        }
        if (has_inline) {
            out.values[std::string(name)] = std::string(inline_value);
        } else if (i + 1 < argc) {
            out.values[std::string(name)] = argv[++i];
        } else {
            std::fprintf(stderr, "zarvox-sim: option '%.*s' needs a value\n",
                         static_cast<int>(name.size()), name.data());
            return false;
        }
    }
    return true;
}

void print_usage(std::FILE* to)
{
    std::fprintf(to, "usage: zarvox-sim MODE [OPTIONS]\nmodes:\n");
    for (const Mode& m : registry().modes)
        std::fprintf(to, "  %-24.*s %.*s\n", static_cast<int>(m.flag.size()), m.flag.data(),
                     static_cast<int>(m.help.size()), m.help.data());
    std::fprintf(to, "options:\n");
    for (const OptionSpec& o : registry().options) {
        bool is_mode = std::any_of(registry().modes.begin(), registry().modes.end(),
                                   [&](const Mode& m) { return m.flag == o.name; });
        if (is_mode)
            continue;
        std::string left(o.name);
        if (o.takes_value)
            left += " " + std::string(o.value_name.empty() ? "VALUE" : o.value_name);
        std::fprintf(to, "  %-24s %.*s\n", left.c_str(), static_cast<int>(o.help.size()),
                     o.help.data());
    }
}

int run(const Options& options)
{
    // A mode that takes a value leaves the other mode flags to it.
    const bool subject_given = std::any_of(registry().subjects.begin(), registry().subjects.end(),
                                           [&](std::string_view f) { return options.has(f); });
    const Mode* chosen = nullptr;
    for (const Mode& m : registry().modes) {
        if (!options.has(m.flag) || (subject_given && !is_subject(m.flag)))
            continue;
        if (chosen) {
            std::fprintf(stderr, "zarvox-sim: choose one of %.*s and %.*s\n",
                         static_cast<int>(chosen->flag.size()), chosen->flag.data(),
                         static_cast<int>(m.flag.size()), m.flag.data());
            return k_exit_failure;
        }
        chosen = &m;
    }
    if (!chosen) {
        print_usage(stderr);
        return k_exit_failure;
    }
    return chosen->run(options);
}

}  // namespace zv::sim_tool
