// zarvox-sim --teach: rides every track (or the one given) with the teacher
// at the three robot skills' paces and writes the line files a fresh
// install ships: DIR/<track>/lines_novice, lines_amateur, lines_expert.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "autopilot/line_file.h"
#include "autopilot/teacher.h"
#include "core/data_file.h"
#include "sim_cli.h"
#include "sim_track.h"
#include "track/track.h"
#include "track/track_list.h"

namespace zv::sim_tool {
namespace {

struct Skill {
    const char* file;
    float pace;
};
// Novice, amateur and expert: the same rider at three paces.
constexpr Skill k_skills[] = {{"lines_novice", 0.0f}, {"lines_amateur", 0.5f}, {"lines_expert", 1.0f}};

bool write_file(const std::filesystem::path& path, const std::string& text)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::path temp = path;
    temp += ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok)
        std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool teach_one(const std::string& folder, const std::filesystem::path& out_dir, int runs, float spread)
{
    if (!load_named_track(folder))
        return false;
    const track::TrackTiming& timing = track::track_timing();
    bool ok = true;
    if (!timing.has_timing()) {
        std::printf("%s: no timing gates, no lines\n", folder.c_str());
    } else {
        for (const Skill& s : k_skills) {
            autopilot::TeachOptions options;
            options.pace = s.pace;
            options.runs = runs;
            if (spread >= 0)
                options.offset_share = spread;
            autopilot::TeachReport report;
            auto t0 = std::chrono::steady_clock::now();
            std::vector<autopilot::TaughtLine> lines =
                autopilot::teach_track(timing, track::loaded_terrain(), options, report);
            double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            // The laps go to the table the way a player's are offered, and
            // the file is the table as the game writes it.
            autopilot::LineTable table;
            autopilot::TaughtOffers offers = autopilot::teach_table(timing, lines, table);
            std::filesystem::path path = out_dir / folder / s.file;
            bool written = write_file(path, autopilot::format_lines(table));
            double mean = 0;
            for (float l : report.lap_seconds)
                mean += static_cast<double>(l);
            if (!report.lap_seconds.empty())
                mean /= static_cast<double>(report.lap_seconds.size());
            std::printf("%s %s: %d lines kept of %zu over %d sections, %d laps (mean %.1f s), %d falls, "
                        "%d sections dropped, %.0f s ridden in %.1f s%s\n",
                        folder.c_str(), s.file, offers.stored, lines.size(), table.section_count(), report.laps, mean, report.falls,
                        report.cancelled, report.sim_seconds, wall, written ? "" : " - NOT WRITTEN");
            ok = ok && written;
        }
    }
    track::free_track();
    return ok;
}

int run_teach(const Options& o)
{
    if (!o.has("--out")) {
        std::fprintf(stderr, "zarvox-sim: --teach needs --out DIR (the data folder to write the line files into)\n");
        return k_exit_failure;
    }
    int runs = 4;
    if (o.has("--runs")) {
        char* end = nullptr;
        std::string text = o.value("--runs");
        long v = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || v < 1 || v > 45) {
            std::fprintf(stderr, "zarvox-sim: --runs takes 1 to 45\n");
            return k_exit_failure;
        }
        runs = static_cast<int>(v);
    }
    float spread = -1;
    if (o.has("--spread")) {
        char* end = nullptr;
        std::string text = o.value("--spread");
        double v = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || !(v >= 0 && v <= 1)) {
            std::fprintf(stderr, "zarvox-sim: --spread takes 0 to 1\n");
            return k_exit_failure;
        }
        spread = static_cast<float>(v);
    }
    std::vector<std::string> folders;
    if (o.has("--track")) {
        folders.push_back(o.value("--track"));
    } else {
        track::TrackList list = track::build_track_list(core::working_set(), 0);
        folders = list.folders;
    }
    if (folders.empty()) {
        std::fprintf(stderr, "zarvox-sim: no tracks to teach\n");
        return k_exit_failure;
    }
    bool ok = true;
    for (const std::string& f : folders)
        ok = teach_one(f, o.value("--out"), runs, spread) && ok;
    return ok ? 0 : k_exit_failure;
}

const bool registered = register_mode(
    {"--teach", "ride every track (or --track NAME) at the robot skills' paces and write their line files",
     run_teach},
    {{"--out", true, "DIR", "folder the track folders with the line files go into"},
     {"--runs", true, "R", "runs of two laps per skill (default 4)"},
     {"--spread", true, "S", "runs' lines this share of the narrowest gate's radius apart (0 to 1)"}});

}  // namespace
}  // namespace zv::sim_tool
