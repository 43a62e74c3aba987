// The window layer's side of the input devices: SDL events in, queued
// control events out. Not for the game.
#pragma once

#include <SDL.h>

#include "platform/events.h"

namespace zv::platform {

// Turns one SDL input event into queued control events stamped `time`
// (keys, mouse buttons and motion, joystick buttons, joysticks coming and
// going). Returns whether the event was an input event.
bool handle_input_event(const SDL_Event& event, EventTime time);

// The keyboard key number of a scancode: its table position, else a number
// after the table given on first sight; -1 for a key without a name.
int keyboard_key_for_scancode(SDL_Scancode scancode);

}  // namespace zv::platform
