// Drawing models: display lists where they pay, arrays otherwise, tangents
// and bone weights on texture units 1 to 3 for the shader programs, and
// software skinning when the programs are off.
#include <algorithm>
#include <array>

#include "render/gl_caps.h"
#include "render/models.h"
#include "render/render_stats.h"
#include "render/shaders.h"
#include "render/textures.h"

namespace zv::render {

namespace {

bool g_vertex_arrays = true;
float g_opacity = 1;  // the caller's fade (ghosts), times every material's alpha

struct Bones {
    int n = 0;
    std::array<float, 3 * k_max_skin_bones * 4> centres{}, translations{};
    std::array<float, 9 * k_max_skin_bones * 4> rotations{};
};
Bones g_bones;
constexpr int k_max_bones_kept = k_max_skin_bones * 4;

void set_material(const Mesh& m)
{
    const std::array<float, 4> c = material_colour(m.colour, g_opacity);
    glColor4fv(c.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c.data());
    float shine = m.m1 >= 0 ? std::clamp(m.m1, 0.0f, 128.0f) : 32.0f;
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shine);
    // A modest highlight; the material's shininess shapes it.
    static const float k_specular[4] = {0.25f, 0.25f, 0.25f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, k_specular);
}

void bind_unit(int unit, unsigned texture)
{
    const GlProcs& p = gl_procs();
    if (!p.active_texture)
        return;
    p.active_texture(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, texture);
    p.active_texture(GL_TEXTURE0_ARB);
}

void send_immediate(const Mesh& m)
{
    glBegin(GL_TRIANGLES);
    for (int i : m.triangles) {
        std::size_t k = static_cast<std::size_t>(i);
        glTexCoord2fv(&m.uvs[k * 2]);
        glNormal3fv(&m.normals[k * 3]);
        glVertex3fv(&m.positions[k * 3]);
    }
    glEnd();
}

void client_unit(int unit)
{
    if (gl_procs().client_active_texture)
        gl_procs().client_active_texture(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
}

void draw_arrays(const Mesh& m, bool extra_units)
{
    if (!g_vertex_arrays) {
        send_immediate(m);
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m.positions.data());
    glNormalPointer(GL_FLOAT, 0, m.normals.data());
    client_unit(0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, m.uvs.data());
    bool units = extra_units && gl_procs().client_active_texture;
    if (units) {
        client_unit(1);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, m.tangents.data());
        if (m.skinned()) {
            client_unit(2);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(4, GL_FLOAT, 0, m.weights.data());
            client_unit(3);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(4, GL_INT, 0, m.bone_indices.data());
        }
    }
    glDrawElements(GL_TRIANGLES, m.triangle_count * 3, GL_UNSIGNED_INT, m.triangles.data());
    if (units) {
        for (int u = m.skinned() ? 3 : 1; u >= 1; --u) {
            client_unit(u);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        client_unit(0);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace

void set_vertex_arrays(bool on) { g_vertex_arrays = on; }

int choose_model_program(const Model& model, unsigned normal_map, unsigned specular_map, unsigned env_map)
{
    if (!shaders_in_use())
        return k_fixed_function;
    if (model.env_flag && env_map)
        return normal_map ? k_program_norm_env : k_program_env;
    if (normal_map && specular_map)
        return k_program_norm_spec_lit;
    if (normal_map)
        return k_program_norm_lit;
    return k_program_lit;
}

void begin_model_program(const Model& model, unsigned texture, unsigned normal_map, unsigned specular_map,
                         unsigned env_map)
{
    int slot = choose_model_program(model, normal_map, specular_map, env_map);
    use_program(slot);
    if (slot == k_fixed_function)
        return;
    if (slot == k_program_env || slot == k_program_norm_env) {
        glBindTexture(GL_TEXTURE_2D, env_map);
    } else {
        // The programs always sample a picture: plain white stands in.
        static unsigned white = 0;
        if (!white) {
            const std::uint8_t px[4] = {255, 255, 255, 255};
            white = make_texture_nomip(px, 1, 1, 4);
        }
        glBindTexture(GL_TEXTURE_2D, texture ? texture : white);
    }
    if (normal_map)
        bind_unit(1, normal_map);
    if (specular_map)
        bind_unit(2, specular_map);
}

void end_model_program()
{
    if (current_program() == k_fixed_function)
        return;
    bind_unit(2, 0);
    bind_unit(1, 0);
    use_program(k_fixed_function);
}

void set_model_bones(int n, const float* centres, const float* translations, const float* rotations)
{
    n = std::clamp(n, 0, k_max_bones_kept);
    g_bones.n = n;
    if (n == 0)
        return;
    std::copy(centres, centres + 3 * n, g_bones.centres.begin());
    std::copy(translations, translations + 3 * n, g_bones.translations.begin());
    std::copy(rotations, rotations + 9 * n, g_bones.rotations.begin());
}

void skin_mesh(Mesh& m, int n, const float* c, const float* t, const float* r)
{
    if (!m.skinned())
        return;
    if (n <= 0) {  // no bones: the bind pose
        m.positions = m.bind_positions;
        m.normals = m.bind_normals;
        m.tangents = m.bind_tangents;
        return;
    }
    for (int v = 0; v < m.vertex_count; ++v) {
        std::size_t k3 = static_cast<std::size_t>(v) * 3, k4 = static_cast<std::size_t>(v) * 4;
        float p[3] = {0, 0, 0}, nn[3] = {0, 0, 0}, tt[3] = {0, 0, 0};
        for (int s = 0; s < 4; ++s) {
            float w = m.weights[k4 + s];
            int b = m.bone_indices[k4 + s];
            if (w <= 0 || b < 0 || b >= n)
                continue;
            const float* R = r + 9 * b;
            float rel[3] = {m.bind_positions[k3] - c[3 * b], m.bind_positions[k3 + 1] - c[3 * b + 1],
                            m.bind_positions[k3 + 2] - c[3 * b + 2]};
            for (int i = 0; i < 3; ++i) {
                p[i] += w * (R[3 * i] * rel[0] + R[3 * i + 1] * rel[1] + R[3 * i + 2] * rel[2] + t[3 * b + i]);
                nn[i] += w * (R[3 * i] * m.bind_normals[k3] + R[3 * i + 1] * m.bind_normals[k3 + 1] +
                              R[3 * i + 2] * m.bind_normals[k3 + 2]);
                tt[i] += w * (R[3 * i] * m.bind_tangents[k3] + R[3 * i + 1] * m.bind_tangents[k3 + 1] +
                              R[3 * i + 2] * m.bind_tangents[k3 + 2]);
            }
        }
        for (int i = 0; i < 3; ++i) {
            m.positions[k3 + i] = p[i];
            m.normals[k3 + i] = nn[i];
            m.tangents[k3 + i] = tt[i];
        }
    }
}

std::array<float, 4> material_colour(const std::array<float, 4>& colour, float opacity)
{
    return {colour[0], colour[1], colour[2], colour[3] * std::clamp(opacity, 0.0f, 1.0f)};
}

void set_model_opacity(float opacity) { g_opacity = std::clamp(opacity, 0.0f, 1.0f); }
float model_opacity() { return g_opacity; }

void free_model_lists(Model& model)
{
    for (Mesh& m : model.meshes)
        if (m.display_list) {
            glDeleteLists(m.display_list, 1);
            m.display_list = 0;
        }
}

void draw_model(Model& model)
{
    bool shaders = shaders_in_use();
    RenderStats& stats = render_stats();
    for (Mesh& m : model.meshes) {
        stats.now.model_vertices += m.vertex_count;
        stats.now.model_polygons += m.triangle_count;
        if (m.triangle_count == 0)
            continue;
        set_material(m);
        // A faded model keeps the blending its caller set up.
        bool translucent = m.m1 < 0 && m.colour[3] < 1.0f && g_opacity >= 1;
        if (translucent) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        bool listable = shaders ? !m.skinned() : (!m.skinned() && m.m1 >= 0);
        if (listable) {
            if (!m.list_tried) {
                m.list_tried = true;
                m.display_list = glGenLists(1);
                if (m.display_list) {
                    glNewList(m.display_list, GL_COMPILE);
                    draw_arrays(m, shaders);
                    glEndList();
                }
            }
            if (m.display_list)
                glCallList(m.display_list);
            else
                draw_arrays(m, shaders);
        } else {
            if (m.skinned()) {
                if (shaders)
                    set_bones(g_bones.n, g_bones.centres.data(), g_bones.translations.data(),
                              g_bones.rotations.data());
                else
                    skin_mesh(m, g_bones.n, g_bones.centres.data(), g_bones.translations.data(),
                              g_bones.rotations.data());
            }
            draw_arrays(m, shaders);
            if (m.skinned() && shaders)
                set_bones(0, nullptr, nullptr, nullptr);
        }
        if (translucent)
            glDisable(GL_BLEND);
    }
    note_max();
}

}  // namespace zv::render
