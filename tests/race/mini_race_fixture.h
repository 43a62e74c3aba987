// A race on a tiny track: a minimal track folder with one starting gate, and
// the physics world, all put back afterwards (the session ended, settings
// and messages reset, the log closed).
#pragma once

#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/hooks.h"
#include "race/riders.h"
#include "race/session.h"
#include "track/track.h"
#include "track/track_fixture.h"

namespace zv::test {

class MiniRace : public TrackFolders {
protected:
    MiniRace()
    {
        platform::log_close();
        core::reset_settings();
        core::clear_messages();
        race::set_race_hooks({});
        write_minimal_track();
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\n");
        track::set_track_list({k_folder}, {"Mini"});
        race::create_physics_world();
    }
    ~MiniRace() override
    {
        race::end_session();
        race::destroy_physics_world();
        track::set_track_list({}, {});
        race::set_race_hooks({});
        core::reset_settings();
        core::clear_messages();
        platform::log_close();
    }

    // A request for a race of `laps` on the tiny track (gates: none for a
    // time trial).
    static race::SessionRequest request(const race::GateKinds* gates, int laps = 1000)
    {
        race::SessionRequest req;
        req.gates = gates;
        req.laps = laps;
        req.track_folder = k_folder;
        return req;
    }
};

}  // namespace zv::test
