// What a bike is drawn with: the models of its parts and rider (with their
// detail variants) and its paint, wheel, riding-gear and helmet textures with
// their companion maps. The session loader requests them for every bike it
// makes, while the track's resources load: so they carry the current
// generation, survive the release that ends the loading, and count in the
// texture memory reported after it. Drawing only looks them up.
#pragma once

#include <array>
#include <string>

#include "render/models.h"
#include "render/textures.h"
#include "sim/bike.h"

namespace zv::render {

struct BikeArt {
    // What the lookups were made for: another bike in the slot, or the same
    // one with other paint, gets fresh ones.
    const sim::Bike* bike = nullptr;
    const char* model_name = nullptr;
    std::string paints;
    int model_generation = -1, texture_generation = -1;

    std::array<Model*, sim::k_body_count> part{};
    Model* head = nullptr;
    Model* first_person_body = nullptr;
    Model* side_plates = nullptr;
    Model* front_plate = nullptr;
    Model* rider_plate = nullptr;
    TextureId bike_texture = 0, wheels = 0, rider = 0, helmet = 0;
    CompanionMaps bike_maps, wheel_maps, rider_maps, helmet_maps;
};

// Requests one bike's models and textures from the caches (reading what is
// not loaded yet) and keeps them for drawing.
void load_bike_art(const sim::Bike& bike);
// The art kept for a bike; a bike that was made outside the session loader
// gets it requested now.
const BikeArt& bike_art(const sim::Bike& bike);
// Forgets every bike's lookups (a track change, shutdown).
void forget_bike_art();

}  // namespace zv::render
