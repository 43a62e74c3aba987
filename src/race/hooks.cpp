#include "race/hooks.h"

namespace zv::race {

namespace {

RaceHooks& hooks()
{
    static RaceHooks h;
    return h;
}

}  // namespace

void set_race_hooks(const RaceHooks& h) { hooks() = h; }
const RaceHooks& race_hooks() { return hooks(); }

}  // namespace zv::race
