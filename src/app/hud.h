// The head-up display, drawn after the scene and before the menus: the
// rider overlay (suspension graph, tachometer, gear, pit board, server text,
// lean indicator, track map, the start banner, a time trial's lap clock) in
// the rider view, the broadcast ticker over the track cameras, and the
// information layer (results, frame rate, clock, ping, speed, render
// statistics, "Dabbing!", message lines) in every view.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/hud_text.h"
#include "track/race_rules.h"

namespace zv::sim {
struct Bike;
}

namespace zv::app {

struct HudFrame {
    int width = 0, height = 0;
    int tick = 0;                      // the race tick counter
    int viewed_slot = 0;
    const sim::Bike* bike = nullptr;   // the viewed rider's bike (may be none)
    bool time_trial = false;
    int trial_best_ticks = 0, trial_last_ticks = 0;  // the time-trial record
    int trial_lap_ticks = -1;          // time trial: the attempt under way so far, -1 none
    std::string title;                 // track display name, or the series event's name
    std::string server_text;           // a history-driven rider's text from the server
    double longest_frame = 0;          // seconds, since the last display
    bool connected = false;
    bool has_place = false;            // this computer rides in the race
    int ping_ticks = 0, offset_ticks = 0;
    int render_stats_level = 0;
    StatLines stats{};
    bool race = true;                  // false on the title screen: no results, no race clock
    // The message lines: at least this many (the chat line pages back
    // through older ones), starting `message_scroll` lines back.
    int min_message_lines = 0;
    int message_scroll = 0;
    // Track-camera view: the local rider's unsent chat line, shown at the
    // top, and whether the ticker runs (a camera chosen with a digit key).
    std::string pending_text;
    bool ticker = false;
};

// Start-up: loads the pictures; shutdown: releases them.
void load_hud_pictures();
void release_hud_pictures();

void draw_rider_overlay(const HudFrame& frame);
void draw_info_layer(const HudFrame& frame);
// Over the track-camera view: the broadcast ticker (position, number, gap to
// the leader, the leader's lap) along the bottom while `ticker` is set, and
// the pending text at the top.
void draw_track_camera_overlay(const HudFrame& frame);
// The ticker's line for the running standings ("" when nobody stands).
std::string ticker_text();
// The pit board's gap (seconds) from `slot` to the rider ahead in
// `standings`, at the last timing gate both have passed (0 for the leader,
// a rider not standing, or before a shared gate); `index` is its place
// (-1 when it does not stand).
double gap_to_rider_ahead(int slot, const std::vector<track::Standing>& standings, int& index);

// The suspension graph ("togglegraph") and its four rings of the viewed
// rider's samples, one per race tick.
constexpr int k_suspension_samples = 1024;
struct SuspensionRings {
    std::array<float, k_suspension_samples> fork{}, fork_fast{}, fork_slow{};
    std::array<float, k_suspension_samples> swingarm{}, shock_fast{}, shock_slow{};
    int newest = 0;
};
SuspensionRings& suspension_rings();
void record_suspension_sample(const sim::Bike& bike);
void toggle_suspension_graph();
bool suspension_graph_shown();

// The lean the indicator shows: the frame's roll against the ground under
// the bike, radians (positive leaning right).
float rider_lean(const sim::Bike& bike);

}  // namespace zv::app
