// zarvox-server: the race server. Loads one track from the game data, then
// serves races on it over UDP until interrupted.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/data_file.h"
#include "core/digest.h"
#include "core/messages.h"
#include "load_bench.h"
#include "server/server.h"
#include "server/socket.h"
#include "track/timing.h"
#include "track/track.h"
#include "track/track_list.h"

namespace {

using zv::server::Settings;

std::atomic<bool> g_stop{false};

void on_signal(int) { g_stop.store(true); }

void usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: zarvox-server [options]\n"
                 "  --port N             UDP port (default 19800)\n"
                 "  --track NAME         track folder (default: the first track)\n"
                 "  --laps L             laps per race (default 3)\n"
                 "  --minutes M          race minutes, laps then count after them (default 0)\n"
                 "  --password TEXT      riders must know it\n"
                 "  --max-riders N       1 to 160 connections (default 160)\n"
                 "  --warmup SECONDS     before the gate drops (default 20)\n"
                 "  --incoming DIR       folder for files riders send (default \"incoming\")\n"
                 "  --knockout \"N ...\"   extra ticks down after each knockout, up to 16 numbers\n"
                 "  --off-course-bias F  --off-course-scale F   rider visibility settings sent to riders\n"
                 "  --no-arcade          forbid arcade physics\n"
                 "  --timeout SECONDS    drop silent riders (default 15)\n"
                 "  --max-file-kb N      largest file accepted (default 4096)\n"
                 "  --seconds S          stop after S seconds\n"
                 "  --bench-load N       benchmark: N scripted riders on loopback race for --seconds (default 10)\n");
}

bool parse_int(const char* text, int lo, int hi, int& out)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_double(const char* text, double lo, double hi, double& out)
{
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno || end == text || *end || !(v >= lo && v <= hi)) return false;
    out = v;
    return true;
}

// Up to 16 decimal integers separated by blanks.
bool valid_knockout(const std::string& text)
{
    int count = 0;
    const char* p = text.c_str();
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        char* end = nullptr;
        std::strtol(p, &end, 10);
        if (end == p || (*end && *end != ' ') || ++count > 16) return false;
        p = end;
    }
    return count > 0;
}

struct Options {
    int port = zv::net::k_default_port;
    int bench_riders = 0;
    double seconds = 0;
    Settings settings;
};

bool parse(int argc, char** argv, Options& o)
{
    o.settings.incoming = "incoming";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        bool ok = true;
        int n = 0;
        double f = 0;
        if (arg == "--no-arcade") {
            o.settings.no_arcade = true;
            continue;
        }
        if (!(v = value())) {
            std::fprintf(stderr, "zarvox-server: %s needs a value\n", arg.c_str());
            return false;
        }
        if (arg == "--port") ok = parse_int(v, 0, 65535, o.port);
        else if (arg == "--track") o.settings.track = v;
        else if (arg == "--laps") ok = parse_int(v, 0, 1000, o.settings.laps);
        else if (arg == "--minutes") ok = parse_int(v, 0, 600, o.settings.minutes);
        else if (arg == "--password") o.settings.password = v;
        else if (arg == "--max-riders") ok = parse_int(v, 1, 160, o.settings.max_riders);
        else if (arg == "--warmup") ok = parse_int(v, 0, 600, o.settings.warmup_seconds);
        else if (arg == "--incoming") o.settings.incoming = v;
        else if (arg == "--knockout") ok = valid_knockout(o.settings.knockout = v);
        else if (arg == "--off-course-bias") ok = parse_double(v, 0, 1e6, o.settings.off_course_bias);
        else if (arg == "--off-course-scale") ok = parse_double(v, 0, 1e6, o.settings.off_course_scale);
        else if (arg == "--timeout") ok = parse_double(v, 1, 3600, o.settings.timeout_seconds);
        else if (arg == "--max-file-kb" && (ok = parse_int(v, 1, 1 << 20, n))) o.settings.max_file_bytes = static_cast<std::size_t>(n) << 10;
        else if (arg == "--seconds" && (ok = parse_double(v, 0, 1e9, f))) o.seconds = f;
        else if (arg == "--bench-load") ok = parse_int(v, 2, 160, o.bench_riders);
        else if (ok) {
            std::fprintf(stderr, "zarvox-server: unknown option %s\n", arg.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "zarvox-server: bad value for %s: %s\n", arg.c_str(), v);
            return false;
        }
    }
    if (o.settings.laps == 0 && o.settings.minutes == 0) {
        std::fprintf(stderr, "zarvox-server: a race needs laps or minutes\n");
        return false;
    }
    return true;
}

void log_line(const std::string& text)
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::printf("[%02d:%02d:%02d] %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, text.c_str());
    std::fflush(stdout);
}

bool load_track(Settings& settings)
{
    zv::track::TrackList tracks = zv::track::build_track_list(zv::core::working_set(), 0);
    if (tracks.empty()) {
        std::fprintf(stderr, "No tracks found\n");
        return false;
    }
    if (settings.track.empty()) settings.track = tracks.folders.front();
    if (zv::track::find_track(tracks, settings.track) < 0) {
        std::fprintf(stderr, "zarvox-server: no track '%s'\n", settings.track.c_str());
        return false;
    }
    zv::track::set_track_list(std::move(tracks.folders), std::move(tracks.names));
    zv::track::set_current_track(settings.track);
    zv::core::clear_messages();
    if (!zv::track::load_track()) {
        std::fprintf(stderr, "zarvox-server: track '%s' failed to load\n", settings.track.c_str());
        return false;
    }
    const zv::core::Digest& hash = zv::track::track_hash();
    std::copy(hash.begin(), hash.end(), settings.track_hash.begin());
    settings.track_has_timing = zv::track::track_timing().has_timing();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return 0;
        }
    }
    Options o;
    if (!parse(argc, argv, o)) {
        usage(stderr);
        return 1;
    }
    if (!load_track(o.settings)) return 1;
    if (o.bench_riders > 0) return zv::server_tool::run_load_bench(o.settings, o.bench_riders, o.seconds > 0 ? o.seconds : 10);
    if (!o.settings.incoming.empty() && ::mkdir(o.settings.incoming.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "zarvox-server: cannot create %s (%s)\n", o.settings.incoming.c_str(),
                     zv::server::errno_name(errno).c_str());
        return 1;
    }

    zv::server::UdpSocket socket;
    std::string error;
    if (!socket.open(static_cast<std::uint16_t>(o.port), error)) {
        std::fprintf(stderr, "zarvox-server: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);

    zv::server::Server server;
    zv::server::start_server(server, o.settings, nullptr, log_line, static_cast<std::uint32_t>(std::time(nullptr)),
                             zv::server::steady_seconds());
    log_line("listening on UDP port " + std::to_string(socket.port()) + ", track " + o.settings.track + " (" +
             zv::core::digest_hex(zv::track::track_hash()) + ")" +
             (o.settings.track_has_timing ? "" : ", no timing gates: races end by time"));

    std::atomic<bool>& stop = g_stop;
    if (o.seconds > 0) {
        std::signal(SIGALRM, on_signal);
        alarm(static_cast<unsigned>(o.seconds + 0.999));
    }
    zv::server::run_server(server, socket, stop);
    std::printf("datagrams in %llu, out %llu, ignored %llu\n", static_cast<unsigned long long>(server.datagrams_in),
                static_cast<unsigned long long>(server.datagrams_out),
                static_cast<unsigned long long>(server.ignored));
    return 0;
}
