// Which way the course runs near a point, for turning a fallen rider's bike
// back toward it.
#include <cmath>

#include "autopilot/auto_pilot.h"

namespace zv::autopilot {

namespace {

bool horizontal_unit(float dx, float dz, sim::Vec3& out)
{
    const float len = std::sqrt(dx * dx + dz * dz);
    if (!(len > 1e-4f))
        return false;
    out = {dx / len, 0, dz / len};
    return true;
}

}  // namespace

bool course_direction(sim::Vec3 position, sim::Vec3& direction)
{
    const LineTable& table = line_table();
    float best = -1;
    sim::Vec3 found;
    for (const LineSection& s : table.sections)
        for (const LineSlot& slot : s.slots) {
            const std::size_t n = slot.points.size();
            if (n < 2)
                continue;
            for (std::size_t i = 0; i < n; ++i) {
                const LinePoint& p = slot.points[i];
                const float dx = p.x - position.x, dz = p.z - position.z;
                const float d = dx * dx + dz * dz;
                if (best >= 0 && d >= best)
                    continue;
                const LinePoint& a = slot.points[i + 1 < n ? i : i - 1];
                const LinePoint& b = slot.points[i + 1 < n ? i + 1 : i];
                sim::Vec3 dir;
                if (horizontal_unit(b.x - a.x, b.z - a.z, dir)) {
                    best = d;
                    found = dir;
                }
            }
        }
    if (best < 0)
        for (const track::Checkpoint& g : table.gates) {
            const float dx = g.x - position.x, dz = g.z - position.z;
            const float d = dx * dx + dz * dz;
            sim::Vec3 dir;
            if ((best < 0 || d < best) && horizontal_unit(g.dir_x, g.dir_z, dir)) {
                best = d;
                found = dir;
            }
        }
    if (best < 0)
        return false;
    direction = found;
    return true;
}

void use_course_directions() { sim::set_course_direction_source(&course_direction); }

}  // namespace zv::autopilot
