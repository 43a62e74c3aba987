// Drawing the world for one frame: sky, fog and light, the terrain, bikes,
// statues, billboards and lens flares, in a fixed order, from a camera. The
// main loop's entry points are draw_world, rider_camera and look_at_camera.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "render/camera.h"

namespace zv::sim {
struct Bike;
}

namespace zv::render {

struct BikeInFrame {
    const sim::Bike* bike = nullptr;
    int slot = 0;
    float fade = 1;            // 1 opaque; ghosts fade as they come near
    bool ghost = false;        // a recorded ghost: fades with distance
    bool visible = true;       // false: the history reports it not visible
};

struct WorldFrame {
    int tick = 0;                    // race tick (animations)
    double race_time = 0;            // seconds
    int viewed_slot = 0;
    std::vector<BikeInFrame> bikes;
    bool first_person = false;       // the viewed rider's own eyes
    // The point ghosts fade from (the player's bike); none: the viewed
    // rider's bike.
    std::optional<Vec3f> ghost_anchor;
    // Moves the start gate and sets the flaggers' pictures for this frame.
    std::function<void()> update_scenery;
};

// Draws one frame from the camera; the viewport and projection come from
// set_projection.
void draw_world(const Camera& camera, const WorldFrame& frame);
// The rider view: the camera on the viewed rider's head (writes the
// orientation line with "--print-orientation"), then draws. Returns the
// camera.
Camera rider_camera(const sim::Bike& bike, const WorldFrame& frame);
// Places a camera at `from` looking at `to` and draws.
Camera look_at_camera(const Vec3f& from, const Vec3f& to, const WorldFrame& frame);
// The chase view's eye and target behind a bike: `centre` in the frame
// body's coordinates, `height` and `distance` in feet; the eye stays above
// the ground.
struct ChasePoints {
    Vec3f eye, target;
};
ChasePoints chase_points(const sim::Bike& bike, const Vec3f& centre, float height, float distance);

// "--print-orientation".
void set_print_orientation(bool on);

}  // namespace zv::render
