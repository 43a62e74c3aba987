// The game's sound wiring: the frame's gain by mode, and the recording file
// taking one 1380-byte block per call from the readback output.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "app/engine_sounds.h"
#include "platform/audio.h"
#include "sound/engine_sound.h"
#include "support/temp_dir.h"

namespace zv::app {
namespace {

TEST(EngineSoundsGain, ByPauseEditorAndMenu)
{
    // {the four switches in order, gain}
    for (auto [a, b, c, d, gain] : {std::tuple{true, false, false, true, 0.0f}, {false, true, false, true, 0.0f},
                                    {false, false, false, true, 1.0f}, {false, false, false, false, 1.0f},
                                    {false, false, true, true, 0.0f}, {false, false, true, false, 0.25f},
                                    {true, false, true, false, 0.0f}})
        EXPECT_EQ(sound_mode_gain(a, b, c, d), gain) << a << b << c << d;
}

TEST(EngineSoundsOutput, RecordingTakesOneBlockPerTick)
{
    test::TempDir tmp;
    StartupValues values;
    values.audio_record_file = tmp / "rec.raw";
    open_sound_output(values);
    ASSERT_TRUE(platform::audio_is_open());
    EXPECT_EQ(platform::audio_output_rate(), 88320);
    load_rider_engine_sound(5);  // no bike: the four-stroke sound
    ASSERT_NE(sound::engine_sound(5), nullptr);
    EXPECT_NE(sound::engine_sound(5)->stream, nullptr);
    for (int i = 0; i < 3; ++i)
        record_audio_block();
    close_sound_output();
    EXPECT_FALSE(platform::audio_is_open());
    EXPECT_EQ(sound::engine_sound(5), nullptr);
    EXPECT_EQ(std::filesystem::file_size(tmp / "rec.raw"), 3u * 1380u);
    record_audio_block();  // closed: nothing more
    EXPECT_EQ(std::filesystem::file_size(tmp / "rec.raw"), 3u * 1380u);

    // An unwritable file: readback opens all the same, nothing is written.
    values.audio_record_file = tmp / "no/such/folder/rec.raw";
    open_sound_output(values);
    EXPECT_TRUE(platform::audio_is_open());
    record_audio_block();
    close_sound_output();

    StartupValues silent;
    silent.no_sound = true;
    open_sound_output(silent);
    EXPECT_FALSE(platform::audio_is_open());
    close_sound_output();
}

}  // namespace
}  // namespace zv::app
