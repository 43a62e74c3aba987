// Riders' engine sounds end to end through the readback output: choosing the
// description, the stream's lead over playback, pitch, volume and pan.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/data_file.h"
#include "core/messages.h"
#include "platform/audio.h"
#include "platform/audio_mixer.h"
#include "sound/engine_sound.h"
#include "support/temp_dir.h"

namespace zv::sound {
namespace {

constexpr int k_record_rate = 88320;
constexpr int k_record_block = 690;

TEST(StreamControls, DistanceDopplerAndPan)
{
    EngineInput source;
    Listener camera;
    camera.position = {100, 0, 0};
    StreamControls c = stream_controls(1.0f, source, camera);
    // Volume 32767 / (1 + 99 / 48); the camera's side axis points away from the bike.
    EXPECT_EQ(std::tuple(c.rate, c.volume, c.pan), std::tuple(44100, 10699, -32767));

    source.velocity = {114.063f, 0, 0};  // a tenth of the speed of sound, toward the camera
    c = stream_controls(1.0f, source, camera);
    EXPECT_NEAR(c.rate, 49000, 1);
    source.velocity = {0, 0, 0};
    camera.velocity = {114.063f, 0, 0};  // the listener moving away
    c = stream_controls(1.0f, source, camera);
    EXPECT_NEAR(c.rate, 39690, 1);
    camera.velocity = {-7 * static_cast<float>(k_speed_of_sound), 0, 0};  // closing at 7c: the most, 8 times
    EXPECT_EQ(stream_controls(1.0f, source, camera).rate, 352800);
    camera.velocity = {};
    source.velocity = {2281.26f, 0, 0};  // faster than sound: an eighth
    EXPECT_EQ(stream_controls(1.0f, source, camera).rate, 5512);

    camera.position = {0.01f, 0, 0};     // closer than 1/32 ft: no Doppler, no pan
    c = stream_controls(0.5f, source, camera);
    EXPECT_EQ(std::tuple(c.rate, c.pan, c.volume), std::tuple(44100, 0, 16383));
    camera.position = {0, 0, 30};
    camera.side = {1, 0, 0};
    EXPECT_EQ(stream_controls(1.0f, source, camera).pan, 0);  // straight ahead
    EXPECT_EQ(stream_controls(3.0f, source, camera).volume, 32767);
    EXPECT_EQ(stream_controls(-1.0f, source, camera).volume, 0);
    camera.position = {1.0e30f, 0, 0};
    EXPECT_EQ(stream_controls(1.0f, source, camera).volume, 0);
}

class EngineSounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        core::reset_data_files();
        clear_sound_cache();
        test::write_file(tmp_ / "data/bikes/zz.braap", "minrpm 1500\npipe 2 1 0.5 0 0\n");
        test::write_file(tmp_ / "data/default250.braap", "minrpm 1234\n");
    }
    void TearDown() override
    {
        free_all_engine_sounds();
        if (platform::audio_is_open())
            platform::close_audio();
        core::reset_data_files();
        clear_sound_cache();
    }
    static bool silent(std::span<const std::int16_t> block)
    {
        return std::all_of(block.begin(), block.end(), [](std::int16_t v) { return v == 0; });
    }
    test::TempDir tmp_;
    test::ScopedEnv home_{"XDG_DATA_HOME", tmp_ / "xdg"};
    test::ScopedEnv data_{"ZV_HOME", tmp_ / "data"};
};

TEST_F(EngineSounds, DescriptionsByTextureThenClassThenBuiltIn)
{
    EXPECT_EQ(engine_params_for("@bikes/zz-red-team.png", "250f").min_rpm, 1500.0f);
    EXPECT_EQ(engine_params_for("@bikes/zz-red-team.png", "250f").cycles_per_revolution, 0.5f);
    for (const char* texture : {"@bikes/other.png", ""})
        EXPECT_EQ(engine_params_for(texture, "250").min_rpm, 1234.0f) << texture;
    const EngineParams plain = engine_params_for("", "450f");  // no file for it here
    EXPECT_EQ(plain.min_rpm, 1000.0f);
    EXPECT_EQ(plain.taps[0].delay, 386);
    EXPECT_EQ(engine_params_for("", "300").high_torque, 3.5f);
}

TEST_F(EngineSounds, RecordsWithoutSoundOutputStayQuiet)
{
    load_engine_sound(7, "@bikes/zz.png", "125");
    ASSERT_NE(engine_sound(7), nullptr);
    EXPECT_EQ(engine_sound(7)->stream, nullptr);
    EXPECT_EQ(engine_sound(7)->params.min_rpm, 1500.0f);
    update_engine_sound(7, 1.0f, EngineInput{8000, 0, {}, {}}, Listener{});
    EXPECT_EQ(engine_sound(7)->synth.write_position, k_start_write_position);
    load_engine_sound(-1, "", "");
    load_engine_sound(160, "", "");
    EXPECT_EQ(engine_sound(160), nullptr);
    update_engine_sound(3, 1.0f, EngineInput{}, Listener{});  // no record: nothing
    set_engine_pipe(7, Pipe{2.0f, 1.0f, 0.75f, 2, 2});
    EXPECT_FLOAT_EQ(engine_sound(7)->params.taps[2].gain, 0.75f);
    free_engine_sound(7);
    EXPECT_EQ(engine_sound(7), nullptr);
}

TEST_F(EngineSounds, StreamRunsATenthAheadOfPlaybackAndIsHeard)
{
    ASSERT_TRUE(platform::open_readback(k_record_rate, k_record_block));
    load_engine_sound(0, "", "125");
    EngineSound* r = engine_sound(0);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->stream, nullptr);
    platform::Sound* stream = r->stream.get();
    EXPECT_EQ(platform::sound_length(stream), k_ring_samples);
    EXPECT_TRUE(platform::sound_is_playing(stream));
    EXPECT_EQ(stream->volume, 0);
    EXPECT_TRUE(stream->looping);

    const EngineInput engine{6000, 3.5f, {0, 0, 0}, {0, 0, 0}};
    Listener camera;
    camera.position = {0, 0, 1};
    update_engine_sound(0, 1.0f, engine, camera);
    EXPECT_EQ(r->synth.write_position, k_start_write_position);  // a quarter second ahead already
    EXPECT_EQ(r->synth.last_speed, 1000.0f);  // nothing made: the next frame starts from the old speed
    EXPECT_EQ(stream->rate, 44100);
    EXPECT_EQ(stream->volume, 32767);

    // 44100 samples of data a second at 88320 output samples: about 345 per block.
    bool heard = false;
    for (int tick = 1; tick <= 256; ++tick) {
        const auto block = platform::mix_readback();
        ASSERT_EQ(block.size(), static_cast<std::size_t>(k_record_block));
        if (tick <= 19) {
            EXPECT_TRUE(silent(block)) << tick;  // the stream's first quarter second is silence
        }
        heard = heard || !silent(block);
        update_engine_sound(0, 1.0f, engine, camera);
        if (tick == 19) {
            EXPECT_EQ(r->synth.write_position, k_start_write_position);
        }
        const int play = platform::play_position(stream);
        EXPECT_EQ((r->synth.write_position - play) & k_ring_mask, tick < 20 ? k_start_write_position - play : 4410)
            << tick;
    }
    EXPECT_TRUE(heard);
    EXPECT_GT(r->synth.firings, 100);  // 100 firings a second for a second and more

    update_engine_sound(0, 0.0f, engine, camera);  // hidden rider
    EXPECT_EQ(stream->volume, 0);
    platform::mix_readback();
    EXPECT_TRUE(silent(platform::mix_readback()));
}

}  // namespace
}  // namespace zv::sound
