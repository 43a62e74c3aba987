#include "render/textures.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "core/data_file.h"
#include "core/debug_level.h"
#include "platform/log.h"
#include "render/image_formats.h"

namespace zv::render {

TextureBackend& gl_texture_backend();  // texture_gl.cpp

namespace {

struct TextureEntry {
    TextureId id = 0;
    int generation = 0;
    std::size_t bytes = 0;
    std::string info;
    std::string name;
};

struct AliasEntry {
    std::string name, target;
};

struct AnimEntry {
    TextureId id = 0;
    int generation = 0;
    std::vector<int> steps;
    std::vector<Image> frames;  // each with its chain
    int ticks_per_step = 1;
    bool loop = false;
    int start = 0;
    bool paused = false;
    int shown = 0;
};

struct PixelEntry {
    Image image;  // 4 channels, chain
    int generation = 0;
    std::string name;
};

struct State {
    std::vector<TextureEntry> textures;
    std::vector<AliasEntry> aliases;
    std::vector<AnimEntry> anims;
    std::vector<std::unique_ptr<PixelEntry>> images;
    std::size_t memory = 0;
    int generation = 0;
    int skip = 0;
    int compress_mode = 0;
    int gl_major = 1;
    bool companions = false;
    TextureBackend* backend = nullptr;
};

State& state()
{
    static State s;
    return s;
}

const std::string k_empty;
constexpr const char* k_white = "@colors/white.png";
constexpr int k_max_alias_depth = 16;

bool iequal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Exact match first, then the first match ignoring case (with a warning).
template <typename List, typename NameOf>
auto* find_named(List& list, std::string_view name, NameOf name_of)
{
    for (auto& e : list)
        if (name_of(e) == name)
            return &e;
    for (auto& e : list)
        if (iequal(name_of(e), name)) {
            platform::log_printf("Warning: case mismatch on '%.900s'\n", std::string(name).c_str());
            return &e;
        }
    return static_cast<decltype(&*list.begin())>(nullptr);
}

std::optional<std::vector<std::uint8_t>> read_file_bytes(std::string_view name)
{
    core::DataFilePtr f = core::open_data_file(name, "rb");
    if (!f)
        return std::nullopt;
    return core::read_all(*f);
}

std::string side_file_text(std::string_view name)
{
    std::string side = std::string(name) + ".info";
    core::DataFilePtr f = core::open_data_file(side, "rb");
    if (!f)
        return {};
    std::string out;
    char piece[3];
    std::size_t n;
    while ((n = core::read_bytes(*f, piece, sizeof piece)) > 0)
        out.append(piece, n);
    return out;
}

bool has_tag(const std::string& info, const char* tag) { return info.find(tag) != std::string::npos; }

struct WrapFlags {
    bool s = false, t = false;
};

WrapFlags wrap_from_name(std::string_view name)
{
    WrapFlags w;
    if (name.find("-repeat.") != std::string_view::npos)
        w.s = w.t = true;
    if (name.find("-hrepeat.") != std::string_view::npos)
        w.s = true;
    if (name.find("-vrepeat.") != std::string_view::npos)
        w.t = true;
    return w;
}

TextureId upload_chain(const MipChain& chain, WrapFlags wrap, bool compress, bool mipmap, std::size_t& bytes)
{
    TextureUpload up;
    up.chain = &chain.image;
    up.first_byte = chain.top;
    up.levels = mipmap ? mip_level_count(chain.image.width, chain.image.height) : 1;
    up.repeat_s = wrap.s;
    up.repeat_t = wrap.t;
    up.mipmap = mipmap;
    up.compress = compress;
    Image top;
    if (chain.image.channels == 3) {
        // The border colour is taken from the level that is uploaded first.
        top.width = chain.image.width;
        top.height = chain.image.height;
        top.channels = 3;
        auto lvl = chain.level(0);
        top.pixels.assign(lvl.begin(), lvl.end());
        up.border = border_colour(top);
    }
    return texture_backend().create(up, bytes);
}

void register_texture(TextureId id, std::size_t bytes, std::string info, std::string name)
{
    State& s = state();
    s.memory += bytes;
    s.textures.push_back({id, s.generation, bytes, std::move(info), std::move(name)});
}

std::optional<Image> load_png_file(const std::string& name, std::string* info)
{
    auto bytes = read_file_bytes(name);
    if (!bytes)
        return std::nullopt;
    return decode_png_for_texture(*bytes, info);
}

// Frames of animations: power of two by rounding down, at most 65536 texels.
MipChain prepare_frame(const Image& frame)
{
    MipChain chain;
    chain.image = round_down_to_power_of_two(frame);
    generate_mip_chain(chain.image, false);
    while (static_cast<long long>(chain.image.width) * chain.image.height > 65536)
        drop_top_level(chain);
    return chain;
}

// The chain from the top level on, as a standalone image.
Image detach(const MipChain& chain)
{
    Image out;
    out.width = chain.image.width;
    out.height = chain.image.height;
    out.channels = chain.image.channels;
    out.pixels.assign(chain.image.pixels.begin() + static_cast<long>(chain.top), chain.image.pixels.end());
    return out;
}

TextureId load_animation(const std::string& name, ByteCursor& cursor, WrapFlags wrap)
{
    std::string error;
    std::optional<AnimSequence> seq = parse_anim1(
        cursor, [](const std::string& frame_name) { return load_png_file(frame_name, nullptr); }, error);
    if (!seq) {
        if (!error.empty())
            platform::log_printf("%s\n", error.c_str());
        return 0;
    }
    AnimEntry anim;
    for (const Image& f : seq->frames)
        anim.frames.push_back(detach(prepare_frame(f)));
    anim.steps = std::move(seq->steps);
    anim.ticks_per_step = seq->ticks_per_step;
    anim.loop = seq->loop;
    anim.shown = anim.steps[0];
    MipChain first;
    first.image = anim.frames[static_cast<std::size_t>(anim.shown)];
    std::size_t bytes = 0;
    anim.id = upload_chain(first, wrap, false, true, bytes);
    if (!anim.id)
        return 0;
    State& s = state();
    anim.generation = s.generation;
    s.anims.push_back(std::move(anim));
    register_texture(s.anims.back().id, bytes, {}, name);
    return s.anims.back().id;
}

TextureId load_texture_depth(std::string_view requested, int depth);

TextureId load_link(const std::string& name, ByteCursor& cursor, int depth)
{
    std::optional<std::string> target = parse_link(cursor);
    if (!target)
        return 0;
    State& s = state();
    s.aliases.push_back({name, k_white});
    std::size_t index = s.aliases.size() - 1;
    TextureId id = load_texture_depth(*target, depth + 1);
    if (id) {
        const std::string& registered = texture_name(id);
        state().aliases[index].target = registered.empty() ? *target : registered;
    }
    return id;
}

TextureId load_texture_depth(std::string_view requested, int depth)
{
    State& s = state();
    if (depth > k_max_alias_depth)
        return 0;  // a chain of links that loops
    int skip = s.skip;
    if (!requested.empty() && requested.front() == '!') {
        requested.remove_prefix(1);
        skip = 0;
    }
    std::string name(requested);
    for (const AliasEntry& a : s.aliases)
        if (a.name == name) {
            name = a.target;
            break;
        }
    if (TextureEntry* hit = find_named(s.textures, name, [](const TextureEntry& e) -> const std::string& { return e.name; })) {
        if (hit->generation != 0 && hit->generation != s.generation) {
            hit->generation = s.generation;
            s.memory += hit->bytes;
            for (AnimEntry& a : s.anims)
                if (a.id == hit->id)
                    a.generation = s.generation;
        }
        return hit->id;
    }
    std::optional<std::vector<std::uint8_t>> bytes = read_file_bytes(name);
    if (!bytes) {
        if (core::debug_level() > 0)
            platform::log_printf("Can't open texture \"%.900s\"\n", name.c_str());
        return 0;
    }
    WrapFlags wrap = wrap_from_name(name);
    ByteCursor cursor(*bytes);
    std::string token = cursor.token(15);
    std::optional<Image> image;
    std::string info;
    if (token == "J7" || token == "J6") {
        image = decode_predictive(cursor, token == "J7" ? 4 : 3);
    } else if (token == "P6" || token == "P3") {
        std::string error;
        image = decode_pnm(*bytes, error);
        if (!error.empty())
            platform::log_printf("%s\n", error.c_str());
    } else if (token == "ANIM1") {
        if (TextureId id = load_animation(name, cursor, wrap))
            return id;
    } else if (token == "LINK") {
        return load_link(name, cursor, depth);
    }
    if (!image) {
        image = decode_png_for_texture(*bytes, &info);
        if (!image)
            return 0;
    }
    info += side_file_text(name);
    bool max_alpha = has_tag(info, "[mip_max_alpha]");
    bool compress = (s.compress_mode == 2 || (s.compress_mode == 1 && has_tag(info, "[compress]"))) && s.gl_major > 1;
    Image chain;
    if (has_tag(info, "[mip_custom]")) {
        std::optional<Image> custom = extract_custom_mip_chain(*image);
        if (custom) {
            chain = std::move(*custom);
        } else {
            // Without a usable chain the picture is taken as a plain image.
            platform::log_printf("Warning: Invalid height for custom MIP map in '%.950s'\n", name.c_str());
            chain = std::move(*image);
            generate_mip_chain(chain, max_alpha);
        }
    } else {
        chain = std::move(*image);
        generate_mip_chain(chain, max_alpha);
    }
    MipChain prepared = prepare_texture_chain(std::move(chain), name, skip, max_alpha);
    std::size_t used = 0;
    TextureId id = upload_chain(prepared, wrap, compress, true, used);
    if (!id)
        return 0;
    register_texture(id, used, std::move(info), name);
    return id;
}

TextureId make_from_pixels(const std::uint8_t* pixels, int width, int height, int channels, bool mipmap)
{
    if (!pixels || width <= 0 || height <= 0 || channels < 1 || channels > 4)
        return 0;
    MipChain chain;
    chain.image.width = width;
    chain.image.height = height;
    chain.image.channels = channels;
    std::size_t bytes = mipmap ? mip_chain_bytes(width, height, channels) : chain.image.level0_bytes();
    chain.image.pixels.assign(pixels, pixels + bytes);
    std::size_t used = 0;
    TextureId id = upload_chain(chain, {}, false, mipmap, used);
    if (id)
        state().memory += used;
    return id;
}

}  // namespace

void set_texture_backend(TextureBackend* backend) { state().backend = backend; }

TextureBackend& texture_backend()
{
    State& s = state();
    return s.backend ? *s.backend : gl_texture_backend();
}

void set_texture_detail_skip(int skip) { state().skip = std::max(0, skip); }
int texture_detail_skip() { return state().skip; }
void set_texture_compression(int mode) { state().compress_mode = std::clamp(mode, 0, 2); }
void set_gl_major_version(int major) { state().gl_major = major; }
void set_texture_companions(bool on) { state().companions = on; }

MipChain prepare_texture_chain(Image chain, std::string_view name, int skip, bool max_alpha)
{
    std::string n(name);
    if (!is_power_of_two(chain.width) || !is_power_of_two(chain.height)) {
        platform::log_printf("Warning: Non power of 2 texture '%.950s'\n", n.c_str());
        int w = half_power_of_two(chain.width), h = half_power_of_two(chain.height);
        chain = resample_nearest(chain, w, h);
        generate_mip_chain(chain, max_alpha);
    }
    MipChain out;
    out.image = std::move(chain);
    apply_detail_skip(out, skip);
    int w = out.image.width, h = out.image.height;
    if (apply_smoothness_reduction(out) > 0)
        platform::log_printf("%.64s reduced to %dx%d (originally %dx%d)\n", n.c_str(), out.image.width,
                             out.image.height, w, h);
    return out;
}

TextureId load_texture(std::string_view name) { return load_texture_depth(name, 0); }

TextureId make_texture(const std::uint8_t* pixels, int width, int height, int channels)
{
    return make_from_pixels(pixels, width, height, channels, true);
}

TextureId make_texture_nomip(const std::uint8_t* pixels, int width, int height, int channels)
{
    return make_from_pixels(pixels, width, height, channels, false);
}

bool load_image_rgba(std::string_view requested, const std::uint8_t*& pixels, int& width, int& height)
{
    State& s = state();
    int skip = s.skip;
    if (!requested.empty() && requested.front() == '!') {
        requested.remove_prefix(1);
        skip = 0;
    }
    std::string name(requested);
    auto* hit = find_named(s.images, name, [](const std::unique_ptr<PixelEntry>& e) -> const std::string& { return e->name; });
    if (hit) {
        PixelEntry& e = **hit;
        if (e.generation != 0)
            e.generation = s.generation;
        pixels = e.image.pixels.data();
        width = e.image.width;
        height = e.image.height;
        return true;
    }
    std::optional<std::vector<std::uint8_t>> bytes = read_file_bytes(name);
    if (!bytes)
        return false;
    ByteCursor cursor(*bytes);
    std::string token = cursor.token(15);
    std::optional<Image> image;
    if (token == "J7" || token == "J6") {
        image = decode_predictive(cursor, token == "J7" ? 4 : 3);
    } else if (token == "P6" || token == "P3") {
        std::string error;
        image = decode_pnm(*bytes, error);
    }
    if (!image)
        image = decode_png_for_texture(*bytes, nullptr);
    if (!image)
        return false;
    MipChain chain;
    chain.image = round_down_to_power_of_two(*image);
    generate_mip_chain(chain.image, false);
    for (int k = 0; k < skip && static_cast<long long>(chain.image.width) * chain.image.height >= 16385; ++k)
        drop_top_level(chain);
    auto entry = std::make_unique<PixelEntry>();
    entry->image = detach(chain);
    if (entry->image.channels != 4) {
        entry->image.pixels = widen_to_rgba(entry->image.pixels, entry->image.channels);
        entry->image.channels = 4;
    }
    entry->generation = s.generation;
    entry->name = name;
    pixels = entry->image.pixels.data();
    width = entry->image.width;
    height = entry->image.height;
    s.images.push_back(std::move(entry));
    return true;
}

const std::string& texture_info(TextureId id)
{
    for (const TextureEntry& e : state().textures)
        if (e.id == id)
            return e.info;
    return k_empty;
}

const std::string& texture_name(TextureId id)
{
    for (const TextureEntry& e : state().textures)
        if (e.id == id)
            return e.name;
    return k_empty;
}

std::array<std::string, 3> companion_names(std::string_view texture, std::string_view suffix)
{
    std::size_t dot = texture.rfind('.');
    std::size_t slash = texture.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string base(texture.substr(0, dot));
    std::string sfx(suffix);
    return {base + sfx + ".seq", base + sfx + ".png", base + sfx + ".ppm"};
}

CompanionMaps load_companion_maps(std::string_view texture)
{
    CompanionMaps maps;
    if (!state().companions)
        return maps;
    bool bang = !texture.empty() && texture.front() == '!';
    std::string_view plain = bang ? texture.substr(1) : texture;
    for (const std::string& n : companion_names(plain, "_norm"))
        if (!n.empty() && (maps.normal = load_texture(bang ? "!" + n : n)))
            break;
    for (const std::string& n : companion_names(plain, "_spec"))
        if (!n.empty() && (maps.specular = load_texture(bang ? "!" + n : n)))
            break;
    return maps;
}

void start_animation(TextureId id, int time)
{
    for (AnimEntry& a : state().anims)
        if (a.id == id) {
            a.start = time;
            a.paused = false;
        }
}

void pause_animation(TextureId id)
{
    for (AnimEntry& a : state().anims)
        if (a.id == id)
            a.paused = true;
}

int animation_step(int time, int start, int ticks_per_step, int steps, bool loop)
{
    long long elapsed = std::max<long long>(0, static_cast<long long>(time) - start);
    long long step = elapsed / std::max(1, ticks_per_step);
    if (loop)
        return static_cast<int>(step % steps);
    return static_cast<int>(std::min<long long>(step, steps - 1));
}

void update_animations(int time)
{
    for (AnimEntry& a : state().anims) {
        if (a.paused)
            continue;
        int step = animation_step(time, a.start, a.ticks_per_step, static_cast<int>(a.steps.size()), a.loop);
        int frame = a.steps[static_cast<std::size_t>(step)];
        if (frame != a.shown) {
            texture_backend().replace_levels(a.id, a.frames[static_cast<std::size_t>(frame)]);
            a.shown = frame;
        }
    }
}

void advance_texture_generation() { ++state().generation; }
int texture_generation() { return state().generation; }
std::size_t texture_memory() { return state().memory; }
void set_texture_memory(std::size_t bytes) { state().memory = bytes; }
int texture_count() { return static_cast<int>(state().textures.size()); }

void release_textures(bool all)
{
    State& s = state();
    bool debug = core::debug_level() > 0;
    auto stale = [&](int generation) { return all || (generation != 0 && generation != s.generation); };
    for (auto it = s.anims.begin(); it != s.anims.end();) {
        if (stale(it->generation)) {
            if (debug)
                platform::log_printf("deleting anim %d for tid %u\n", static_cast<int>(it - s.anims.begin()), it->id);
            it = s.anims.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = s.textures.begin(); it != s.textures.end();) {
        if (stale(it->generation)) {
            if (debug)
                platform::log_printf("deleting tid %u (%.900s)\n", it->id, it->name.c_str());
            texture_backend().destroy(it->id);
            it = s.textures.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = s.images.begin(); it != s.images.end();) {
        if (stale((*it)->generation)) {
            if (debug)
                platform::log_printf("deleting image %.900s\n", (*it)->name.c_str());
            it = s.images.erase(it);
        } else {
            ++it;
        }
    }
    if (all) {
        s.textures = std::vector<TextureEntry>();
        s.aliases = std::vector<AliasEntry>();
        s.anims = std::vector<AnimEntry>();
        s.images = std::vector<std::unique_ptr<PixelEntry>>();
        s.memory = 0;
        // A fresh start: what is loaded next is kept like start-up's.
        s.generation = 0;
    }
}

}  // namespace zv::render
