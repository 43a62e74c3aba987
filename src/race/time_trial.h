// The time-trial record: every lap the player completes in a time trial is
// timed from the lap's first timing gate to its last; the last and the best
// lap show on the pit board. An attempt starts at the first gate after the
// starting gate, and again at every lap end; backing up to restart abandons
// the attempt under way, so the lap end reached from the restart only starts
// the next one.
#pragma once

namespace zv::race {

struct TrialRecord {
    int attempt_start = -1;   // tick at the attempt's first gate; -1: none under way
    int attempt_position = -1;  // the lap position of that gate
    int seen_position = 0;    // the player's lap position at the last look
    int last_ticks = 0;       // 0: no lap yet
    int best_ticks = 0;       // 0: no lap yet
    int laps = 0;             // laps timed
};

const TrialRecord& trial_record();
// A new time trial (or any new session): nothing timed.
void reset_trial_record();
// After the slot's timing update of a time-trial tick: times the laps the
// passages since the last look completed. Returns true when a lap was timed.
bool note_trial_timing(int slot);
// Backing up restarted the attempt: the lap under way is not timed.
void abandon_trial_attempt(int slot);

}  // namespace zv::race
