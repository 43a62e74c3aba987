// Engine sound files: ".braap" descriptions and the sound tables they name,
// each read as a bike's engine sound is set up and then played for a few
// frames through the synthesizer, which is where hostile numbers would bite.
#include "harness.h"

#include <cmath>

#include "sound/engine_params.h"
#include "sound/engine_synth.h"
#include "sound/sound_table.h"

namespace zv::fuzz {

namespace {

// A small table and its samples in the data folder, for descriptions and
// tables that name them ("@t.soundtable", "@s.raw").
void prepare_sound()
{
    static const bool ready = [] {
        use_scratch_data_folders();
        std::string samples;
        for (int k = 0; k < 64; ++k) {
            const int v = static_cast<int>(std::sin(k * 0.3) * 20000);
            samples += static_cast<char>(v & 0xff);
            samples += static_cast<char>((v >> 8) & 0xff);
        }
        return write_scratch("data/s.raw", samples) &&
               write_scratch("data/t.soundtable", "SOUNDTABLE 1 2\n1000\n0 1\n-1 1 @s.raw\n0 3 -1 2 @s.raw\n");
    }();
    (void)ready;
    // Every run reads its files afresh.
    sound::clear_sound_cache();
}

void play(const sound::EngineParams& params)
{
    sound::EngineSynth synth;
    // A few short frames: enough for every cell to fire, cheap enough to
    // keep the fuzzer fast.
    std::uint8_t out[160];
    for (float speed : {1000.0f, 14000.0f, -300.0f, 1.0e30f, NAN})
        for (float torque : {-10.0f, 10.0f}) {
            const float load = sound::engine_load(params, torque);
            if (!(load >= 0.0f && load <= 1.0f))
                std::abort();
            sound::synthesize(synth, params, speed, load, out);
        }
}

}  // namespace

// The first byte picks the built-in set the description starts from.
int fuzz_braap(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    prepare_sound();
    if (!write_scratch("data/fuzz.braap", data + 1, size - 1))
        return 0;
    sound::EngineParams params = sound::builtin_params(static_cast<sound::EngineSet>(data[0] % 3));
    if (sound::load_description("@fuzz.braap", params))
        play(params);
    return 0;
}

int fuzz_sound_table(const std::uint8_t* data, std::size_t size)
{
    prepare_sound();
    if (!write_scratch("data/fuzz.soundtable", data, size))
        return 0;
    if (auto table = sound::load_sound_table("@fuzz.soundtable")) {
        sound::EngineParams params = sound::builtin_params(sound::EngineSet::four_stroke);
        params.loaded_table = table;
        params.table = table.get();
        play(params);
    }
    return 0;
}

Seeds braap_seeds()
{
    return {std::string(1, '\0') + "# a big four-stroke\nminrpm 1200\nlowtorque -4\nhightorque 4.5\n"
                                   "bias 0 0.1 0.2\nscale 1 0.9 0.8 0.7\npipe 5 0.9 -0.8 0 15\n"
                                   "soundtable @t.soundtable\n",
            std::string(1, '\x01') + "pipe 1.75\nsoundtable\nsoundtable @missing.soundtable\nunknown 3\n"};
}

Seeds sound_table_seeds()
{
    return {"SOUNDTABLE 2 2\n1000 9000\n0 1\n-1 1 @s.raw\n0 1 -1 2 @s.raw\n3 -5 -1 2.5 @s.raw\n-1 1 @s.raw\n",
            "SOUNDTABLE 1 1 500 0.5 -1 1 @missing.raw\n"};
}

}  // namespace zv::fuzz
