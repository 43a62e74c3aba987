// Building low-polygon meshes for ".jm" models from simple solids, each
// solid mapped onto a rectangle of its texture atlas and bound to one bone.
#pragma once

#include "render/jm_format.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace zv::datagen {

struct V3 {
    double x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(V3 a, V3 b);
V3 cross(V3 a, V3 b);
double length(V3 a);
V3 normalize(V3 a);

// A rectangle of the texture atlas in pixels (top-left origin) of an atlas
// of the given size; converted to the file's texture coordinates.
struct UvRect {
    double x0 = 0, y0 = 0, x1 = 1, y1 = 1;  // pixels
    double size = 1;                        // atlas edge in pixels
    double u(double s) const { return (x0 + (x1 - x0) * s) / size; }
    double v(double t) const { return 1.0 - (y0 + (y1 - y0) * t) / size; }
};

class MeshBuilder {
public:
    explicit MeshBuilder(int bone_count = 0, int lod = 0) : bones_(bone_count), lod_(lod) {}
    // Level of detail: 0 full, each step halves the facets of round solids
    // (never below a triangle's worth); small parts are left out from 2 on.
    int lod() const { return lod_; }
    int facets(int n) const { return std::max(lod_ >= 2 ? 3 : 4, n >> lod_); }
    void set_bone(int bone) { bone_ = bone; }
    // A second bone that takes `weight` of the following vertices whose
    // position lies beyond `from` along `axis` (a blended joint); weight 0
    // turns blending off.
    void set_blend(int bone, V3 from, V3 axis, double distance)
    {
        blend_bone_ = bone;
        blend_from_ = from;
        blend_axis_ = axis;
        blend_distance_ = distance;
    }
    void clear_blend() { blend_bone_ = -1; }

    int vertex(V3 p, V3 n, double u, double v);
    void triangle(int a, int b, int c);
    void quad(int a, int b, int c, int d) { triangle(a, b, c), triangle(a, c, d); }

    // Box centred at c with half sizes h, axes ax, ay, az (unit, orthogonal).
    void box(V3 c, V3 h, const UvRect& uv, V3 ax = {1, 0, 0}, V3 ay = {0, 1, 0}, V3 az = {0, 0, 1});
    // Tube from p0 (radius r0) to p1 (radius r1), `sides` facets, closed ends.
    void tube(V3 p0, V3 p1, double r0, double r1, int sides, const UvRect& uv, bool caps = true);
    void ellipsoid(V3 c, V3 radii, int rings, int segments, const UvRect& uv);
    // Torus around the x axis at c: ring radius R, tube radius r.
    void torus(V3 c, double R, double r, int segments, int sides, const UvRect& uv);
    // A convex outline in the (z, y) plane extruded between x0 and x1.
    void slab(const std::vector<std::array<double, 2>>& zy, double x0, double x1, const UvRect& uv);
    // A disc in the (z, y) plane at x facing +x (or -x), centre c.
    void disc(V3 c, double r, int segments, bool facing_plus_x, const UvRect& uv);

    render::JmMesh mesh(std::array<float, 5> material = {32, 1, 1, 1, 1}) const;
    int bone_count() const { return bones_; }
    std::size_t vertex_count() const { return verts_.size(); }

private:
    int bones_;
    int lod_ = 0;
    int bone_ = 0;
    int blend_bone_ = -1;
    V3 blend_from_, blend_axis_;
    double blend_distance_ = 0;
    std::vector<render::JmVertex> verts_;
    std::vector<std::array<int, 3>> tris_;
};

// A shape file's text: "n" then n spheres of seven numbers.
struct ShapeBall {
    V3 c;
    double r;
    double friction, spring, damping;
};
std::string shape_text(const std::vector<ShapeBall>& balls);

// A one-mesh JM2 model file (no bones) or a skinned one.
std::string model_text(const std::vector<render::JmMesh>& meshes, int bones = 0,
                       const std::string& skeleton = "none");

}  // namespace zv::datagen
