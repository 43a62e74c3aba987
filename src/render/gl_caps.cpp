#include "render/gl_caps.h"

#include <SDL.h>

#include <charconv>
#include <map>

#include "platform/log.h"

namespace zv::render {

namespace {

GlCaps g_caps;
GlProcs g_procs;
std::map<std::string, void*, std::less<>> g_multi_tex_coord;

template <typename F>
void load(F& out, const char* name)
{
    out = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

const char* string_or_null(GLenum which)
{
    const GLubyte* s = glGetString(which);
    return s ? reinterpret_cast<const char*>(s) : "NULL";
}

}  // namespace

const GlCaps& gl_caps() { return g_caps; }
const GlProcs& gl_procs() { return g_procs; }

bool extension_listed(std::string_view list, std::string_view name)
{
    if (name.empty())
        return false;
    std::size_t at = 0;
    while ((at = list.find(name, at)) != std::string_view::npos) {
        bool start = at == 0 || list[at - 1] == ' ';
        std::size_t end = at + name.size();
        bool stop = end == list.size() || list[end] == ' ';
        if (start && stop)
            return true;
        at = end;
    }
    return false;
}

std::pair<int, int> parse_gl_version(std::string_view v)
{
    std::size_t i = 0;
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t' || v[i] == '\n'))
        ++i;
    int major = 0, minor = 0;
    auto [p, ec] = std::from_chars(v.data() + i, v.data() + v.size(), major);
    if (ec != std::errc() || p == v.data() + v.size() || *p != '.')
        return {0, 0};
    const char* q = p + 1;
    while (q < v.data() + v.size() && (*q == ' ' || *q == '\t'))
        ++q;
    auto [p2, ec2] = std::from_chars(q, v.data() + v.size(), minor);
    if (ec2 != std::errc())
        return {major, 0};
    return {major, minor};
}

GlCaps caps_from_strings(const char* vendor, const char* renderer, const char* version, const char* extensions)
{
    GlCaps c;
    c.vendor = vendor ? vendor : "NULL";
    c.renderer = renderer ? renderer : "NULL";
    c.version = version ? version : "NULL";
    c.extensions = extensions ? extensions : "NULL";
    auto [major, minor] = parse_gl_version(c.version);
    c.major = major;
    c.minor = minor;
    c.generate_mipmap = extension_listed(c.extensions, "GL_SGIS_generate_mipmap");
    c.framebuffer_object = extension_listed(c.extensions, "GL_EXT_framebuffer_object");
    c.multitexture = extension_listed(c.extensions, "GL_ARB_multitexture");
    c.fragment_shader = extension_listed(c.extensions, "GL_ARB_fragment_shader");
    c.vertex_shader = extension_listed(c.extensions, "GL_ARB_vertex_shader");
    return c;
}

void* multi_tex_coord_proc(std::string_view name)
{
    auto it = g_multi_tex_coord.find(name);
    return it == g_multi_tex_coord.end() ? nullptr : it->second;
}

void init_gl_caps()
{
    g_caps = caps_from_strings(string_or_null(GL_VENDOR), string_or_null(GL_RENDERER), string_or_null(GL_VERSION),
                               string_or_null(GL_EXTENSIONS));
    platform::log_printf("GL_VENDOR: %s\n", g_caps.vendor.c_str());
    platform::log_printf("GL_RENDERER: %s\n", g_caps.renderer.c_str());
    platform::log_printf("GL_VERSION: %s\n", g_caps.version.c_str());
    platform::log_printf("GL_EXTENSIONS: %s\n", g_caps.extensions.c_str());
    if (g_caps.multitexture) {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        g_caps.texture_units = units;
        platform::log_printf("%d texture units\n", units);
    }
    GlProcs& p = g_procs;
    load(p.active_texture, "glActiveTextureARB");
    load(p.client_active_texture, "glClientActiveTextureARB");
    load(p.multi_tex_coord_2f, "glMultiTexCoord2fARB");
    load(p.multi_tex_coord_3f, "glMultiTexCoord3fARB");
    load(p.multi_tex_coord_4f, "glMultiTexCoord4fARB");
    g_multi_tex_coord.clear();
    for (char n : {'1', '2', '3', '4'})
        for (char t : {'d', 'f', 'i', 's'})
            for (const char* v : {"", "v"}) {
                std::string name = std::string("glMultiTexCoord") + n + t + v + "ARB";
                g_multi_tex_coord[name] = SDL_GL_GetProcAddress(name.c_str());
            }
    load(p.gen_framebuffers, "glGenFramebuffersEXT");
    load(p.delete_framebuffers, "glDeleteFramebuffersEXT");
    load(p.bind_framebuffer, "glBindFramebufferEXT");
    load(p.framebuffer_texture_2d, "glFramebufferTexture2DEXT");
    load(p.check_framebuffer_status, "glCheckFramebufferStatusEXT");
    load(p.gen_renderbuffers, "glGenRenderbuffersEXT");
    load(p.delete_renderbuffers, "glDeleteRenderbuffersEXT");
    load(p.bind_renderbuffer, "glBindRenderbufferEXT");
    load(p.renderbuffer_storage, "glRenderbufferStorageEXT");
    load(p.framebuffer_renderbuffer, "glFramebufferRenderbufferEXT");
    load(p.generate_mipmap, "glGenerateMipmapEXT");
    load(p.create_shader, "glCreateShaderObjectARB");
    load(p.shader_source, "glShaderSourceARB");
    load(p.compile_shader, "glCompileShaderARB");
    load(p.create_program, "glCreateProgramObjectARB");
    load(p.attach_object, "glAttachObjectARB");
    load(p.detach_object, "glDetachObjectARB");
    load(p.delete_object, "glDeleteObjectARB");
    load(p.link_program, "glLinkProgramARB");
    load(p.use_program, "glUseProgramObjectARB");
    load(p.get_object_parameter_iv, "glGetObjectParameterivARB");
    load(p.get_info_log, "glGetInfoLogARB");
    load(p.get_uniform_location, "glGetUniformLocationARB");
    load(p.uniform_1i, "glUniform1iARB");
    load(p.uniform_1f, "glUniform1fARB");
    load(p.uniform_3fv, "glUniform3fvARB");
    load(p.uniform_matrix_3fv, "glUniformMatrix3fvARB");
    load(p.vertex_attrib_4f, "glVertexAttrib4fARB");
}

}  // namespace zv::render
