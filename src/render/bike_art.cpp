#include "render/bike_art.h"

#include <algorithm>

#include "render/bike_draw.h"

namespace zv::render {

namespace {

// One entry per rider slot, so the lookups never outgrow the race.
constexpr int k_slots = 160;
std::array<BikeArt, k_slots> g_art;

BikeArt& entry_for(const sim::Bike& bike)
{
    return g_art[static_cast<std::size_t>(std::clamp(bike.slot, 0, k_slots - 1))];
}

std::string paints_of(const sim::Bike& bike)
{
    return bike.bike_texture + "|" + bike.wheel_texture + "|" + bike.rider_texture + "|" + bike.head_texture;
}

bool current(const BikeArt& a, const sim::Bike& bike)
{
    return a.bike == &bike && a.model_name == bike.info.name && a.model_generation == model_generation() &&
           a.texture_generation == texture_generation() && a.paints == paints_of(bike);
}

Model* model(const char* name) { return name && *name ? load_model(name) : nullptr; }

TextureId texture(const std::string& name) { return name.empty() ? 0 : load_texture(art_texture_file(name)); }

CompanionMaps companions(const std::string& name)
{
    return name.empty() ? CompanionMaps{} : load_companion_maps(art_texture_file(name));
}

void request(BikeArt& a, const sim::Bike& bike)
{
    a = BikeArt{};
    a.bike = &bike;
    a.model_name = bike.info.name;
    a.paints = paints_of(bike);
    const sim::BikeArt& n = bike.info.art;
    a.part[sim::k_frame] = model(n.frame);
    a.part[sim::k_front_wheel] = model(n.front_wheel);
    a.part[sim::k_rear_wheel] = model(n.rear_wheel);
    a.part[sim::k_fork_upper] = model(n.fork_upper);
    a.part[sim::k_fork_lower] = model(n.fork_lower);
    a.part[sim::k_swingarm] = model(n.swingarm);
    a.part[sim::k_rider] = model(n.rider_body);
    a.head = model(n.rider_head);
    a.first_person_body = model(n.rider_first_person_body);
    a.side_plates = model(n.side_plates);
    a.front_plate = model(n.front_plate);
    a.rider_plate = model(n.rider_number_plate);
    a.bike_texture = texture(bike.bike_texture);
    a.wheels = texture(bike.wheel_texture);
    a.rider = texture(bike.rider_texture);
    a.helmet = texture(bike.head_texture);
    a.bike_maps = companions(bike.bike_texture);
    a.wheel_maps = companions(bike.wheel_texture);
    a.rider_maps = companions(bike.rider_texture);
    a.helmet_maps = companions(bike.head_texture);
    a.model_generation = model_generation();
    a.texture_generation = texture_generation();
}

}  // namespace

void load_bike_art(const sim::Bike& bike) { request(entry_for(bike), bike); }

const BikeArt& bike_art(const sim::Bike& bike)
{
    BikeArt& a = entry_for(bike);
    if (!current(a, bike))
        request(a, bike);
    return a;
}

void forget_bike_art() { g_art.fill(BikeArt{}); }

}  // namespace zv::render
