// A walk over a whole demo file without playing it: what the header says and
// what the data part holds, for the headless tools.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "replay/demo_header.h"

namespace zv::replay {

struct DemoScan {
    DemoHeader header;
    long long data_bytes = 0;        // the size of the data part
    // Version 6.
    long long blocks = 0;            // whole blocks, of every type
    long long state_blocks = 0;
    long long message_blocks = 0;
    long long bad_blocks = 0;        // state blocks that are no whole number of entries
    bool truncated = false;          // the data ends inside a block (or a frame)
    // Versions 4 and 5: whole frames (one record per rider each).
    long long frames = 0;
    // Per listed rider: the state entries (frames) found for it. Entries
    // with a rider index beyond the list are counted apart.
    std::vector<long long> states;
    long long stray_states = 0;
    // The first and last tick of the state entries (frame numbers from 0 in
    // the old formats); has_ticks is false when there are none.
    bool has_ticks = false;
    int first_tick = 0;
    int last_tick = 0;
};

// nullopt when the file is missing or its header malformed.
std::optional<DemoScan> scan_demo(std::string_view name);

}  // namespace zv::replay
