// The track's "timing_gates" file: reading it into the track's timing table
// and writing it back in its canonical form (the editor's save).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "track/timing.h"

namespace zv::track {

// What the gate object of a starting gate is made from: a track object at
// (x - 3 sin h, y, z - 3 cos h) facing h, with its model, texture and shape.
struct GateObjectRequest {
    float x = 0, y = 0, z = 0;
    float heading = 0;
    std::string_view model, texture, shape;
};
// Creates the track object; returns its index, or -1 when it could not be made.
using GateObjectFactory = std::function<int(const GateObjectRequest&)>;

// Parses the file's text. Reading stops at the first entry that does not
// match and keeps what was read; the checkpoints and lap lists are dropped
// unless they make a usable timing (the gates stay). No objects are created.
TrackTiming parse_timing_gates(std::string_view text);

// Reads track_path + "/timing_gates" ("@" + folder) into the loaded track's
// table (replacing it), creating one gate object per starting gate through
// create (may be empty). A missing file leaves the track without timing.
// Returns whether the track has timing.
bool read_timing_gates(std::string_view track_path, const GateObjectFactory& create);

// The canonical text of a timing table.
std::string format_timing_gates(const TrackTiming& t);
// Writes track_path + "/timing_gates"; shows "Can't open 'timing_gates'\n"
// when the file cannot be created.
bool write_timing_gates(std::string_view track_path, const TrackTiming& t);

}  // namespace zv::track
