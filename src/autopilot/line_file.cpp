#include "autopilot/line_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/debug_level.h"
#include "platform/log.h"

namespace zv::autopilot {

namespace {

constexpr const char* k_file_names[] = {"lines_novice", "lines_amateur", "lines_expert"};

bool g_learning = false;
std::string g_loaded_folder;  // "" until a table was loaded
int g_loaded_skill = 0;

// Reads count points; false when one of them cannot be read.
bool read_points(core::DataFile& f, int count, std::vector<LinePoint>& out)
{
    out.clear();
    for (int i = 0; i < count; ++i) {
        LinePoint p;
        if (core::scan(f, " [ %f %f %f ] %f %f", &p.x, &p.y, &p.z, &p.speed, &p.attitude) != 5)
            return false;
        out.push_back(p);
    }
    return true;
}

void append(std::string& out, const char* format, auto... values)
{
    char buf[160];
    int n = std::snprintf(buf, sizeof buf, format, values...);
    if (n > 0)
        out.append(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

}  // namespace

const char* line_file_name(int skill) { return k_file_names[std::clamp(skill, 0, 2)]; }

std::string line_file_path(std::string_view track_folder, int skill)
{
    std::string path = "@";
    path += track_folder;
    path += '/';
    path += line_file_name(skill);
    return path;
}

int read_lines(core::DataFile& f, LineTable& table)
{
    int sections = 0;
    if (core::scan(f, " ct03 %d", &sections) != 1 || sections != table.section_count() || table.empty())
        return 0;
    int read = 0;
    std::vector<LinePoint> spare;
    for (LineSection& section : table.sections) {
        int filled = 0;
        if (core::scan(f, " %d", &filled) != 1)
            return read;
        int stored = 0;
        for (int i = 0; i < filled; ++i) {
            int count = 0, time1 = 0, time2 = 0, tests = 0, best1 = 0, best2 = 0, failures = 0;
            long long sum1 = 0, sum2 = 0;
            if (core::scan(f, " %d %d %d %d %d %d %lld %lld %d", &count, &time1, &time2, &tests, &best1,
                           &best2, &sum1, &sum2, &failures) != 9)
                return read;
            // A section holds 45 ways; further ones and overlong ones are
            // read past and dropped.
            const bool keep = stored < k_slots_per_section && count <= k_max_line_points;
            LineSlot* slot = keep ? &section.slots[static_cast<std::size_t>(stored)] : nullptr;
            std::vector<LinePoint>& points = slot ? slot->points : spare;
            if (!read_points(f, std::max(count, 0), points)) {
                points.clear();
                return read;
            }
            if (!slot || points.empty())
                continue;
            slot->time1 = time1;
            slot->time2 = time2;
            slot->tests = std::max(tests, 0);
            slot->best1 = best1;
            slot->best2 = best2;
            slot->sum1 = std::max(sum1, 0LL);
            slot->sum2 = std::max(sum2, 0LL);
            slot->failures = std::max(failures, 0);
            slot->last_picked = k_never_picked;
            slot->id = next_line_id();
            scale_statistics(*slot);
            ++stored;
            ++read;
        }
    }
    return read;
}

std::string format_lines(const LineTable& table)
{
    std::string out;
    append(out, "ct03 %d\n", table.section_count());
    for (const LineSection& section : table.sections) {
        int filled = 0;
        for (const LineSlot& slot : section.slots)
            filled += slot.filled() ? 1 : 0;
        append(out, "%d\n", filled);
        for (const LineSlot& slot : section.slots) {
            if (!slot.filled())
                continue;
            append(out, "%d %d %d %d %d %d %lld %lld %d\n", static_cast<int>(slot.points.size()), slot.time1,
                   slot.time2, slot.tests, slot.best1, slot.best2, static_cast<long long>(slot.sum1),
                   static_cast<long long>(slot.sum2), slot.failures);
            for (const LinePoint& p : slot.points)
                append(out, "[%f %f %f] %f %f\n", static_cast<double>(p.x), static_cast<double>(p.y),
                       static_cast<double>(p.z), static_cast<double>(p.speed), static_cast<double>(p.attitude));
        }
    }
    return out;
}

void set_learning(bool on) { g_learning = on; }
bool learning() { return g_learning; }

int load_lines(std::string_view track_folder, int skill, const track::TrackTiming& timing)
{
    LineTable& table = line_table();
    const bool timed = timing.has_timing();
    create_table(table, timed ? timing.first_lap_autopilot : 0, timed ? timing.normal_lap_autopilot : 0);
    table.gates = section_gates(timing);
    g_loaded_folder = track_folder;
    g_loaded_skill = std::clamp(skill, 0, 2);
    if (table.empty())
        return 0;
    const std::string name = line_file_path(track_folder, g_loaded_skill);
    core::DataFilePtr f = core::open_data_file(name, "r");
    if (!f)
        return 0;
    int read = read_lines(*f, table);
    if (core::debug_level() >= 1)
        platform::log_printf("auto pilot: %d lines read from '%s'\n", read, name.c_str());
    return read;
}

bool save_lines()
{
    if (!g_learning || g_loaded_folder.empty() || line_table().empty())
        return true;
    const std::string home = core::home_folder();
    if (home.empty())
        return false;  // never over the file shipped in the data folder
    // The home folder's copy, written whole or not at all: a failed write
    // keeps the lines learnt before.
    const std::string path = home + g_loaded_folder + "/" + line_file_name(g_loaded_skill);
    if (!core::save_data_file(path, format_lines(line_table())))
        return false;
    if (core::debug_level() >= 1)
        platform::log_printf("auto pilot: lines written to '%s'\n", path.c_str());
    return true;
}

void forget_lines() { g_loaded_folder.clear(); }

}  // namespace zv::autopilot
