#include "net/server_commands.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string>

namespace zv::net {

namespace {

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The text after `word` when the text starts with it and white space or the
// end follows; nullopt otherwise.
bool starts_with_word(std::string_view text, std::string_view word, std::string_view& rest)
{
    if (text.substr(0, word.size()) != word)
        return false;
    if (text.size() > word.size() && !is_blank(text[word.size()]))
        return false;
    rest = text.substr(word.size());
    return true;
}

std::string_view skip_blanks(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    return s;
}

// A number as "%f" reads it (leading blanks skipped).
bool read_double(std::string_view s, double& out)
{
    std::string text(skip_blanks(s));
    if (text.empty())
        return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str())
        return false;
    out = v;
    return true;
}

}  // namespace

std::array<int, k_knockout_entries> parse_knockout_table(std::string_view numbers)
{
    std::array<int, k_knockout_entries> table{};
    int last = 0;
    bool reading = true;
    for (int& entry : table) {
        if (reading) {
            numbers = skip_blanks(numbers);
            const char* first = numbers.data();
            const char* end = first + numbers.size();
            if (first != end && *first == '+')
                ++first;  // "%d" takes a plus sign; from_chars does not
            int v = 0;
            auto [stop, ec] = std::from_chars(first, end, v);
            if (ec == std::errc()) {
                last = v;
                numbers.remove_prefix(static_cast<std::size_t>(stop - numbers.data()));
            } else {
                reading = false;
            }
        }
        entry = last;
    }
    return table;
}

ServerCommand parse_server_command(std::string_view text)
{
    ServerCommand c;
    std::string_view rest;
    if (text == "no_arcade") {
        c.kind = CommandKind::no_arcade;
    } else if (text == "sendready") {
        c.kind = CommandKind::sendready;
    } else if (starts_with_word(text, "senddenied", rest)) {
        c.kind = CommandKind::senddenied;
    } else if (starts_with_word(text, "off_course_bias", rest)) {
        if (read_double(rest, c.value))
            c.kind = CommandKind::off_course_bias;
    } else if (starts_with_word(text, "off_course_scale", rest)) {
        if (read_double(rest, c.value))
            c.kind = CommandKind::off_course_scale;
    } else if (starts_with_word(text, "knockout", rest)) {
        c.kind = CommandKind::knockout;
        c.knockout = parse_knockout_table(rest);
    }
    return c;
}

}  // namespace zv::net
