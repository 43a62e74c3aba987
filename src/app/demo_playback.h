// Demo playback in the game: a demo given on the command line or chosen on
// the Playback Race page, the rewind and skip keys, and the console's
// "namedemo" reaching the race's recorder.
#pragma once

#include <string>

namespace zv::app {

struct Game;

// Plays a demo file: every rider comes from the file, on the track it names.
// A bare name that is not a file here is looked for among the demos. False
// when the file cannot be played (the title screen stays).
bool play_demo_file(Game& g, const std::string& file);

// The rewind (-1 s) and skip (+1 s) keys: move a playback in which every
// rider is replayed and nothing records; otherwise nothing happens.
void seek_demo_playback(double seconds);

// Points the console's demo hooks at the race's recorder.
void install_demo_console_hooks();

}  // namespace zv::app
