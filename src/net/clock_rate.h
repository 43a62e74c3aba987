// How a connected client bends its time toward the server's clock: d is
// (server tick - local tick - 1) in seconds. Ahead of the server (d < 0) the
// client slows to between half and full speed; behind it, it catches up at
// up to four times speed before the race starts and up to 1.125 times
// during the race.
#pragma once

#include <algorithm>

namespace zv::net {

inline double clock_rate(double d, bool before_start)
{
    if (d < 0)
        return 0.5 + 0.5 * std::clamp(d + 1, 0.0, 1.0);
    if (before_start)
        return 1 + 3 * std::clamp(d, 0.0, 1.0);
    return 1 + 0.125 * std::clamp(8 * d, 0.0, 1.0);
}

}  // namespace zv::net
