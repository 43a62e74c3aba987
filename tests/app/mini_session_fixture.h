// A session on a tiny track: a minimal track folder with one starting gate,
// the only entry of the track list, and the physics world, all put back
// afterwards (the session ended, settings and messages reset, the log
// closed).
#pragma once

#include "app/race_session.h"
#include "race/riders.h"
#include "race/session.h"
#include "app/startup.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "track/track.h"
#include "track/track_fixture.h"

namespace zv::test {

class MiniTrackSession : public TrackFolders {
protected:
    MiniTrackSession()
    {
        platform::log_close();
        core::reset_settings();
        core::clear_messages();
        write_minimal_track();
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\n");
        app::StartupLists& lists = app::startup_lists();
        lists.tracks.folders = {k_folder};
        lists.tracks.names = {"Mini"};
        lists.track_choice.index = 0;
        track::set_track_list({k_folder}, {"Mini"});
        race::create_physics_world();
    }
    // A lap of two checkpoints: flaggers and the ticker need a timed track.
    void time_two_checkpoint_laps()
    {
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\n"
                            "checkpoints:\n12 [32 0 24] [0 0 -1]\n30 [32 0 8] [0 0 -1]\n"
                            "firstlap:\n0 1\nnormallap:\n0 1\n");
    }
    // Loads a race of `laps` laps with the player alone in the first gate.
    static bool load_player_race(app::Game& g, int laps = 0)
    {
        race::GateKinds kinds{};
        kinds[0] = race::k_gate_human;
        race::SessionRequest req;
        req.gates = &kinds;
        req.laps = laps;
        return app::load_session(g, req);
    }
    ~MiniTrackSession() override
    {
        app::end_session();
        race::destroy_physics_world();
        app::startup_lists() = app::StartupLists{};
        track::set_track_list({}, {});
        core::reset_settings();
        core::clear_messages();
        platform::log_close();
    }
};

}  // namespace zv::test
