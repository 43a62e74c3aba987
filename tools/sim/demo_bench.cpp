// --demo-bench: the cost of demos at race scale. Records a race of N riders
// (default 40) for M minutes (default 10) with made-up moving records, then
// plays it back and seeks back 60 s from several points. Prints the file's
// size, the recorder's time per tick, playback's time per tick and the
// seek times.
#include "sim_cli.h"

#include "replay/demo_player.h"
#include "replay/demo_writer.h"
#include "replay/history.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace zv::sim_tool {

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

replay::StateRecord moving_record(int rider, int tick)
{
    replay::StateValues v;
    v.frame_position = {100.0f + static_cast<float>(tick % 20000) * 0.05f, 10.0f, 100.0f + 5.0f * rider};
    v.engine_rpm = 3000.0f + static_cast<float>((tick * 37 + rider * 101) % 8000);
    v.steering = 0.001f * static_cast<float>(tick % 400 - 200);
    v.front_wheel = 0.01f * static_cast<float>(tick % 600 - 300);
    v.rear_wheel = v.front_wheel;
    v.sampled = true;
    replay::RecordScale s;
    s.side = 4096;
    s.min_height = -100;
    return replay::encode_state(v, s);
}

int parse_positive(const Options& o, const char* name, int fallback)
{
    std::string text = o.value(name);
    if (text.empty())
        return fallback;
    int v = std::atoi(text.c_str());
    return v > 0 ? v : -1;
}

int run_demo_bench(const Options& options)
{
    const int riders = parse_positive(options, "--riders", 40);
    const int minutes = parse_positive(options, "--minutes", 10);
    if (riders < 1 || riders > replay::k_history_slots || minutes < 1) {
        std::fprintf(stderr, "zarvox-sim: --demo-bench needs --riders 1 ... 160 and --minutes from 1\n");
        return k_exit_failure;
    }
    const std::string out = options.value("--out", (std::filesystem::temp_directory_path() / "zarvox-demo-bench.zvdemo").string());
    const int ticks = minutes * 60 * 128;

    replay::DemoHeader header;
    header.track = "bench";
    std::vector<int> slots;
    for (int i = 0; i < riders; ++i) {
        replay::DemoRider r;
        r.bike = "450sxf(2017)";
        r.number = std::to_string(i + 1);
        r.name = "Rider " + std::to_string(i + 1);
        header.riders.push_back(r);
        slots.push_back(i);
    }
    replay::clear_history();
    replay::DemoRecorder rec;
    if (!replay::begin_demo_recording_to(rec, out, header, slots)) {
        std::fprintf(stderr, "zarvox-sim: cannot create %s\n", out.c_str());
        return k_exit_failure;
    }
    // The sampler's part (into the history every fourth tick) is the race
    // tick's own; only the recorder's tick is timed.
    double record_ms = 0, worst_record_ms = 0;
    for (int tick = 0; tick <= ticks; ++tick) {
        if (tick % replay::k_sample_interval == 0)
            for (int i = 0; i < riders; ++i)
                replay::add_state_to_history(i, moving_record(i, tick), tick);
        Clock::time_point t0 = Clock::now();
        replay::record_demo_tick(rec, tick, false);
        double ms = ms_since(t0);
        record_ms += ms;
        worst_record_ms = std::max(worst_record_ms, ms);
    }
    replay::end_demo_recording(rec, ticks);
    const auto bytes = static_cast<long long>(std::filesystem::file_size(out));

    replay::DemoPlayer player;
    player.on_message = [](std::string_view, void*) {};
    replay::clear_history();
    if (!replay::open_demo_playback(player, out)) {
        std::fprintf(stderr, "zarvox-sim: cannot play %s back\n", out.c_str());
        return k_exit_failure;
    }
    int clock = 0;
    Clock::time_point p0 = Clock::now();
    replay::play_demo_tick(player, clock);
    while (clock < ticks) {
        ++clock;
        replay::play_demo_tick(player, clock);
    }
    const double play_ms = ms_since(p0);

    // Back 60 s from the end and from points through the race, forwards
    // again by skipping.
    std::vector<double> back_ms;
    const int points = 5;
    for (int k = points; k >= 1; --k) {
        const int from = std::max(ticks * k / points, 60 * 128);
        if (clock < from)
            replay::seek_demo(player, clock, static_cast<double>(from - clock) / 128.0);
        else if (clock > from + 128)
            replay::seek_demo(player, clock, static_cast<double>(from - clock) / 128.0);
        Clock::time_point s0 = Clock::now();
        replay::seek_demo(player, clock, -60);
        back_ms.push_back(ms_since(s0));
    }
    Clock::time_point f0 = Clock::now();
    replay::seek_demo(player, clock, 10);
    const double skip_ms = ms_since(f0);
    replay::close_demo_playback(player);
    if (!options.has("--out"))
        std::filesystem::remove(out);

    double worst_back = *std::max_element(back_ms.begin(), back_ms.end());
    double mean_back = 0;
    for (double v : back_ms)
        mean_back += v / static_cast<double>(back_ms.size());
    std::printf("riders=%d\nminutes=%d\nticks=%d\nfile_bytes=%lld\nbytes_per_second=%.0f\n", riders, minutes,
                ticks, bytes, static_cast<double>(bytes) / (minutes * 60.0));
    std::printf("record_us_per_tick=%.3f\nrecord_worst_block_ms=%.3f\n", 1000.0 * record_ms / (ticks + 1),
                worst_record_ms);
    std::printf("play_us_per_tick=%.3f\n", 1000.0 * play_ms / (ticks + 1));
    std::printf("seek_back_60s_ms_mean=%.3f\nseek_back_60s_ms_worst=%.3f\nskip_10s_ms=%.3f\n", mean_back,
                worst_back, skip_ms);
    return 0;
}

const bool registered = register_options({
    {"--riders", true, "N", "riders side by side or at the track's start positions"},
    {"--minutes", true, "M", "with --demo-bench: minutes of race to record (default 10)"},
    {"--out", true, "FILE", "with --demo-bench: keep the recorded demo here"},
}) && register_mode({"--demo-bench", "demo size, recording cost per tick and seek times of a 40-rider race",
                     run_demo_bench});

}  // namespace

}  // namespace zv::sim_tool
