// Console commands that reach the loaded track: "savetrackinfo" and
// "forcereload" on a tiny track.
#include <gtest/gtest.h>

#include <string>

#include "app/console.h"
#include "app/main_loop.h"
#include "race/riders.h"
#include "app/race_session.h"
#include "app/startup.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "track/track.h"
#include "mini_session_fixture.h"

namespace zv::app {
namespace {

class TrackCommands : public test::MiniTrackSession {
protected:

    bool load() { return load_player_race(g, 5); }
    // How often the log says a track was freed since the last look (the log
    // starts afresh when it opens again).
    int track_frees()
    {
        platform::log_close();
        std::string log = test::read_file(tmp_.str() + "log.txt").value_or("");
        int n = 0;
        for (std::size_t at = 0; (at = log.find("] Deallocating track\n", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

    Game g;
};

TEST_F(TrackCommands, SaveTrackInfoWritesTheFileOfTheLoadedTrack)
{
    EXPECT_EQ(run_console_line(g, "/savetrackinfo"), 1);  // nothing loaded: nothing
    EXPECT_STREQ(core::message_line(0), "");
    ASSERT_TRUE(load());
    EXPECT_EQ(run_console_line(g, "/savetrackinfo"), 1);
    EXPECT_STREQ(core::message_line(0), "Track info saved to tracks/mini.trackinfo");
    auto text = test::read_file(home() + "tracks/mini.trackinfo");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("dir=tracks/mini\nlongname=Mini\nfirstlap=0\nnormallap=0\ngatecount=1\nhash=", 0), 0u);
}

TEST_F(TrackCommands, ForceReloadReadsTheSameTrackAgainOnce)
{
    ASSERT_TRUE(load());
    track_frees();
    ASSERT_TRUE(load());  // same track: kept
    EXPECT_EQ(track_frees(), 0);

    EXPECT_EQ(run_console_line(g, "/forcereload"), 1);
    EXPECT_STREQ(core::message_line(0), "Track will be reloaded on next restart");
    EXPECT_TRUE(race::track_reload_forced());
    ASSERT_TRUE(load());
    EXPECT_EQ(track_frees(), 1);
    EXPECT_FALSE(race::track_reload_forced());
    EXPECT_TRUE(track::track_loaded());

    ASSERT_TRUE(load());  // only once
    EXPECT_EQ(track_frees(), 0);
}

}  // namespace
}  // namespace zv::app
