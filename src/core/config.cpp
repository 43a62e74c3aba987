// Reading and writing the configuration file and the rider-setup keys.
#include "core/config.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <variant>

#include "core/bike_names.h"
#include "core/data_file.h"
#include "core/messages.h"

namespace zv::core {

namespace {

constexpr std::size_t k_line_size = 1024;  // lines of up to 1023 characters

struct BikeRename {
    const char* old_name;
    const char* name;
};
// Names written by versions that knew only one model year of these bikes.
constexpr BikeRename k_bike_renames[] = {
    {"crf250", "crf250(2008)"},
    {"kx250f", "kx250f(2008)"},
    {"rmz250", "rmz250(2008)"},
    {"yz250f", "yz250f(2008)"},
};

bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A "%f" conversion at p: skips whitespace, reads one number. Returns the
// position after it, or nullptr when no number is there.
const char* scan_float_at(const char* p, const char* end, float& out)
{
    while (p < end && is_space(*p))
        ++p;
    if (p < end && *p == '+' && p + 1 < end && p[1] != '-')
        ++p;
    double v = 0;
    auto [next, ec] = std::from_chars(p, end, v, std::chars_format::general);
    if (ec != std::errc() || v != v)
        return nullptr;
    out = static_cast<float>(v);
    return next;
}

bool is_history_entry(const TextSetting* t)
{
    const auto& h = settings().server_history;
    return t >= h.data() && t < h.data() + h.size();
}

void assign_variants(ChoiceSetting& choice, std::vector<const char*>& files, Variants v)
{
    if (v.names.empty() || v.names.size() != v.files.size()) {
        v.names.assign(1, "default");
        v.files.assign(1, nullptr);
    }
    choice.choices = std::move(v.names);
    files = std::move(v.files);
    choice.index = 0;
}

bool apply_general(const SettingEntry& e, std::string_view key, std::string_view value)
{
    Settings& s = settings();
    if (key == "use_fbo") {
        // Files of older versions chose the terrain method with this key.
        if (s.use_fbo.parse(value))
            s.render_texture.parse(s.use_fbo.index == 1 ? "Hardware/Direct" : "Hardware/Copy");
        return true;
    }
    struct Apply {
        std::string_view value;
        void operator()(std::monostate) const {}
        void operator()(int* v) const
        {
            if (!scan_int(value, *v) || v != &settings().message_lines)
                return;
            // The message list takes the player's choice at once; it cannot
            // show fewer than none or more than its ring.
            *v = std::clamp(*v, 0, k_message_ring_lines);
            set_message_line_limit(*v);
        }
        void operator()(float* v) const
        {
            // map_scale, the one plain float.
            double d = 0;
            if (v == &settings().map_scale && scan_number(value, d))
                set_map_scale(d);
        }
        void operator()(InternedText t) const { *t.text = intern(value); }
        void operator()(ChoiceSetting* c) const { c->parse(value); }
        void operator()(NumberSetting* n) const { n->parse(value); }
        void operator()(TextSetting* t) const
        {
            if (is_history_entry(t) && value.size() >= k_server_name_length)
                return;  // would not fit its 128-byte entry
            t->set(value);
        }
        void operator()(Binding* b) const { parse_binding(*b, value); }
    };
    std::visit(Apply{value}, e.ref);
    return true;
}

void write_entry(DataFile& f, const SettingEntry& e)
{
    struct Write {
        DataFile& f;
        const char* key;
        void operator()(std::monostate) const {}
        void operator()(const int* v) const { print(f, "%s=%d\n", key, *v); }
        void operator()(const float* v) const { print(f, "%s=%f\n", key, static_cast<double>(*v)); }
        void operator()(InternedText t) const { print(f, "%s=%s\n", key, *t.text ? *t.text : ""); }
        void operator()(const ChoiceSetting* c) const { print(f, "%s=%s\n", key, c->current()); }
        void operator()(const NumberSetting* n) const { print(f, "%s=%f\n", key, n->value); }
        void operator()(const TextSetting* t) const { print(f, "%s=%s\n", key, t->text.c_str()); }
        void operator()(const Binding* b) const
        {
            if (b->key_name)
                print(f, "%s=(k)%s\n", key, b->key_name);
            else if (b->axis_name)
                print(f, "%s=(%f,%f)%s\n", key, static_cast<double>(b->low),
                      static_cast<double>(b->high), b->axis_name);
        }
    };
    std::visit(Write{f, e.key}, e.ref);
}

}  // namespace

std::string_view renamed_bike(std::string_view name)
{
    for (const BikeRename& r : k_bike_renames)
        if (name == r.old_name)
            return r.name;
    return name;
}

void parse_binding(Binding& b, std::string_view value)
{
    std::size_t start = 0;
    while (start < value.size() && is_space(value[start]))
        ++start;
    value.remove_prefix(start);
    b.key_name = nullptr;
    b.axis_name = nullptr;
    b.handle = -1;
    b.low = 0.0f;
    b.high = 1.0f;

    std::size_t close = value.find(')');
    if (!value.empty() && value[0] == '(' && close != std::string_view::npos) {
        // "(low,high)axis name"
        const char* end = value.data() + value.size();
        float low = 0, high = 0;
        const char* p = scan_float_at(value.data() + 1, end, low);
        if (p && p < end && *p == ',' && scan_float_at(p + 1, end, high)) {
            b.low = low;
            b.high = high;
            std::string_view axis = value.substr(close + 1);
            if (!axis.empty())
                b.axis_name = intern(axis);
            return;
        }
    }
    if (value.starts_with("(k)"))
        value.remove_prefix(3);
    if (!value.empty())
        b.key_name = intern(value);
}

bool read_setup_key(std::string_view key, std::string_view value)
{
    const SettingEntry* e = find_setting(key);
    if (!e || e->group != SettingGroup::setup)
        return false;
    Settings& s = settings();
    if (key == "bike") {
        s.bike.parse(renamed_bike(value));
        rebuild_bike_texture_list();
    } else if (key == "stability") {
        // Aids that follow in the file override the preset.
        if (s.stability.parse(value))
            apply_stability(s.stability.value);
    } else {
        apply_general(*e, key, value);
    }
    return true;
}

void write_setup(DataFile& file)
{
    for (const SettingEntry& e : setting_table())
        if (e.group == SettingGroup::setup)
            write_entry(file, e);
}

bool read_config_key(std::string_view key, std::string_view value)
{
    if (read_setup_key(key, value))
        return true;
    const SettingEntry* e = find_setting(key);
    if (!e)
        return false;
    return apply_general(*e, key, value);
}

namespace {

using KeyReader = bool (*)(std::string_view key, std::string_view value);

bool read_line_with(std::string_view line, KeyReader reader)
{
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    std::string_view key = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.remove_suffix(1);
    return reader(key, value);
}

void read_lines_with(DataFile& file, KeyReader reader)
{
    std::string line, rest;
    while (read_line(file, line, k_line_size)) {
        if (line.size() == k_line_size - 1 && line.back() != '\n') {
            // An over-long line: its tail is not a line of its own.
            while (read_line(file, rest, k_line_size) && rest.back() != '\n') {
            }
        }
        // Text ends at a NUL byte, as it always has for this file.
        std::string_view text = line;
        read_line_with(text.substr(0, text.find('\0')), reader);
    }
}

}  // namespace

bool read_config_line(std::string_view line)
{
    return read_line_with(line, read_config_key);
}

void read_config_lines(DataFile& file)
{
    read_lines_with(file, read_config_key);
}

void read_setup_lines(DataFile& file)
{
    read_lines_with(file, read_setup_key);
}

void write_config_lines(DataFile& file)
{
    for (const SettingEntry& e : setting_table())
        if (e.written)
            write_entry(file, e);
}

bool read_config()
{
    DataFilePtr f = open_data_file(k_config_file, "rb");
    if (!f)
        return false;
    read_config_lines(*f);
    return true;
}

bool write_config()
{
    DataFilePtr f = open_data_file(k_config_file, "wb");
    if (!f)
        return false;
    write_config_lines(*f);
    return commit_data_file(std::move(f));
}

// ---- riding gear ----

void rebuild_bike_texture_list()
{
    Settings& s = settings();
    const char* prefix = bike_paint_prefix(s.bike.current());
    if (!prefix) {
        assign_variants(s.bike_texture, s.bike_texture_files, {});
        return;
    }
    assign_variants(s.bike_texture, s.bike_texture_files, list_variants(prefix));
}

void build_gear_lists()
{
    Settings& s = settings();
    assign_variants(s.rider_texture, s.rider_texture_files, list_variants("rider_body-"));
    assign_variants(s.head_texture, s.head_texture_files, list_variants("rider_head-"));
    rebuild_bike_texture_list();
    assign_variants(s.wheel_texture, s.wheel_texture_files, list_variants("wheels-"));
}

}  // namespace zv::core
