#include "app/console_pipe.h"

#include <cmath>
#include <cstdio>

namespace zv::app {

namespace {

constexpr PipeParameters k_four_stroke_pipe{5.0f, 0.918207f, -0.85f, 0, 15, false};
constexpr PipeParameters k_two_stroke_pipe{1.75f, 0.3f, -0.75f, 0, 15, false};

std::array<PipeParameters, race::k_rider_slot_count> g_pipes;

}  // namespace

PipeParameters starting_pipe(std::string_view engine_class)
{
    if (engine_class == "250f" || engine_class == "450f")
        return k_four_stroke_pipe;
    return k_two_stroke_pipe;
}

std::array<PipeParameters, race::k_rider_slot_count>& pipe_parameters() { return g_pipes; }

void set_pipe_from_text(PipeParameters& pipe, std::string_view engine_class, const char* numbers)
{
    PipeParameters p = starting_pipe(engine_class);
    // A failed conversion leaves the remaining values at their start.
    std::sscanf(numbers, "%f %f %f %d %d", &p.length, &p.spread, &p.gain, &p.first_tap, &p.last_tap);
    // "nan" and "inf" scan as numbers but would silence the pipe for good.
    const PipeParameters start = starting_pipe(engine_class);
    if (!std::isfinite(p.length))
        p.length = start.length;
    if (!std::isfinite(p.spread))
        p.spread = start.spread;
    if (!std::isfinite(p.gain))
        p.gain = start.gain;
    p.changed = true;
    pipe = p;
}

}  // namespace zv::app
