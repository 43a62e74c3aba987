#include "track/tileinfo.h"

#include "core/data_file.h"
#include "core/loading_status.h"
#include "core/messages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace zv::track {

namespace {

constexpr std::size_t k_tileinfo_line = 1024;
constexpr std::size_t k_texturelist_line = 1024;  // 1023 characters and the terminator
constexpr char k_default_roost_texture[] = "@roost.png";
constexpr float k_tick = 1.0f / 128.0f;  // fades are written per second, stored per tick

// Loads the textures a tile table needs, remembering the default particle
// texture so every reset tile does not ask for it again.
class TileTextureLoader {
public:
    explicit TileTextureLoader(TileTextures mode) : mode_(mode) {}

    void load_tile_texture(TileType& tile, const std::string& name)
    {
        tile.texture_name = name;
        tile.texture = 0;
        tile.pixels = {};
        if (mode_ == TileTextures::pixels) {
            if (TerrainRenderHooks* hooks = terrain_render_hooks()) {
                if (!hooks->load_pixels(name, tile.pixels))
                    tile.pixels = {};
            }
        } else {
            tile.texture = load_texture(name);
        }
    }

    TextureId default_roost_texture()
    {
        if (!roost_loaded_) {
            roost_texture_ = load_particle_texture(k_default_roost_texture);
            roost_loaded_ = true;
        }
        return roost_texture_;
    }

    static TextureId load_particle_texture(std::string_view name)
    {
        return load_texture(name, k_texture_alpha);
    }

    TileType fresh_tile()
    {
        TileType tile;
        TextureId roost = default_roost_texture();
        for (RoostType& r : tile.roost)
            r.texture = roost;
        return tile;
    }

private:
    TileTextures mode_;
    bool roost_loaded_ = false;
    TextureId roost_texture_ = 0;
};

bool finite(float v) { return std::isfinite(v); }

// Exchange sort on the first `count` points: for each position, every later
// point of smaller speed is swapped into it.
template <typename Point>
void sort_points(std::array<Point, k_curve_points>& points, int count)
{
    for (int i = 0; i < count; ++i)
        for (int k = i + 1; k < count; ++k)
            if (points[k].speed < points[i].speed)
                std::swap(points[i], points[k]);
}

// ---- roost parameters ----

// The longest prefix of `s` that reads as a decimal number ([sign] digits
// [. digits] [exponent]), converted; nullopt when no character forms one.
std::optional<double> parse_decimal(std::string_view s)
{
    std::size_t p = 0;
    if (p < s.size() && (s[p] == '+' || s[p] == '-'))
        ++p;
    std::size_t digits = 0;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9')
        ++p, ++digits;
    if (p < s.size() && s[p] == '.') {
        ++p;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9')
            ++p, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < s.size() && (s[q] == '+' || s[q] == '-'))
            ++q;
        if (q < s.size() && s[q] >= '0' && s[q] <= '9') {
            while (q < s.size() && s[q] >= '0' && s[q] <= '9')
                ++q;
            p = q;
        }
    }
    std::string text(s.substr(0, p));
    double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

// A decimal number that is kept (or worked out) in float: one no float can
// hold is as bad as one that is not a number.
std::optional<double> parse_float(std::string_view s)
{
    std::optional<double> v = parse_decimal(s);
    if (v && std::fabs(*v) > std::numeric_limits<float>::max())
        return std::nullopt;
    return v;
}

// Low 8 bits of the number truncated toward zero.
std::uint8_t low_byte(double v)
{
    double t = std::fmod(std::trunc(v), 256.0);  // exact, in (-256, 256)
    return static_cast<std::uint8_t>(static_cast<int>(t) & 0xff);
}

// Splits at separators; a double quote starts a run (quotes removed) that
// keeps separators up to the next double quote.
std::vector<std::string> roost_tokens(std::string_view value)
{
    auto separator = [](char c) {
        return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t' || c == '\b';
    };
    std::vector<std::string> tokens;
    std::size_t p = 0;
    while (p < value.size()) {
        while (p < value.size() && separator(value[p]))
            ++p;
        if (p >= value.size())
            break;
        std::string token;
        bool quoted = false;
        for (; p < value.size(); ++p) {
            char c = value[p];
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && separator(c))
                break;
            token += c;
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

struct RoostFloatKey {
    const char* key;  // without "="
    float RoostType::*field;
};

constexpr RoostFloatKey k_roost_floats[] = {
    {"count", &RoostType::count},
    {"dig", &RoostType::dig},
    {"slip_threshold", &RoostType::slip_threshold},
    {"slow_angle", &RoostType::slow_angle},
    {"fast_angle", &RoostType::fast_angle},
    {"slow_speed", &RoostType::slow_speed},
    {"fast_speed", &RoostType::fast_speed},
    {"size", &RoostType::size},
    {"grow", &RoostType::grow},
    {"drag", &RoostType::drag},
    {"vscale", &RoostType::vscale},
    {"randomize", &RoostType::randomize},
};

struct RoostColourKey {
    const char* key;
    std::uint8_t RoostType::*colour;
    std::int8_t RoostType::*fade;
};

constexpr RoostColourKey k_roost_colours[] = {
    {"r", &RoostType::r, nullptr},
    {"g", &RoostType::g, nullptr},
    {"b", &RoostType::b, nullptr},
    {"a", &RoostType::a, nullptr},
    {"fade_r", nullptr, &RoostType::fade_r},
    {"fade_g", nullptr, &RoostType::fade_g},
    {"fade_b", nullptr, &RoostType::fade_b},
    {"fade_a", nullptr, &RoostType::fade_a},
};

// The rest of `token` after "key=", or nullopt when the token does not start so.
std::optional<std::string_view> key_value(std::string_view token, std::string_view key)
{
    if (token.size() <= key.size() || token.substr(0, key.size()) != key || token[key.size()] != '=')
        return std::nullopt;
    return token.substr(key.size() + 1);
}

void read_roost_parameters(RoostType& roost, std::string_view value)
{
    for (const std::string& token : roost_tokens(value)) {
        if (auto rest = key_value(token, "texture")) {
            roost.texture = TileTextureLoader::load_particle_texture(*rest);
            continue;
        }
        if (auto rest = key_value(token, "splash")) {
            std::optional<double> v = parse_decimal(*rest);
            if (v && *v != 0.0)
                roost.mode = 2;
            continue;
        }
        bool known = false;
        for (const RoostFloatKey& k : k_roost_floats) {
            auto rest = key_value(token, k.key);
            if (!rest)
                continue;
            known = true;
            std::optional<double> v = parse_float(*rest);
            roost.*k.field = v ? static_cast<float>(*v) : 0.0f;
            if (!v)
                core::show_message("tileinfo warning: bad %s\n", k.key);
            break;
        }
        for (const RoostColourKey& k : k_roost_colours) {
            if (known)
                break;
            auto rest = key_value(token, k.key);
            if (!rest)
                continue;
            known = true;
            std::optional<double> v = k.colour ? parse_decimal(*rest) : parse_float(*rest);
            if (!v)
                core::show_message("tileinfo warning: bad %s\n", k.key);
            if (k.colour) {
                roost.*k.colour = v ? low_byte(*v) : 0;
            } else {
                double per_tick = v ? static_cast<double>(static_cast<float>(*v) * k_tick) : 0.0;
                roost.*k.fade = static_cast<std::int8_t>(low_byte(per_tick));
            }
        }
        if (!known)
            core::show_message("tileinfo warning: unknown roost parameter '%.40s'\n", token.c_str());
    }
}

// ---- tileinfo keywords ----

struct ErodeKey {
    const char* key;
    float TileType::*field;
};

constexpr ErodeKey k_erode_keys[] = {
    {"erode_depth", &TileType::erode_depth},
    {"erode_lower", &TileType::erode_lower},
    {"erode_upper", &TileType::erode_upper},
    {"erode_displacement", &TileType::erode_displacement},
    {"erode_radius", &TileType::erode_radius},
    {"erode_max_slope", &TileType::erode_max_slope},
    {"erode_off_speed", &TileType::erode_off_speed},
    {"erode_on_speed", &TileType::erode_on_speed},
};

// The tile being built by property lines, with its point counts.
struct TileUnderConstruction {
    TileType tile;
    int friction_count = 0;
    int roll_count = 0;
    int roost_count = 0;
};

void apply_property(TileUnderConstruction& t, TileTextureLoader& loader, const std::string& keyword,
                    const std::string& value)
{
    const char* v = value.c_str();
    if (keyword == "texture") {
        loader.load_tile_texture(t.tile, value);
    } else if (keyword == "friction") {
        if (t.friction_count >= k_curve_points) {
            core::show_message("tileinfo warning: too many friction points\n");
            return;
        }
        float coefficient = 0, speed = 0;
        if (std::sscanf(v, "%f %f", &coefficient, &speed) != 2 || !finite(coefficient) ||
            !finite(speed)) {
            core::show_message("tileinfo warning: bad friction parameters\n");
            return;
        }
        FrictionPoint& p = t.tile.friction[static_cast<std::size_t>(t.friction_count++)];
        p.coefficient = coefficient <= 0.0f ? 0.0f : coefficient;
        p.speed = speed <= k_min_curve_speed ? k_min_curve_speed : speed;
    } else if (keyword == "roll_resist") {
        if (t.roll_count >= k_curve_points) {
            core::show_message("tileinfo warning: too many roll_resist points\n");
            return;
        }
        float low = 0, high = 0, speed = 0;
        if (std::sscanf(v, "%f %f %f", &low, &high, &speed) != 3 || !finite(low) || !finite(high) ||
            !finite(speed)) {
            core::show_message("tileinfo warning: bad roll_resist parameters\n");
            return;
        }
        RollResistPoint& p = t.tile.roll_resist[static_cast<std::size_t>(t.roll_count++)];
        p.low = low <= 0.0f ? 0.0f : low;
        p.high = high < 0.0f ? 0.0f : high;
        p.speed = speed <= k_min_curve_speed ? k_min_curve_speed : speed;
    } else if (keyword == "roost") {
        if (t.roost_count >= k_roost_types) {
            core::show_message("tileinfo warning: too many roost types\n");
            return;
        }
        RoostType& r = t.tile.roost[static_cast<std::size_t>(t.roost_count++)];
        r.mode = 1;
        read_roost_parameters(r, value);
    } else {
        for (const ErodeKey& k : k_erode_keys) {
            if (keyword != k.key)
                continue;
            float x = 0;
            if (std::sscanf(v, "%f", &x) != 1 || !finite(x))
                core::show_message("tileinfo warning: bad %s\n", k.key);
            else
                t.tile.*k.field = x;
            return;
        }
        core::show_message("tileinfo warning: Unknown identifier '%.950s'\n", keyword.c_str());
    }
}

}  // namespace

void read_tileinfo(core::DataFile& file, std::vector<TileType>& tiles, TileTextures textures)
{
    tiles.clear();
    TileTextureLoader loader(textures);
    TileUnderConstruction t;
    t.tile = loader.fresh_tile();
    std::string line;
    while (static_cast<int>(tiles.size()) < k_max_tiles && core::read_line(file, line, k_tileinfo_line)) {
        core::refresh_loading_stage();
        std::size_t start = line.find_first_not_of(" \t\r\n");
        if (start == std::string::npos)
            continue;
        std::size_t end = line.find_first_of(" \t\r\n", start);
        if (end == std::string::npos)
            end = line.size();
        std::string keyword = line.substr(start, end - start);
        std::size_t vstart = line.find_first_not_of(" \t", end);
        if (vstart == std::string::npos)
            vstart = line.size();
        std::size_t vend = line.find_first_of("\r\n", vstart);
        if (vend == std::string::npos)
            vend = line.size();
        std::string value = line.substr(vstart, vend - vstart);

        if (keyword == "addtile") {
            sort_points(t.tile.friction, t.friction_count);
            sort_points(t.tile.roll_resist, t.roll_count);
            tiles.push_back(std::move(t.tile));
            t = TileUnderConstruction{};
            t.tile = loader.fresh_tile();
        } else {
            apply_property(t, loader, keyword, value);
        }
    }
}

void read_texturelist(core::DataFile& file, std::vector<TileType>& tiles, TileTextures textures)
{
    tiles.clear();
    TileTextureLoader loader(textures);
    std::string line;
    while (static_cast<int>(tiles.size()) < k_max_tiles && core::read_line(file, line, k_texturelist_line)) {
        core::refresh_loading_stage();
        std::size_t start = line.find_first_not_of(" \t\r\n\f\v");
        if (start == std::string::npos)
            continue;
        // The C string stops at an embedded NUL, as the scan would.
        std::string text = line.substr(start);
        text.resize(std::char_traits<char>::length(text.c_str()));

        float coefficient = 1.0f, low = 5.0f, high = 15.0f;
        int rest = -1;
        std::string name;
        if (std::sscanf(text.c_str(), "%f %f %f %n", &coefficient, &low, &high, &rest) == 3 &&
            rest >= 0) {
            name = text.substr(static_cast<std::size_t>(rest));
            // Nonsense numbers fall back to the plain surface.
            if (!finite(coefficient))
                coefficient = 1.0f;
            if (!finite(low))
                low = 5.0f;
            if (!finite(high))
                high = 15.0f;
            coefficient = coefficient < 0.0f ? 0.0f : coefficient;
            low = low < 0.0f ? 0.0f : low;
            high = high < 0.0f ? 0.0f : high;
        } else {
            coefficient = 1.0f, low = 5.0f, high = 15.0f;
            name = text;
        }
        // The name ends before the line break.
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        if (!name.empty() && name.back() == '\r')
            name.pop_back();

        TileType tile = loader.fresh_tile();
        for (FrictionPoint& p : tile.friction)
            p.coefficient = coefficient;
        for (RollResistPoint& p : tile.roll_resist) {
            p.low = low;
            p.high = high;
        }
        tile.roost[0].mode = 1;
        loader.load_tile_texture(tile, "@" + name);
        tiles.push_back(std::move(tile));
    }
}

}  // namespace zv::track
