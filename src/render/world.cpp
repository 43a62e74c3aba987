#include "render/world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/settings.h"
#include "render/billboard_order.h"
#include "render/bike_draw.h"
#include "render/flagger_animation.h"
#include "render/gl.h"
#include "render/models.h"
#include "render/render_stats.h"
#include "render/shaders.h"
#include "render/terrain_draw.h"
#include "render/textures.h"
#include "sim/bike.h"
#include "track/scenery.h"
#include "track/scenery_lighting.h"
#include "track/terrain.h"
#include "track/track.h"

namespace zv::render {

namespace {

constexpr float k_sky_scale = 2886.0f;
constexpr float k_sky_inset = 1.0f / 128.0f;
constexpr float k_alpha_cutoff = 0.75f;
constexpr int k_flare_brightness = 223;

bool g_print_orientation = false;
Vec3f g_eye{};
std::vector<BillboardItem> g_items, g_scratch;

Vec3f sub(const Vec3f& a, const Vec3f& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
float dot(const Vec3f& a, const Vec3f& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void bind(TextureId id, TextureId& bound)
{
    if (id == bound)
        return;
    glBindTexture(GL_TEXTURE_2D, id);
    bound = id;
    ++render_stats().now.texture_changes;
}

void draw_sky(const track::Lighting& light)
{
    // A frustum deep enough for the sky box whatever the track's far plane.
    const Projection& p = projection();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    float n = p.near_plane, f = std::max(p.far_plane, k_sky_scale * 2);
    glFrustum(-p.half_h * n, p.half_h * n, -p.half_v * n, p.half_v * n, n, f);
    glMatrixMode(GL_MODELVIEW);
    glDepthMask(GL_FALSE);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float s = k_sky_scale, lo = k_sky_inset, hi = 1 - k_sky_inset;
    // Corners bottom-left, bottom-right, top-right, top-left as seen from
    // inside the box.
    const float sides[5][4][3] = {
        {{-s, -s, -s}, {s, -s, -s}, {s, s, -s}, {-s, s, -s}},  // north
        {{s, -s, -s}, {s, -s, s}, {s, s, s}, {s, s, -s}},      // east
        {{s, -s, s}, {-s, -s, s}, {-s, s, s}, {s, s, s}},      // south
        {{-s, -s, s}, {-s, -s, -s}, {-s, s, -s}, {-s, s, s}},  // west
        {{-s, s, -s}, {s, s, -s}, {s, s, s}, {-s, s, s}},      // up (north at the top edge)
    };
    const float uv[4][2] = {{lo, hi}, {hi, hi}, {hi, lo}, {lo, lo}};
    const float up_uv[4][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
    TextureId bound = ~0u;
    for (int side = 0; side < 5; ++side) {
        TextureId t = light.sky[static_cast<std::size_t>(side)];
        if (!t)
            continue;
        bind(t, bound);
        glBegin(GL_QUADS);
        for (int k = 0; k < 4; ++k) {
            glTexCoord2fv(side == 4 ? up_uv[k] : uv[k]);
            glVertex3fv(sides[side][k]);
        }
        glEnd();
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void set_light(const track::Lighting& light)
{
    GLfloat pos[4] = {light.sun_vector[0], light.sun_vector[1], light.sun_vector[2], 0};
    GLfloat amb[4] = {light.ambient[0], light.ambient[1], light.ambient[2], 1};
    GLfloat sun[4] = {light.sun_color[0], light.sun_color[1], light.sun_color[2], 1};
    GLfloat global[4] = {light.global_ambient[0], light.global_ambient[1], light.global_ambient[2], 1};
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_AMBIENT, amb);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, sun);
    glLightfv(GL_LIGHT0, GL_SPECULAR, sun);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glEnable(GL_LIGHT0);
}

void draw_statues(double race_time)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_NORMALIZE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    TextureId bound = ~0u;
    for (const track::TrackObject& o : track::track_objects()) {
        Model* m = model_by_id(o.model);
        if (!m)
            continue;
        Mat3f r = o.rotation;
        if (o.spin != 0) {
            // Spinning objects turn at `spin` degrees per second.
            double a = o.angle + race_time * o.spin * 3.14159265358979323846 / 180.0;
            float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
            r = {c, 0, s, 0, 1, 0, -s, 0, c};
        }
        glPushMatrix();
        auto mat = body_matrix({o.x, o.y, o.z}, r);
        glMultMatrixf(mat.data());
        if (o.texture) {
            glEnable(GL_TEXTURE_2D);
            bind(o.texture, bound);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        Vec3f d = {o.x - g_eye[0], o.y - g_eye[1], o.z - g_eye[2]};
        Model& pick = detail_variant(*m, std::sqrt(dot(d, d)));
        begin_model_program(pick, o.texture, o.normal_map, o.specular_map, track::lighting().sky[track::k_sky_env]);
        if (current_program() != k_fixed_function)
            bound = ~0u;  // the program's binds replace the cached one
        draw_model(pick);
        end_model_program();
        glPopMatrix();
    }
    glDisable(GL_NORMALIZE);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
}

void draw_billboards(const Camera& cam)
{
    auto list = track::billboards();
    const Mat3f& r = cam.rotation;
    Vec3f back = {r[6], r[7], r[8]};
    Vec3f side = {r[0], r[1], r[2]};
    Vec3f up = {r[3], r[4], r[5]};
    std::uint32_t camera_key = billboard_depth_key(dot(back, cam.position));
    g_items.clear();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const track::Billboard& b = list[i];
        if (!b.texture || b.a == 0 || !(b.size > 0))
            continue;
        Vec3f p = {b.x, b.y, b.z};
        std::uint32_t key = billboard_depth_key(dot(back, p));
        if (key >= camera_key)
            continue;
        Vec3f d = sub(p, cam.position);
        float depth = -dot(back, d);
        if (!(depth > 0))
            continue;
        float hw = b.aspect * b.size * 0.5f;
        float x = dot(side, d), y = dot(up, d);
        BillboardItem item;
        item.key = key;
        item.index = static_cast<int>(i);
        item.texture = b.texture;
        item.x0 = (x - hw) / depth;
        item.x1 = (x + hw) / depth;
        item.y0 = y / depth;
        item.y1 = (y + b.size) / depth;
        // Off-screen quads cost a sort place but no drawing.
        const Projection& pr = projection();
        if (item.x1 < -pr.half_h || item.x0 > pr.half_h || item.y1 < -pr.half_v * 1.5f || item.y0 > pr.half_v * 1.5f)
            continue;
        g_items.push_back(item);
    }
    radix_sort_billboards(g_items, g_scratch);
    reorder_for_textures(g_items, core::settings().billboard_optimize_lookahead);
    // The horizontal side axis perpendicular to the view.
    Vec3f hs = {back[2], 0, -back[0]};
    float hl = std::sqrt(hs[0] * hs[0] + hs[2] * hs[2]);
    hs = hl > 0 ? Vec3f{hs[0] / hl, 0, hs[2] / hl} : Vec3f{1, 0, 0};
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    TextureId bound = ~0u;
    bool open = false;
    // Roost particles fade out through their colour's alpha and their
    // picture is a soft puff: under the cut-out test they would vanish
    // while still three quarters opaque, so they are blended whole.
    const int roost_base = track::roost_billboard_base();
    bool soft = false;
    for (const BillboardItem& item : g_items) {
        const track::Billboard& b = list[static_cast<std::size_t>(item.index)];
        bool particle = roost_base >= 0 && item.index >= roost_base;
        if (item.texture != bound || particle != soft) {
            if (open)
                glEnd();
            if (particle != soft) {
                glAlphaFunc(particle ? GL_GREATER : GL_GEQUAL, particle ? 0.0f : k_alpha_cutoff);
                soft = particle;
            }
            bind(item.texture, bound);
            glBegin(GL_QUADS);
            open = true;
        }
        float hw = b.aspect * b.size * 0.5f;
        glColor4ub(b.r, b.g, b.b, b.a);
        glTexCoord2f(0, 1);
        glVertex3f(b.x - hs[0] * hw, b.y, b.z - hs[2] * hw);
        glTexCoord2f(1, 1);
        glVertex3f(b.x + hs[0] * hw, b.y, b.z + hs[2] * hw);
        glTexCoord2f(1, 0);
        glVertex3f(b.x + hs[0] * hw, b.y + b.size, b.z + hs[2] * hw);
        glTexCoord2f(0, 0);
        glVertex3f(b.x - hs[0] * hw, b.y + b.size, b.z - hs[2] * hw);
    }
    if (open)
        glEnd();
    if (soft)
        glAlphaFunc(GL_GEQUAL, k_alpha_cutoff);
    render_stats().now.billboards += static_cast<int>(g_items.size());
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glColor4f(1, 1, 1, 1);
}

void draw_flares(const Camera& cam, const track::Lighting& light)
{
    if (light.flares.empty() || core::settings().lens_flare.index == 0)
        return;
    const Projection& p = projection();
    glDisable(GL_FOG);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, p.width, 0, p.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    for (const track::Flare& f : light.flares) {
        ScreenPoint s = f.kind == track::FlareKind::point ? project_point(p, cam, f.position)
                                                           : project_direction(p, cam, f.position);
        if (!s.visible)
            continue;
        GLubyte px[3] = {0, 0, 0};
        GLfloat depth = 0;
        int ix = std::clamp(static_cast<int>(s.x), 0, p.width - 1), iy = std::clamp(static_cast<int>(s.y), 0, p.height - 1);
        glReadPixels(ix, iy, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, px);
        glReadPixels(ix, iy, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        // Bright enough, and nothing drawn in front of the flare's source.
        bool bright = px[0] > k_flare_brightness && px[1] > k_flare_brightness && px[2] > k_flare_brightness;
        bool clear = f.kind == track::FlareKind::point ? depth + 1e-4f >= s.depth : depth >= 0.9999f;
        if (!bright || !clear)
            continue;
        float cx = p.width * 0.5f, cy = p.height * 0.5f;
        for (const track::FlareElement& e : f.elements) {
            if (!e.texture)
                continue;
            float t = e.params[0];
            float x = s.x + (cx - s.x) * t, y = s.y + (cy - s.y) * t;
            float half = e.size * p.height * 0.1f;
            glBindTexture(GL_TEXTURE_2D, e.texture);
            glColor4f(e.color[0], e.color[1], e.color[2], std::clamp(e.params[1], 0.0f, 1.0f));
            glBegin(GL_QUADS);
            glTexCoord2f(0, 1);
            glVertex2f(x - half, y - half);
            glTexCoord2f(1, 1);
            glVertex2f(x + half, y - half);
            glTexCoord2f(1, 0);
            glVertex2f(x + half, y + half);
            glTexCoord2f(0, 0);
            glVertex2f(x - half, y + half);
            glEnd();
        }
    }
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glColor4f(1, 1, 1, 1);
}

void draw_bikes(const WorldFrame& frame, bool faded)
{
    for (const BikeInFrame& b : frame.bikes) {
        if (!b.bike || !b.visible)
            continue;
        if ((b.fade < 1) != faded || b.fade <= 0)
            continue;
        BikeDrawOptions o;
        o.opacity = b.fade;
        bool own = frame.first_person && b.slot == frame.viewed_slot;
        o.first_person = own;
        o.hide_rider = own && core::settings().hide_rider.index == 1;
        draw_bike(*b.bike, o);
    }
}

}  // namespace

void set_print_orientation(bool on) { g_print_orientation = on; }

void draw_world(const Camera& camera, const WorldFrame& frame_in)
{
    WorldFrame frame = frame_in;
    const track::Lighting& light = track::lighting();
    g_eye = camera.position;
    set_model_viewpoint(camera.position);
    // 1. Statistics, scenery that moves with the race clock, animations.
    reset_frame_stats();
    reset_shader_changes();
    if (frame.update_scenery)
        frame.update_scenery();
    restart_changed_flagger_animations(frame.tick);
    update_animations(frame.tick);
    // 2. The camera's rotation.
    glMatrixMode(GL_MODELVIEW);
    auto rot = rotation_matrix_gl(camera.rotation);
    glLoadMatrixf(rot.data());
    if (shaders_in_use())
        set_envmat(camera.rotation.data());
    // 3. Depth test, clear and sky.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    // Without all five sky pictures the colour is cleared too, so no part
    // of an earlier frame shows through a missing side.
    bool sky = true;
    for (int side = 0; side < 5; ++side)
        sky = sky && light.sky[static_cast<std::size_t>(side)] != 0;
    glClearColor(light.fog_color[0], light.fog_color[1], light.fog_color[2], 1);
    glClear(sky ? GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The sky itself is drawn once the solid world is in (after step 10), at
    // the far depth, so it fills only the pixels nothing else covers: the
    // same picture as drawing it first, without shading the hidden part.
    // 4. Fog.
    if (light.fog_density > 0) {
        GLfloat fog[4] = {light.fog_color[0], light.fog_color[1], light.fog_color[2], 1};
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, light.fog_density);
        glFogfv(GL_FOG_COLOR, fog);
        glEnable(GL_FOG);
    } else {
        glDisable(GL_FOG);
    }
    // 5. World position.
    glTranslatef(-camera.position[0], -camera.position[1], -camera.position[2]);
    // 6. The sun.
    set_light(light);
    // 7. Terrain.
    TerrainDrawOptions t;
    t.detail = terrain_detail();
    draw_terrain(track::loaded_terrain(), camera, t);
    draw_decals(track::loaded_terrain(), camera, 400.0f);
    // 8. Cut-out textures.
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, k_alpha_cutoff);
    // 9. Ghosts fade by their distance to the viewed rider; opaque bikes.
    float fade_distance = static_cast<float>(core::settings().ghost_fade_distance.value);
    std::optional<Vec3f> anchor = frame.ghost_anchor;
    const sim::Bike* viewed = nullptr;
    for (const BikeInFrame& b : frame.bikes)
        if (b.slot == frame.viewed_slot)
            viewed = b.bike;
    if (!anchor && viewed) {
        const dReal* q = dBodyGetPosition(viewed->body(sim::k_frame));
        anchor = Vec3f{static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2])};
    }
    for (BikeInFrame& b : frame.bikes) {
        if (!b.ghost || !b.bike || !anchor)
            continue;
        const dReal* p = dBodyGetPosition(b.bike->body(sim::k_frame));
        Vec3f d = {static_cast<float>(p[0]) - (*anchor)[0], static_cast<float>(p[1]) - (*anchor)[1],
                   static_cast<float>(p[2]) - (*anchor)[2]};
        b.fade = ghost_fade(std::sqrt(dot(d, d)), fade_distance);
    }
    draw_bikes(frame, false);
    // 10. Statues.
    draw_statues(frame.race_time);
    if (sky) {
        glPushMatrix();
        glLoadMatrixf(rot.data());
        glDisable(GL_FOG);
        glDepthFunc(GL_LEQUAL);
        glDepthRange(1.0, 1.0);
        draw_sky(light);
        glDepthRange(0.0, 1.0);
        if (light.fog_density > 0)
            glEnable(GL_FOG);
        glPopMatrix();
        glEnable(GL_TEXTURE_2D);
    }
    // 11. Billboards.
    draw_billboards(camera);
    // 12. Fading ghosts.
    glDisable(GL_ALPHA_TEST);
    draw_bikes(frame, true);
    // 13. Fixed function again.
    use_program(0);
    // 14. Lens flares.
    glDisable(GL_FOG);
    glLoadIdentity();
    draw_flares(camera, light);
    glDepthFunc(GL_LESS);
    render_stats().now.shader_changes = shader_changes();
    note_max();
}

Camera rider_camera(const sim::Bike& bike, const WorldFrame& frame)
{
    dBodyID rider = bike.body(sim::k_rider);
    const dReal* p = dBodyGetPosition(rider);
    const dReal* r = dBodyGetRotation(rider);
    const dReal* v = dBodyGetLinearVel(rider);
    Mat3f rot;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rot[static_cast<std::size_t>(3 * i + j)] = static_cast<float>(r[4 * i + j]);
    // The head points: the helmet's centre and half a foot below it, in the
    // rider body's frame.
    Vec3f head = {bike.info.pose_point(sim::k_pose_head).x - bike.info.rider_position.x,
                  bike.info.pose_point(sim::k_pose_head).y - bike.info.rider_position.y,
                  bike.info.pose_point(sim::k_pose_head).z - bike.info.rider_position.z};
    Vec3f low = {head[0], head[1] - 0.5f, head[2]};
    Vec3f high = {head[0], head[1] + 0.1f, head[2]};
    Camera cam = rider_camera_pose({static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])}, rot,
                                   {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])}, low,
                                   high, static_cast<float>(core::settings().first_person_height.value),
                                   static_cast<float>(core::settings().first_person_angle.value));
    if (g_print_orientation) {
        std::string line = orientation_line(frame.race_time, cam);
        std::fputs(line.c_str(), stdout);
    }
    WorldFrame f = frame;
    f.first_person = true;
    draw_world(cam, f);
    return cam;
}

Camera look_at_camera(const Vec3f& from, const Vec3f& to, const WorldFrame& frame)
{
    Camera cam = look_at(from, to);
    WorldFrame f = frame;
    f.first_person = false;
    draw_world(cam, f);
    return cam;
}

ChasePoints chase_points(const sim::Bike& bike, const Vec3f& centre, float height, float distance)
{
    dBodyID frame = bike.body(sim::k_frame);
    const dReal* p = dBodyGetPosition(frame);
    const dReal* r = dBodyGetRotation(frame);
    ChasePoints c;
    for (int i = 0; i < 3; ++i)
        c.target[static_cast<std::size_t>(i)] =
            static_cast<float>(p[i] + r[4 * i] * centre[0] + r[4 * i + 1] * centre[1] + r[4 * i + 2] * centre[2]);
    // Behind the bike: its own z axis (pointing to the rear), made level.
    float bx = static_cast<float>(r[2]), bz = static_cast<float>(r[10]);
    float len = std::sqrt(bx * bx + bz * bz);
    if (len > 1e-4f) {
        bx /= len;
        bz /= len;
    } else {
        bx = 0;
        bz = 1;
    }
    c.eye = {c.target[0] + bx * distance, c.target[1] + height, c.target[2] + bz * distance};
    float ground = track::terrain_height(c.eye[0], c.eye[2]) + 1.0f;
    c.eye[1] = std::max(c.eye[1], ground);
    return c;
}

}  // namespace zv::render
