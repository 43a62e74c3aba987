// Contacts other than the tyres: body-part spheres against the ground,
// sphere against sphere, wheels against spheres, track objects, other bikes,
// and the soft distance limit.
#pragma once

#include "sim/bike.h"
#include "sim/vec.h"

namespace zv::sim {

struct SimWorld;

struct WorldSphere {
    Vec3 centre;
    float radius = 0;
    float friction = 1;
    float spring = 2500;
    float damping = 250;
    dBodyID body = nullptr;  // nullptr: static
};

enum class ContactMode { joint, force, detect };

struct SphereTouch {
    float depth = 0;
    Vec3 normal;    // from A toward B
    Vec3 position;
    float friction = 0, spring = 0, damping = 0;
};

// Sphere against sphere. Returns whether they touch (and acts per mode).
bool sphere_sphere(SimWorld& world, const WorldSphere& a, const WorldSphere& b, ContactMode mode,
                   SphereTouch* out = nullptr);
// The force-mode force along the normal for a touch: depth k + closing speed d,
// clamped to +-1000 lbf.
float sphere_force(float depth, float closing_speed, float spring, float damping);

// A soft contact joint between body1 (pushed along normal) and body2.
void add_soft_contact(SimWorld& world, dBodyID body1, dBodyID body2, Vec3 position, Vec3 normal,
                      float depth, float friction, float spring, float damping);

// Keeps two body points (body coordinates) within `limit` feet of each other
// through a soft contact (spring 5000, damping 500). Returns whether it acted.
bool distance_limit(SimWorld& world, dBodyID a, Vec3 point_a, dBodyID b, Vec3 point_b, float limit);

// A body-part sphere in world coordinates.
WorldSphere part_sphere(const Bike& bike, int part, const track::ShapeSphere& s);

// Closest point of triangle abc to p; `face` tells whether it lies inside
// the triangle rather than on an edge or corner.
Vec3 closest_on_triangle(Vec3 p, Vec3 a, Vec3 b, Vec3 c, bool& face);

// Deepest penetration of a sphere into the terrain; depth <= 0 when apart.
struct SphereGround {
    float depth = 0;
    Vec3 point;
    Vec3 normal{0, 1, 0};
};
SphereGround sphere_terrain(const SimWorld& world, Vec3 centre, float radius);

// Wheel contacts (front, then rear), then the body-part spheres. Returns
// whether anything touched. May knock the rider off.
bool collide_bike_terrain(SimWorld& world, Bike& bike);

// Bike against the track objects near it (joint mode). Returns the bit set
// of touching parts. The starting-gate objects count only until 10 seconds
// after the world's start tick.
int collide_bike_objects(SimWorld& world, Bike& bike);

// Bike against bike; returns whether anything touched.
bool collide_bikes(SimWorld& world, Bike& first, Bike& second);

// Knocks the rider off (the crash rules of the bike step).
void knock_off(Bike& bike);

}  // namespace zv::sim
