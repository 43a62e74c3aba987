#include "app/hud_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zv::app {

namespace {

template <typename... Args>
std::string format(const char* f, Args... args)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, f, args...);
    return buf;
}

struct Clock {
    int minutes, seconds, fraction;
};

Clock split(int ticks, int parts)
{
    if (ticks < 0)
        ticks = 0;
    long long total = static_cast<long long>(ticks) * parts / 128;  // in 1/parts seconds
    return {static_cast<int>(total / (60LL * parts)), static_cast<int>((total / parts) % 60),
            static_cast<int>(total % parts)};
}

}  // namespace

double tachometer_angle(double rpm) { return (rpm * 0.000046875 - 0.375) * 360.0; }

ShifterCell shifter_cell(int gear)
{
    int g = gear < 0 ? 0 : gear;
    return {g % 3, (g / 3) % 3};
}

std::string race_length_text(int laps, int time_limit_ticks)
{
    int minutes = static_cast<int>(std::lround(time_limit_ticks * k_hud_tick / 60.0));
    if (time_limit_ticks <= 0)
        return format("%d laps", laps);
    if (laps <= 0)
        return format("%d minutes", minutes);
    return format("%d minutes + %d laps", minutes, laps);
}

float banner_opacity(double seconds) { return static_cast<float>(std::clamp(3.0 - seconds, 0.0, 1.0)); }

std::string lap_time_tenths(int ticks)
{
    Clock c = split(ticks, 10);
    return format("%d:%02d.%d", c.minutes, c.seconds, c.fraction);
}

std::string lap_time_thousandths(int ticks)
{
    Clock c = split(ticks, 1000);
    return format("%d:%02d.%03d", c.minutes, c.seconds, c.fraction);
}

std::vector<std::string> pit_board_lines(const PitBoardInput& in)
{
    std::vector<std::string> out;
    out.push_back(in.number.substr(0, 3));
    out.push_back(in.race ? format("L%d P%d", in.lap + 1, in.position + 1) : format("P%d", in.position + 1));
    out.push_back(format("%+.1f ", in.gap_seconds));
    if (in.last_ticks > 0) {
        Clock c = split(in.last_ticks, 10);
        out.push_back(format("Last - %d:%02d.%d ", c.minutes, c.seconds, c.fraction));
    }
    if (in.best_ticks > 0) {
        Clock c = split(in.best_ticks, 10);
        out.push_back(format("Best - %d:%02d.%d", c.minutes, c.seconds, c.fraction));
    }
    return out;
}

std::string close_rider_text(const std::string& number, double gap_seconds)
{
    return format(" %.5s (%.1f) ", number.c_str(), gap_seconds);
}

std::string fps_text(double longest)
{
    return format("FPS - %d", longest > 0 ? static_cast<int>(1.0 / longest) : 0);
}

std::string ticker_entry(int position, const std::string& number, double gap_seconds)
{
    return format("%d %3s %7.3f", position, number.c_str(), gap_seconds);
}

std::string ticker_lap_text(int leader_laps_done, int race_laps)
{
    if (leader_laps_done >= race_laps)
        return {};
    return format("Lap %d", std::max(0, leader_laps_done) + 1);
}

std::string clock_text(double t)
{
    int ticks = static_cast<int>(std::max(0.0, t) * 128.0);
    Clock c = split(ticks, 10);
    return format("Time - %d:%02d.%d ", c.minutes, c.seconds, c.fraction);
}

std::string speed_text(double fps) { return format("Speed - %.2f", fps * k_mph_per_fps); }

std::string ping_text(int ping_ticks, int offset_ticks)
{
    return format("Ping - %dms (%dms offset)", static_cast<int>(ping_ticks * k_hud_tick * 1000),
                  static_cast<int>(offset_ticks * k_hud_tick * 1000));
}

std::vector<std::string> render_stat_lines(const StatLines& s)
{
    return {format("Ground polygons - %d max=%d", s.ground.now, s.ground.max),
            format("Model polygons - %d max=%d", s.models.now, s.models.max),
            format("Billboards - %d max=%d", s.billboards.now, s.billboards.max),
            format("Decals - %d max=%d", s.decals.now, s.decals.max),
            format("Texture Changes - %d max=%d", s.textures.now, s.textures.max),
            format("Shader Changes - %d max=%d", s.shaders.now, s.shaders.max)};
}

std::string results_title(bool final_results) { return final_results ? "Final Results" : "Unofficial Results"; }

std::vector<std::string> results_header() { return {"Pos.", "No.", "Lap", "Gap", "Best Time", "BLap"}; }

std::vector<std::string> result_row(const ResultInput& r)
{
    return {format("%d", r.position), format("%3s", r.number.c_str()), format("L%d", r.laps),
            format("%7.3f", r.gap_seconds), r.best_ticks > 0 ? lap_time_thousandths(r.best_ticks) : std::string(),
            r.best_lap > 0 ? format("(%d)", r.best_lap) : std::string()};
}

std::string total_race_time_text(int ticks)
{
    Clock c = split(ticks, 1000);
    return format("Total Race Time: %d:%02d.%03d", c.minutes, c.seconds, c.fraction);
}

std::string penalty_text(const ResultPenalty& p)
{
    std::string out = format("%3s penalized ", p.number.c_str());
    if (p.laps_deducted > 0)
        out += format("%d %s ", p.laps_deducted, p.laps_deducted == 1 ? "lap" : "laps");
    out += format("%.2f seconds for cutting track", p.seconds);
    return out;
}

}  // namespace zv::app
