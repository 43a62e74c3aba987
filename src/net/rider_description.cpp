#include "net/rider_description.h"

#include <array>

namespace zv::net {

namespace {

// The next line of text (without its line feed); text moves past it.
std::string_view next_line(std::string_view& text)
{
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
}

}  // namespace

std::string format_rider_description(const replay::DemoRider& r, std::size_t room)
{
    std::string full = r.bike + "|" + r.rider_texture + "|" + r.bike_texture + "|" + r.wheel_texture + "|" +
                       r.head_texture + "\n" + r.number + "\n" + r.name;
    if (full.size() <= room)
        return full;
    std::string brief = r.bike + "\n" + r.number + "\n" + r.name;
    return brief.substr(0, room);
}

replay::DemoRider parse_rider_description(std::string_view text)
{
    replay::DemoRider r;
    std::string_view first = next_line(text);
    r.description = std::string(first);
    std::array<std::string*, 5> fields{&r.bike, &r.rider_texture, &r.bike_texture, &r.wheel_texture,
                                       &r.head_texture};
    for (std::string* f : fields) {
        std::size_t bar = first.find('|');
        *f = std::string(first.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        first.remove_prefix(bar + 1);
    }
    r.number = std::string(next_line(text).substr(0, k_rider_number_chars));
    r.name = std::string(next_line(text));
    return r;
}

}  // namespace zv::net
