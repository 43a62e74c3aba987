// Bikes and riders drawn from their simulated bodies: frame, fork, swingarm
// and wheels with the bike's paint, the rider with the chosen riding gear,
// arms reaching for the limb points (the grips, or flailing after a
// knockout), and the number plates with the rider's number.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "render/camera.h"

namespace zv::sim {
struct Bike;
struct BikeInfo;
}

namespace zv::render {

// The texture file for an art name: a name without an extension gets ".png".
std::string art_texture_file(std::string_view name);

// A body's pose as a column-major GL matrix from its position and row-major
// rotation.
std::array<float, 16> body_matrix(const Vec3f& position, const Mat3f& rotation);

// Rotation (row-major) that turns unit vector `from` onto unit vector `to`
// (the arm reaching for its limb point).
Mat3f rotation_between(const Vec3f& from, const Vec3f& to);

// Segments of a seven-segment digit (bits a ... g) for the number plates;
// 0 for characters that are not digits.
int digit_segments(char c);

// Where the rider's number goes on one plate, in the frame of the body the
// plate rides on: the centre of the digits, the reading directions (right
// and up as seen by someone looking at the plate's face) and the digit
// height. right x up points out of the plate towards the reader, so the
// number reads the right way round from its own side and is culled from
// behind.
struct NumberPlate {
    int body = 0;  // sim body index
    Vec3f centre{}, right{}, up{};
    float height = 0;
};
// The front plate (on the upper fork) and the left and right side plates
// (on the frame) of a bike.
std::array<NumberPlate, 3> number_plates(const sim::BikeInfo& info);

struct BikeDrawOptions {
    float opacity = 1;
    bool hide_rider = false;   // first-person view with the rider hidden
    bool first_person = false; // draws the first-person body instead
};
// Draws one bike with the current model-view matrix (the camera's).
void draw_bike(const sim::Bike& bike, const BikeDrawOptions& options);
// The camera position the detail variants are picked from.
void set_model_viewpoint(const Vec3f& eye);

}  // namespace zv::render
