// Console commands that name files: rider setups, the working-set list, the
// file offered to the race server and the name of the demo being recorded.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "app/console_fixture.h"
#include "core/atomic_file.h"
#include "sim/setup.h"

namespace zv::app {
namespace {

class FileCommands : public ConsoleTest {
protected:
    std::string home() const { return dir_ / "xdg/Zarvox/"; }
    void write_home(const std::string& rel, std::string_view text) { test::write_file(home() + rel, text); }
};

TEST_F(FileCommands, ReadSetupTakesOnlySetupKeys)
{
    write_home("setups/fast", "name=Speedy\r\nmax_steering_force=800\nxres=3\nno equals sign\n"
                              "number=7\n");
    EXPECT_EQ(run("/readsetup   fast  "), 1);  // blanks around the name are cut
    EXPECT_EQ(messages(), Lines{"Setup updated"});
    const core::Settings& s = core::settings();
    // A general key ("xres") is not a setup key.
    EXPECT_EQ(std::tuple(s.name.text, s.number.text, s.max_steering_force.value, s.xres),
              std::tuple("Speedy", "7", 800, 640));

    EXPECT_EQ(run("/readsetup nothere"), 1);
    EXPECT_EQ(run("/readsetup"), 1);  // the folder itself is no setup
    EXPECT_EQ(messages(), (Lines{"Error reading setup", "Error reading setup"}));
    EXPECT_EQ(s.name.text, "Speedy");
}

TEST_F(FileCommands, ReadSetupAppliesToTheLocalRidersBike)
{
    write_home("setups/stiff", "max_steering_force=900\n");
    sim::Bike& bike = put_bike();
    const float before = sim::setup_value(bike, sim::SetupValue::max_steering_force);
    EXPECT_EQ(run("/readsetup stiff"), 1);
    EXPECT_NE(sim::setup_value(bike, sim::SetupValue::max_steering_force), before);

    // A viewed rider that is not this computer's keeps its bike as it is.
    sim::Bike& other = put_bike("450sxf(2017)", false);  // a robot viewed now
    const float robot_before = sim::setup_value(other, sim::SetupValue::max_steering_force);
    write_home("setups/soft", "max_steering_force=100\n");
    EXPECT_EQ(run("/readsetup soft"), 1);
    EXPECT_EQ(sim::setup_value(other, sim::SetupValue::max_steering_force), robot_before);
    EXPECT_EQ(core::settings().max_steering_force.value, 100);
}

TEST_F(FileCommands, WriteSetupRoundTrips)
{
    core::settings().name.set("Round Trip");
    core::settings().fork_preload_adjustment.set(61);
    EXPECT_EQ(run("/writesetup  mine "), 1);
    EXPECT_EQ(messages(), Lines{"Setup written"});
    auto text = test::read_file(home() + "setups/mine");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("bike=", 0), 0u);  // the setup keys start with the bike
    EXPECT_NE(text->find("\nname=Round Trip\n"), std::string::npos);
    EXPECT_EQ(text->find("xres="), std::string::npos);

    core::reset_settings();
    EXPECT_EQ(run("/readsetup mine"), 1);
    EXPECT_EQ(core::settings().name.text, "Round Trip");
    EXPECT_EQ(core::settings().fork_preload_adjustment.value, 61);

    EXPECT_EQ(run("/writesetup"), 1);  // no name: the folder cannot be written
    EXPECT_EQ(messages(), (Lines{"Setup updated", "Error writing setup"}));

    // A write that fails halfway keeps the setup there was.
    core::settings().name.set("Half Written");
    core::set_write_probe([](std::size_t written) { return written < 100; });
    EXPECT_EQ(run("/writesetup mine"), 1);
    core::set_write_probe(nullptr);
    EXPECT_EQ(messages(), Lines{"Error writing setup"});
    EXPECT_EQ(test::read_file(home() + "setups/mine"), text);
}

TEST_F(FileCommands, ListFilesWithAndWithoutAPattern)
{
    write("Alpha.txt", "a");
    write("tracks/hill/terrain.hf", "h");
    write_home("notes/alpha.TXT", "b");
    EXPECT_EQ(run("/listfiles"), 1);
    Lines all = messages();
    const std::string data = dir_ / "data/";
    EXPECT_NE(std::find(all.begin(), all.end(), "tracks/hill/terrain.hf -> " + data + "tracks/hill/terrain.hf"),
              all.end());
    EXPECT_EQ(all.size(), core::working_set_entries().size());

    EXPECT_EQ(run("/ listfiles   ALPHA  "), 1);
    // Both spellings, in the working set's order.
    EXPECT_EQ(messages(), (Lines{"Alpha.txt -> " + data + "Alpha.txt", "notes/alpha.TXT -> " + home() + "notes/alpha.TXT"}));

    EXPECT_EQ(run("/listfiles hill/TERRAIN"), 1);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(run("/listfiles no-such-thing"), 1);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(run("/listfilesalpha"), 0);  // the word needs a blank after it
}

TEST_F(FileCommands, SendFileChecksTheName)
{
    write_home("outgoing/lap.txt", "lap data");
    for (const char* c : {"/sendfile a/b", "/sendfile a-b", "/sendfile ../lap.txt", "/sendfile lap txt"})
        EXPECT_EQ(run(c), 1) << c;
    EXPECT_EQ(messages(), Lines(4, "Filename may only contain alphanumeric characters, '_' or '.'"));
    EXPECT_FALSE(outgoing_transfer().file);

    EXPECT_EQ(run("/sendfile " + std::string(1014, 'a')), 1);
    EXPECT_EQ(messages(), Lines{"Filename too long"});
    EXPECT_EQ(run("/sendfile " + std::string(1013, 'a')), 1);  // allowed, but no such file
    EXPECT_EQ(run("/sendfile missing.txt"), 1);
    EXPECT_EQ(run("/sendfile"), 1);
    EXPECT_EQ(messages(), Lines(3, "Can't open file"));
    EXPECT_EQ(run("/sendfilelap.txt"), 0);
}

TEST_F(FileCommands, SendFileOpensTheOutgoingFile)
{
    write_home("outgoing/lap.txt", "lap data");
    write_home("outgoing/Best_1.zvdemo", "demo");
    EXPECT_EQ(run("/sendfile lap.txt  "), 1);
    EXPECT_EQ(messages(), (Lines{"Not connected to server", "Sending file"}));
    ASSERT_TRUE(outgoing_transfer().file);
    EXPECT_EQ(outgoing_transfer().closing_message, "namefile lap.txt");
    EXPECT_FALSE(outgoing_transfer().server_ready);

    // Connected: the offer goes to the client; the earlier file is dropped.
    std::vector<std::string> sent;
    console_hooks().queue_file_message = [&](std::string_view m) { sent.emplace_back(m); };
    g.connected = true;
    EXPECT_EQ(run("/  sendfile Best_1.zvdemo"), 1);
    EXPECT_EQ(messages(), (Lines{"Stopping previous transfer", "Sending file"}));
    EXPECT_EQ(sent, std::vector<std::string>{"sendfile"});
    EXPECT_EQ(outgoing_transfer().closing_message, "namefile Best_1.zvdemo");
    std::vector<std::uint8_t> bytes = core::read_all(*outgoing_transfer().file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "demo");

    // An offer whose file cannot be opened still ends the one under way.
    EXPECT_EQ(run("/sendfile nothing"), 1);
    EXPECT_EQ(messages(), (Lines{"Stopping previous transfer", "Can't open file"}));
    EXPECT_FALSE(outgoing_transfer().file);
}

TEST(DemoNames, EndingAndLength)
{
    DemoName n = demo_name_from_argument(" race1");
    EXPECT_EQ(n.status, DemoNameStatus::ok);
    EXPECT_EQ(n.file, "race1.zvdemo");
    // The first already ends so.
    for (auto [argument, file] : {std::pair{"best.zvdemo", "best.zvdemo"}, {"best.zvdem", "best.zvdem.zvdemo"},
                                  {"best.ZVDEMO", "best.ZVDEMO.zvdemo"}, {"  two words here ", "two.zvdemo"},
                                  {"\ttabbed\tname", "tabbed.zvdemo"}})
        EXPECT_EQ(demo_name_from_argument(argument).file, file) << argument;
    for (const char* blank : {"", "    "})
        EXPECT_EQ(demo_name_from_argument(blank).status, DemoNameStatus::empty) << '"' << blank << '"';

    // 1016 characters plus ".zvdemo" fit in 1023; one more does not.
    n = demo_name_from_argument(std::string(1016, 'd'));
    EXPECT_EQ(n.status, DemoNameStatus::ok);
    EXPECT_EQ(n.file.size(), 1023u);
    EXPECT_EQ(demo_name_from_argument(std::string(1017, 'd')).status, DemoNameStatus::too_long);
    // The length counts before the ending is added, even when it is there.
    EXPECT_EQ(demo_name_from_argument(std::string(1010, 'd') + ".zvdemo").status, DemoNameStatus::too_long);
    EXPECT_EQ(demo_name_from_argument(std::string(1009, 'd') + ".zvdemo").file.size(), 1016u);
}

TEST(SendNames, Characters)
{
    for (const char* good : {"Lap_2.zvdemo", ""})  // an empty name fails later, when opened
        EXPECT_EQ(check_send_name(good), SendNameStatus::ok) << good;
    for (const char* bad : {"a/b", "a-b", "a b", "a\\b", "\xe9t\xe9", "~x", "a:b"})
        EXPECT_EQ(check_send_name(bad), SendNameStatus::bad_character) << bad;
    EXPECT_EQ(check_send_name(std::string(1013, 'x')), SendNameStatus::ok);
    EXPECT_EQ(check_send_name(std::string(1014, 'x')), SendNameStatus::too_long);
    // A bad character is reported before the length.
    EXPECT_EQ(check_send_name(std::string(2000, '-')), SendNameStatus::bad_character);
}

TEST_F(FileCommands, NameDemoNeedsARecording)
{
    EXPECT_EQ(run("/namedemo race1"), 1);  // no recorder at all
    EXPECT_EQ(messages(), Lines{"Not currently recording a demo"});

    bool recording = false;
    std::string kept;
    console_hooks().demo_recording = [&] { return recording; };
    console_hooks().set_demo_name = [&](const std::string& n) { kept = n; };
    EXPECT_EQ(run("/namedemo race1"), 1);
    recording = true;
    g.time_trial = true;
    EXPECT_EQ(run("/namedemo race1"), 1);
    EXPECT_EQ(messages(), Lines(2, "Not currently recording a demo"));
    EXPECT_EQ(kept, "");

    g.time_trial = false;
    EXPECT_EQ(run("/namedemo   race1 and more"), 1);
    EXPECT_EQ(kept, "race1.zvdemo");
    EXPECT_EQ(run("/namedemofinal.zvdemo"), 1);
    EXPECT_EQ(kept, "final.zvdemo");
    EXPECT_EQ(messages(), Lines(2, "Demo name updated"));

    EXPECT_EQ(run("/namedemo " + std::string(1017, 'n')), 1);
    EXPECT_EQ(run("/namedemo"), 1);
    EXPECT_EQ(messages(), (Lines{"Name too long", "Usage: namedemo <name>"}));
    EXPECT_EQ(kept, "final.zvdemo");
}

}  // namespace
}  // namespace zv::app
