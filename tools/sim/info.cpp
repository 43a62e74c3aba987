// --info: loads a track headless and prints its track info lines and counts.
#include "sim_cli.h"
#include "sim_track.h"

#include "track/scenery.h"
#include "track/timing.h"
#include "track/track.h"
#include "track/track_info.h"

#include <cstdio>

namespace zv::sim_tool {

namespace {

int run_info(const Options& options)
{
    std::string name = options.value("--track");
    if (name.empty()) {
        std::fprintf(stderr, "zarvox-sim: --info needs --track NAME\n");
        return k_exit_failure;
    }
    if (!load_named_track(name))
        return k_exit_failure;
    std::fputs(track::format_track_info().c_str(), stdout);
    std::printf("checkpoints=%d\n", static_cast<int>(track::track_timing().checkpoints.size()));
    std::printf("objects=%d\n", track::track_object_count());
    // The roost particles' pool is part of every track; only the track's own
    // billboards (flaggers and the billboards file) are counted.
    std::printf("billboards=%d\n", track::billboard_count() - track::k_roost_billboards);
    track::free_track();
    return 0;
}

const bool registered = register_mode(
    {"--info", "load the track and print its info lines and object counts", run_info},
    {{"--track", true, "NAME", "track folder, as in the game's track list"}});

}  // namespace

}  // namespace zv::sim_tool
