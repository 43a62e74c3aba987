// The real program in a virtual display, driven as a person would: keys
// through xdotool, the window manager's close request, Ctrl-C and kill -TERM.
// Each run checks the files it leaves: the log with start-up and shutdown in
// order, the configuration, a screenshot, how far the player's bike went.
#include "game_run.h"

#include "support/temp_dir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>

namespace {

using namespace zv;

// Run as a helper (by the driver script, inside the virtual display): send
// the window the window manager's close request and end. libX11 is opened at
// run time and its client message is laid out here (as Xlib lays it out), so
// the test needs neither the X headers nor more libraries.
using XDisplay = void;
using XWindow = unsigned long;
using XAtom = unsigned long;
constexpr int k_client_message = 33;
struct XClientMessage {
    int type;
    unsigned long serial;
    int send_event;
    XDisplay* display;
    XWindow window;
    XAtom message_type;
    int format;
    long data[5];
};
union XEventStorage {
    XClientMessage client;
    long pad[24];
};

int send_close_request(const char* window_text)
{
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (!x11)
        return 2;
    auto open = reinterpret_cast<XDisplay* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    auto atom = reinterpret_cast<XAtom (*)(XDisplay*, const char*, int)>(dlsym(x11, "XInternAtom"));
    auto send = reinterpret_cast<int (*)(XDisplay*, XWindow, int, long, XEventStorage*)>(dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(XDisplay*)>(dlsym(x11, "XFlush"));
    auto close = reinterpret_cast<int (*)(XDisplay*)>(dlsym(x11, "XCloseDisplay"));
    if (!open || !atom || !send || !flush || !close)
        return 3;
    XDisplay* d = open(nullptr);
    if (!d)
        return 4;
    XWindow w = std::strtoul(window_text, nullptr, 10);
    XEventStorage e{};
    e.client.type = k_client_message;
    e.client.window = w;
    e.client.message_type = atom(d, "WM_PROTOCOLS", 0);
    e.client.format = 32;
    e.client.data[0] = static_cast<long>(atom(d, "WM_DELETE_WINDOW", 0));
    e.client.data[1] = 0;  // CurrentTime
    int ok = send(d, w, 0, 0, &e);
    flush(d);
    close(d);
    return ok ? 0 : 5;
}

const bool g_helper = [] {
    if (const char* w = std::getenv("ZV_E2E_CLOSE_WINDOW"))
        std::_Exit(send_close_request(w));
    return false;
}();

using test::k_archive;

// A flat track of 256 x 256 ft with its starting gates facing -z, and
// optionally a checkpoint section (the lines after the gates).
void write_track(const std::filesystem::path& folder, const std::string& checkpoints = "")
{
    std::string hf = "3 16.0 0.0 10.0\n:" + std::string(17 * 17 * 2, '\0');
    test::write_file(folder / "terrain.hf", hf);
    test::write_file(folder / "shading.ppm", "P6\n17 17\n255\n" + std::string(17 * 17 * 3, '\x60'));
    test::write_file(folder / "texturelist", "1 5 15 dirt.png\n");
    test::write_file(folder / "tileinfo", "friction 1.0 1.0\naddtile\n");
    test::write_file(folder / "tilemap", std::string(64, '\0'));
    // 24 gates side by side, so every default gate of the race has its own.
    std::string gates = "startinggate:\n";
    for (int k = 0; k < 24; ++k)
        gates.append("[").append(std::to_string(20 + 8 * k)).append(" 0 220] 0 null null null\n");
    test::write_file(folder / "timing_gates", gates + checkpoints);
    test::write_file(folder / "desc", "Flat Test Track\n");
}

// The race has loaded (the main page shows over it).
const std::string k_wait_loaded = "wait_log 'Max loading delay was'\n";

// The game opens on its main page; Esc closes it (the game logs the key
// at --super-debug).
const std::string k_close_menu = "press Escape Esc\n";

class GameTest : public test::GameRun {
protected:
    void SetUp() override
    {
        GameRun::SetUp();
        if (!set_up())
            return;
        write_track(dir_.path() / "data/flat");
        // A window of a known size rather than the whole screen.
        test::write_file(home() / "config", "xres=800\nyres=600\nvideo_mode=Windowed\n");
    }
};

TEST_F(GameTest, ClosingTheWindowShutsDownInOrder)
{
    int status = play({}, "wait_log 'GL_EXTENSIONS: '\n"
                          "sleep 1\n"
                          "ZV_E2E_CLOSE_WINDOW=\"$wid\" \"$ZV_E2E_SELF\"\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    expect_in_order({"] Zarvox version 2017-01-03-1329 snapshot\n", "] Options:\n", "]  threaded: [off]\n",
                     "] Creating window\n", "] DirectInput roll call...\n", "] End of DirectInput roll call\n",
                     "] Foregrounded and locked\n", "] Choosing pixel format\n", "] Creating OpenGL context\n",
                     "] GL_VENDOR: ", "] GL_RENDERER: ", "] GL_VERSION: ", "] GL_EXTENSIONS: ",
                     "] Setting close flag\n", "] Deallocating bikes\n", "] Finished deallocating bikes\n",
                     "] Freeing memory (1)\n", "] Closing input devices\n", "] Closing audio\n",
                     "] Writing config files\n", "] Freeing memory (2)\n", "] Freeing memory (3)\n",
                     "] Freeing file list\n", "] Freeing memory (4)\n", "] Deleting textures\n",
                     "] Deleting models\n", "] Deleting OpenGL context\n", "] Destroying window\n",
                     "] Closing input devices\n", "] Window shutdown complete\n"});
    // The driver is described once.
    for (const char* line : {"] GL_VENDOR: ", "] GL_RENDERER: ", "] GL_VERSION: ", "] GL_EXTENSIONS: "}) {
        const std::string text = log();
        EXPECT_EQ(text.find(line, text.find(line) + 1), std::string::npos) << line << " twice";
    }
    // Without a track there was no race to load.
    EXPECT_EQ(log().find("] Resetting\n"), std::string::npos);
    // The configuration is written back whole, with the window's size.
    std::optional<std::string> config = test::read_file(home() / "config");
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->starts_with("xres=800\nyres=600\n")) << config->substr(0, 40);
    EXPECT_NE(config->find("\nvideo_mode=Windowed\n"), std::string::npos);
    EXPECT_NE(config->find("\nscreenshot_key=(k)s\n"), std::string::npos);
}

TEST_F(GameTest, TheScreenshotKeySavesAPngOfTheWindowAndTermEndsTheRun)
{
    int status = play({"--track", "flat", "--super-debug"}, k_wait_loaded + k_close_menu +
                                           // Press until the game has seen the key.
                                           "tap s 'Saved \"screenshot000.png\"'\n"
                                           "wait_file \"$DIR/xdg/Zarvox/screenshot000.png\"\n"
                                           "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    expect_in_order({"] Resetting\n", "] Loading terrain\n", "] Loading bikes...done\n",
                     "] Max loading delay was ", "] Saved \"screenshot000.png\"", "] Close requested by signal\n",
                     "] Writing config files\n", "] Window shutdown complete\n"});

    std::optional<std::string> png = test::read_file(home() / "screenshot000.png");
    ASSERT_TRUE(png);
    ASSERT_GT(png->size(), 33u);
    EXPECT_EQ(png->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png->substr(12, 4), "IHDR");
    auto be32 = [&](std::size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(png->data() + at);
        return (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    };
    EXPECT_EQ(be32(16), 800);
    EXPECT_EQ(be32(20), 600);
    EXPECT_EQ((*png)[24], 8);  // bits per sample
    EXPECT_EQ((*png)[25], 2);  // RGB
    EXPECT_TRUE(std::filesystem::exists(home() / "config"));
}

TEST_F(GameTest, HoldingTheThrottleAfterTheGateDropMovesTheBike)
{
    // The default gate table puts the player in gate 20; watch the log for
    // the gate and for the bike's distance, then let go and press Ctrl-C. A
    // small window keeps the frames cheap on a busy machine.
    test::write_file(home() / "config", "xres=320\nyres=240\nvideo_mode=Windowed\n");
    int status = play({"--track", "flat", "--super-debug"},
                      k_wait_loaded + k_close_menu +
                      "wait_log 'Start gate dropped at tick'\n"
                      // Hold the throttle; press again until the game has seen it.
                      "hold '] X pressed'\n"
                      "n=0\n"
                      "until awk '/Tick [0-9]+: rider/ && $(NF-4) + 0 >= 20 { found = 1 } END { exit !found }' "
                      "\"$LOG\"; do\n"
                      "  n=$((n+1)); [ $n -gt 1200 ] && break; kill -0 $pid 2>/dev/null || break; sleep 0.1\n"
                      "done\n"
                      "xdotool keyup x\n"
                      "kill -INT $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    const std::string text = log();

    // Before the gate dropped, the bike stood at its start.
    std::size_t drop = text.find("] Start gate dropped at tick ");
    ASSERT_NE(drop, std::string::npos) << text;
    std::regex line(R"(\] Tick (\d+): rider (\d+) is ([0-9.]+) ft from its start)");
    int before = 0;
    double farthest = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        EXPECT_EQ(m[2].str(), "19");  // the player's bike is the one watched
        double d = std::stod(m[3].str());
        if (static_cast<std::size_t>(m.position(0)) < drop) {
            ++before;
            EXPECT_LT(d, 3.0) << m[0].str();
        }
        farthest = std::max(farthest, d);
    }
    EXPECT_GT(before, 5);
    EXPECT_GE(farthest, 20.0) << text.substr(drop);
    // The session's end reports the same rider.
    EXPECT_NE(text.find("] Rider 19 (kind 0) is "), std::string::npos);
}

TEST_F(GameTest, RecordVideoWritesEveryRaceFrameToStandardOutput)
{
    test::write_file(home() / "config", "xres=160\nyres=120\nvideo_mode=Windowed\n");
    int status = play({"--track", "flat", "--record-video"}, "wait_log 'Max loading delay was'\n"
                                                             "sleep 1\n"
                                                             "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    const std::string header = "P6\n160 120\n255\n";
    const std::size_t frame = header.size() + 160 * 120 * 3;
    ASSERT_GE(last_.out.size(), frame);
    EXPECT_EQ(last_.out.size() % frame, 0u);
    for (std::size_t at = 0; at + frame <= last_.out.size(); at += frame)
        ASSERT_EQ(last_.out.compare(at, header.size(), header), 0) << "frame at " << at;

    // The frames carry the message lines at the top left (the loading's
    // "... texture memory used" stays for seconds), unless the head-up
    // display is hidden.
    auto message_writing = [&](const std::string& out) {
        test::RgbPicture last{160, 120, {}};
        const std::size_t at = (out.size() / frame - 1) * frame + header.size();
        last.rgb.assign(out.begin() + static_cast<std::ptrdiff_t>(at),
                        out.begin() + static_cast<std::ptrdiff_t>(at + 160 * 120 * 3));
        return test::white_pixels(last, 0, 6, 160, 30);
    };
    const int shown = message_writing(last_.out);
    status = play({"--track", "flat", "--record-video", "--hidden-hud"}, "wait_log 'Max loading delay was'\n"
                                                                         "sleep 1\n"
                                                                         "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    ASSERT_GE(last_.out.size(), frame);
    EXPECT_GT(shown, message_writing(last_.out) + 30);
}

TEST_F(GameTest, PlatformOptionsReachTheWindow)
{
    // A flag that is neither yes nor no keeps its default and says so.
    extra_env_["TORV_OPTIONS"] = "[threaded:maybe]";
    const std::string close = "wait_log 'GL_EXTENSIONS: '\n"
                              "ZV_E2E_CLOSE_WINDOW=\"$wid\" \"$ZV_E2E_SELF\"\n";
    ASSERT_EQ(play({}, close), 0) << last_.err << log();
    expect_in_order({"] unrecognized setting for threaded\n", "] Options:\n", "]  threaded: [off]\n",
                     "] Creating window\n", "] Window shutdown complete\n"});
    EXPECT_EQ(log().find("Message processing thread done"), std::string::npos);

    // Threaded message processing is asked for: the messages stay on the
    // thread that owns the window, and the log says so.
    extra_env_["TORV_OPTIONS"] = "[threaded:on]";
    ASSERT_EQ(play({}, close), 0) << last_.err << log();
    expect_in_order({"]  threaded: [on]\n", "] Window messages are processed on the main thread\n",
                     "] Creating window\n", "] Setting close flag\n", "] Destroying window\n"});
    // There is no second thread to wait for.
    EXPECT_EQ(log().find("Message processing thread done"), std::string::npos);
}

// The build's own generated data (rabbithill and the rest) as the game's
// home; the virtual display is drawn by the software renderer.
class WorldViewTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        if (!set_up())
            return;
        data_home_ = ZV_BUILD_DIR;
        ASSERT_TRUE(std::filesystem::exists(data_home_ + "/rabbithill/terrain.hf"))
            << "build the game_data target first";
        test::write_file(home() / "config", "xres=640\nyres=360\nvideo_mode=Windowed\n");
    }
};

// Sky across the top, ground across the bottom, and a picture rather than
// a cleared screen.
void expect_world(const test::RgbPicture& pic, const std::string& view)
{
    test::ColourStats top = test::colour_stats(pic, 0, 0.05, 1, 0.2);
    test::ColourStats bottom = test::colour_stats(pic, 0, 0.8, 1, 0.95);
    test::ColourStats all = test::colour_stats(pic, 0, 0, 1, 1);
    EXPECT_GT(top.sky_blue, 0.5) << view << ": sky at the top";
    EXPECT_LT(bottom.sky_blue, 0.3) << view << ": ground at the bottom";
    EXPECT_GT(all.distinct, 60) << view << ": a picture, not a cleared screen";
    EXPECT_GT(bottom.spread, 4.0) << view << ": textured, shaded ground";
}

TEST_F(WorldViewTest, RiderChaseAndTracksideViewsShowTheWorld)
{
    // "spy" lets the player watch the other riders, whom the trackside
    // cameras follow (the player's own bike is seen from the bike).
    test::write_file(home() / "config", "xres=640\nyres=360\nvideo_mode=Windowed\nspy=1\n");
    // No roost: the robots blip their throttles in the gate, and dirt thrown
    // in front of the small, distant bike would hide the pixels counted.
    int status = play({"--track", "rabbithill", "--super-debug", "--roostfrequency=0"},
                      k_wait_loaded + k_close_menu +
                          "rm -f \"$DIR/shots.txt\"\n"
                          "shot rider\n"
                          "press Tab Tab\n"
                          "shot chase\n"
                          "press bracketright ']'\n"
                          "press Tab Tab\n"
                          // The eighth camera is the one nearest the start.
                          "press 8 8\n"
                          // Zoomed in, the distant bike is more than a few pixels.
                          "say '/fov 40'\n"
                          "wait_log 'fov set'\n"
                          "shot trackside\n"
                          "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    expect_in_order({"] Max loading delay was ", "] Saved \"screenshot000.png\"", "] Tab pressed\n",
                     "] Saved \"screenshot001.png\"", "] ] pressed\n", "] Tab pressed\n", "] 8 pressed\n",
                     "] Saved \"screenshot002.png\""});

    std::optional<test::RgbPicture> rider = shot("rider");
    std::optional<test::RgbPicture> chase = shot("chase");
    std::optional<test::RgbPicture> trackside = shot("trackside");
    ASSERT_TRUE(rider && chase && trackside);
    for (const test::RgbPicture* p : {&*rider, &*chase, &*trackside}) {
        ASSERT_EQ(p->width, 640);
        ASSERT_EQ(p->height, 360);
    }
    expect_world(*rider, "rider");
    expect_world(*chase, "chase");
    expect_world(*trackside, "trackside");

    // Rider view: the bike's front (bars, number plate, fender) across the
    // bottom middle, the start straight ahead free of it.
    EXPECT_GT(test::colour_stats(*rider, 0.35, 0.85, 0.65, 1.0).bike_share, 0.08) << "rider: the bike's front";
    EXPECT_LT(test::colour_stats(*rider, 0.2, 0.5, 0.8, 0.7).bike_share, 0.03) << "rider: the straight ahead";

    // Chase view: the bike in the middle, bare ground at the sides.
    EXPECT_GT(test::colour_stats(*chase, 0.42, 0.4, 0.58, 0.75).bike_share, 0.08) << "chase: the bike";
    EXPECT_LT(test::colour_stats(*chase, 0.02, 0.6, 0.18, 0.75).bike_share, 0.02) << "chase: ground at the left";
    EXPECT_LT(test::colour_stats(*chase, 0.82, 0.6, 0.98, 0.75).bike_share, 0.02) << "chase: ground at the right";

    // Trackside: the camera aims at the watched bike, in the distance but
    // zoomed in: bike colours at the middle (about 200 pixels here) and
    // fewer in each box beside it.
    int middle = test::colour_stats(*trackside, 0.46, 0.44, 0.54, 0.56).bike_pixels;
    EXPECT_GE(middle, 100) << "trackside: the bike in the middle";
    for (double x : {0.3, 0.38, 0.58, 0.66})
        EXPECT_LT(test::colour_stats(*trackside, x, 0.46, x + 0.04, 0.54).bike_pixels, middle) << "trackside at " << x;
    // A camera picked with a digit key runs the broadcast ticker (pale
    // writing over the bottom, above the view's name); the chase view has
    // none.
    EXPECT_GT(test::white_pixels(*trackside, 0, 316, 640, 332, 200), 40) << "the ticker";
    EXPECT_LT(test::white_pixels(*chase, 0, 316, 640, 332, 200), 5) << "no ticker in the chase view";
}

TEST_F(WorldViewTest, BenchmarkPrintsItsFrameRateAndEnds)
{
    int status = play({"--benchmark", "3"}, "");
    ASSERT_EQ(status, 0) << last_.err << log();
    std::smatch m;
    std::regex line(R"(^(\d+) frames in (\d+\.\d\d) seconds \((\d+\.\d) fps\)\n$)");
    ASSERT_TRUE(std::regex_match(last_.out, m, line)) << last_.out;
    int frames = std::stoi(m[1].str());
    double seconds = std::stod(m[2].str()), fps = std::stod(m[3].str());
    EXPECT_GT(frames, 0);
    EXPECT_GE(seconds, 3.0);
    // Both figures are rounded for print.
    EXPECT_NEAR(fps, frames / seconds, 0.06 + fps * 0.005);
    // The run shut down in order, the configuration written back.
    expect_in_order({"] Writing config files\n", "] Window shutdown complete\n"});

    // A benchmark of no time is refused before any window opens.
    status = play({"--benchmark", "0"}, "");
    EXPECT_EQ(status, 1);
    EXPECT_NE(last_.err.find("Bad arg for --benchmark\n"), std::string::npos) << last_.err;
    EXPECT_EQ(last_.out, "");
}

// From the main page (open at start-up) to a time trial: "Time Trial" is the
// fourth item of the main page, "Start" the second of its own page.
const std::string k_start_time_trial =
    "wait_log 'GL_EXTENSIONS: '\n"
    "press Down Down\n"
    "press Down Down\n"
    "press Down Down\n"
    "press Return Enter\n"
    "press Down Down\n"
    "press Return Enter\n"
    "wait_log 'Max loading delay was'\n";

// Holds the throttle (x) until the log shows `pattern`, pressing again
// until the game has seen it.
std::string hold_throttle_until(const std::string& pattern)
{
    std::string script = "hold '] X pressed'\n";
    script.append("wait_log '").append(pattern).append("'\n");
    return script;
}

// Pixels of the time trial's lap clock (pale yellow writing at the top
// right, under the track map): neither the sky's blue nor the clouds' white.
int clock_pixels(const test::RgbPicture& pic)
{
    int n = 0;
    for (int y = pic.height / 4; y < pic.height / 2; ++y)
        for (int x = pic.width * 5 / 8; x < pic.width; ++x) {
            const std::uint8_t* p = &pic.rgb[(static_cast<std::size_t>(y) * pic.width + x) * 3];
            n += p[0] > 200 && p[1] > 200 && p[2] < 200 && p[0] - p[2] > 40;
        }
    return n;
}

// The pit board's rectangle at the bottom left of a 640 x 360 window.
constexpr double k_board_x0 = 12 / 640.0, k_board_x1 = 124 / 640.0;
constexpr double k_board_y0 = 258 / 360.0, k_board_y1 = 348 / 360.0;

TEST_F(WorldViewTest, ATimeTrialOnRabbitHillShowsThePitBoardPastTheFirstGate)
{
    test::write_file(home() / "config", "xres=640\nyres=360\nvideo_mode=Windowed\ntrack=rabbithill\n");
    int status = play({"--super-debug"}, k_start_time_trial +
                                             "rm -f \"$DIR/shots.txt\"\n"
                                             "shot start\n" +
                                             hold_throttle_until("rider 0 passed timing gate 0") +
                                             "shot gate\n"
                                             "xdotool keyup x\n"
                                             "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    // A time trial: the player alone in gate 1, the clock from 300 s on.
    std::smatch m;
    const std::string text = log();
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Tick (\d+): rider 0 passed timing gate 0\n)"))) << text;
    EXPECT_GT(std::stoi(m[1].str()), 38400);
    EXPECT_EQ(text.find("rider 1 "), std::string::npos);

    std::optional<test::RgbPicture> gate = shot("gate");
    ASSERT_TRUE(gate);
    expect_world(*gate, "time trial");
    // The board: light, with the rider's number and "P1" written on it.
    test::ColourStats board = test::colour_stats(*gate, k_board_x0, k_board_y0, k_board_x1, k_board_y1);
    EXPECT_GT(board.mean, 170) << "the pit board";
    EXPECT_GT(board.bike_pixels, 40) << "writing on the pit board";
    // The lap clock at the top runs from the first gate on.
    std::optional<test::RgbPicture> start = shot("start");
    ASSERT_TRUE(start);
    EXPECT_LT(clock_pixels(*start), 5) << "no lap clock in the gate";
    EXPECT_GT(clock_pixels(*gate), 40) << "the lap clock past the first gate";
}

TEST_F(WorldViewTest, ATimeTrialLapIsTimedAndShownOnThePitBoard)
{
    data_home_.clear();  // the test's own data folder, with the strip in it
    // A drag strip: the first checkpoint 20 ft in front of gate 1, the lap
    // end 140 ft in front of it.
    write_track(dir_.path() / "data/flat", "checkpoints:\n"
                                           "12 [20 0 200] [0 0 -1]\n"
                                           "30 [20 0 80] [0 0 -1]\n"
                                           "firstlap:\n0 1\n"
                                           "normallap:\n0 1\n");
    test::write_file(home() / "config", "xres=640\nyres=360\nvideo_mode=Windowed\ntrack=flat\n");
    int status = play({"--super-debug"}, k_start_time_trial +
                                             "rm -f \"$DIR/shots.txt\"\n"
                                             "shot start\n" +
                                             hold_throttle_until("Time trial lap 1: ") +
                                             "xdotool keyup x\n"
                                             "shot lap\n"
                                             "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    const std::string text = log();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Time trial lap 1: 0:(\d\d)\.(\d\d\d) \(best 0:\1\.\2\)\n)")))
        << text;
    // 120 ft from a standing start on a flat strip.
    const double seconds = std::stoi(m[1].str()) + std::stoi(m[2].str()) / 1000.0;
    EXPECT_GT(seconds, 1.5);
    EXPECT_LT(seconds, 15.0);
    expect_in_order({"rider 0 passed timing gate 0\n", "rider 0 passed timing gate 1\n", "] Time trial lap 1: "});

    // "Last" and "Best" are written on the board once the lap is timed.
    std::optional<test::RgbPicture> start = shot("start");
    std::optional<test::RgbPicture> lap = shot("lap");
    ASSERT_TRUE(start && lap);
    const double mid = (k_board_y0 + k_board_y1) / 2;
    int before = test::colour_stats(*start, k_board_x0, mid, k_board_x1, k_board_y1).bike_pixels;
    int after = test::colour_stats(*lap, k_board_x0, mid, k_board_x1, k_board_y1).bike_pixels;
    EXPECT_GT(after, before + 30) << "lap times on the pit board";
}

// From the main page (open at start-up) to a race: "New Race" is the first
// item of the main page, "Start" the second of its own page.
const std::string k_start_race = "wait_log 'GL_EXTENSIONS: '\n"
                                 "press Return Enter\n"
                                 "press Down Down\n"
                                 "press Return Enter\n"
                                 "wait_log 'Max loading delay was'\n";

class HudTest : public WorldViewTest {};

TEST_F(HudTest, AfterARaceLoadsTheBannerGoesAndTheFrameRateRecovers)
{
    data_home_.clear();  // the flat test track
    test::write_file(home() / "config",
                     "xres=640\nyres=360\ndraw_fps=1\ntrack=flat\nvideo_mode=Windowed\n");
    int status = play({"--super-debug"}, k_start_race +
                                             "rm -f \"$DIR/shots.txt\"\n"
                                             "shot early\n"
                                             "wait_log 'Tick 512: rider'\n"
                                             "shot late\n"
                                             "sleep 1\n"
                                             "shot later\n"
                                             "sleep 1\n"
                                             "shot latest\n"
                                             "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    std::optional<test::RgbPicture> early = shot("early");
    std::optional<test::RgbPicture> late = shot("late");
    ASSERT_TRUE(early && late);
    const std::string text = log();

    // The banner (track name and race length, white in the middle) greets
    // the riders for the first 3 s of the tick counter, and is gone long
    // before the gate drops (13 to 15 s in).
    auto banner = [](const test::RgbPicture& p) {
        return test::white_pixels(p, p.width * 3 / 10, p.height * 28 / 100, p.width * 7 / 10, p.height * 42 / 100);
    };
    const std::size_t early_at = text.find("] Saved \"screenshot000.png\"");
    ASSERT_NE(early_at, std::string::npos);
    if (early_at < text.find("] Tick 256: rider")) {  // fully shown until 2 s
        EXPECT_GT(banner(*early), 300) << "the banner at the start";
    }
    EXPECT_LT(banner(*late), 20) << "the banner 4 s in";
    expect_in_order({"] Tick 512: rider", "] Saved \"screenshot001.png\""});

    // "FPS - %d": the race's loading made one frame slow (8 frames a second
    // at most); 4 s later the line shows the frames since the last display,
    // two or more digits on this small window. Glyphs are runs of columns
    // with writing in the line's band: "FPS - " makes four of them. Three
    // shots a second apart, so one slow moment of a busy machine is not
    // taken for the stuck figure.
    auto digits = [](const test::RgbPicture& p) {
        const int band = p.height * 45 / 100;
        int glyphs = 0;
        bool inside = false;
        for (int x = 0; x < p.width / 4; ++x) {
            const bool writing = test::white_pixels(p, x, band - 2, x + 1, band + 12, 200) > 0;
            glyphs += writing && !inside;
            inside = writing;
        }
        return glyphs - 4;
    };
    int most = digits(*late);
    for (const char* name : {"later", "latest"})
        if (std::optional<test::RgbPicture> p = shot(name))
            most = std::max(most, digits(*p));
    EXPECT_GE(most, 2) << "digits of the frame rate";
}

TEST_F(GameTest, FullScreenFillsTheDisplayAndScreenshotsAreItsSize)
{
    // The default video mode is full screen at the desktop's mode; the
    // virtual display has no window manager to make the window that big.
    screen_ = "800x600x24";
    test::write_file(home() / "config", "");
    int status = play({"--track", "flat", "--super-debug"}, k_wait_loaded + k_close_menu +
                                             "xdotool getwindowgeometry \"$wid\" > \"$DIR/geometry.txt\"\n"
                                             "shot race\n"
                                             "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    EXPECT_NE(test::read_file(dir_.path() / "geometry.txt").value_or("").find("Geometry: 800x600"),
              std::string::npos);
    std::optional<std::string> png = test::read_file(home() / "screenshot000.png");
    ASSERT_TRUE(png);
    std::optional<test::RgbPicture> pic = test::read_png_rgb(*png);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->width, 800);
    EXPECT_EQ(pic->height, 600);
    // The picture reaches the far corners: sky at the top right, the
    // tachometer's dial at the bottom right.
    EXPECT_GT(test::colour_stats(*pic, 0.8, 0.02, 0.98, 0.2).sky_blue, 0.5) << "sky at the top right";
    EXPECT_GT(test::colour_stats(*pic, 0.8, 0.7, 0.98, 0.98).spread, 20.0) << "the dial at the bottom right";
    // Full screen keeps the configured window size for windowed play.
    std::optional<std::string> config = test::read_file(home() / "config");
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->starts_with("xres=640\nyres=480\n")) << config->substr(0, 40);
}

// A demo of one rider riding along x at z = 100 for 20 s on the flat track
// (256 ft across from height 0): one state entry per 16-tick block.
std::string riding_demo()
{
    auto le = [](std::string& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto fraction = [](double v, double lo, double hi, std::uint32_t max) {
        return static_cast<std::uint32_t>((v - lo) / (hi - lo) * max);
    };
    std::string demo = "ZV06 1 0 1 1792\nflat\nyz250f(2017)||||\n7\nReplayed\n\n";
    std::uint32_t previous = 0;
    for (int tick = 0; tick <= 2560; tick += 16) {
        std::string record;
        le(record, fraction(50.0 + 150.0 * tick / 2560.0, 0, 256, 0xFFFFFF), 3);
        le(record, fraction(1.5, 0, 256, 0xFFFFFF), 3);
        le(record, fraction(100.0, 0, 256, 0xFFFFFF), 3);
        for (double q : {1.0, 0.0, 0.0, 0.0})  // frame: upright, unturned
            le(record, fraction(q, -1, 1, 0xFFFF), 2);
        record += std::string(3, '\0');  // steering, fork, shock
        for (int i = 0; i < 3; ++i)       // the rider on the frame
            le(record, fraction(0.0, -16, 16, 0xFFFF), 2);
        for (double q : {1.0, 0.0, 0.0, 0.0})
            le(record, fraction(q, -1, 1, 0xFFFF), 2);
        record += std::string(3, '\0');  // wheels, drive byte
        le(record, fraction(3000, 0, 32768, 0xFFFF), 2);
        std::string payload(1, '\0');
        le(payload, static_cast<std::uint32_t>(tick), 4);
        payload += record;
        le(demo, static_cast<std::uint32_t>(payload.size()) ^ previous, 4);
        le(demo, static_cast<std::uint32_t>(tick), 4);
        demo += '\1';
        demo += payload;
        previous = static_cast<std::uint32_t>(payload.size());
    }
    return demo;
}

TEST_F(GameTest, ADemoOnTheCommandLinePlaysAndTheRewindKeyMovesItBack)
{
    test::write_file(home() / "config", "xres=320\nyres=240\nvideo_mode=Windowed\n");
    const std::string demo = (dir_.path() / "race1.zvdemo").string();
    test::write_file(demo, riding_demo());
    // Watch the replayed rider for a few seconds, then rewind until the
    // clock in the log goes back.
    int status = play({demo, "--super-debug"},
                      k_wait_loaded + k_close_menu +
                      "wait_log 'Tick 768: rider 0 is'\n"
                      "tap backslash 'Rewound to tick'\n"
                      "kill -TERM $pid\n");
    ASSERT_EQ(status, 0) << last_.err << log();
    const std::string text = log();
    EXPECT_EQ(text.find("Can't play"), std::string::npos) << text;
    std::regex line(R"(\] Tick (\d+): rider 0 is ([0-9.]+) ft from its start)");
    std::map<int, double> at;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
        at[std::stoi((*it)[1].str())] = std::stod((*it)[2].str());
    // The rider follows its record: 150 ft over 20 s along x, from x = 50
    // (its gate at x = 20, z = 220 is where distances count from).
    ASSERT_TRUE(at.count(256) && at.count(768)) << text;
    auto expected = [](int tick) {
        const double dx = 50.0 + 150.0 * tick / 2560.0 - 20.0, dz = 100.0 - 220.0;
        return std::sqrt(dx * dx + dz * dz);
    };
    // Distances count from the frame as it stood in the gate, a few feet
    // off the gate's own point; what the rider rode between is exact.
    EXPECT_NEAR(at[256], expected(256), 6.0);
    EXPECT_NEAR(at[768] - at[256], expected(768) - expected(256), 1.0);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Rewound to tick (\d+) from (\d+))"))) << text;
    EXPECT_EQ(std::stoi(m[1].str()), std::stoi(m[2].str()) - 128);
}

}  // namespace
