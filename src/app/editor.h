// The track editor's least form: a top-down view of the ground around the
// viewed bike (or wherever it is panned to), shaded by its slopes, and a
// round brush under the pointer that raises, lowers, smooths or flattens the
// ground while the left mouse button is held. F2 saves the track into the
// home folder's copy; leaving the editor settles the ground for riding.
#pragma once

#include <cstdint>
#include <vector>

#include "track/terrain.h"

namespace zv::app {

struct Game;

enum class BrushMode { raise, lower, smooth, flatten };

// The ground seen from above: the centre and the half extents in feet.
struct EditorView {
    float centre_x = 0, centre_z = 0;
    float half_width = 0, half_height = 0;
    int width = 0, height = 0;  // window pixels
};

// The world point (x, z) under window pixel (px, py), origin top left, x to
// the right and z downwards on the screen.
struct GroundPoint {
    float x = 0, z = 0;
};
GroundPoint ground_at_pixel(const EditorView& view, float px, float py);

// One tick of the brush at (x, z) through the deformation brush: raise and
// lower add `amount` feet at the centre (smoothly less towards the rim);
// smooth moves each sample within the radius towards the mean of its
// neighbours, flatten towards `flatten_height`, each by the fraction
// `amount` (limited to 1) times its weight. `scratch` keeps the targets.
void brush_stroke(track::Terrain& t, BrushMode mode, float x, float z, float radius, float amount,
                  float flatten_height, std::vector<float>& scratch);

// Unsaved changes (the brush or erosion changed the ground since the last
// save) while the editor is enabled: the quit page warns about them.
bool editor_has_unsaved_changes();

// Keys the editor takes while its view is up: r raise, l lower, m smooth,
// f flatten, - and = the brush's radius, Page Up/Down its strength, arrows
// pan, F2 saves. Returns true when the key was the editor's.
bool editor_key(Game& g, std::uint32_t code, bool pressed);
// The editor's tick, instead of the race tick: pans and applies the brush.
void editor_tick(Game& g);
// Tab into the editor (centres on the viewed bike) and out of it (the
// ground's tables are rebuilt in full before riding on).
void enter_editor(Game& g);
void leave_editor(Game& g);
void draw_editor_view(Game& g, int width, int height);

// Writes the terrain, timing gates, statues and billboards into the home
// folder's copy of the current track; the modified flag clears when every
// file was written.
bool save_edited_track();

}  // namespace zv::app
