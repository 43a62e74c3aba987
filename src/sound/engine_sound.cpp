#include "sound/engine_sound.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace zv::sound {

namespace {

constexpr float k_near_distance = 1.0f / 32.0f;
constexpr float k_fade_distance = 48.0f;   // feet per step of attenuation
constexpr float k_min_rate = 100.0f, k_max_rate = 1000000.0f;

std::array<std::unique_ptr<EngineSound>, k_engine_slots>& records()
{
    static std::array<std::unique_ptr<EngineSound>, k_engine_slots> r;
    return r;
}

bool valid_slot(int slot) { return slot >= 0 && slot < k_engine_slots; }


}  // namespace

EngineParams engine_params_for(std::string_view texture_name, std::string_view engine_class)
{
    EngineParams p = builtin_params(engine_set_for_class(engine_class));
    for (const std::string& name : description_candidates(texture_name))
        if (load_description(name, p))
            return p;
    const std::string fallback = class_description(engine_class);
    if (!fallback.empty())
        load_description(fallback, p);
    return p;
}

void load_engine_sound(int slot, std::string_view texture_name, std::string_view engine_class)
{
    if (!valid_slot(slot))
        return;
    auto r = std::make_unique<EngineSound>();
    r->params = engine_params_for(texture_name, engine_class);
    if (const int rate = platform::audio_output_rate(); rate > 0) {
        // Created at the output rate so the data is not resampled: the
        // generator fills it at 44100 samples per second through set_rate.
        const std::vector<std::uint8_t> silence(k_ring_samples, 128);
        r->stream = platform::new_sound(k_ring_samples, silence.data(), rate);
        if (r->stream) {
            platform::set_loop(r->stream.get(), true);
            platform::set_volume(r->stream.get(), 0);
            platform::play_sound(r->stream.get());
        }
    }
    records()[static_cast<std::size_t>(slot)] = std::move(r);
}

void free_engine_sound(int slot)
{
    if (valid_slot(slot))
        records()[static_cast<std::size_t>(slot)].reset();
}

void free_all_engine_sounds()
{
    for (auto& r : records())
        r.reset();
}

EngineSound* engine_sound(int slot)
{
    return valid_slot(slot) ? records()[static_cast<std::size_t>(slot)].get() : nullptr;
}

void set_engine_pipe(int slot, const Pipe& pipe)
{
    if (EngineSound* r = engine_sound(slot))
        apply_pipe(r->params.taps, pipe);
}

StreamControls stream_controls(float volume, const EngineInput& input, const Listener& listener)
{
    const sim::Vec3 to_camera = listener.position - input.position;
    const float distance = std::sqrt(dot(to_camera, to_camera));
    float ratio = 1;
    float pan = 0;
    if (distance >= k_near_distance && std::isfinite(distance)) {
        const sim::Vec3 d = to_camera * (1.0f / distance);
        const float c = static_cast<float>(k_speed_of_sound);
        const float numerator = 1 - dot(listener.velocity, d) / c;
        const float denominator = 1 - dot(input.velocity, d) / c;
        ratio = 8 * denominator >= numerator ? numerator / denominator : 0.125f;
        pan = -dot(d, listener.side) * 32767.0f;
    }
    float rate = ratio * k_synth_rate;
    rate = std::isfinite(rate) ? std::clamp(rate, k_min_rate, k_max_rate) : k_synth_rate;
    const float attenuation = std::isfinite(distance) ? std::max(1.0f, 1 + (distance - 1) / k_fade_distance) : 1.0e9f;
    float v = volume / attenuation * 32767.0f;
    v = std::isfinite(v) ? std::clamp(v, 0.0f, 32767.0f) : 0.0f;
    pan = std::isfinite(pan) ? std::clamp(pan, -32767.0f, 32767.0f) : 0.0f;
    return {static_cast<int>(rate), static_cast<int>(v), static_cast<int>(pan)};
}

void update_engine_sound(int slot, float volume, const EngineInput& input, const Listener& listener)
{
    EngineSound* r = engine_sound(slot);
    if (!r || !r->stream)
        return;
    platform::Sound* stream = r->stream.get();
    const int count = samples_wanted(platform::play_position(stream), r->synth.write_position);
    if (count > 0) {
        std::array<std::uint8_t, k_max_frame_samples> bytes;
        const int start = r->synth.write_position;
        synthesize(r->synth, r->params, input.rpm, engine_load(r->params, input.torque),
                   std::span<std::uint8_t>(bytes.data(), static_cast<std::size_t>(count)));
        platform::write_sound(stream, count, bytes.data(), start);
    }
    const StreamControls c = stream_controls(volume, input, listener);
    platform::set_rate(stream, c.rate);
    platform::set_volume(stream, c.volume);
    platform::set_pan(stream, c.pan);
}

}  // namespace zv::sound
