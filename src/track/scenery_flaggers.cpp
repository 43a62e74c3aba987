#include "track/scenery_flaggers.h"

#include "core/data_file.h"
#include "track/scenery.h"
#include "track/terrain.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace zv::track {

namespace {

constexpr int k_alert_checkpoints = 256;
constexpr int k_auto_pilot_mark = 100000;
constexpr float k_ticks_per_second = 128.0f;

Flaggers g_flaggers;
std::array<bool, k_alert_checkpoints> g_alerts{};

// Reads count white-space separated names and loads them as textures.
template <std::size_t N>
bool read_textures(core::DataFile& f, std::array<TextureId, N>& out, std::array<std::string, N>& names)
{
    char name[1024];
    for (std::size_t i = 0; i < N; ++i) {
        if (core::scan(f, " %1023s", name) != 1)
            return false;
        names[i] = name;
    }
    for (std::size_t i = 0; i < N; ++i)
        out[i] = load_texture(names[i], k_texture_alpha);
    return true;
}

}  // namespace

bool load_flaggers(std::string_view path, int checkpoint_count)
{
    clear_flaggers();
    core::DataFilePtr f = core::open_data_file(path, "rb");
    if (!f)
        return false;

    Starter st;
    float size, aspect;
    if (core::scan(*f, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &st.start[0], &st.start[1],
                   &st.start[2], &st.end[0], &st.end[1], &st.end[2], &size, &aspect,
                   &st.walk_duration) != 9)
        return true;
    std::array<std::string, 5> starter_names;
    if (!read_textures(*f, st.textures, starter_names))
        return true;
    st.billboard = create_billboard(st.start[0], st.start[1], st.start[2], size, aspect,
                                    starter_names[0]);
    g_flaggers.starter = st;

    FinishFlagger fin;
    float pos[3];
    if (core::scan(*f, " [ %f %f %f ] %f %f ", &pos[0], &pos[1], &pos[2], &size, &aspect) != 5)
        return true;
    std::array<std::string, 4> finish_names;
    if (!read_textures(*f, fin.textures, finish_names))
        return true;
    fin.billboard = create_billboard(pos[0], pos[1], pos[2], size, aspect, finish_names[0]);
    g_flaggers.finish = fin;

    int last = checkpoint_count - 1;
    for (;;) {
        CornerFlagger c;
        int cp[4];
        if (core::scan(*f, " [ %f %f %f ] %f %f %d %d %d %d", &pos[0], &pos[1], &pos[2], &size,
                       &aspect, &cp[0], &cp[1], &cp[2], &cp[3]) != 9)
            break;
        std::array<TextureId, 2> tex;
        std::array<std::string, 2> names;
        if (!read_textures(*f, tex, names))
            break;
        for (int i = 0; i < 4; ++i)
            c.checkpoints[static_cast<std::size_t>(i)] = std::clamp(cp[i], -1, std::max(last, -1));
        c.calm = tex[0];
        c.warning = tex[1];
        c.billboard = create_billboard(pos[0], pos[1], pos[2], size, aspect, names[0]);
        g_flaggers.corners.push_back(c);
    }
    return true;
}

const Flaggers& flaggers() { return g_flaggers; }

void clear_flaggers()
{
    g_flaggers.starter.reset();
    g_flaggers.finish.reset();
    std::vector<CornerFlagger>().swap(g_flaggers.corners);
    g_flaggers.corners.reserve(k_initial_list_capacity);
    g_alerts.fill(false);
}

float starter_walk_fraction(float t, float walk_duration)
{
    float since = t - (k_starter_time + 1.0f);
    if (!(walk_duration > 0))
        return since >= 0 ? 1.0f : 0.0f;
    return std::clamp(since / walk_duration, 0.0f, 1.0f);
}

int starter_texture_index(float t, float walk_duration)
{
    if (t < k_starter_time + 0.1f)
        return 0;
    if (t < k_starter_time + 0.4f)
        return 1;
    if (t < k_starter_time + 1.0f)
        return 2;
    if (t >= k_starter_time + 1.0f + walk_duration)
        return 4;
    return 3;
}

int finish_texture_index(const FlaggerRace& race)
{
    int p = race.leader_position + 1;
    int n = 0;
    if (p >= race.first_lap_length && race.normal_lap_length > 0)
        n = (p - race.first_lap_length) / race.normal_lap_length + 1;
    int k = race.race_laps;
    if (n >= k)
        return 3;
    if (k == n + 1)
        return 2;
    if (n == race.halfway_lap)
        return 1;
    return 0;
}

bool checkpoint_alert(int checkpoint)
{
    return checkpoint >= 0 && checkpoint < k_alert_checkpoints &&
           g_alerts[static_cast<std::size_t>(checkpoint)];
}

void update_flaggers(const FlaggerRace& race)
{
    if (!race.has_timing)
        return;
    int bb_count = billboard_count();
    auto valid = [bb_count](int i) { return i >= 0 && i < bb_count; };
    float t = static_cast<float>(race.tick) / k_ticks_per_second;

    if (g_flaggers.starter && valid(g_flaggers.starter->billboard)) {
        Starter& st = *g_flaggers.starter;
        float u = starter_walk_fraction(t, st.walk_duration);
        Billboard& b = billboard(st.billboard);
        b.x = st.start[0] + u * (st.end[0] - st.start[0]);
        b.y_above_ground = st.start[1] + u * (st.end[1] - st.start[1]);
        b.z = st.start[2] + u * (st.end[2] - st.start[2]);
        b.y = terrain_height(b.x, b.z) + b.y_above_ground;
        int shown = starter_texture_index(t, st.walk_duration);
        if (shown != st.shown) {
            st.shown = shown;
            set_billboard_texture(st.billboard, st.textures[static_cast<std::size_t>(shown)],
                                  race.tick);
        }
    }

    if (g_flaggers.finish && valid(g_flaggers.finish->billboard)) {
        FinishFlagger& fin = *g_flaggers.finish;
        int shown = finish_texture_index(race);
        if (shown != fin.shown) {
            fin.shown = shown;
            set_billboard_texture(fin.billboard, fin.textures[static_cast<std::size_t>(shown)],
                                  race.tick);
        }
    }

    g_alerts.fill(false);
    for (const FlaggerRider& r : race.riders) {
        if (!r.crashed || r.finished || r.stale)
            continue;
        int cp = r.checkpoint >= k_auto_pilot_mark ? r.checkpoint - k_auto_pilot_mark : r.checkpoint;
        if (cp >= 0 && cp < k_alert_checkpoints)
            g_alerts[static_cast<std::size_t>(cp)] = true;
    }
    for (CornerFlagger& c : g_flaggers.corners) {
        if (!valid(c.billboard))
            continue;
        bool warn = std::any_of(c.checkpoints.begin(), c.checkpoints.end(),
                                [](int cp) { return checkpoint_alert(cp); });
        if (warn != c.warning_shown) {
            c.warning_shown = warn;
            set_billboard_texture(c.billboard, warn ? c.warning : c.calm, race.tick);
        }
    }
}

}  // namespace zv::track
