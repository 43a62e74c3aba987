// The names of the built-in bike models and the paint-file prefix of each.
// The "Bike" setting offers them in menu order; the physics table keeps the
// same names in an order of its own.
#pragma once

#include <array>
#include <string_view>

namespace zv::core {

inline constexpr int k_bike_model_count = 68;

struct BikeModelName {
    const char* name;          // "450sxf(2017)"
    const char* paint_prefix;  // "450sxfv2016-": the "Bike Graphics" files
};

// Menu order: the choice list of the "Bike" setting.
extern const std::array<BikeModelName, k_bike_model_count> k_bike_models;
// The physics table's row order.
extern const std::array<const char*, k_bike_model_count> k_bike_table_order;

// Paint prefix of a model name, or nullptr when the name is unknown.
const char* bike_paint_prefix(std::string_view name);
// Menu position of a model name, or -1.
int bike_model_index(std::string_view name);

}  // namespace zv::core
