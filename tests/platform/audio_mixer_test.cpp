// The software mixer through the readback output: no sound device needed.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_mixer.h"

namespace zv::platform {
namespace {

std::vector<std::uint8_t> constant(int count, std::uint8_t value)
{
    return std::vector<std::uint8_t>(static_cast<std::size_t>(count), value);
}

std::vector<std::int16_t> mix()
{
    auto s = mix_readback();
    return {s.begin(), s.end()};
}

// Output of one level-31 sample value.
std::int16_t loud(int u) { return output_s16(volume_table_value(31, u)); }

class Readback : public ::testing::Test {
protected:
    void open(int rate = 1000, int fragment = 10, int channels = 1)
    {
        ASSERT_TRUE(open_readback(rate, fragment, channels));
    }
    void TearDown() override
    {
        sounds.clear();
        if (audio_is_open())
            close_audio();
    }
    Sound* add(const std::vector<std::uint8_t>& data, bool looping = false)
    {
        auto s = new_sound(static_cast<int>(data.size()), data.data(), audio_output_rate());
        EXPECT_NE(s, nullptr);
        set_loop(s.get(), looping);
        sounds.push_back(std::move(s));
        return sounds.back().get();
    }
    std::vector<SoundPtr> sounds;
};

TEST(AudioLevels, VolumeAndPanGiveLevelsFrom0To31)
{
    // {volume, pan, left, right}; 65535 * 2048 / 2^26 = 1.99997.
    for (auto [volume, pan, left, right] : {std::array{32767, -32768, 31, 0}, {32767, 0, 15, 15}, {32767, 32767, 0, 31},
                                            {2048, -32768, 1, 0}, {2049, -32768, 2, 0}, {0, -32768, 0, 0},
                                            {0, 32767, 0, 0}}) {
        EXPECT_EQ(left_level(volume, pan), left) << volume << " " << pan;
        EXPECT_EQ(right_level(volume, pan), right) << volume << " " << pan;
    }
}

TEST(AudioLevels, VolumeTablesRoundTowardSilence)
{
    // {level, sample, value}: 127 * 31 / 32 = 123.03; 0 maps like 1; 127 gives -(1 * 31 / 32).
    for (auto [level, u, value] : {std::array{31, 255, 123}, {31, 1, -123}, {31, 0, -123}, {31, 128, 0}, {31, 129, 0},
                                   {31, 127, 0}, {1, 255, 3}, {1, 1, -3}, {16, 64, -32}, {16, 192, 32}, {0, 255, 0}})
        EXPECT_EQ(volume_table_value(level, u), value) << level << " " << u;
}

TEST(AudioLevels, ClippingOfBothOutputs)
{
    for (auto [sum, u8] : {std::pair{-128, 0}, {-127, 1}, {0, 128}, {126, 254}, {127, 255}, {100000, 255}})
        EXPECT_EQ(output_u8(sum), u8) << sum;
    for (auto [sum, s16] :
         {std::pair{-127, -0x7F00}, {-126, -126 * 256}, {126, 126 * 256}, {127, 0x7F00}, {-100000, -0x7F00}})
        EXPECT_EQ(output_s16(sum), s16) << sum;
}

TEST(AudioLevels, MixaheadIsLimitedTo1To32Fragments)
{
    for (auto [ms, fragments] : {std::pair{125, 8}, {1000, 32}, {500, 32}, {484, 30}, {10, 1}, {0, 1}, {-50, 1}})
        EXPECT_EQ(mixahead_fragments(ms), fragments) << ms;
}

TEST_F(Readback, OpensOnceAndNothingIsMadeWhileClosed)
{
    const auto data = constant(4, 200);
    EXPECT_EQ(new_sound(4, data.data(), 1000), nullptr);
    EXPECT_TRUE(mix_readback().empty());
    open();
    EXPECT_FALSE(open_readback(1000, 10));
    EXPECT_EQ(audio_output_rate(), 1000);
    EXPECT_EQ(mix().size(), 10u);
    EXPECT_EQ(new_sound(0, data.data(), 1000), nullptr);
    EXPECT_EQ(new_sound(4, data.data(), 0), nullptr);
    EXPECT_EQ(new_sound(1, data.data(), 2000), nullptr);  // half a sample is nothing
    close_audio();
    EXPECT_FALSE(audio_is_open());
}

TEST_F(Readback, NewSoundsAreResampledByNearestSample)
{
    open(1000, 8);
    const std::vector<std::uint8_t> four{160, 192, 224, 255};
    auto slow = new_sound(4, four.data(), 500);
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(sound_length(slow.get()), 8);
    auto fast = new_sound(4, four.data(), 2000);
    EXPECT_EQ(sound_length(fast.get()), 2);
    auto odd = new_sound(1000, constant(1000, 128).data(), 3000);
    EXPECT_EQ(sound_length(odd.get()), 333);

    play_sound(slow.get());
    const auto out = mix();
    const std::vector<std::int16_t> expected{loud(160), loud(160), loud(192), loud(192),
                                             loud(224), loud(224), loud(255), loud(255)};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(loud(160), 31 * 256);  // (32 * 31) / 32
    play_sound(fast.get());
    stop_sound(slow.get());
    const auto out2 = mix();
    EXPECT_EQ(out2[0], loud(160));
    EXPECT_EQ(out2[1], loud(224));
    EXPECT_EQ(out2[2], 0);
}

TEST_F(Readback, NonLoopingSoundFinishesLeavesAndRestarts)
{
    open(1000, 10);
    Sound* s = add(constant(5, 255));
    EXPECT_FALSE(sound_is_playing(s));
    play_sound(s);
    EXPECT_EQ(play_position(s), 0);  // restart pending
    auto out = mix();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out[static_cast<std::size_t>(i)], 123 * 256) << i;
    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(out[static_cast<std::size_t>(i)], 0) << i;
    EXPECT_FALSE(sound_is_playing(s));
    EXPECT_EQ(play_position(s), 0);
    EXPECT_EQ(mix(), std::vector<std::int16_t>(10, 0));
    play_sound(s);
    EXPECT_EQ(mix()[4], 123 * 256);
}

TEST_F(Readback, StopThenPlayBeforeAMixStillPlays)
{
    open(1000, 10);
    Sound* s = add(constant(50, 255), true);
    play_sound(s);
    mix();
    stop_sound(s);
    play_sound(s);
    EXPECT_EQ(mix()[9], 123 * 256);
    EXPECT_TRUE(sound_is_playing(s));
    stop_sound(s);
    EXPECT_EQ(mix()[0], 0);
    EXPECT_FALSE(sound_is_playing(s));
}

TEST_F(Readback, LoopingWrapsAndRatesStepByFraction)
{
    open(1000, 10);
    std::vector<std::uint8_t> ramp(15);
    for (int i = 0; i < 15; ++i)
        ramp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(128 + 4 * i);
    Sound* s = add(ramp, true);
    play_sound(s);
    mix();
    EXPECT_EQ(play_position(s), 10);
    const auto out = mix();
    EXPECT_EQ(out[0], loud(128 + 40));
    EXPECT_EQ(out[4], loud(128 + 56));
    EXPECT_EQ(out[5], loud(128));     // wrapped
    EXPECT_EQ(play_position(s), 5);

    set_rate(s, 1500);                // 1.5 bytes per output sample
    play_sound(s);
    const auto fast = mix();
    EXPECT_EQ(fast[1], loud(128 + 4));   // position 1.5
    EXPECT_EQ(fast[2], loud(128 + 12));  // position 3
    EXPECT_EQ(play_position(s), 0);      // 15 bytes: exactly one turn
    set_rate(s, 2000);
    mix();
    EXPECT_EQ(play_position(s), 5);      // 20 more bytes
    set_rate(s, 100000);                 // many turns per sample
    mix();
    EXPECT_EQ(play_position(s), (5 + 1000) % 15);
}

TEST_F(Readback, VolumeZeroIsNeverAudibleButAdvances)
{
    open(1000, 10);
    Sound* s = add(constant(100, 255), true);
    set_volume(s, 0);
    play_sound(s);
    EXPECT_EQ(mix(), std::vector<std::int16_t>(10, 0));
    EXPECT_EQ(play_position(s), 10);
    set_volume(s, -5);
    EXPECT_EQ(mix()[0], 0);
    set_volume(s, 100000);  // clamped to 32767: level 31
    EXPECT_EQ(mix()[0], 123 * 256);
    set_volume(s, 16384);   // 65535 * 16384 >> 26 = 15
    EXPECT_EQ(mix()[0], volume_table_value(15, 255) * 256);
    EXPECT_EQ(play_position(s), 40);
}

TEST_F(Readback, BudgetOf16HearsTheFirst16Of20AtOneLevel)
{
    open(1000, 10);
    std::vector<Sound*> all;
    for (int i = 0; i < 20; ++i)
        all.push_back(add(constant(100, i < 16 ? 132 : 136), true));
    for (Sound* s : all)
        play_sound(s);
    auto out = mix();
    EXPECT_EQ(out[0], 16 * 3 * 256);  // 132 at level 31 is 3; the four 136s are silent
    for (Sound* s : all)
        EXPECT_EQ(play_position(s), 10);  // the silent ones keep their place in time
    for (int i = 0; i < 4; ++i)
        stop_sound(all[static_cast<std::size_t>(i)]);
    out = mix();
    EXPECT_EQ(out[0], (12 * 3 + 4 * 7) * 256);
    EXPECT_EQ(play_position(all[19]), 20);

    // A new level-31 sound takes the budget unit of a quieter one.
    Sound* added = add(constant(100, 160), true);
    play_sound(added);
    set_volume(all[4], 30000);  // level 29: walked after the level-31 ones
    out = mix();
    EXPECT_EQ(out[0], (11 * 3 + 4 * 7 + 31) * 256);
    EXPECT_EQ(play_position(all[4]), 30);
}

TEST_F(Readback, StereoSoundsUseOneUnitPerChannelEntry)
{
    open(1000, 10, 2);
    EXPECT_TRUE(audio_is_stereo());
    std::vector<Sound*> all;
    for (int i = 0; i < 10; ++i)
        all.push_back(add(constant(100, 144), true));
    for (Sound* s : all)
        play_sound(s);
    auto out = mix();
    ASSERT_EQ(out.size(), 20u);
    // Pan 0: levels 15 and 15; 144 at level 15 is 7; eight sounds fill the budget.
    EXPECT_EQ(out[0], 8 * 7 * 256);
    EXPECT_EQ(out[1], 8 * 7 * 256);
    for (Sound* s : all)
        set_volume(s, 0);
    set_volume(all[0], 32767);
    set_pan(all[0], 32767);
    out = mix();
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], volume_table_value(31, 144) * 256);
    set_pan(all[0], -40000);
    out = mix();
    EXPECT_EQ(out[0], volume_table_value(31, 144) * 256);
    EXPECT_EQ(out[1], 0);
}

TEST_F(Readback, MonoSoundsKeepFullLeftPan)
{
    open(1000, 10);
    Sound* s = add(constant(100, 255), true);
    set_pan(s, 32767);
    play_sound(s);
    EXPECT_EQ(mix()[0], 123 * 256);
    set_pan(s, 0);
    EXPECT_EQ(mix()[0], 123 * 256);
}

TEST_F(Readback, SumsClipAtTheOutput)
{
    open(1000, 4);
    for (int i = 0; i < 3; ++i)
        play_sound(add(constant(10, 0), true));
    EXPECT_EQ(static_cast<std::uint16_t>(mix()[0]), 0x8100);
    close_audio();
    sounds.clear();
    open(1000, 4);
    for (int i = 0; i < 2; ++i)
        play_sound(add(constant(10, 255), true));
    EXPECT_EQ(mix()[0], 0x7F00);
}

TEST_F(Readback, WriteSoundIsARingAndKeepsTheLastOfTooMany)
{
    open(1000, 10);
    Sound* s = add(constant(10, 128), true);
    std::vector<std::uint8_t> four{132, 136, 140, 144};
    write_sound(s, 4, four.data(), 8);  // 8, 9, then 0, 1
    play_sound(s);
    auto out = mix();
    EXPECT_EQ((std::vector<int>{out[8], out[9], out[0], out[1], out[2]}),
              (std::vector<int>{loud(132), loud(136), loud(140), loud(144), 0}));
    write_sound(s, 1, four.data(), -1);  // position -1 is the last byte
    write_sound(s, 1, four.data() + 3, 23);
    out = mix();
    EXPECT_EQ(out[9], loud(132));
    EXPECT_EQ(out[3], loud(144));

    std::vector<std::uint8_t> many(25);
    for (int i = 0; i < 25; ++i)
        many[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(128 + 4 * i);
    write_sound(s, 25, many.data(), 3);  // samples 15 ... 24 land from position 8 on
    out = mix();
    EXPECT_EQ((std::vector<int>{out[8], out[9], out[0], out[7]}),
              (std::vector<int>{loud(128 + 4 * 15), loud(128 + 4 * 16), loud(128 + 4 * 17), loud(128 + 4 * 24)}));
    write_sound(s, 0, many.data(), 0);
    write_sound(s, 5, nullptr, 0);
    EXPECT_EQ(mix()[7], loud(128 + 4 * 24));
}

TEST_F(Readback, CopiesShareDataAndOutliveTheOriginal)
{
    open(1000, 10);
    auto original = new_sound(10, constant(10, 128).data(), 1000);
    auto copy = copy_sound(original.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(sound_is_playing(copy.get()));
    const std::uint8_t loud_byte = 255;
    write_sound(original.get(), 1, &loud_byte, 2);
    original.reset();
    play_sound(copy.get());
    const auto out = mix();
    EXPECT_EQ(out[2], 123 * 256);
    EXPECT_EQ(out[1], 0);
}

TEST_F(Readback, SoundsSurviveCloseSilently)
{
    open(1000, 10);
    Sound* s = add(constant(10, 255), true);
    play_sound(s);
    mix();
    close_audio();
    EXPECT_FALSE(sound_is_playing(s));
    EXPECT_EQ(play_position(s), 0);
    play_sound(s);  // nothing to play on
    set_volume(s, 100);
    write_sound(s, 1, constant(1, 0).data(), 0);
    EXPECT_FALSE(sound_is_playing(s));
}

}  // namespace
}  // namespace zv::platform
