// Flaggers change their picture with the race. An animated picture then
// starts over at the tick of the change, so a flag is waved from its first
// frame whenever the flagger takes it up, not from the tick the track was
// loaded.
#pragma once

namespace zv::render {

// After the flaggers' update of a frame: restarts the animation of every
// flagger billboard whose texture changed since the last call, at `tick`
// (the tick the animations advance to).
void restart_changed_flagger_animations(int tick);
// Forgets what the flaggers showed (a track change).
void forget_flagger_pictures();

}  // namespace zv::render
