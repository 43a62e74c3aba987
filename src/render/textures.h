// Textures by name: every image the game shows is loaded here into a texture
// with a full mip chain, cached by name with a generation (0 = permanent,
// loaded at start-up), reduced in detail at load time, animated, aliased,
// and counted in the texture memory the track loader reports. A second entry
// returns images as RGBA pixels for code that works on pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "render/image.h"

namespace zv::render {

using TextureId = std::uint32_t;  // the GL texture object name; 0 = none

// What one upload asks of the graphics driver.
struct TextureUpload {
    const Image* chain = nullptr;     // image.pixels from `first_byte` on hold the levels
    std::size_t first_byte = 0;
    int levels = 1;                   // levels to upload, largest first
    bool repeat_s = false, repeat_t = false;
    bool mipmap = true;
    bool compress = false;
    std::array<float, 4> border{};
};

// The driver side of textures; the GL one is installed by default, tests put
// their own.
class TextureBackend {
public:
    virtual ~TextureBackend() = default;
    // Creates a texture object and uploads; returns its name (0 on failure)
    // and the bytes of texture memory it takes.
    virtual TextureId create(const TextureUpload& upload, std::size_t& bytes) = 0;
    // Replaces every level of a texture (animation frames).
    virtual void replace_levels(TextureId id, const Image& chain) = 0;
    virtual void destroy(TextureId id) = 0;
};
void set_texture_backend(TextureBackend* backend);  // nullptr: the GL one
TextureBackend& texture_backend();

// ---- settings ----
void set_texture_detail_skip(int skip);
int texture_detail_skip();
// 0 never, 1 when the info asks for it ("[compress]"), 2 always.
void set_texture_compression(int mode);
void set_gl_major_version(int major);
// Companion maps are looked for only while shader programs are in use.
void set_texture_companions(bool on);

// ---- loading ----
TextureId load_texture(std::string_view name);
// Uploads pixels with a complete mip chain / level 0 only (no mipmaps).
TextureId make_texture(const std::uint8_t* pixels, int width, int height, int channels);
TextureId make_texture_nomip(const std::uint8_t* pixels, int width, int height, int channels);
// Pixels (4 channels, with mip chain), valid until the image is released.
bool load_image_rgba(std::string_view name, const std::uint8_t*& pixels, int& width, int& height);

// Info text and requested name of a texture; "" when unknown.
const std::string& texture_info(TextureId id);
const std::string& texture_name(TextureId id);

// The normal and specular companions of a texture name: the extension is
// replaced by "_norm.seq", "_norm.png", "_norm.ppm" (and "_spec..." likewise)
// and the first that loads is taken. Both 0 while companions are off.
struct CompanionMaps {
    TextureId normal = 0, specular = 0;
};
CompanionMaps load_companion_maps(std::string_view texture_name);
// The names tried for one suffix ("_norm" or "_spec"); empty without an
// extension.
std::array<std::string, 3> companion_names(std::string_view texture_name, std::string_view suffix);

// ---- animations ----
void start_animation(TextureId id, int time);
void pause_animation(TextureId id);
void update_animations(int time);
// The step an animation shows at `time` (exposed for the tests).
int animation_step(int time, int start, int ticks_per_step, int steps, bool loop);

// ---- generations and memory ----
void advance_texture_generation();
int texture_generation();
std::size_t texture_memory();
void set_texture_memory(std::size_t bytes);
// Flag false: deletes what the current generation did not request (keeping
// the permanent ones); true: everything, and the generation starts at 0
// again.
void release_textures(bool all);
int texture_count();

// ---- pure steps of the build (tests) ----
// Non-power-of-two resampling, detail skip and smoothness reduction of a
// chain. Logs the warnings and the reduction line under `name`.
MipChain prepare_texture_chain(Image chain, std::string_view name, int skip, bool max_alpha);

}  // namespace zv::render
