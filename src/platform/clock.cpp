#include "platform/clock.h"

#include <chrono>

#include "platform/log.h"

namespace zv::platform {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point clock_origin()
{
    static const Clock::time_point origin = Clock::now();
    return origin;
}

}  // namespace

std::int64_t platform_microseconds()
{
    auto since = Clock::now() - clock_origin();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

double platform_seconds()
{
    return std::chrono::duration<double>(Clock::now() - clock_origin()).count();
}

}  // namespace zv::platform
