// The programs as a user meets them: "--help" and "--version" from each, and
// the game installed with `cmake --install` into a fresh prefix, started from
// there with no build folder on its data path.
#include "display_run.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace {

using namespace zv;
using test::RunResult;
using test::TempDir;

const std::string k_build = ZV_BUILD_DIR;

class InstallTest : public ::testing::Test {
protected:
    // A private home, no ZV_HOME: the data folder is found from the program.
    std::map<std::string, std::string> env() const
    {
        std::map<std::string, std::string> e = {
            {"HOME", dir_ / "user"}, {"XDG_DATA_HOME", dir_ / "xdg"}, {"PATH", "/usr/bin:/bin"}};
        const char* asan = std::getenv("ASAN_OPTIONS");
        e["ASAN_OPTIONS"] = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
        return e;
    }
    RunResult run(const std::string& program, const std::vector<std::string>& args)
    {
        return test::run_program(program, args, env(), dir_.path() / "run");
    }

    TempDir dir_;
};

TEST_F(InstallTest, EveryProgramAnswersHelpAndVersion)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        int status;
        std::string out_starts;
        std::string err;
    };
    const std::string zarvox = k_build + "/zarvox";
    const Case cases[] = {
        {zarvox, {"--help"}, 0, "usage: zarvox [options] [demo-file]\n", ""},
        {zarvox, {"-h"}, 0, "usage: zarvox [options] [demo-file]\n", ""},
        {zarvox, {"--version"}, 0, "Zarvox version 2017-01-03-1329 snapshot\n", ""},
        {zarvox, {"--bogus", "--help"}, 1, "", "bad option '--bogus'\n"},
        {k_build + "/zarvox-sim", {"--help"}, 0, "usage: zarvox-sim MODE [OPTIONS]\n", ""},
        {k_build + "/zarvox-datagen", {"--help"}, 0, "usage: zarvox-datagen --out DIR", ""},
        {k_build + "/zarvox-datagen", {"--bogus"}, 2, "", "usage: zarvox-datagen --out DIR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args[0]);
        RunResult r = run(c.program, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(r.out.starts_with(c.out_starts)) << r.out.substr(0, 200);
        EXPECT_TRUE(r.err.starts_with(c.err)) << r.err.substr(0, 200);
        if (c.out_starts.empty()) {
            EXPECT_EQ(r.out, "");
        }
        // Answering needs neither the home folder nor a log (a bad option is
        // reported only after start-up has made them).
        if (c.program == zarvox && c.status == 0) {
            EXPECT_FALSE(std::filesystem::exists(dir_.path() / "xdg/Zarvox"));
        }
    }
}

TEST_F(InstallTest, TheInstalledGameRunsFromItsPrefix)
{
    const std::filesystem::path prefix = dir_.path() / "prefix";
    RunResult install =
        test::run_program(ZV_CMAKE_COMMAND, {"--install", k_build, "--prefix", prefix.string()}, env(),
                          dir_.path() / "install");
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    for (const char* file : {"bin/zarvox", "bin/zarvox-sim", "bin/zarvox-datagen", "share/zarvox/zzzz.saf",
                             "share/zarvox/zarvox_cup.series", "share/zarvox/rabbithill/terrain.hf",
                             "share/zarvox/arena/terrain.hf", "share/man/man6/zarvox.6"})
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(prefix / "share/zarvox/desktop"));
    const std::string entry = test::read_file(prefix / "share/applications/zarvox.desktop").value_or("");
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n")) << entry;
    for (const char* line : {"\nType=Application\n", "\nName=Zarvox\n", "\nExec=zarvox\n", "\nIcon=zarvox\n",
                             "\nCategories=Game;SportsGame;\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line;
    for (int size : {48, 256}) {
        const std::string n = std::to_string(size);
        const std::string png =
            test::read_file(prefix / ("share/icons/hicolor/" + n + "x" + n + "/apps/zarvox.png")).value_or("");
        ASSERT_GT(png.size(), 33u) << n;
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        auto be32 = [&](std::size_t at) {
            const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
            return (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        };
        EXPECT_EQ(be32(16), size);
        EXPECT_EQ(be32(20), size);
    }

    // The installed game finds its data in the prefix.
    const std::string game = (prefix / "bin/zarvox").string();
    RunResult help = run(game, {"--help"});
    EXPECT_NE(help.out.find("data folder: " + (prefix / "share/zarvox/").string() + "\n"), std::string::npos)
        << help.out;

    if (!std::filesystem::exists(test::k_xvfb))
        GTEST_SKIP() << "Xvfb is not installed";
    // Then opens its window there: the data check and the track list passed.
    test::write_file(dir_.path() / "xdg/Zarvox/config", "xres=320\nyres=240\nvideo_mode=Windowed\n");
    const std::string log = dir_ / "xdg/Zarvox/lastlog.txt";
    const std::string status_file = dir_ / "status.txt";
    test::write_file(dir_.path() / "driver.sh",
                     "set -u\n"
                     "\"$@\" &\n"
                     "pid=$!\n"
                     "n=0\n"
                     "while ! grep -q 'GL_EXTENSIONS: ' '" + log + "' 2>/dev/null; do\n"
                     "  n=$((n+1)); [ $n -gt 1200 ] && break; kill -0 $pid 2>/dev/null || break; sleep 0.1\n"
                     "done\n"
                     "kill -TERM $pid 2>/dev/null\n"
                     "wait $pid\n"
                     "echo $? > '" + status_file + "'\n");
    std::filesystem::remove(status_file);
    RunResult xvfb = test::run_on_display("640x480x24", {"sh", dir_ / "driver.sh", game}, env(), dir_.path() / "xvfb");
    const std::string text = test::read_file(log).value_or("");
    EXPECT_EQ(test::read_file(status_file).value_or(""), "0\n") << xvfb.err << text;
    for (const char* line : {"] Zarvox version 2017-01-03-1329 snapshot\n", "] GL_EXTENSIONS: ",
                             "] Writing config files\n", "] Window shutdown complete\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << xvfb.err << text;
}

}  // namespace
