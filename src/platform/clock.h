// The platform clock: one origin for the log stamps and the event times.
#pragma once

#include <cstdint>

namespace zv::platform {

// Whole microseconds since the platform clock's origin (the first call of
// any platform time function). platform_seconds() in log.h reads the same clock.
std::int64_t platform_microseconds();

}  // namespace zv::platform
