// Flaggers: the starter who walks off the line as the gate drops, the
// finish-line flagger who shows the race's progress, and corner flaggers who
// warn of crashed riders near their checkpoints. Each is a billboard whose
// texture changes every frame from the race state.
#pragma once

#include "track/resources.h"

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zv::track {

struct Starter {
    int billboard = -1;
    std::array<float, 3> start{}, end{};  // y above ground
    float walk_duration = 0;             // seconds
    std::array<TextureId, 5> textures{};
    int shown = 0;  // index of the texture on the billboard
};

struct FinishFlagger {
    int billboard = -1;
    std::array<TextureId, 4> textures{};
    int shown = 0;
};

struct CornerFlagger {
    int billboard = -1;
    std::array<int, 4> checkpoints{-1, -1, -1, -1};  // -1 = none
    TextureId calm = 0, warning = 0;
    bool warning_shown = false;
};

struct Flaggers {
    std::optional<Starter> starter;
    std::optional<FinishFlagger> finish;
    std::vector<CornerFlagger> corners;
};

// Reads the flaggers file; corner checkpoints are limited to
// [-1, checkpoint_count - 1]. Creates their billboards. False when the file
// does not open (no flaggers); a malformed part ends the reading silently.
bool load_flaggers(std::string_view path, int checkpoint_count);
const Flaggers& flaggers();
void clear_flaggers();

// What a frame's flagger update needs to know of the race.
struct FlaggerRider {
    int checkpoint = -1;   // checkpoint of its current lap position (+100000 allowed)
    bool crashed = false;
    bool finished = false;
    bool stale = false;    // a remote rider not updated for 1 second
};

struct FlaggerRace {
    int tick = 0;
    bool has_timing = false;
    int leader_position = 0;    // lap position of the running leader
    int first_lap_length = 0;   // F
    int normal_lap_length = 0;  // N
    int race_laps = 0;          // K
    int halfway_lap = 0;        // H
    std::span<const FlaggerRider> riders;  // the running standings
};

// The reference time of the starter's walk, in seconds of the race clock.
constexpr float k_starter_time = 5.0f;

// Index 0..4 of the starter's texture at clock t (seconds).
int starter_texture_index(float t, float walk_duration);
// Fraction 0..1 of the starter's walk at clock t.
float starter_walk_fraction(float t, float walk_duration);
// Index 0..3 of the finish-line flagger's texture.
int finish_texture_index(const FlaggerRace& race);

// Once per frame: moves the starter, sets every flagger's texture (a change
// restarts the texture's animation at race.tick). Nothing without timing.
void update_flaggers(const FlaggerRace& race);
// The checkpoints marked by crashed riders during the last update.
bool checkpoint_alert(int checkpoint);

}  // namespace zv::track
