// The main loop: one frame per pass, then as many race ticks of 1/128 s as
// the frame's wall time covers, each tick first taking the input events
// stamped before it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "app/startup_flags.h"
#include "platform/events.h"
#include "sim/control.h"

namespace zv::app {

inline constexpr double k_tick = 1.0 / 128.0;
inline constexpr int k_max_ticks_per_frame = 16;
inline constexpr double k_max_frame_advance = k_max_ticks_per_frame * k_tick;  // 0.125 s
inline constexpr int k_warp_ticks = 100;
inline constexpr int k_frame_histogram_size = 8;

enum class ViewMode : int { rider = 0, editor = 2, chase = 3, track_camera = 4, title = 5 };

inline constexpr int k_menu_closed = -1;
inline constexpr int k_menu_main = 0;
inline constexpr int k_menu_chat = 16;

struct FrameClock {
    double last_frame = 0;  // wall time of the last frame (platform seconds)
    double simulated = 0;
    double target = 0;
};

struct FrameStats {
    std::array<int, k_frame_histogram_size> histogram{};
    // The shortest and longest frame advance (seconds) since the frame-rate
    // figures were last shown, and the frames measured since then.
    double shortest = 0;
    double longest = 0;
    int frames = 0;
};

// What the frame timing needs from the outside world: the clock and a sleep
// that waits until a deadline on that clock.
struct LoopClock {
    std::function<double()> now;
    std::function<void(double deadline)> sleep_until;
};
// The platform clock and the sleep that sleeps all but the last millisecond
// and yields for the rest.
LoopClock system_clock();
void sleep_until_deadline(double deadline);

struct TimingOptions {
    float lock_fps = 0;       // 0: none
    bool warp = false;
    bool connected = false;
    int server_ticks_ahead = 0;   // connected: server tick - local tick
    bool before_start = true;     // connected: the local tick is before the race start
};

struct Game {
    ViewMode view = ViewMode::title;
    int menu_page = k_menu_closed;
    bool paused = false;
    bool quit = false;
    bool connected = false;       // a race-server connection is open
    int viewed = 0;               // viewed rider slot
    int track_camera = -1;        // camera chosen with a digit key, -1 none
    bool mouse_button = false;
    bool screenshot_requested = false;
    bool time_trial = false;
    double game_clock = 0;
    FrameClock clock;
    FrameStats stats;
    sim::RiderInput controls;     // the nine control values of the last tick
    const StartupValues* values = nullptr;
    // The race tick the loop runs (race_tick; tests put their own).
    std::function<void(Game&)> on_race_tick;
};

Game& game();

// Adds a frame's wall time to the histogram: counter k for the smallest k in
// 0 ... 6 with time < tick * 2^k, counter 7 for longer frames.
void add_to_histogram(FrameStats& stats, double frame_seconds);

// The head-up display has shown the figures: the next ones count from here,
// so one slow frame (a race loading) shows once and is then forgotten.
void reset_frame_extremes(FrameStats& stats);

// Measures the frame (sleeping as the rules say) and returns its time
// advance; the frame's wall time becomes the last frame time.
double frame_advance(FrameClock& clock, FrameStats& stats, const TimingOptions& options,
                     const LoopClock& loop_clock);

// The connected rate factor for the server-tick difference d (seconds).
double connected_rate(double d, bool before_start);

// Runs ticks while simulated time < target time; `now` is this frame's wall
// time. Each tick is stamped now - (target - simulated).
void run_ticks(Game& g, double now);
// One tick of the loop (events, controls, race tick).
void run_tick(Game& g, platform::EventTime stamp);

// Whether the viewed rider is this computer's rider.
bool viewed_is_local(const Game& g);

// Chooses the view mode for this frame.
void choose_view_mode(Game& g);

// Starts the frame clock at `now`; the loop then runs until the quit flag.
void start_frame_clock(Game& g, double now);
void main_loop(Game& g);

}  // namespace zv::app
