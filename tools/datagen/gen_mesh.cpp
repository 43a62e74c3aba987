#include "gen_mesh.h"

#include "gen_util.h"

#include <cmath>
#include <utility>

namespace zv::datagen {

double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(V3 a) { return std::sqrt(dot(a, a)); }
V3 normalize(V3 a)
{
    double l = length(a);
    return l > 0 ? a * (1.0 / l) : V3{0, 1, 0};
}

namespace {

float f(double v)
{
    // Rounded to 1/4096 so the printed numbers stay short and exact.
    return static_cast<float>(std::round(v * 4096.0) / 4096.0);
}

}  // namespace

int MeshBuilder::vertex(V3 p, V3 n, double u, double v)
{
    render::JmVertex vert;
    vert.position = {f(p.x), f(p.y), f(p.z)};
    V3 nn = normalize(n);
    vert.normal = {static_cast<float>(std::round(nn.x * 1000) / 1000), static_cast<float>(std::round(nn.y * 1000) / 1000),
                   static_cast<float>(std::round(nn.z * 1000) / 1000)};
    vert.uv = {static_cast<float>(std::round(u * 65536) / 65536), static_cast<float>(std::round(v * 65536) / 65536)};
    if (bones_ > 0) {
        vert.weights.assign(static_cast<std::size_t>(bones_), 0.0f);
        double w = 0;
        if (blend_bone_ >= 0 && blend_distance_ > 0) {
            double d = dot(p - blend_from_, blend_axis_);
            w = 0.5 * clamp01(d / blend_distance_);
        }
        vert.weights[static_cast<std::size_t>(bone_)] = static_cast<float>(1.0 - w);
        if (w > 0)
            vert.weights[static_cast<std::size_t>(blend_bone_)] += static_cast<float>(w);
    }
    verts_.push_back(std::move(vert));
    return static_cast<int>(verts_.size() - 1);
}

void MeshBuilder::triangle(int a, int b, int c)
{
    tris_.push_back({a, b, c});
}

void MeshBuilder::box(V3 c, V3 h, const UvRect& uv, V3 ax, V3 ay, V3 az)
{
    // Six faces, each with its own normal; counter-clockwise seen from outside.
    const V3 axes[3] = {ax, ay, az};
    const double half[3] = {h.x, h.y, h.z};
    for (int a = 0; a < 3; ++a)
        for (int s = -1; s <= 1; s += 2) {
            V3 n = axes[a] * s;
            V3 u = axes[(a + 1) % 3] * half[(a + 1) % 3];
            V3 w = axes[(a + 2) % 3] * half[(a + 2) % 3];
            V3 centre = c + axes[a] * (half[a] * s);
            if (s < 0)
                std::swap(u, w);
            int i0 = vertex(centre - u - w, n, uv.u(0), uv.v(1));
            int i1 = vertex(centre + u - w, n, uv.u(1), uv.v(1));
            int i2 = vertex(centre + u + w, n, uv.u(1), uv.v(0));
            int i3 = vertex(centre - u + w, n, uv.u(0), uv.v(0));
            quad(i0, i1, i2, i3);
        }
}

void MeshBuilder::tube(V3 p0, V3 p1, double r0, double r1, int sides, const UvRect& uv, bool caps)
{
    sides = facets(sides);
    V3 axis = normalize(p1 - p0);
    V3 helper = std::fabs(axis.y) < 0.9 ? V3{0, 1, 0} : V3{1, 0, 0};
    V3 e1 = normalize(cross(axis, helper));
    V3 e2 = cross(e1, axis);
    double slope = (r0 - r1) / std::max(1e-6, length(p1 - p0));
    std::vector<int> ring0, ring1;
    for (int i = 0; i <= sides; ++i) {
        double a = 2 * k_pi * i / sides;
        V3 radial = e1 * std::cos(a) + e2 * std::sin(a);
        V3 n = radial + axis * slope;
        double s = static_cast<double>(i) / sides;
        ring0.push_back(vertex(p0 + radial * r0, n, uv.u(s), uv.v(1)));
        ring1.push_back(vertex(p1 + radial * r1, n, uv.u(s), uv.v(0)));
    }
    for (int i = 0; i < sides; ++i)
        quad(ring0[i], ring0[i + 1], ring1[i + 1], ring1[i]);
    if (!caps)
        return;
    for (int end = 0; end < 2; ++end) {
        V3 c = end ? p1 : p0;
        double r = end ? r1 : r0;
        if (r <= 0)
            continue;
        V3 n = end ? axis : axis * -1;
        int centre = vertex(c, n, uv.u(0.5), uv.v(0.5));
        std::vector<int> rim;
        for (int i = 0; i <= sides; ++i) {
            double a = 2 * k_pi * i / sides;
            rim.push_back(vertex(c + (e1 * std::cos(a) + e2 * std::sin(a)) * r, n, uv.u(0.5 + 0.5 * std::cos(a)),
                                 uv.v(0.5 + 0.5 * std::sin(a))));
        }
        for (int i = 0; i < sides; ++i)
            if (end)
                triangle(centre, rim[i], rim[i + 1]);
            else
                triangle(centre, rim[i + 1], rim[i]);
    }
}

void MeshBuilder::ellipsoid(V3 c, V3 radii, int rings, int segments, const UvRect& uv)
{
    rings = std::max(2, facets(rings));
    segments = facets(segments);
    std::vector<std::vector<int>> grid;
    for (int r = 0; r <= rings; ++r) {
        double th = k_pi * r / rings;  // 0 at the top
        std::vector<int> row;
        for (int s = 0; s <= segments; ++s) {
            double ph = 2 * k_pi * s / segments;
            V3 unit{std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph)};
            V3 p{c.x + radii.x * unit.x, c.y + radii.y * unit.y, c.z + radii.z * unit.z};
            V3 n{unit.x / radii.x, unit.y / radii.y, unit.z / radii.z};
            row.push_back(vertex(p, n, uv.u(static_cast<double>(s) / segments), uv.v(static_cast<double>(r) / rings)));
        }
        grid.push_back(row);
    }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            int a = grid[r][s], b = grid[r][s + 1], cc = grid[r + 1][s + 1], d = grid[r + 1][s];
            if (r > 0)
                triangle(a, b, cc);
            if (r < rings - 1)
                triangle(a, cc, d);
        }
}

void MeshBuilder::torus(V3 c, double R, double r, int segments, int sides, const UvRect& uv)
{
    segments = facets(segments);
    sides = facets(sides);
    std::vector<std::vector<int>> grid;
    for (int s = 0; s <= segments; ++s) {
        double a = 2 * k_pi * s / segments;
        V3 radial{0, std::cos(a), std::sin(a)};
        std::vector<int> row;
        for (int k = 0; k <= sides; ++k) {
            double b = 2 * k_pi * k / sides;
            V3 n = radial * std::cos(b) + V3{1, 0, 0} * std::sin(b);
            V3 p = c + radial * R + n * r;
            row.push_back(vertex(p, n, uv.u(static_cast<double>(s) / segments * 4.0 - std::floor(s * 4.0 / segments)),
                                 uv.v(static_cast<double>(k) / sides)));
        }
        grid.push_back(row);
    }
    for (int s = 0; s < segments; ++s)
        for (int k = 0; k < sides; ++k)
            quad(grid[s][k], grid[s + 1][k], grid[s + 1][k + 1], grid[s][k + 1]);
}

void MeshBuilder::slab(const std::vector<std::array<double, 2>>& zy, double x0, double x1, const UvRect& uv)
{
    std::size_t n = zy.size();
    if (n < 3)
        return;
    double zmin = zy[0][0], zmax = zmin, ymin = zy[0][1], ymax = ymin;
    for (auto& p : zy) {
        zmin = std::min(zmin, p[0]);
        zmax = std::max(zmax, p[0]);
        ymin = std::min(ymin, p[1]);
        ymax = std::max(ymax, p[1]);
    }
    auto su = [&](double z) { return (z - zmin) / std::max(1e-6, zmax - zmin); };
    auto tv = [&](double y) { return (ymax - y) / std::max(1e-6, ymax - ymin); };
    // Orientation of the outline decides the winding of the side faces.
    double area = 0;
    for (std::size_t i = 0; i < n; ++i) {
        auto& a = zy[i];
        auto& b = zy[(i + 1) % n];
        area += a[0] * b[1] - b[0] * a[1];
    }
    for (int side = 0; side < 2; ++side) {
        double x = side ? x1 : x0;
        V3 nrm{side ? 1.0 : -1.0, 0, 0};
        std::vector<int> idx;
        for (auto& p : zy)
            idx.push_back(vertex({x, p[1], p[0]}, nrm, uv.u(su(p[0])), uv.v(tv(p[1]))));
        // In (z, y) with x pointing at the viewer from +x, counter-clockwise
        // in (z, y) means clockwise seen from +x.
        bool flip = (area > 0) == (side == 1);
        for (std::size_t i = 1; i + 1 < n; ++i)
            if (flip)
                triangle(idx[0], idx[i + 1], idx[i]);
            else
                triangle(idx[0], idx[i], idx[i + 1]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        auto& a = zy[i];
        auto& b = zy[(i + 1) % n];
        V3 edge{0, b[1] - a[1], b[0] - a[0]};
        V3 nrm = area > 0 ? V3{0, -edge.z, edge.y} : V3{0, edge.z, -edge.y};
        int i0 = vertex({x0, a[1], a[0]}, nrm, uv.u(0.02), uv.v(0.02));
        int i1 = vertex({x1, a[1], a[0]}, nrm, uv.u(0.08), uv.v(0.02));
        int i2 = vertex({x1, b[1], b[0]}, nrm, uv.u(0.08), uv.v(0.08));
        int i3 = vertex({x0, b[1], b[0]}, nrm, uv.u(0.02), uv.v(0.08));
        quad(i0, i1, i2, i3);  // mesh() turns it to face along nrm
    }
}

void MeshBuilder::disc(V3 c, double r, int segments, bool plus_x, const UvRect& uv)
{
    segments = facets(segments);
    V3 n{plus_x ? 1.0 : -1.0, 0, 0};
    int centre = vertex(c, n, uv.u(0.5), uv.v(0.5));
    std::vector<int> rim;
    for (int i = 0; i <= segments; ++i) {
        double a = 2 * k_pi * i / segments;
        rim.push_back(vertex(c + V3{0, std::cos(a) * r, std::sin(a) * r}, n, uv.u(0.5 + 0.5 * std::sin(a)),
                             uv.v(0.5 - 0.5 * std::cos(a))));
    }
    for (int i = 0; i < segments; ++i) {
        // Going round y then z: cross((0,cos,sin)) turns about +x.
        if (plus_x)
            triangle(centre, rim[i], rim[i + 1]);
        else
            triangle(centre, rim[i + 1], rim[i]);
    }
}

render::JmMesh MeshBuilder::mesh(std::array<float, 5> material) const
{
    render::JmMesh m;
    m.material = material;
    m.vertices = verts_;
    m.triangles = tris_;
    // Every triangle winds counter-clockwise seen from the side its vertex
    // normals point to (the renderer culls back faces).
    for (auto& t : m.triangles) {
        auto pos = [&](int i) {
            const auto& p = m.vertices[static_cast<std::size_t>(i)].position;
            return V3{p[0], p[1], p[2]};
        };
        auto nrm = [&](int i) {
            const auto& n = m.vertices[static_cast<std::size_t>(i)].normal;
            return V3{n[0], n[1], n[2]};
        };
        V3 face = cross(pos(t[1]) - pos(t[0]), pos(t[2]) - pos(t[0]));
        if (dot(face, nrm(t[0]) + nrm(t[1]) + nrm(t[2])) < 0)
            std::swap(t[1], t[2]);
    }
    // Triangles that collapsed when positions were rounded are dropped.
    std::erase_if(m.triangles, [&](const std::array<int, 3>& t) {
        auto pos = [&](int i) {
            const auto& p = m.vertices[static_cast<std::size_t>(i)].position;
            return V3{p[0], p[1], p[2]};
        };
        return length(cross(pos(t[1]) - pos(t[0]), pos(t[2]) - pos(t[0]))) < 1e-9;
    });
    return m;
}

std::string shape_text(const std::vector<ShapeBall>& balls)
{
    std::string out = std::to_string(balls.size()) + "\n";
    for (const ShapeBall& b : balls)
        out += num(b.c.x) + " " + num(b.c.y) + " " + num(b.c.z) + " " + num(b.r) + " " + num(b.friction) + " " +
               num(b.spring) + " " + num(b.damping) + "\n";
    return out;
}

std::string model_text(const std::vector<render::JmMesh>& meshes, int bones, const std::string& skeleton)
{
    render::JmModel m;
    m.version = 2;
    m.bone_count = bones;
    m.skeleton = skeleton;
    m.meshes = meshes;
    auto text = render::write_jm(m);
    return text ? *text : std::string();
}

}  // namespace zv::datagen
