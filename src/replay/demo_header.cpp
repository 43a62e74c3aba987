#include "replay/demo_header.h"

#include <array>
#include <cstdio>
#include <utility>

#include "replay/demo_format.h"

namespace zv::replay {

namespace {

constexpr std::size_t k_line_size = 1024;  // 1023 characters and the line feed

struct NameChange {
    const char* old_name;
    const char* new_name;
};
constexpr std::array<NameChange, 4> k_renamed_bikes{{
    {"crf250", "crf250(2008)"},
    {"kx250f", "kx250f(2008)"},
    {"rmz250", "rmz250(2008)"},
    {"yz250f", "yz250f(2008)"},
}};

// One header line without its line feed; nullopt when it has none.
std::optional<std::string> header_line(core::DataFile& file)
{
    std::string line;
    if (!core::read_line(file, line, k_line_size) || line.empty() || line.back() != '\n')
        return std::nullopt;
    line.pop_back();
    return line;
}

std::string one_line(std::string_view text, bool field)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\n' || c == '\r' || (field && c == '|'))
            c = ' ';
    return out;
}

// Splits the description into its five fields; missing ones stay empty.
void split_description(DemoRider& r)
{
    std::array<std::string*, 5> fields{&r.bike, &r.rider_texture, &r.bike_texture, &r.wheel_texture,
                                       &r.head_texture};
    std::size_t field = 0, from = 0;
    const std::string& d = r.description;
    while (field < fields.size()) {
        std::size_t bar = d.find('|', from);
        bool last = field + 1 == fields.size() || bar == std::string::npos;
        *fields[field] = d.substr(from, last ? std::string::npos : bar - from);
        if (last)
            break;
        from = bar + 1;
        ++field;
    }
}

}  // namespace

std::string translate_bike_name(std::string_view name)
{
    for (const NameChange& c : k_renamed_bikes)
        if (name == c.old_name)
            return c.new_name;
    return std::string(name);
}

std::string rider_description(const DemoRider& r)
{
    std::string out = one_line(r.bike, true);
    for (const std::string* f : {&r.rider_texture, &r.bike_texture, &r.wheel_texture, &r.head_texture}) {
        out += '|';
        out += one_line(*f, true);
    }
    return out;
}

std::string format_demo_header(const DemoHeader& h)
{
    char first[96];
    std::snprintf(first, sizeof first, "ZV%02d %d %d %d %d\n", k_demo_version, static_cast<int>(h.riders.size()),
                  h.race_length_ticks, h.laps, h.start_tick);
    std::string out = first;
    out += one_line(h.track, false) + '\n';
    for (const DemoRider& r : h.riders) {
        out += rider_description(r) + '\n';
        out += one_line(r.number, false) + '\n';
        out += one_line(r.name, false) + '\n';
        out += '\n';
    }
    return out;
}

bool write_demo_header(core::DataFile& file, const DemoHeader& header)
{
    return core::write_text(file, format_demo_header(header));
}

std::optional<DemoHeader> read_demo_header(core::DataFile& file)
{
    std::optional<std::string> first = header_line(file);
    if (!first)
        return std::nullopt;
    DemoHeader h;
    int riders = 0;
    int numbers = std::sscanf(first->c_str(), "ZV%d %d %d %d %d", &h.version, &riders, &h.race_length_ticks,
                              &h.laps, &h.start_tick);
    if (numbers < 3 || h.version < k_oldest_demo_version || h.version > k_demo_version)
        return std::nullopt;
    if (numbers < 4)
        h.laps = k_demo_default_laps;
    if (numbers < 5)
        h.start_tick = k_demo_default_start_tick;
    if (riders < 0 || riders > k_demo_max_riders)
        return std::nullopt;

    std::optional<std::string> track = header_line(file);
    if (!track)
        return std::nullopt;
    h.track = std::move(*track);

    h.riders.resize(static_cast<std::size_t>(riders));
    for (DemoRider& r : h.riders) {
        std::optional<std::string> description = header_line(file);
        std::optional<std::string> number = description ? header_line(file) : std::nullopt;
        if (!number)
            return std::nullopt;
        r.description = std::move(*description);
        split_description(r);
        r.bike = translate_bike_name(r.bike);
        r.number = number->substr(0, k_demo_number_chars);
        if (h.version >= 6) {
            std::optional<std::string> name = header_line(file);
            if (!name || !header_line(file))
                return std::nullopt;
            r.name = std::move(*name);
        }
    }
    return h;
}

}  // namespace zv::replay
