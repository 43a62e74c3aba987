// The engine noise generator: sample counts, firings, blending, the pipe's
// delay line and the 8-bit conversion, against hand-computed numbers.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "sound/engine_synth.h"

namespace zv::sound {
namespace {

// A table of rows x columns cells, each `samples` long of one value.
struct TestTable {
    SoundTable table;
    TestTable(std::vector<float> speeds, std::vector<float> loads, int samples, float cycles = 1)
    {
        table.rows = static_cast<int>(speeds.size());
        table.columns = static_cast<int>(loads.size());
        table.speeds = speeds;
        table.loads = loads;
        for (int r = 0; r < table.rows; ++r)
            for (int c = 0; c < table.columns; ++c) {
                SoundCell cell;
                cell.samples = std::make_shared<std::vector<float>>(static_cast<std::size_t>(samples),
                                                                    0.1f * static_cast<float>(r * table.columns + c + 1));
                cell.cycles = cycles;
                cell.speed = speeds[static_cast<std::size_t>(r)];
                cell.load = loads[static_cast<std::size_t>(c)];
                table.cells.push_back(cell);
            }
    }
};

EngineParams dry(const SoundTable& t, float cycles_per_revolution = 1, float min_rpm = 1000)
{
    EngineParams p;
    p.table = &t;
    p.cycles_per_revolution = cycles_per_revolution;
    p.min_rpm = min_rpm;
    return p;  // every tap gain 0
}

TEST(EngineSynth, SamplesWantedKeepTheStreamATenthAhead)
{
    // {play, write, wanted}: at first still a quarter second ahead; 32000 and
    // 3000 lie across the ring's end; the last is a half-second frame.
    for (auto [play, write, wanted] :
         {std::tuple{0, k_start_write_position, 0}, {6615, k_start_write_position, 0},
          {7000, k_start_write_position, 385}, {32000, 32000 + 4410 - 32768, 0}, {10000, 14410, 0},
          {10000, 13820, 590}, {32000, 3000, 642}, {10000 + 22050, 14410, 8820}})
        EXPECT_EQ(samples_wanted(play, write), wanted) << play << " " << write;
}

TEST(EngineSynth, LoadFromTorque)
{
    EngineParams p;
    p.low_torque = -2.5f;
    p.high_torque = 2.5f;
    EXPECT_FLOAT_EQ(engine_load(p, 0), 0.5f);
    EXPECT_FLOAT_EQ(engine_load(p, 1.25f), 0.75f);
    EXPECT_EQ(engine_load(p, -9), 0.0f);
    EXPECT_EQ(engine_load(p, 9), 1.0f);
    p.high_torque = p.low_torque;
    EXPECT_EQ(engine_load(p, 0), 1.0f);
    EXPECT_EQ(engine_load(p, -3), 0.0f);
}

TEST(EngineSynth, EightBitConversion)
{
    // 0.5 makes 190.5, which rounds up.
    for (auto [f, u] : {std::pair{0.0f, 127}, {0.5f, 191}, {1.0f, 254}, {-1.0f, 0}, {16.0f, 255}, {-16.0f, 0}})
        EXPECT_EQ(to_u8(f), u) << f;
}

TEST(EngineSynth, OneCellPlaysItsCycleOncePerFiring)
{
    TestTable t({3000}, {0.5f}, 100);
    const EngineParams p = dry(t.table);
    EngineSynth s;
    s.last_speed = 6000;
    fire(s, p, 6000, 0.9f, 0, 100);
    EXPECT_EQ(s.firings, 1);
    EXPECT_FLOAT_EQ(s.frequency, 100.0f);  // 6000 rpm, one firing per turn
    for (const SynthVoice& v : s.voices) {
        EXPECT_EQ(v.cell, &t.table.cell(0, 0));
        EXPECT_EQ(v.position, 0);
        EXPECT_EQ(v.step, 232);  // 100 / 44100 * 100 * 1024 = 232.2
    }
    EXPECT_FLOAT_EQ(s.voices[3].weight, 1.0f);
    EXPECT_FLOAT_EQ(s.voices[0].weight + s.voices[1].weight + s.voices[2].weight, 0.0f);

    s.last_speed = 200;
    fire(s, p, 200, 0, 0, 100);  // far below the minimum: indexed at 1000 rpm
    EXPECT_NEAR(s.frequency, 1000.0f / 60, 1e-4);
    const EngineParams slow = dry(t.table, 0.5f, 100);
    s.last_speed = 20;
    fire(s, slow, 20, 0, 0, 100);  // 100 rpm * 0.5 / 60 = 0.83 Hz: at least 5
    EXPECT_EQ(s.frequency, 5.0f);
}

TEST(EngineSynth, FourNearestCellsBlendBySpeedAndLoad)
{
    TestTable t({1000, 3000}, {0, 1}, 64);
    const EngineParams p = dry(t.table, 1, 500);
    EngineSynth s;
    s.last_speed = 1500;
    fire(s, p, 1500, 0.5f, 0, 1);
    const int rows[] = {0, 1, 0, 1}, columns[] = {0, 0, 1, 1};
    const float weights[] = {0.375f, 0.125f, 0.375f, 0.125f};  // (1 - 0.25)(1 - 0.5) ...
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(s.voices[n].cell, &t.table.cell(rows[n], columns[n])) << n;
        EXPECT_FLOAT_EQ(s.voices[n].weight, weights[n]) << n;
    }

    s.last_speed = 9000;  // above the table: the last row twice, weight on G
    fire(s, p, 9000, 1.0f, 0, 1);
    EXPECT_EQ(s.voices[3].cell, &t.table.cell(1, 1));
    EXPECT_FLOAT_EQ(s.voices[3].weight, 1.0f);
    s.last_speed = 600;   // below the first row: all on the first
    fire(s, p, 600, -1.0f, 0, 1);
    EXPECT_EQ(s.voices[0].cell, &t.table.cell(0, 0));
    EXPECT_FLOAT_EQ(s.voices[0].weight, 1.0f);
}

TEST(EngineSynth, SpeedMovesLinearlyOverTheFrame)
{
    TestTable t({0}, {0}, 10);
    const EngineParams p = dry(t.table, 1, 0);
    EngineSynth s;
    s.last_speed = 1200;
    fire(s, p, 3600, 0, 50, 100);  // halfway: 2400 rpm, 40 Hz
    EXPECT_FLOAT_EQ(s.frequency, 40.0f);
    fire(s, p, 3600, 0, 0, 0);     // an empty frame: the last speed
    EXPECT_FLOAT_EQ(s.frequency, 20.0f);
}

// Firing after firing at 6000 rpm: the bias and scale lists set the rhythm,
// the cycle count (or the remap list) the start in the sample.
TEST(EngineSynth, ListsMakeTheRhythmAndChooseTheStartInTheSample)
{
    TestTable t({0}, {0}, 400, 4);  // 100 samples per cycle
    EngineParams p = dry(t.table, 1, 0);
    struct Case {
        std::vector<float> bias, scale;
        std::vector<int> remap;
        std::vector<float> frequencies;  // firings per second after firings 1, 2, ...
        std::vector<int> starts;         // and the start sample
    } cases[] = {
        {{0, 300}, {1}, {}, {100, 105, 100, 105}, {100, 200, 300, 0}},  // cycle 4 is cycle 0
        {{0}, {1, 1, 1, 0.9f}, {}, {100, 100, 100, 90, 100, 100, 100, 90}, {100, 200, 300, 0, 100, 200, 300, 0}},
        {{0}, {1}, {2, 0, 3}, {100, 100, 100, 100}, {0, 300, 200, 0}},  // remap[firings mod 3]
    };
    for (const Case& c : cases) {
        p.bias = c.bias;
        p.scale = c.scale;
        t.table.cells[0].remap = c.remap;
        EngineSynth s;
        s.last_speed = 6000;
        for (std::size_t i = 0; i < c.starts.size(); ++i) {
            fire(s, p, 6000, 0, 0, 1);
            EXPECT_FLOAT_EQ(s.frequency, c.frequencies[i]) << i;
            EXPECT_EQ(s.voices[0].position, c.starts[i] * 1024) << i;
            if (c.frequencies[i] == 100) {
                EXPECT_EQ(s.voices[0].step, 232) << i;  // 100 samples per firing interval
            }
        }
    }
}

TEST(EngineSynth, FirstFiringAfterATenthAndVoicesEndAtTheirCell)
{
    TestTable t({0}, {0}, 1000);
    auto& samples = *std::const_pointer_cast<std::vector<float>>(t.table.cells[0].samples);
    samples.assign(1001, 0.5f);
    samples.pop_back();  // the spare capacity past the end is loud: reading it would be heard
    const EngineParams p = dry(t.table, 1, 0);
    EngineSynth s;
    std::vector<std::uint8_t> out(4420);
    // 10 Hz to begin with: 3804 per sample of a 2^24 cycle, the first firing
    // at sample 4410.
    synthesize(s, p, 600, 0, out);
    EXPECT_EQ((std::vector<int>{out[0], out[4410], out[4411]}), (std::vector<int>{127, 127, 191}));
    EXPECT_EQ(s.firings, 1);
    EXPECT_EQ(s.write_position, (k_start_write_position + 4420) & k_ring_mask);
    EXPECT_EQ(s.ring[static_cast<std::size_t>(k_start_write_position + 4411)], 0.5f);
    EXPECT_EQ(s.last_speed, 600.0f);

    // Past the cell's last sample a voice adds nothing.
    SynthVoice& v = s.voices[3];
    v.position = 999 * 1024;
    v.step = 1024;
    for (SynthVoice& other : s.voices)
        if (&other != &v)
            other.weight = 0;
    s.phase = 0;
    std::vector<std::uint8_t> two(2);
    synthesize(s, p, 600, 0, two);
    EXPECT_EQ(two[0], 191);
    EXPECT_EQ(two[1], 127);

    // At 44100 firings a second the phase reaches a whole cycle on the first sample.
    EngineSynth every;
    every.frequency = 44100;
    synthesize(every, p, 600, 0, std::span<std::uint8_t>(two.data(), 1));
    EXPECT_EQ(every.firings, 1);
}

TEST(EngineSynth, PipeTapsFeedBackAndSamplesClamp)
{
    TestTable t({0}, {0}, 10);
    EngineParams p = dry(t.table, 1, 0);
    p.taps[0] = {10, 0.5f};
    p.taps[5] = {3, 2.0f};
    EngineSynth s;
    s.write_position = 100;
    s.ring[90] = 1.0f;
    s.ring[97] = 0.25f;
    s.ring[98] = 100.0f;   // 2 * 100 clamps to 16
    s.ring[99] = -100.0f;
    std::vector<std::uint8_t> out(3);
    synthesize(s, p, 1000, 0, out);
    EXPECT_FLOAT_EQ(s.ring[100], 0.5f * 1.0f + 2.0f * 0.25f);
    EXPECT_EQ(out[0], 254);
    EXPECT_EQ(s.ring[101], 16.0f);
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(s.ring[102], -16.0f);
    EXPECT_EQ(out[2], 0);

    // The delay line reaches back across the ring's start.
    EngineSynth w;
    w.write_position = 2;
    w.ring[static_cast<std::size_t>(k_ring_samples - 8)] = 0.5f;
    std::vector<std::uint8_t> one(1);
    synthesize(w, p, 1000, 0, one);
    EXPECT_FLOAT_EQ(w.ring[2], 0.25f);
}

}  // namespace
}  // namespace zv::sound
