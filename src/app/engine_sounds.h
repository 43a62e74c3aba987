// The game's side of sound: opening the output at start-up (the device, or
// readback into the audio recording file), each rider's engine sound with its
// bike, the per-frame gains and the per-tick recording block.
#pragma once

#include "app/main_loop.h"
#include "app/startup_flags.h"

namespace zv::app {

// Start-up: with an audio recording file, the file and the readback output;
// otherwise, unless sound is off, the sound device. Failures are logged and
// the game goes on silent.
void open_sound_output(const StartupValues& values);
// Shutdown: closes the output (when open) and the recording file.
void close_sound_output();

// The slot's engine sound, for the bike it has now (none: the built-in
// four-stroke sound of a rider without a bike).
void load_rider_engine_sound(int slot);

// Frame: every slot with a bike and an engine sound gets its gain and new
// samples.
void update_engine_sounds(Game& g);

// Tick: with audio recording on, one readback block appended to the file.
void record_audio_block();

// The overall gain of a frame before the volume setting.
float sound_mode_gain(bool paused, bool editor, bool menu_open, bool viewed_is_local);

}  // namespace zv::app
