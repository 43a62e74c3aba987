// The rider setup from the configuration's setting records.
#pragma once

#include "sim/setup.h"

namespace zv::core {
struct Settings;
}

namespace zv::sim {

// The rider-setup settings of the configuration as plain values.
RiderSetup rider_setup_from(const core::Settings& settings);

}  // namespace zv::sim
