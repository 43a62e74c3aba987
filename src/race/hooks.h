// What the race asks of whoever shows it. The race itself has no window and
// no sound; the game installs these so that loading shows on screen, bikes
// get their art and engine sound, and textures of the previous track are
// released. Every hook may be left empty (the bench leaves them all empty).
#pragma once

#include <string_view>

namespace zv::race {

struct RaceHooks {
    // A loading text for the loading screen ("Resetting...", "Loading bikes..").
    void (*show_loading)(std::string_view text) = nullptr;
    // Before the first loading text: the longest-wait record starts afresh.
    void (*loading_started)() = nullptr;
    // A new track is about to load (the renderer starts a new generation of
    // what the track asks for); and the load failed.
    void (*track_changing)() = nullptr;
    void (*track_failed)() = nullptr;
    // A slot's bike now stands in its gate (the game loads its engine sound
    // and asks for its models and textures, so that they count in the
    // memory reported after loading and survive the release of what the
    // track no longer uses); and a slot is being emptied (its bike, if it has
    // one, is about to go).
    void (*bike_created)(int slot) = nullptr;
    void (*slot_emptied)(int slot) = nullptr;
    // Every bike of the new race exists: report and release what neither the
    // track nor the bikes asked for again, and log the longest loading wait.
    void (*bikes_loaded)() = nullptr;
};

void set_race_hooks(const RaceHooks& hooks);
const RaceHooks& race_hooks();

}  // namespace zv::race
