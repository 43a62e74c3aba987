// zarvox-datagen: writes the game data into a folder.
//   zarvox-datagen --out DIR                       the whole data folder
//   zarvox-datagen --track NAME --seed N --out DIR one new outdoor track
//   --part archive|rabbithill|arena|series|desktop  only that part of the folder
//   --report                                        print each track's figures
#include "base_archive.h"
#include "gen_desktop.h"
#include "gen_track.h"
#include "gen_util.h"

#include "core/saf_writer.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace zv::datagen;

void print_usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: zarvox-datagen --out DIR [--part archive|rabbithill|arena|series|desktop] [--report]\n"
                 "       zarvox-datagen --track NAME --seed N --out DIR [--report]\n"
                 "Writes the game data into DIR: the archive zzzz.saf, the track folders, the points\n"
                 "series and the desktop entry with its icons (desktop/).\n"
                 "  --out DIR        the folder to write (created when missing)\n"
                 "  --part PART      only that part of the data\n"
                 "  --track NAME     a new outdoor track in DIR/NAME instead (letters, digits, _ and -)\n"
                 "  --seed N         the new track's seed (0 or more)\n"
                 "  --report         print each track's figures\n"
                 "  -h, --help       print this help and end\n");
}

int usage()
{
    print_usage(stderr);
    return 2;
}

bool value_of(int argc, char** argv, int& i, const char* name, std::string& out)
{
    std::size_t n = std::strlen(name);
    if (std::strcmp(argv[i], name) == 0) {
        if (i + 1 >= argc)
            return false;
        out = argv[++i];
        return true;
    }
    if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') {
        out = argv[i] + n + 1;
        return true;
    }
    return false;
}

// Track folder names: letters, digits, '_' and '-', not empty.
bool valid_folder(const std::string& s)
{
    if (s.empty() || s.size() > 64)
        return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && c != '_' && c != '-')
            return false;
    return true;
}

bool write_track(const std::string& out, const TrackSpec& spec, bool report)
{
    std::vector<zv::core::SafMember> files;
    TrackReport r;
    if (!build_track(spec, files, r))
        return false;
    for (const auto& f : files) {
        std::string path = (std::filesystem::path(out) / spec.folder / f.path).string();
        if (!write_file_bytes(path, f.bytes)) {
            std::fprintf(stderr, "zarvox-datagen: cannot write %s\n", path.c_str());
            return false;
        }
    }
    if (report) {
        std::printf("%s (%s): field %d x %d samples, %.0f ft square; lap %.0f ft; %d checkpoints "
                    "(first lap %d, normal lap %d); %d gates; %d statues; %d billboards; %d flaggers; %d cameras\n",
                    spec.folder.c_str(), spec.long_name.c_str(), r.grid_side, r.grid_side, r.field_size, r.lap_length,
                    r.checkpoints, r.first_lap, r.normal_lap, r.gates, r.statues, r.billboards, r.flaggers, r.cameras);
        std::printf("  climb %.0f ft, steepest grade %.0f%%\n", r.climb, r.steepest * 100);
        for (const std::string& f : r.features)
            std::printf("  %s\n", f.c_str());
    }
    return true;
}

std::string series_text()
{
    // Nine computer riders of the roster and the player, four rounds.
    std::string points = "25 22 20 18 16 15 14 13 12 11 10 9 8 7 6 5 4 3 2 1";
    for (int i = 20; i < 40; ++i)
        points += " 0";
    std::string zeros;
    for (int i = 0; i < 40; ++i)
        zeros += i ? " 0" : "0";
    std::string t = "\"Zarvox Cup\"\n9 Amateur\n21 41 61 81 22 42 62 82 23\n4\n";
    const char* rounds[4][2] = {{"\"Round 1\"", "rabbithill"},
                                {"\"Round 2\"", "arena"},
                                {"\"Round 3\"", "rabbithill"},
                                {"\"Final\"", "arena"}};
    for (auto& r : rounds)
        t += std::string(r[0]) + " " + r[1] + "\n0 5\n" + points + "\n" + zeros + "\n";
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string out, track, seed_text, part;
    bool report = false;
    for (int i = 1; i < argc; ++i) {
        if (value_of(argc, argv, i, "--out", out) || value_of(argc, argv, i, "--track", track) ||
            value_of(argc, argv, i, "--seed", seed_text) || value_of(argc, argv, i, "--part", part))
            continue;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            print_usage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--report") == 0) {
            report = true;
            continue;
        }
        return usage();
    }
    if (out.empty())
        return usage();
    if (!part.empty() && part != "archive" && part != "rabbithill" && part != "arena" && part != "series" &&
        part != "desktop")
        return usage();
    auto wanted = [&](const char* name) { return part.empty() || part == name; };
    std::uint64_t seed = 1;
    if (!track.empty() || !seed_text.empty()) {
        char* end = nullptr;
        unsigned long long v = std::strtoull(seed_text.c_str(), &end, 10);
        if (track.empty() || seed_text.empty() || *end != 0 || seed_text[0] == '-')
            return usage();
        if (!valid_folder(track)) {
            std::fprintf(stderr, "zarvox-datagen: bad track name '%s'\n", track.c_str());
            return 2;
        }
        seed = v;
    }

    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec || !std::filesystem::is_directory(out, ec)) {
        std::fprintf(stderr, "zarvox-datagen: cannot create %s: %s\n", out.c_str(),
                     ec ? ec.message().c_str() : "not a folder");
        return 1;
    }
    auto started = std::chrono::steady_clock::now();

    if (!track.empty()) {
        TrackSpec spec{track, track, TrackKind::outdoor, seed * 0x9E3779B97F4A7C15ull + 12345, false};
        return write_track(out, spec, report) ? 0 : 1;
    }

    if (wanted("archive")) {
        auto members = base_archive_members();
        if (members.empty()) {
            std::fprintf(stderr, "zarvox-datagen: cannot draw the font (DejaVu fonts and FreeType are needed)\n");
            return 1;
        }
        std::string archive = (std::filesystem::path(out) / "zzzz.saf").string();
        if (!zv::core::write_saf(archive, members)) {
            std::fprintf(stderr, "zarvox-datagen: cannot write %s\n", archive.c_str());
            return 1;
        }
    }
    if (wanted("rabbithill") &&
        !write_track(out, {"rabbithill", "Rabbit Hill", TrackKind::outdoor, 20170103, true}, report))
        return 1;
    if (wanted("arena") && !write_track(out, {"arena", "Zarvox Arena Supercross", TrackKind::supercross, 7, false}, report))
        return 1;
    std::string series = (std::filesystem::path(out) / "zarvox_cup.series").string();
    if (wanted("series") && !write_file_bytes(series, to_bytes(series_text()))) {
        std::fprintf(stderr, "zarvox-datagen: cannot write %s\n", series.c_str());
        return 1;
    }
    if (wanted("desktop")) {
        for (const auto& f : desktop_files()) {
            std::string path = (std::filesystem::path(out) / f.path).string();
            if (!write_file_bytes(path, f.bytes)) {
                std::fprintf(stderr, "zarvox-datagen: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    if (report) {
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("generated in %.1f s\n", secs);
    }
    return 0;
}
