// The sound device through SDL's dummy driver: the audio thread mixes ahead
// and the device pulls fragments; open and close log their lines.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/audio.h"
#include "platform/log.h"
#include "platform/options.h"
#include "support/temp_dir.h"

namespace zv::platform {
namespace {

TEST(AudioDevice, OpensMixesAndClosesOnTheDummyDriver)
{
    zv::test::TempDir dir;
    zv::test::ScopedEnv log_file("TORV_LOGFILE", dir / "log.txt");
    log_close();
    zv::test::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    EXPECT_FALSE(open_audio());
    log_close();
    EXPECT_NE(zv::test::read_file(dir / "log.txt").value_or("").find("No audio device\n"), std::string::npos);

    bool dummy = false;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i)
        dummy = dummy || std::strcmp(SDL_GetAudioDriver(i), "dummy") == 0;
    if (!dummy)
        GTEST_SKIP() << "SDL has no dummy audio driver here";
    // With the driver there, failing to open is a fault, not a reason to skip.
    zv::test::ScopedEnv dummy_driver("SDL_AUDIODRIVER", "dummy");
    zv::test::ScopedEnv options("TORV_OPTIONS", "[sound-rate:11025][sound-mixahead:1000]");
    reload_options();
    ASSERT_TRUE(open_audio());
    EXPECT_FALSE(open_audio());                  // already open
    EXPECT_FALSE(open_readback(1000, 10));
    EXPECT_EQ(audio_output_rate(), 11025);
    EXPECT_TRUE(mix_readback().empty());         // not the readback output
    std::vector<std::uint8_t> data(1000, 200);
    auto s = new_sound(1000, data.data(), 11025);
    ASSERT_NE(s, nullptr);
    set_loop(s.get(), true);
    play_sound(s.get());
    int position = 0;
    for (int i = 0; i < 100 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        position = play_position(s.get());
    }
    EXPECT_GT(position, 0);  // the audio thread is mixing
    close_audio();
    EXPECT_FALSE(audio_is_open());
    EXPECT_FALSE(sound_is_playing(s.get()));
    reload_options();
    log_close();
}

}  // namespace
}  // namespace zv::platform
