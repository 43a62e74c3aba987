// Values fixed at start-up by the command line: the process-wide flags that
// the rest of the game reads, and the values the entry point keeps for the
// main loop. (The debug level lives in core/debug_level.h.)
#pragma once

#include <array>
#include <optional>
#include <string>

namespace zv::app {

struct StartupFlags {
    bool practice = false;           // computer riders get the "tester" personality
    bool flat_shading = false;       // "--fugly"
    bool no_vertex_arrays = false;
    bool learning = false;           // robots' learnt lines are written back
    bool editor = false;             // the track editor view is reachable
    bool accurate_skip = false;      // skipping replays every tick
    bool print_orientation = false;  // the rider view logs the camera orientation
    int render_stats_level = 0;      // head-up display statistics
    int packet_loss_percent = 0;     // simulated datagram loss, 0..100
    float fake_lag = 0.0f;           // simulated network lag, seconds 0..1
    int lineup_rotation = 0;         // race-server line-up rotation
    float erosion = 0.0f;            // terrain erosion strength 0..100 (0: off)
    bool mmx = false;                // the processor has MMX and we may use it
};

// The process-wide flags.
StartupFlags& startup_flags();

// Whether the processor reports MMX.
bool cpu_has_mmx();

// Values held by the entry point and handed to the main loop.
struct StartupValues {
    bool no_sound = false;
    bool warp = false;
    bool hide_pause_text = false;
    bool hide_hud = false;
    bool glfinish = false;       // glFinish before every swap
    bool record_video = false;   // frames to standard output
    std::optional<std::string> audio_record_file;
    float lock_fps = 0.0f;       // 0: no frame-rate lock
    float benchmark_seconds = 0.0f;  // "--benchmark": fly the chase camera, print the frame rate, end
    std::array<float, 3> chase_center{0.0f, 2.52f, 0.52f};
    int color_depth = 16;
    int zdepth = 16;
    std::optional<std::string> connect_target;
    std::optional<std::string> password;
    std::optional<std::string> file_argument;  // a demo to play
    std::optional<std::string> track_override;
    bool open_home = false;      // "--open-home": open the home folder and end
};

}  // namespace zv::app
