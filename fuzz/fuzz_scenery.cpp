// Scenery files of a track folder: statues, billboards, flaggers, cameras and
// lighting. Each is read as the track loader reads it, then used the way a
// race uses it (object buckets, flagger updates, camera choice), and the
// files the editor writes back must read back alike.
#include "harness.h"

#include <cmath>
#include <cstdlib>

#include "core/data_file.h"
#include "track/scenery.h"
#include "track/scenery_cameras.h"
#include "track/scenery_flaggers.h"
#include "track/scenery_lighting.h"
#include "track/shape.h"

namespace zv::fuzz {

namespace {

constexpr float k_field_size = 512.0f;
constexpr int k_checkpoints = 64;

// The input as the named file in the scratch folder; "" when it could not be
// written.
std::string scratch_path(const char* name, const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch(name, data, size))
        return {};
    return scratch_folder() + name;
}

// Statues name their collision shapes: "@s.shp" is a real one.
void prepare_scenery()
{
    static const bool ready = [] {
        use_scratch_data_folders();
        use_fake_resources();
        return write_scratch("data/s.shp", "2\n0 0 0 0.5 1 1000 10\n0 1 0 0.25 1 1000 10\n");
    }();
    (void)ready;
    track::clear_scenery();
    track::clear_flaggers();
    track::clear_shape_cache();
}

}  // namespace

int fuzz_statues(const std::uint8_t* data, std::size_t size)
{
    prepare_scenery();
    const std::string path = scratch_path("statues", data, size);
    if (path.empty())
        return 0;
    const int count = track::load_statues(path);
    track::build_object_buckets(k_field_size);
    for (float at : {-1.0e9f, 0.0f, 100.0f, 511.0f, 1.0e9f, NAN})
        (void)track::objects_near(at, k_field_size - at);
    // What the editor saves reads back as the same number of statues.
    if (count > 0 && track::save_statues(path, 0)) {
        track::clear_scenery();
        if (track::load_statues(path) != count)
            std::abort();
    }
    return 0;
}

int fuzz_billboards(const std::uint8_t* data, std::size_t size)
{
    prepare_scenery();
    const std::string path = scratch_path("billboards", data, size);
    if (path.empty())
        return 0;
    core::DataFilePtr f = core::open_data_file(path, "rb");
    if (!f)
        return 0;
    const int count = track::read_billboards(*f);
    f.reset();
    if (count > 0 && track::save_billboards(path, 0)) {
        track::clear_scenery();
        if (track::load_billboards(path) != count)
            std::abort();
    }
    return 0;
}

int fuzz_flaggers(const std::uint8_t* data, std::size_t size)
{
    prepare_scenery();
    const std::string path = scratch_path("flaggers", data, size);
    if (path.empty() || !track::load_flaggers(path, k_checkpoints))
        return 0;
    for (const track::CornerFlagger& c : track::flaggers().corners)
        for (int cp : c.checkpoints)
            if (cp < -1 || cp >= k_checkpoints)
                std::abort();
    // A few frames of a race: the starter walks, riders crash near corners.
    track::FlaggerRider riders[] = {{3, true, false, false}, {100000 + 9, true, false, false},
                                    {k_checkpoints - 1, true, false, false}, {-5, true, false, false}};
    track::FlaggerRace race;
    race.has_timing = true;
    race.first_lap_length = 12;
    race.normal_lap_length = 10;
    race.race_laps = 3;
    race.halfway_lap = 1;
    race.riders = riders;
    for (int tick : {0, 640, 700, 900, 2000, 100000}) {
        race.tick = tick;
        race.leader_position = tick / 50;
        track::update_flaggers(race);
    }
    return 0;
}

int fuzz_cameras(const std::uint8_t* data, std::size_t size)
{
    prepare_scenery();
    const std::string path = scratch_path("cameras", data, size);
    if (path.empty())
        return 0;
    const int count = track::load_cameras(path);
    for (int cp = -2; cp <= track::k_camera_checkpoints + 1; ++cp)
        for (int mark : {0, 100000}) {
            int cam = track::camera_for_checkpoint(cp + mark);
            if (cam < -1 || cam >= count)
                std::abort();
        }
    return 0;
}

int fuzz_lighting(const std::uint8_t* data, std::size_t size)
{
    prepare_scenery();
    const std::string path = scratch_path("lighting", data, size);
    if (path.empty())
        return 0;
    track::load_lighting(path);
    // The clip planes always make a usable view, the sun a unit direction.
    const track::Lighting& l = track::lighting();
    if (!std::isfinite(l.near_plane) || !std::isfinite(l.far_plane) || !(l.near_plane > 0) ||
        l.far_plane < l.near_plane)
        std::abort();
    const auto& s = l.sun_vector;
    const float len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (std::isfinite(len) && len > 0 && std::fabs(len - 1.0f) > 1.0e-3f)
        std::abort();
    return 0;
}

Seeds statues_seeds()
{
    return {"[399.038 0 74] -1.5708 @haybale.jm @haybale.png @s.shp\n"
            "[421.7 0 36.0295] 3.5 @tree.jm null @s.shp\n[0 0 0] 0 null null null\n"};
}

Seeds billboards_seeds()
{
    return {"[379.186 2.5 171] 10 0.5 @billboard/sign.png\n[200.614 2.5 261] 10 0.5 #ff8000#@billboard/b.png\n"};
}

Seeds flaggers_seeds()
{
    return {"[115 3 55] [115.003 3 99] 3 2 4 @s0.png @s1.png @s2.png @s3.png @s4.png\n"
            "[21.2861 3 60.1557] 3 2 @f0.png @f1.png @f2.png @f3.png\n"
            "[321.179 3 163] 3 2 7 8 9 -1 @calm.png @yellow.png\n[263 3 433] 3 2 23 99 -7 -1 @calm.png xy.png\n"};
}

Seeds cameras_seeds()
{
    return {"fov 70\ngate 1 2 3 4 0\naddcamera 321.029 14 15\nautofovsize 20\ngate 5 6 255\n"
            "addcamera 359.184 14 105\ngate 256 7x\n"};
}

Seeds lighting_seeds()
{
    return {"sun_vector [0.199502 0.947634 0.249377]\nsun_color [1 1 0.97]\nambient [0.55 0.55 0.6]\n"
            "global_ambient [0.25 0.25 0.28]\nfog [0.55 0.62 0.72] 0.0012\nnear_plane 0.25\nfar_plane 3000\n"
            "dynamic_lighting 1\nsky_n @sky/n.png\nflare_element [0.5 0.25] [1 0.95 0.8] 1 @roost.png\n"
            "flare_vector [0.2 0.9 0.25]\nflare_element [1 1] [1 1 1] 1 @f.png\nflare_point [1 2 3]\n"};
}

}  // namespace zv::fuzz
