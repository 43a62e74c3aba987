// Test helpers for the renderer: private data folders with a captured log,
// a texture backend that records uploads instead of calling GL, and tiny
// image builders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/data_file.h"
#include "platform/log.h"
#include "render/png_io.h"
#include "render/textures.h"
#include "support/temp_dir.h"

namespace zv::test {

class RecordingBackend final : public render::TextureBackend {
public:
    struct Created {
        render::TextureId id;
        int width, height, channels, levels;
        bool repeat_s, repeat_t, mipmap, compress;
        std::array<float, 4> border;
    };
    std::vector<Created> created;
    std::vector<render::TextureId> destroyed;
    std::vector<render::TextureId> replaced;
    render::TextureId next = 1;

    render::TextureId create(const render::TextureUpload& up, std::size_t& bytes) override
    {
        bytes = 0;
        int w = up.chain->width, h = up.chain->height;
        for (int l = 0; l < up.levels; ++l) {
            bytes += static_cast<std::size_t>(w) * h * up.chain->channels;
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
        created.push_back({next, up.chain->width, up.chain->height, up.chain->channels, up.levels,
                           up.repeat_s, up.repeat_t, up.mipmap, up.compress, up.border});
        return next++;
    }
    void replace_levels(render::TextureId id, const render::Image&) override { replaced.push_back(id); }
    void destroy(render::TextureId id) override { destroyed.push_back(id); }
};

class RenderFolders : public ::testing::Test {
protected:
    RenderFolders()
        : xdg_("XDG_DATA_HOME", tmp_.str() + "xdg"),
          zv_home_("ZV_HOME", tmp_.str() + "data"),
          torv_log_("TORV_LOGFILE", tmp_.str() + "log.txt"),
          flags_("TORV_LOGFILE_FLAGS", std::nullopt)
    {
        platform::log_close();
        core::reset_data_files();
        render::release_textures(true);
        render::set_texture_backend(&backend_);
        render::set_texture_detail_skip(0);
        render::set_texture_compression(0);
        render::set_gl_major_version(2);
        render::set_texture_companions(false);
    }
    ~RenderFolders() override
    {
        render::release_textures(true);
        render::set_texture_backend(nullptr);
        core::reset_data_files();
        platform::log_close();
    }

    std::string data() const { return tmp_.str() + "data/"; }
    void put(const std::string& name, std::string_view bytes) { write_file(data() + name, bytes); }
    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) { write_file(data() + name, bytes); }
    std::string log()
    {
        platform::log_close();
        return read_file(tmp_.str() + "log.txt").value_or("");
    }

    TempDir tmp_;
    ScopedEnv xdg_;
    ScopedEnv zv_home_;
    ScopedEnv torv_log_;
    ScopedEnv flags_;
    RecordingBackend backend_;
};

inline std::vector<std::uint8_t> flat_pixels(int w, int h, std::vector<std::uint8_t> colour)
{
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(w) * h * colour.size());
    for (int i = 0; i < w * h; ++i)
        out.insert(out.end(), colour.begin(), colour.end());
    return out;
}

inline std::vector<std::uint8_t> png_bytes(int w, int h, render::PngFormat format, std::vector<std::uint8_t> pixels,
                                           std::vector<std::pair<std::string, std::string>> text = {})
{
    render::PngImage im;
    im.width = w;
    im.height = h;
    im.format = format;
    im.pixels = std::move(pixels);
    im.text = std::move(text);
    return render::encode_png(im).value();
}

inline std::vector<std::uint8_t> flat_png(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return png_bytes(w, h, render::PngFormat::rgb, flat_pixels(w, h, {r, g, b}));
}

}  // namespace zv::test
