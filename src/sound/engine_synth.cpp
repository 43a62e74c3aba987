#include "sound/engine_synth.h"

#include <algorithm>
#include <cmath>

namespace zv::sound {

namespace {

// Last entry not above v (0 when none) and the next one, both in range.
std::pair<int, int> bracket(const std::vector<float>& values, float v)
{
    const int n = static_cast<int>(values.size());
    int first = 0;
    for (int i = 0; i < n; ++i)
        if (values[static_cast<std::size_t>(i)] <= v)
            first = i;
    return {first, std::min(first + 1, n - 1)};
}

float fraction(float v, float lo, float hi)
{
    if (hi == lo)
        return 1.0f;
    const float f = (v - lo) / (hi - lo);
    return std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) : 1.0f;
}

// At most one firing per sample.
std::uint32_t phase_step(float frequency)
{
    const double step = std::round(frequency / k_synth_rate * static_cast<double>(k_phase_one));
    return static_cast<std::uint32_t>(std::clamp(step, 0.0, static_cast<double>(k_phase_one)));
}

constexpr float k_max_rpm = 1.0e6f;

}  // namespace

int samples_wanted(int play_position, int write_position)
{
    // Already further ahead than the lead (the stream starts a quarter second
    // ahead): wait for playback rather than wrap round and overwrite what is
    // about to play.
    const int ahead = (write_position - play_position) & k_ring_mask;
    if (ahead > k_lead_samples && ahead <= k_start_write_position)
        return 0;
    const int n = (play_position + k_lead_samples - write_position) & k_ring_mask;
    return std::min(n, k_max_frame_samples);
}

float engine_load(const EngineParams& p, float torque)
{
    const float span = p.high_torque - p.low_torque;
    if (span == 0 || !std::isfinite(torque))
        return torque >= p.high_torque ? 1.0f : 0.0f;
    return std::clamp((torque - p.low_torque) / span, 0.0f, 1.0f);
}

void fire(EngineSynth& s, const EngineParams& p, float speed, float load, int index, int count)
{
    const std::int64_t k = s.firings;
    float e = s.last_speed + (count > 0 ? static_cast<float>(index) / static_cast<float>(count) : 0.0f) *
                                 (speed - s.last_speed);
    const float bias = p.bias.empty() ? 0.0f : p.bias[static_cast<std::size_t>(k % static_cast<std::int64_t>(p.bias.size()))];
    const float scale = p.scale.empty() ? 1.0f : p.scale[static_cast<std::size_t>(k % static_cast<std::int64_t>(p.scale.size()))];
    e = scale * (bias + e);
    if (!(e >= p.min_rpm))
        e = p.min_rpm;  // also catches a speed that is not a number
    e = std::min(e, std::max(p.min_rpm, k_max_rpm));

    const SoundTable& t = *p.table;
    const auto [f, g] = bracket(t.speeds, e);
    const auto [i, j] = bracket(t.loads, load);
    const float u = f == g ? 1.0f : fraction(e, t.speeds[static_cast<std::size_t>(f)], t.speeds[static_cast<std::size_t>(g)]);
    const float v = i == j ? 1.0f : fraction(load, t.loads[static_cast<std::size_t>(i)], t.loads[static_cast<std::size_t>(j)]);

    s.frequency = std::max(5.0f, e * p.cycles_per_revolution / 60.0f);
    s.firings = k + 1;
    const std::array<std::pair<const SoundCell*, float>, 4> cells{{
        {&t.cell(f, i), (1 - u) * (1 - v)},
        {&t.cell(g, i), u * (1 - v)},
        {&t.cell(f, j), v * (1 - u)},
        {&t.cell(g, j), u * v},
    }};
    for (std::size_t n = 0; n < 4; ++n) {
        SynthVoice& voice = s.voices[n];
        const SoundCell& cell = *cells[n].first;
        voice.cell = &cell;
        voice.weight = cells[n].second;
        double cycle = static_cast<double>(s.firings);
        if (!cell.remap.empty())
            cycle = cell.remap[static_cast<std::size_t>(s.firings % static_cast<std::int64_t>(cell.remap.size()))];
        const double per_cycle = cell.sample_count() / static_cast<double>(cell.cycles);
        voice.position = static_cast<std::int64_t>(std::trunc(per_cycle * std::fmod(cycle, static_cast<double>(cell.cycles))))
                         << k_position_bits;
        const double step = s.frequency / static_cast<double>(k_synth_rate) * per_cycle * (1 << k_position_bits);
        voice.step = static_cast<std::int64_t>(std::clamp(std::trunc(step), 0.0, 1.0e15));
    }
}

std::uint8_t to_u8(float sample)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(sample * 127.0f + 127.0f), 0L, 255L));
}

void synthesize(EngineSynth& s, const EngineParams& p, float speed, float load, std::span<std::uint8_t> out)
{
    const int count = static_cast<int>(out.size());
    float* ring = s.ring.data();
    std::uint32_t step = phase_step(s.frequency);
    for (int n = 0; n < count; ++n) {
        const int w = s.write_position;
        float sample = 0;
        for (const PipeTap& tap : p.taps)
            sample += tap.gain * ring[(w - tap.delay) & k_ring_mask];
        for (SynthVoice& v : s.voices) {
            if (!v.cell)
                continue;
            const std::int64_t at = v.position >> k_position_bits;
            if (at >= 0 && at < v.cell->sample_count())
                sample += v.weight * (*v.cell->samples)[static_cast<std::size_t>(at)];
            v.position += v.step;
        }
        if (!std::isfinite(sample))
            sample = 0;
        sample = std::clamp(sample, -16.0f, 16.0f);
        ring[w] = sample;
        out[static_cast<std::size_t>(n)] = to_u8(sample);
        s.phase += step;
        if (s.phase >= k_phase_one) {
            fire(s, p, speed, load, n, count);
            s.phase -= k_phase_one;
            step = phase_step(s.frequency);
        }
        s.write_position = (w + 1) & k_ring_mask;
    }
    s.last_speed = std::isfinite(speed) ? speed : s.last_speed;
}

}  // namespace zv::sound
