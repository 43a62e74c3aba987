// Which riders the frame draws and how: ghosts fade as they come near the
// player, and history-driven riders the visibility test hides are neither
// drawn nor heard. Demo playback, ghost laps and the network client tell
// this module who is a ghost, where the player is and how the race is held;
// the world view and the engine sounds read it every frame.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "race/riders.h"
#include "render/camera.h"
#include "render/world.h"
#include "replay/visibility.h"

namespace zv::app {

struct Game;

struct RiderDrawing {
    // Slots drawn as fading ghosts besides the demo's own (a ghost lap and
    // "Race Against" riders are ghosts by the race's demo).
    std::array<bool, race::k_rider_slot_count> ghost{};
    // The point ghosts fade from; none: the local rider's bike frame, or the
    // viewed rider's when there is no local rider.
    std::optional<render::Vec3f> player_position;
    // How the race is held, besides what the network client says: on a
    // server ghosts do not fade (riders are shown or hidden whole), and a
    // spectator hides the riders simulated here.
    bool on_server = false;
    bool spectating = false;
};

RiderDrawing& rider_drawing();
void set_rider_ghost(int slot, bool ghost);
// Every slot back to a plain rider; no player position.
void clear_rider_ghosts();

// The visibility test's inputs for this frame: the tick, the race start,
// the player's and the viewed slot, who drives each slot. `drivers` holds
// the 160 entries the context points at.
replay::VisibilityContext visibility_context(const Game& g, const RiderDrawing& d,
                                             std::array<replay::SlotDriver, race::k_rider_slot_count>& drivers);

// The frame's bikes: every slot with a bike, its ghost flag (off on a
// server) and whether the visibility test shows it; the ghost fade anchor.
void fill_frame_riders(const Game& g, const RiderDrawing& d, render::WorldFrame& frame);

}  // namespace zv::app
