// What the driver offers: its strings, version, the extension flags the
// renderer uses, the texture unit count and the extension entry points,
// looked up by name once the context exists.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "render/gl.h"

namespace zv::render {

struct GlCaps {
    std::string vendor = "NULL", renderer = "NULL", version = "NULL", extensions = "NULL";
    int major = 0, minor = 0;
    bool generate_mipmap = false;     // GL_SGIS_generate_mipmap
    bool framebuffer_object = false;  // GL_EXT_framebuffer_object
    bool multitexture = false;        // GL_ARB_multitexture
    bool fragment_shader = false;     // GL_ARB_fragment_shader
    bool vertex_shader = false;       // GL_ARB_vertex_shader
    int texture_units = 1;
};

const GlCaps& gl_caps();

// Whether `name` occurs in the list as a whole word (start of list or a blank
// before, a blank or the end after).
bool extension_listed(std::string_view list, std::string_view name);
// Major and minor numbers read from the front of a version string as
// "%d.%d"; (0, 0) when it does not start that way.
std::pair<int, int> parse_gl_version(std::string_view version);
// Fills the capabilities from the strings (the flags and version).
GlCaps caps_from_strings(const char* vendor, const char* renderer, const char* version, const char* extensions);

// Queries the driver, logs its strings, loads the entry points. Call once
// after the context is made current.
void init_gl_caps();

// Extension entry points (null when the driver lacks them).
struct GlProcs {
    PFNGLACTIVETEXTUREARBPROC active_texture = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC client_active_texture = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC multi_tex_coord_2f = nullptr;
    PFNGLMULTITEXCOORD3FARBPROC multi_tex_coord_3f = nullptr;
    PFNGLMULTITEXCOORD4FARBPROC multi_tex_coord_4f = nullptr;
    // Frame buffer objects.
    PFNGLGENFRAMEBUFFERSEXTPROC gen_framebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSEXTPROC delete_framebuffers = nullptr;
    PFNGLBINDFRAMEBUFFEREXTPROC bind_framebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DEXTPROC framebuffer_texture_2d = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC check_framebuffer_status = nullptr;
    PFNGLGENRENDERBUFFERSEXTPROC gen_renderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSEXTPROC delete_renderbuffers = nullptr;
    PFNGLBINDRENDERBUFFEREXTPROC bind_renderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEEXTPROC renderbuffer_storage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC framebuffer_renderbuffer = nullptr;
    PFNGLGENERATEMIPMAPEXTPROC generate_mipmap = nullptr;
    // Shader objects, uniforms and vertex attributes.
    PFNGLCREATESHADEROBJECTARBPROC create_shader = nullptr;
    PFNGLSHADERSOURCEARBPROC shader_source = nullptr;
    PFNGLCOMPILESHADERARBPROC compile_shader = nullptr;
    PFNGLCREATEPROGRAMOBJECTARBPROC create_program = nullptr;
    PFNGLATTACHOBJECTARBPROC attach_object = nullptr;
    PFNGLDETACHOBJECTARBPROC detach_object = nullptr;
    PFNGLDELETEOBJECTARBPROC delete_object = nullptr;
    PFNGLLINKPROGRAMARBPROC link_program = nullptr;
    PFNGLUSEPROGRAMOBJECTARBPROC use_program = nullptr;
    PFNGLGETOBJECTPARAMETERIVARBPROC get_object_parameter_iv = nullptr;
    PFNGLGETINFOLOGARBPROC get_info_log = nullptr;
    PFNGLGETUNIFORMLOCATIONARBPROC get_uniform_location = nullptr;
    PFNGLUNIFORM1IARBPROC uniform_1i = nullptr;
    PFNGLUNIFORM1FARBPROC uniform_1f = nullptr;
    PFNGLUNIFORM3FVARBPROC uniform_3fv = nullptr;
    PFNGLUNIFORMMATRIX3FVARBPROC uniform_matrix_3fv = nullptr;
    PFNGLVERTEXATTRIB4FARBPROC vertex_attrib_4f = nullptr;
};
const GlProcs& gl_procs();

// Every multi-texture-coordinate entry point by its name (all forms are
// looked up); null when absent.
void* multi_tex_coord_proc(std::string_view name);

}  // namespace zv::render
