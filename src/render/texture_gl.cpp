// The GL side of textures: wrap and filter rules, border colour, compressed
// formats and per-level memory accounting.
#include <vector>

#include "render/gl.h"
#include "render/textures.h"

namespace zv::render {

namespace {

GLenum base_format(int channels)
{
    switch (channels) {
    case 1: return GL_LUMINANCE;
    case 2: return GL_LUMINANCE_ALPHA;
    case 3: return GL_RGB;
    default: return GL_RGBA;
    }
}

GLenum internal_format(int channels, bool compress)
{
    if (channels == 4)
        return compress ? GL_COMPRESSED_RGBA : GL_RGBA;
    if (channels == 3)
        return compress ? GL_COMPRESSED_RGB : GL_RGB;
    return base_format(channels);
}

class GlTextureBackend final : public TextureBackend {
public:
    TextureId create(const TextureUpload& up, std::size_t& bytes) override
    {
        bytes = 0;
        const Image& im = *up.chain;
        GLuint id = 0;
        glGetError();
        glGenTextures(1, &id);
        if (!id)
            return 0;
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, up.repeat_s ? GL_REPEAT : GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, up.repeat_t ? GL_REPEAT : GL_CLAMP);
        while (glGetError() != GL_NO_ERROR) {
        }
        if (!up.repeat_s)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        if (!up.repeat_t)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        bool edge_failed = glGetError() != GL_NO_ERROR;
        GLint min_filter = up.mipmap ? (edge_failed ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_NEAREST)
                                     : (edge_failed ? GL_NEAREST : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, up.border.data());
        if (!up.mipmap)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        GLenum fmt = base_format(im.channels);
        GLenum internal = internal_format(im.channels, up.compress);
        int w = im.width, h = im.height;
        std::size_t offset = up.first_byte;
        for (int level = 0; level < up.levels; ++level) {
            glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internal), w, h, 0, fmt, GL_UNSIGNED_BYTE,
                         im.pixels.data() + offset);
            std::size_t level_bytes = static_cast<std::size_t>(w) * h * im.channels;
            GLint compressed = 0;
            if (up.compress) {
                glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED, &compressed);
                GLint size = 0;
                if (compressed)
                    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
                bytes += compressed ? static_cast<std::size_t>(size) : level_bytes;
            } else {
                bytes += level_bytes;
            }
            offset += level_bytes;
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
        return id;
    }

    void replace_levels(TextureId id, const Image& chain) override
    {
        glBindTexture(GL_TEXTURE_2D, id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        int levels = mip_level_count(chain.width, chain.height);
        GLenum fmt = base_format(chain.channels);
        for (int level = 0; level < levels; ++level) {
            LevelSize s = mip_level_size(chain.width, chain.height, level);
            std::size_t off = mip_level_offset(chain.width, chain.height, chain.channels, level);
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, s.width, s.height, fmt, GL_UNSIGNED_BYTE,
                            chain.pixels.data() + off);
        }
    }

    void destroy(TextureId id) override
    {
        GLuint name = id;
        glDeleteTextures(1, &name);
    }
};

}  // namespace

TextureBackend& gl_texture_backend()
{
    static GlTextureBackend backend;
    return backend;
}

}  // namespace zv::render
