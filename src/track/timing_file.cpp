#include "track/timing_file.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/messages.h"
#include "platform/log.h"
#include "platform/text_format.h"

namespace zv::track {

namespace {

constexpr std::size_t k_token_chars = 80;     // the section keywords
constexpr std::size_t k_line_chars = 1023;    // a starting-gate line
constexpr std::size_t k_name_chars = 1023;    // a gate object's file name
constexpr float k_gate_object_offset = 3.0f;  // the gate stands this far in front

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads the text the way the scanf patterns of the format do: every
// conversion skips white space, consumes what it matched and stops where the
// match failed, so the next read starts there.
class Cursor {
public:
    explicit Cursor(std::string_view text) : s_(text) {}

    void skip_space()
    {
        while (i_ < s_.size() && is_space(s_[i_]))
            ++i_;
    }

    bool literal(char c)
    {
        skip_space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }

    // A decimal number. Infinities and NaNs are refused: no place or size on a
    // track is infinite.
    bool read_float(float& out)
    {
        skip_space();
        std::size_t j = i_;
        if (j < s_.size() && s_[j] == '+') {
            ++j;
            if (j < s_.size() && s_[j] == '-')
                return false;
        }
        float v = 0;
        auto [end, ec] = std::from_chars(s_.data() + j, s_.data() + s_.size(), v,
                                         std::chars_format::general);
        if (ec != std::errc() || !std::isfinite(v))
            return false;
        i_ = static_cast<std::size_t>(end - s_.data());
        out = v;
        return true;
    }

    // A decimal integer; values beyond int saturate.
    bool read_int(int& out)
    {
        skip_space();
        std::size_t j = i_;
        bool negative = false;
        if (j < s_.size() && (s_[j] == '+' || s_[j] == '-'))
            negative = s_[j++] == '-';
        std::size_t digits = j;
        while (digits < s_.size() && s_[digits] >= '0' && s_[digits] <= '9')
            ++digits;
        if (digits == j)
            return false;
        long long v = 0;
        for (std::size_t k = j; k < digits; ++k) {
            v = v * 10 + (s_[k] - '0');
            if (v > static_cast<long long>(INT_MAX) + 1) {
                v = static_cast<long long>(INT_MAX) + 1;
            }
        }
        if (negative)
            v = -v;
        out = static_cast<int>(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
        i_ = digits;
        return true;
    }

    // Up to max characters of non-space text.
    bool read_token(std::string& out, std::size_t max)
    {
        skip_space();
        std::size_t j = i_;
        while (j < s_.size() && j - i_ < max && !is_space(s_[j]))
            ++j;
        if (j == i_)
            return false;
        out.assign(s_.substr(i_, j - i_));
        i_ = j;
        return true;
    }

    // Like fgets with a buffer of max + 1 bytes.
    bool read_line(std::string_view& line, std::size_t max)
    {
        if (i_ >= s_.size())
            return false;
        std::size_t j = i_;
        while (j < s_.size() && j - i_ < max) {
            if (s_[j++] == '\n')
                break;
        }
        line = s_.substr(i_, j - i_);
        i_ = j;
        return true;
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

bool is_blank(std::string_view line)
{
    for (char c : line)
        if (!is_space(c))
            return false;
    return true;
}

// The line's first non-blank text is "checkpoints:" ending the line or
// followed by white space.
bool is_checkpoints_line(std::string_view line)
{
    constexpr std::string_view key = "checkpoints:";
    std::size_t i = 0;
    while (i < line.size() && is_space(line[i]))
        ++i;
    line.remove_prefix(i);
    if (line.substr(0, key.size()) != key)
        return false;
    return line.size() == key.size() || is_space(line[key.size()]);
}

// " [ x y z ] heading [model [texture [shape]]]"
bool parse_gate_line(std::string_view line, StartingGate& g)
{
    Cursor c(line);
    if (!c.literal('[') || !c.read_float(g.x) || !c.read_float(g.y) || !c.read_float(g.z) ||
        !c.literal(']') || !c.read_float(g.heading))
        return false;
    std::string name;
    if (c.read_token(name, k_name_chars)) {
        g.model = name;
        if (c.read_token(name, k_name_chars)) {
            g.texture = name;
            if (c.read_token(name, k_name_chars))
                g.shape = name;
        }
    }
    g.heading = normalize_heading(g.heading);
    return true;
}

// "radius [ x y z ] [ dx dy dz ]"
bool parse_checkpoint(Cursor& c, Checkpoint& cp)
{
    bool ok = c.read_float(cp.radius) && c.literal('[') && c.read_float(cp.x) &&
              c.read_float(cp.y) && c.read_float(cp.z) && c.literal(']') && c.literal('[') &&
              c.read_float(cp.dir_x) && c.read_float(cp.dir_y) && c.read_float(cp.dir_z) &&
              c.literal(']');
    if (ok)
        c.skip_space();
    return ok;
}

void read_list(Cursor& c, std::vector<int>& list)
{
    int v = 0;
    while (list.size() < static_cast<std::size_t>(k_max_lap_entries) && c.read_int(v))
        list.push_back(v);
}

// Negative entries become checkpoint 0; the checkpoint part is limited to the
// last checkpoint; the auto pilot's flag stays. Returns the entries below the
// flag.
int normalize_list(std::vector<int>& list, int checkpoints)
{
    int plain = 0;
    for (int& e : list) {
        if (e < 0)
            e = 0;
        const int flag = e >= k_autopilot_skip_flag ? k_autopilot_skip_flag : 0;
        int part = e % k_autopilot_skip_flag;
        if (part > checkpoints - 1)
            part = checkpoints - 1;
        if (part < 0)
            part = 0;
        e = flag + part;
        if (flag == 0)
            ++plain;
    }
    return plain;
}

const char* name_or_null(const std::string& name) { return name.empty() ? "null" : name.c_str(); }

}  // namespace

TrackTiming parse_timing_gates(std::string_view text)
{
    TrackTiming t;
    Cursor c(text);
    std::string token;
    if (!c.read_token(token, k_token_chars))
        return t;

    bool checkpoints = false;
    if (token == "startinggate:") {
        std::string_view line;
        while (c.read_line(line, k_line_chars)) {
            // The rest of the keyword's line and empty lines carry nothing.
            if (is_blank(line))
                continue;
            if (is_checkpoints_line(line)) {
                checkpoints = true;
                break;
            }
            StartingGate g;
            if (t.gates.size() >= static_cast<std::size_t>(k_max_starting_gates) ||
                !parse_gate_line(line, g))
                break;
            t.gates.push_back(std::move(g));
        }
    } else if (token == "checkpoints:") {
        checkpoints = true;
    }
    if (!checkpoints)
        return t;

    Checkpoint cp;
    while (t.checkpoints.size() < static_cast<std::size_t>(k_max_checkpoints) &&
           parse_checkpoint(c, cp))
        t.checkpoints.push_back(cp);

    if (c.read_token(token, k_token_chars) && token == "firstlap:") {
        read_list(c, t.first_lap);
        if (c.read_token(token, k_token_chars) && token == "normallap:")
            read_list(c, t.normal_lap);
    }

    const int n = static_cast<int>(t.checkpoints.size());
    t.first_lap_autopilot = normalize_list(t.first_lap, n);
    t.normal_lap_autopilot = normalize_list(t.normal_lap, n);
    if (!t.has_timing()) {
        t.checkpoints.clear();
        t.first_lap.clear();
        t.normal_lap.clear();
        t.first_lap_autopilot = 0;
        t.normal_lap_autopilot = 0;
    }
    return t;
}

bool read_timing_gates(std::string_view track_path, const GateObjectFactory& create)
{
    free_timing();
    core::DataFilePtr file = core::open_data_file(std::string(track_path) + "/timing_gates", "rb");
    if (!file)
        return false;
    const std::vector<std::uint8_t> bytes = core::read_all(*file);
    file.reset();

    TrackTiming t = parse_timing_gates(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    for (StartingGate& g : t.gates) {
        if (!create)
            break;
        GateObjectRequest r;
        r.x = g.x - k_gate_object_offset * std::sin(g.heading);
        r.y = g.y;
        r.z = g.z - k_gate_object_offset * std::cos(g.heading);
        r.heading = g.heading;
        r.model = g.model;
        r.texture = g.texture;
        r.shape = g.shape;
        g.object = create(r);
    }
    if (t.has_timing() && core::debug_level() > 0)
        platform::log_printf("Found %d timing gates, first lap has %d gates, normal lap has %d\n",
                             static_cast<int>(t.checkpoints.size()), t.first_count(),
                             t.normal_count());
    const bool timed = t.has_timing();
    set_track_timing(std::move(t));
    return timed;
}

std::string format_timing_gates(const TrackTiming& t)
{
    std::string out;
    if (!t.gates.empty()) {
        out += "startinggate:\n";
        for (const StartingGate& g : t.gates) {
            platform::append_format(out, "[%f %f %f]", static_cast<double>(g.x), static_cast<double>(g.y),
                   static_cast<double>(g.z));
            platform::append_format(out, " %f", static_cast<double>(g.heading));
            if (g.model == k_default_gate_model && g.texture == k_default_gate_texture &&
                g.shape == k_default_gate_shape)
                out += "\n";
            else
                platform::append_format(out, " %s %s %s\n", name_or_null(g.model), name_or_null(g.texture),
                       name_or_null(g.shape));
        }
    }
    if (!t.checkpoints.empty()) {
        out += "checkpoints:\n";
        for (const Checkpoint& c : t.checkpoints) {
            platform::append_format(out, "%f ", static_cast<double>(c.radius));
            platform::append_format(out, "[%f %f %f]", static_cast<double>(c.x), static_cast<double>(c.y),
                   static_cast<double>(c.z));
            out += " ";
            platform::append_format(out, "[%f %f %f]", static_cast<double>(c.dir_x), static_cast<double>(c.dir_y),
                   static_cast<double>(c.dir_z));
            out += "\n";
        }
    }
    auto list = [&](const char* key, const std::vector<int>& entries) {
        if (entries.empty())
            return;
        out += key;
        for (int e : entries)
            platform::append_format(out, "%d ", e);
        out += "\n";
    };
    list("firstlap:\n", t.first_lap);
    list("normallap:\n", t.normal_lap);
    return out;
}

bool write_timing_gates(std::string_view track_path, const TrackTiming& t)
{
    core::DataFilePtr file = core::open_data_file(std::string(track_path) + "/timing_gates", "wb");
    if (!file) {
        core::show_message("Can't open 'timing_gates'\n");
        return false;
    }
    const bool written = core::write_text(*file, format_timing_gates(t));
    if (!core::commit_data_file(std::move(file), written)) {
        core::show_message("Can't write 'timing_gates'\n");
        return false;
    }
    return true;
}

}  // namespace zv::track
