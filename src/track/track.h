// The loaded track: its folder, long name and hash, and the loading sequence
// that reads a track folder's files in one fixed order.
#pragma once

#include "core/digest.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::track {

// The number of roost particle billboards created with every track.
constexpr int k_roost_billboards = 2000;

// The track list built at start-up: folders and their long names, parallel.
void set_track_list(std::vector<std::string> folders, std::vector<std::string> long_names);
// The long name of a folder: its list entry (exact comparison), or the
// folder name itself when the list has none.
std::string long_name_for(std::string_view folder);

// The folder the next load_track reads (set by the race set-up).
void set_current_track(std::string_view folder);
const std::string& current_track();
const std::string& current_track_long_name();

// Terrain texture method (1, 2 or 3) and texture edge from the graphics
// settings.
void set_terrain_texture_method(int method, int texture_size = 256);
// The renderer's texture memory counter for the verbose log lines; without
// one the terrain's render hooks are asked, and headless runs count 0.
void set_texture_memory_counter(std::function<std::size_t()> counter);

// Reads every file of the current track and computes the track hash. On
// failure the current track name and long name are cleared and nothing of
// the track stays loaded.
bool load_track();
// Releases everything load_track built.
void free_track();
bool track_loaded();

// RIPEMD-160 of terrain.hf, terrain.png, texturelist, tilemap, tileinfo,
// timing_gates and statues (those present), then every distinct shape file
// of the track objects in object order. Valid from a successful load.
const core::Digest& track_hash();

// The first roost particle billboard; the pool is k_roost_billboards long.
int roost_billboard_base();
// The object and billboard counts before the billboards file was read (the
// editor saves only what comes after).
int first_editable_object();
int first_editable_billboard();

// The head-up display's map texture (0 = none).
unsigned map_texture();

// The track editor's own data: read at the end of a load, released first
// thing in free_track. Unset when the editor is not active.
void set_track_editor_hooks(std::function<void()> load, std::function<void()> release);

}  // namespace zv::track
