// Decals draped on the ground: each a textured grid laid over the terrain's
// heights, blended, pulled towards the camera so the ground never hides it.
#include "render/gl.h"
#include "render/render_stats.h"
#include "render/terrain_draw.h"

namespace zv::render {

int draw_decals(track::Terrain& t, const Camera& cam, float max_distance)
{
    if (t.decals.empty())
        return 0;
    constexpr int k_decal_grid = 8;  // subdivisions per side, draped on the ground
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1, -2);
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    int drawn = 0;
    for (const track::Decal& d : t.decals) {
        if (!d.texture)
            continue;
        float dx = d.x - cam.position[0], dz = d.z - cam.position[2];
        if (dx * dx + dz * dz > max_distance * max_distance)
            continue;
        glBindTexture(GL_TEXTURE_2D, d.texture);
        ++render_stats().now.texture_changes;
        // size * aspect long along the rotated x, size wide along the rotated z.
        float ux = d.cos_angle * d.size * d.aspect, uz = -d.sin_angle * d.size * d.aspect;
        float vx = d.sin_angle * d.size, vz = d.cos_angle * d.size;
        for (int j = 0; j < k_decal_grid; ++j) {
            glBegin(GL_TRIANGLE_STRIP);
            for (int i = 0; i <= k_decal_grid; ++i)
                for (int k = 0; k < 2; ++k) {
                    float s = static_cast<float>(i) / k_decal_grid, tt = static_cast<float>(j + k) / k_decal_grid;
                    float x = d.x + (s - 0.5f) * ux + (tt - 0.5f) * vx, z = d.z + (s - 0.5f) * uz + (tt - 0.5f) * vz;
                    glTexCoord2f(s, tt);
                    glVertex3f(x, track::terrain_height(t, x, z) + 0.02f, z);
                }
            glEnd();
        }
        ++drawn;
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    render_stats().now.decals += drawn;
    note_max();
    return drawn;
}

}  // namespace zv::render
