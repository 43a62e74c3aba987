// The line files: one text file per robot skill in the track folder,
// "lines_novice", "lines_amateur" and "lines_expert". Learnt lines are
// written to the home folder, so a file learnt there takes precedence over
// the one shipped with the track, which is never overwritten.
#pragma once

#include <string>
#include <string_view>

#include "autopilot/line_table.h"
#include "core/data_file.h"

namespace zv::autopilot {

enum RobotSkill : int { k_skill_novice = 0, k_skill_amateur = 1, k_skill_expert = 2 };

// "lines_novice", "lines_amateur", "lines_expert" (a skill out of range is
// taken as the nearest one).
const char* line_file_name(int skill);
// "@" + track folder + "/" + the skill's file name.
std::string line_file_path(std::string_view track_folder, int skill);

// Reads a line file into the table (which the caller has emptied). A file
// whose section count differs from the table's is ignored; a slot whose
// points cannot all be read is dropped and reading stops there, keeping what
// came before. Returns the number of slots read.
int read_lines(core::DataFile& file, LineTable& table);
// The file's text for the table.
std::string format_lines(const LineTable& table);

// Whether learnt lines are written back ("--learn"; off by default).
void set_learning(bool on);
bool learning();

// At race start: makes the loaded table F + N sections of empty slots (from
// the track's timing; none without timing) and reads the skill's line file
// for the track folder into it. Remembers folder and skill for save_lines.
// Returns the number of slots read.
int load_lines(std::string_view track_folder, int skill, const track::TrackTiming& timing);
// Writes the table to the home folder's file of the skill and track it was
// loaded for, whole or not at all (a failed write leaves the old file).
// Nothing happens unless learning is on and a table was loaded; false when
// the file could not be written.
bool save_lines();
// Forgets the loaded folder (no save until the next load).
void forget_lines();

}  // namespace zv::autopilot
