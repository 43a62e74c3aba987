#include "render/flagger_animation.h"

#include <vector>

#include "render/textures.h"
#include "track/scenery.h"
#include "track/scenery_flaggers.h"

namespace zv::render {

namespace {

// What one flagger billboard showed at the last call. The change tick tells
// apart a change back to a picture shown before.
struct Shown {
    int billboard = -1;
    track::TextureId texture = 0;
    int changed_at = 0;
};
std::vector<Shown> g_shown;

void check(std::size_t at, int index, int tick)
{
    if (index < 0 || index >= track::billboard_count())
        return;
    const track::Billboard& b = track::billboard(index);
    if (at >= g_shown.size())
        g_shown.resize(at + 1);
    Shown& s = g_shown[at];
    if (s.billboard == index && s.texture == b.texture && s.changed_at == b.texture_tick)
        return;
    bool first_sight = s.billboard != index;
    s = {index, b.texture, b.texture_tick};
    // The picture a flagger starts the race with runs from the track's start.
    if (!first_sight && b.texture)
        start_animation(b.texture, tick);
}

}  // namespace

void restart_changed_flagger_animations(int tick)
{
    const track::Flaggers& f = track::flaggers();
    std::size_t at = 0;
    check(at++, f.starter ? f.starter->billboard : -1, tick);
    check(at++, f.finish ? f.finish->billboard : -1, tick);
    for (const track::CornerFlagger& c : f.corners)
        check(at++, c.billboard, tick);
}

void forget_flagger_pictures() { g_shown.clear(); }

}  // namespace zv::render
