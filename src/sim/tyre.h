// Tyres against the ground: the torus-against-triangle test, the tyre's
// squash-dependent contact spring, surface friction and rolling resistance.
#pragma once

#include "sim/bike.h"
#include "sim/vec.h"

namespace zv::track {
struct Terrain;
struct TileType;
}

namespace zv::sim {

struct SimWorld;

struct TorusHit {
    float depth = 0;  // penetration; <= 0: apart
    Vec3 point;       // deepest point of the tyre
    Vec3 normal{0, 1, 0};
};

// Penetration of a torus (centre, unit axle, ring radius R, section radius r)
// into the triangle t0 t1 t2, whose upward normal is cross(t1 - t0, t2 - t0).
TorusHit torus_triangle(Vec3 centre, Vec3 axle, float ring, float section, Vec3 t0, Vec3 t1, Vec3 t2);

// Deepest penetration of the torus into the terrain (the cells under its
// bounding square); depth 0 when it touches nothing.
TorusHit torus_terrain(const track::Terrain& terrain, Vec3 centre, Vec3 axle, float ring, float section);

// Grid cells under the square of half-extent h around c: cell indices
// [i0, i1) x [j0, j1). Past the field's edge the cells keep their place and
// repeat the edge heights. False when the square is not finite or too large.
struct CellRange {
    int i0, i1, j0, j1;
};
bool cell_range(const track::Terrain& terrain, Vec3 c, float h, CellRange& out);

// A grid vertex at its (possibly off-field) place with the clamped sample's height.
Vec3 grid_vertex(const track::Terrain& terrain, int i, int j);

// Soft-contact constants for a spring k and damper d over one tick.
inline float soft_erp(float k, float d) { return k_dt * k / (k_dt * k + d); }
inline float soft_cfm(float k, float d) { return 1.0f / (k_dt * k + d); }

// The tyre's contact spring: stiffer as it squashes, full at one section radius.
struct TyreSpring {
    float k, d;
};
TyreSpring tyre_spring(float depth, float section_radius);

// Grip multiplier: 1, or with arcade physics falling to 0.625 at 45 degrees of lean.
float friction_scale(bool arcade, float lean);

// The tile under a point (a default tile when the terrain has none).
const track::TileType& tile_at(const track::Terrain* terrain, float x, float z);

// A contact normal that points down loses its vertical part, or becomes
// straight up when nothing is left of it.
Vec3 upward_normal(Vec3 n);

// Fills the wheel's contact record and the contact joint's parameters
// (friction, soft spring, first friction direction) without creating it.
bool wheel_contact(const SimWorld& world, WheelContact& wheel, float friction_scale, dContact& contact);

// Fills the wheel's contact record, creates its contact joint and adds the
// rolling resistance. Returns whether the wheel touches.
bool collide_wheel(SimWorld& world, WheelContact& wheel, float friction_scale);

}  // namespace zv::sim
