// The head-up display's numbers and texts, free of any drawing: tachometer
// needle angle, shifter cell, the race-length banner, time forms, the pit
// board's lines, the results table and the information lines.
#pragma once

#include <string>
#include <vector>

namespace zv::app {

constexpr double k_hud_tick = 1.0 / 128.0;
constexpr double k_lean_warning = 0.6283185307179586;  // 36 degrees
constexpr double k_mph_per_fps = 0.6818182;

// Degrees clockwise from straight up: 0 rpm is -135, 8000 rpm 0, 16000 135.
double tachometer_angle(double rpm);

struct ShifterCell {
    int column, row;
};
// The cell of the 3 x 3 shifter picture for gear g.
ShifterCell shifter_cell(int gear);

// "%d laps", "%d minutes" or "%d minutes + %d laps"; minutes are the time
// limit rounded to whole minutes.
std::string race_length_text(int laps, int time_limit_ticks);
// The start banner's opacity at race time t seconds: 3 - t within 0 ... 1.
float banner_opacity(double seconds);

// "%d:%02d.%d" (tenths) and "%d:%02d.%03d" (thousandths) of a tick count.
std::string lap_time_tenths(int ticks);
std::string lap_time_thousandths(int ticks);

// The pit board.
struct PitBoardInput {
    std::string number;
    bool race = true;        // false in a time trial
    int lap = 0;             // current lap (0-based)
    int position = 0;        // 0-based
    double gap_seconds = 0;  // to the rider ahead; 0 for the leader
    int last_ticks = 0;      // 0: none
    int best_ticks = 0;      // 0: none
};
std::vector<std::string> pit_board_lines(const PitBoardInput& in);
// " %.5s (%.1f) " for one rider close ahead.
std::string close_rider_text(const std::string& number, double gap_seconds);

// Information lines.
std::string fps_text(double longest_frame);            // "FPS - %d"
std::string clock_text(double race_seconds);           // "Time - %d:%02d.%d "
std::string speed_text(double feet_per_second);        // "Speed - %.2f"
std::string ping_text(int ping_ticks, int offset_ticks);

// The track-camera view's ticker: one entry per rider in standings order
// ("%d %3s %7.3f": position, number, gap to the leader in seconds) after the
// leader's lap ("Lap %d", empty once the leader has run the race's laps).
std::string ticker_entry(int position, const std::string& number, double gap_seconds);
std::string ticker_lap_text(int leader_laps_done, int race_laps);

struct StatPair {
    int now, max;
};
struct StatLines {
    StatPair ground, models, billboards, decals, textures, shaders;
};
std::vector<std::string> render_stat_lines(const StatLines& s);

// The results table.
struct ResultInput {
    int position = 0;        // 1-based
    std::string number;
    int laps = 0;
    double gap_seconds = 0;  // to the rider above
    int best_ticks = 0;
    int best_lap = 0;
    bool viewed = false;
};
struct ResultPenalty {
    std::string number;
    int laps_deducted = 0;
    double seconds = 0;
};
std::string results_title(bool final_results);
std::vector<std::string> results_header();
std::vector<std::string> result_row(const ResultInput& r);
std::string total_race_time_text(int ticks);
std::string penalty_text(const ResultPenalty& p);

}  // namespace zv::app
