#include "sound/engine_params.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/data_file.h"

namespace zv::sound {

namespace {

constexpr int k_line_size = 1024;

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Numbers after a keyword, up to k_max_list, until one fails to read.
std::vector<float> read_numbers(std::string_view text)
{
    std::vector<float> out;
    std::string buf(text);
    const char* p = buf.c_str();
    while (static_cast<int>(out.size()) < k_max_list) {
        char* end = nullptr;
        const float v = std::strtof(p, &end);
        if (end == p || !std::isfinite(v))
            break;
        out.push_back(v);
        p = end;
    }
    return out;
}

bool read_float(std::string_view text, float& out)
{
    const auto v = read_numbers(text);
    if (v.empty())
        return false;
    out = v[0];
    return true;
}

int clamp_tap(int t) { return std::clamp(t, 0, k_pipe_taps - 1); }

int delay_samples(double length)
{
    const double d = 2.0 * length / k_speed_of_sound * k_synth_rate;
    if (!std::isfinite(d))
        return 0;
    // The ring holds 32768 samples; a longer (or negative) pipe is kept inside it.
    return static_cast<int>(std::clamp(std::trunc(d), 0.0, 32767.0));
}

}  // namespace

EngineSet engine_set_for_class(std::string_view c)
{
    if (c == "50")
        return EngineSet::small;
    if (c.empty() || c.back() == 'f')
        return EngineSet::four_stroke;
    return EngineSet::two_stroke;
}

EngineParams builtin_params(EngineSet set)
{
    EngineParams p;
    if (set == EngineSet::four_stroke) {
        p.table = &four_stroke_table();
        p.cycles_per_revolution = 0.5f;
        p.low_torque = -2.5f;
        p.high_torque = 2.5f;
        apply_pipe(p.taps, k_four_stroke_pipe);
    } else {
        p.table = &two_stroke_table();
        p.cycles_per_revolution = 1.0f;
        p.low_torque = -3.5f;
        p.high_torque = set == EngineSet::small ? 1.5f : 3.5f;
        apply_pipe(p.taps, k_two_stroke_pipe);
    }
    p.min_rpm = 1000;
    return p;
}

void apply_pipe(std::array<PipeTap, k_pipe_taps>& taps, const Pipe& pipe)
{
    const int a = clamp_tap(pipe.first_tap);
    const int b = std::max(a, clamp_tap(pipe.last_tap));
    const double length = pipe.length, m = std::min(pipe.length, pipe.spread);
    const int n = b - a;
    if (n == 0) {
        taps[static_cast<std::size_t>(a)] = {delay_samples(length), pipe.gain};
        return;
    }
    const double nn = static_cast<double>(n) * n;
    for (int i = a; i <= b; ++i) {
        const double j = i - a;
        const double l = length - (j * j / nn + j) / (n + 1) * m;
        taps[static_cast<std::size_t>(i)] = {delay_samples(l), static_cast<float>(pipe.gain / (n + 1))};
    }
}

bool load_description(std::string_view name, EngineParams& params)
{
    core::DataFilePtr f = core::open_data_file(name, "r");
    if (!f)
        return false;
    apply_pipe(params.taps, k_silent_pipe);
    std::string line;
    while (core::read_line(*f, line, k_line_size)) {
        std::string_view text(line);
        if (auto hash = text.find('#'); hash != std::string_view::npos)
            text = text.substr(0, hash);
        text = trim(text);
        const auto space = text.find_first_of(" \t");
        const std::string_view key = text.substr(0, space);
        const std::string_view rest = space == std::string_view::npos ? std::string_view{} : text.substr(space);
        if (key == "pipe") {
            Pipe pipe;  // missing numbers: 5.0 0.918207 -0.85 0 15
            std::string args(rest);
            std::sscanf(args.c_str(), "%f %f %f %d %d", &pipe.length, &pipe.spread, &pipe.gain, &pipe.first_tap,
                        &pipe.last_tap);
            if (std::isfinite(pipe.length) && std::isfinite(pipe.spread) && std::isfinite(pipe.gain))
                apply_pipe(params.taps, pipe);
        } else if (key == "minrpm") {
            read_float(rest, params.min_rpm);
        } else if (key == "lowtorque") {
            read_float(rest, params.low_torque);
        } else if (key == "hightorque") {
            read_float(rest, params.high_torque);
        } else if (key == "bias" || key == "scale") {
            auto numbers = read_numbers(rest);
            if (!numbers.empty())
                (key == "bias" ? params.bias : params.scale) = std::move(numbers);
        } else if (key == "soundtable") {
            const std::string_view file = trim(rest);
            if (file.empty())
                continue;
            if (auto t = load_sound_table(file)) {
                params.loaded_table = t;
                params.table = t.get();
            }
        }
    }
    return true;
}

std::vector<std::string> description_candidates(std::string_view texture_name)
{
    std::vector<std::string> out;
    if (texture_name.empty())
        return out;
    const auto slash = texture_name.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view{} : texture_name.substr(0, slash + 1);
    std::string_view base = slash == std::string_view::npos ? texture_name : texture_name.substr(slash + 1);
    if (auto dot = base.rfind('.'); dot != std::string_view::npos)
        base = base.substr(0, dot);
    for (;;) {
        if (!base.empty())
            out.push_back(std::string(folder) + std::string(base) + ".braap");
        const auto dash = base.rfind('-');
        if (dash == std::string_view::npos)
            break;
        base = base.substr(0, dash);
    }
    return out;
}

std::string class_description(std::string_view c)
{
    for (const char* known : {"50", "125", "250f", "250", "450f"})
        if (c == known)
            return std::string("@default") + known + ".braap";
    return {};
}

}  // namespace zv::sound
