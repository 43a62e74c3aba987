// Engine sound parameters: built-in sets, pipe taps, description files and
// sound table files, with hand-computed numbers and damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include "core/data_file.h"
#include "core/messages.h"
#include "sound/engine_params.h"
#include "sound/engine_synth.h"
#include "sound/sound_table.h"
#include "support/temp_dir.h"

namespace zv::sound {
namespace {

bool shown(const std::string& text)
{
    for (int i = 0;; ++i) {
        const std::string line = core::message_line(i);
        if (line.empty())
            return false;
        if (line.find(text) != std::string::npos)
            return true;
    }
}

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        core::reset_data_files();
        core::clear_messages();
        clear_sound_cache();
    }
    void TearDown() override
    {
        core::reset_data_files();
        clear_sound_cache();
    }
    void put(const std::string& name, std::string_view text) { test::write_file(tmp_ / ("data/" + name), text); }
    std::string path(const std::string& name) const { return tmp_ / ("data/" + name); }
    // The built-in set with the description text read over it.
    EngineParams described(std::string_view text, EngineSet set = EngineSet::four_stroke)
    {
        put("d.braap", text);
        EngineParams p = builtin_params(set);
        EXPECT_TRUE(load_description("@d.braap", p));
        return p;
    }

    test::TempDir tmp_;
    test::ScopedEnv home_{"XDG_DATA_HOME", tmp_ / "xdg"};
    test::ScopedEnv data_{"ZV_HOME", tmp_ / "data"};
};

std::string s16(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    return out;
}

TEST(EngineSets, ClassesChooseTheirBuiltInSet)
{
    // "" is no bike; "300" an unknown class with no description of its own.
    for (auto [c, set, file] : {std::tuple{"50", EngineSet::small, "@default50.braap"},
                                {"125", EngineSet::two_stroke, "@default125.braap"},
                                {"250", EngineSet::two_stroke, "@default250.braap"},
                                {"250f", EngineSet::four_stroke, "@default250f.braap"},
                                {"450f", EngineSet::four_stroke, "@default450f.braap"},
                                {"", EngineSet::four_stroke, ""},
                                {"300", EngineSet::two_stroke, ""}}) {
        EXPECT_EQ(engine_set_for_class(c), set) << c;
        EXPECT_EQ(class_description(c), file) << c;
    }

    const EngineParams four = builtin_params(EngineSet::four_stroke);
    EXPECT_EQ(four.table, &four_stroke_table());
    EXPECT_EQ(std::tuple(four.cycles_per_revolution, four.low_torque, four.high_torque, four.min_rpm),
              std::tuple(0.5f, -2.5f, 2.5f, 1000.0f));
    EXPECT_EQ(four.bias, std::vector<float>{0.0f});
    EXPECT_EQ(four.scale, std::vector<float>{1.0f});
    EXPECT_EQ(four.taps[0].delay, 386);
    const EngineParams small = builtin_params(EngineSet::small);
    EXPECT_EQ(small.table, &two_stroke_table());
    EXPECT_EQ(small.high_torque, 1.5f);
    EXPECT_EQ(std::pair(small.taps[0].delay, small.taps[15].delay), std::pair(135, 112));  // 1.75, 1.75 - 0.3 ft
    EXPECT_EQ(builtin_params(EngineSet::two_stroke).high_torque, 3.5f);
}

TEST(EngineSets, BuiltInTablesHoldOneCycleAtTwoAmplitudes)
{
    for (const SoundTable* t : {&four_stroke_table(), &two_stroke_table()}) {
        ASSERT_EQ(t->rows, 1);
        ASSERT_EQ(t->columns, 2);
        EXPECT_EQ(t->cell(0, 0).sample_count(), 1024);
        EXPECT_EQ(t->cell(0, 0).cycles, 1.0f);
        EXPECT_EQ(t->cell(0, 1).load, 1.0f);
        for (int k : {10, 100, 700})
            EXPECT_FLOAT_EQ((*t->cell(0, 0).samples)[static_cast<std::size_t>(k)],
                            (*t->cell(0, 1).samples)[static_cast<std::size_t>(k)] * 0.25f);
    }
    EXPECT_EQ(four_stroke_table().name, "default_four_stroke");
    EXPECT_NEAR(four_stroke_wave(0), (std::sin(0.5246) - 0.5) * 0.5, 1e-6);
    // x = 0.5: past the first quarter, only the rectified sine.
    EXPECT_NEAR(four_stroke_wave(1023) , (std::fabs(std::sin(3 * M_PI + 0.5246)) - 0.5) * 0.5, 1e-6);
    EXPECT_FLOAT_EQ(two_stroke_wave(0), 0.0f);
    EXPECT_NEAR(two_stroke_wave(32), std::sin(8 * M_PI * 32 / 1023.0) * (1 - 4 * 32 / 1023.0), 1e-6);
    EXPECT_EQ(two_stroke_wave(256), 0.0f);  // x = 0.2502
    EXPECT_EQ(two_stroke_wave(900), 0.0f);
}

TEST(PipeTaps, SpreadOverTheTapsOrOneTap)
{
    std::array<PipeTap, k_pipe_taps> taps{};
    apply_pipe(taps, k_four_stroke_pipe);
    EXPECT_EQ(taps[0].delay, 386);   // 2 * 5 / 1140.63 * 44100
    EXPECT_EQ(taps[1].delay, 382);   // 5 - (1/225 + 1) / 16 * 0.918207
    EXPECT_EQ(taps[7].delay, 354);
    EXPECT_EQ(taps[15].delay, 315);  // 5 - 0.918207
    for (const PipeTap& t : taps)
        EXPECT_FLOAT_EQ(t.gain, -0.85f / 16);

    apply_pipe(taps, Pipe{2.0f, 1.0f, 0.5f, 3, 3});  // one tap: the whole length and gain
    EXPECT_EQ(taps[3].delay, 154);
    EXPECT_FLOAT_EQ(taps[3].gain, 0.5f);
    EXPECT_EQ(taps[2].delay, 377);  // the others keep theirs
    apply_pipe(taps, Pipe{2.0f, 1.0f, 0.25f, 9, 2});  // last raised to first
    EXPECT_FLOAT_EQ(taps[9].gain, 0.25f);
    EXPECT_FLOAT_EQ(taps[10].gain, -0.85f / 16);
    apply_pipe(taps, Pipe{2.0f, 1.0f, 1.0f, -4, 40});  // clamped to 0 ... 15
    EXPECT_FLOAT_EQ(taps[0].gain, 1.0f / 16);
    EXPECT_FLOAT_EQ(taps[15].gain, 1.0f / 16);
    apply_pipe(taps, Pipe{-3.0f, 1.0f, 1.0f, 0, 0});  // no negative delays
    EXPECT_EQ(taps[0].delay, 0);
    apply_pipe(taps, Pipe{1.0e9f, 1.0f, 1.0f, 0, 0});  // nor beyond the ring
    EXPECT_EQ(taps[0].delay, 32767);
}

TEST(DescriptionNames, FromTheTextureNameThenShorterAtEachDash)
{
    EXPECT_EQ(description_candidates("yz250f-blue-team.png"),
              (std::vector<std::string>{"yz250f-blue-team.braap", "yz250f-blue.braap", "yz250f.braap"}));
    EXPECT_EQ(description_candidates("@skins/a.b-c.png"),
              (std::vector<std::string>{"@skins/a.b-c.braap", "@skins/a.b.braap"}));
    EXPECT_EQ(description_candidates("@bike_450f"), (std::vector<std::string>{"@bike_450f.braap"}));
    EXPECT_EQ(description_candidates("dir.x/plain"), (std::vector<std::string>{"dir.x/plain.braap"}));
    EXPECT_EQ(description_candidates("-x.png"), (std::vector<std::string>{"-x.braap"}));
    EXPECT_TRUE(description_candidates("").empty());
    EXPECT_TRUE(description_candidates("folder/.png").empty());
}

TEST_F(DataFolder, DescriptionLinesOverTheBuiltInSet)
{
    EngineParams p = described(
        "# a test engine\n"
        "minrpm 1500   # idle\n"
        "lowtorque -1\n"
        "hightorque 4.5\n"
        "bias 0 300\n"
        "scale 1 1 1 0.9 junk 7\n"
        "frobnicate 12\n"
        "\n",
        EngineSet::two_stroke);
    EXPECT_EQ(std::tuple(p.min_rpm, p.low_torque, p.high_torque), std::tuple(1500.0f, -1.0f, 4.5f));
    EXPECT_EQ(p.bias, (std::vector<float>{0, 300}));
    EXPECT_EQ(p.scale, (std::vector<float>{1, 1, 1, 0.9f}));
    EXPECT_EQ(p.cycles_per_revolution, 1.0f);  // not named: the built-in value
    EXPECT_EQ(p.table, &two_stroke_table());
    for (const PipeTap& t : p.taps)
        EXPECT_EQ(t.gain, 0.0f);  // no pipe line: dry

    EngineParams untouched = builtin_params(EngineSet::two_stroke);
    EXPECT_FALSE(load_description("@missing.braap", untouched));
    EXPECT_EQ(untouched.taps[0].delay, 135);
}

TEST_F(DataFolder, PipeLinesWithMissingAndBadNumbers)
{
    const EngineParams p = described("pipe 2\n", EngineSet::two_stroke);
    // 2 ft, spread 0.918207, gain -0.85, taps 0 ... 15.
    EXPECT_EQ(p.taps[0].delay, 154);
    EXPECT_FLOAT_EQ(p.taps[15].gain, -0.85f / 16);

    const EngineParams q = described("pipe 2 1 0.5 4 4\nminrpm lots\nbias\nscale x\nhightorque\n");
    EXPECT_FLOAT_EQ(q.taps[4].gain, 0.5f);
    EXPECT_EQ(q.taps[3].gain, 0.0f);  // silent start, not the built-in pipe
    EXPECT_EQ(q.taps[3].delay, 62);   // silent pipe: 1 - (9/225 + 3) / 16 ft
    EXPECT_EQ(std::pair(q.min_rpm, q.high_torque), std::pair(1000.0f, 2.5f));
    EXPECT_EQ(std::pair(q.bias, q.scale), std::pair(std::vector<float>{0.0f}, std::vector<float>{1.0f}));

    const EngineParams n = described("pipe nan 1 1\nbias 1 2 3\n");
    EXPECT_EQ(n.taps[0].gain, 0.0f);
    EXPECT_EQ(n.bias.size(), 3u);

    std::string many = "bias";
    for (int i = 0; i < 150; ++i)
        many += " " + std::to_string(i);
    const EngineParams m = described(many + "\n");
    EXPECT_EQ(m.bias.size(), 100u);
    EXPECT_EQ(m.bias[99], 99.0f);
}

TEST_F(DataFolder, SoundTableFileWithRemapsAndSharedSamples)
{
    put("s1.raw", s16({16384, -32768, 0, 32767}));
    put("s2.raw", s16({-16384, 8192}));
    put("t.table",
        "SOUNDTABLE 2 2\n"
        "1000 5000\n"
        "0 1\n"
        "-1 16777216 " + path("s1.raw") + "\n"
        "6 1 -1 4 " + path("s2.raw") + "\n"
        "-1 2.5 " + path("s1.raw") + "\n"
        "-3 -1 0.5 " + path("s2.raw") + "\n");
    const EngineParams p = described("soundtable   @t.table   \n");
    ASSERT_NE(p.loaded_table, nullptr);
    const SoundTable& t = *p.table;
    EXPECT_EQ(p.table, p.loaded_table.get());
    ASSERT_EQ(t.rows, 2);
    ASSERT_EQ(t.columns, 2);
    EXPECT_EQ(t.speeds, (std::vector<float>{1000, 5000}));
    EXPECT_EQ(t.cell(1, 0).speed, 5000.0f);
    EXPECT_EQ(t.cell(0, 1).load, 1.0f);
    const SoundCell& a = t.cell(0, 0);
    ASSERT_EQ(a.sample_count(), 4);
    EXPECT_EQ((std::vector<float>{(*a.samples)[0], (*a.samples)[1], (*a.samples)[3]}),
              (std::vector<float>{0.5f, -1.0f, 32767.0f / 32768.0f}));
    EXPECT_TRUE(a.remap.empty());
    EXPECT_EQ(t.cell(0, 1).remap, (std::vector<int>{2, 1}));  // reduced modulo 4
    // The first cell has the most cycles a float still counts one by one,
    // the last at least one cycle.
    EXPECT_EQ((std::vector<float>{a.cycles, t.cell(0, 1).cycles, t.cell(1, 0).cycles, t.cell(1, 1).cycles}),
              (std::vector<float>{16777216.0f, 4.0f, 2.5f, 1.0f}));
    EXPECT_EQ(t.cell(1, 1).remap, (std::vector<int>{0}));
    EXPECT_EQ(t.cell(1, 0).samples, a.samples);  // one sample file, loaded once
    // Cached by name: a second load is the same table, even after the file goes.
    std::filesystem::remove(path("t.table"));
    EXPECT_EQ(load_sound_table("@t.table"), p.loaded_table);
}

TEST_F(DataFolder, BrokenSoundTablesKeepTheBuiltInTable)
{
    put("s.raw", s16({100, 200}));
    put("empty.raw", "");
    // A complete table of rows x columns cells, the first cell with `remaps` remap entries.
    const auto whole = [&](int rows, int columns, int remaps = 0) {
        std::string t = "SOUNDTABLE " + std::to_string(rows) + " " + std::to_string(columns) + "\n";
        for (int i = 0; i < rows + columns + remaps; ++i)
            t += "1 ";  // speeds, loads, remap entries
        for (int i = 0; i < rows * columns; ++i)
            t += "-1 1 " + path("s.raw") + "\n";
        return t;
    };
    struct Case {
        std::string table;
        const char* message;
    } cases[] = {
        {"SOUNDTABLE 1\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 0 1\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 100000 100000\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 2 1\n1000\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 1 2\n1000 0\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 1 1\nnan 0\n-1 1 S\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 1 1\n1000 inf\n-1 1 S\n", "Error reading '@bad.table'"},
        {whole(257, 1), "Error reading '@bad.table'"},  // at most 256 rows, 256 columns, 4096 cells
        {whole(1, 257), "Error reading '@bad.table'"},
        {whole(64, 65), "Error reading '@bad.table'"},
        {whole(1, 1, 65537), "(0, 0) Bad remap entry"},  // at most 65536 remap entries
        {"SOUNDTABLE 1 1\n1000 0\n-2147483648 -1 1 S\n", "(0, 0) Bad remap entry"},  // the no-number value
        {"TABLE 1 1\n", "Error reading '@bad.table'"},
        {"SOUNDTABLE 1 1\n1000 0\n3 x -1 1 S\n", "(0, 0) Bad remap entry"},
        {"SOUNDTABLE 1 1\n1000 0\n-1 one S\n", "(0, 0) Bad remap entry"},
        {"SOUNDTABLE 1 2\n1000 0 1\n-1 1 S\n-1 1\n", "(0, 1) Bad remap entry"},
        // More cycles than whole numbers a float can count.
        {"SOUNDTABLE 1 1\n1000 0\n-5 -1 3e10 S\n", "(0, 0) Bad remap entry"},
        {"SOUNDTABLE 1 1\n1000 0\n-1 1 @nothing.raw\n", "(0, 0) Error reading '@nothing.raw'"},
        {"SOUNDTABLE 1 1\n1000 0\n-1 1 E\n", "Error reading '"},
    };
    int n = 0;
    for (const Case& c : cases) {
        core::clear_messages();
        clear_sound_cache();
        std::string text = c.table;
        for (auto [key, file] : {std::pair{"S", "s.raw"}, std::pair{"E", "empty.raw"}})
            for (std::size_t at; (at = text.find(std::string(" ") + key + "\n")) != std::string::npos;)
                text.replace(at + 1, 1, path(file));
        put("bad.table", text);
        const EngineParams p = described("soundtable @bad.table\nminrpm 1234\n", EngineSet::two_stroke);
        EXPECT_EQ(p.table, &two_stroke_table()) << n;
        EXPECT_EQ(p.loaded_table, nullptr) << n;
        EXPECT_EQ(p.min_rpm, 1234.0f) << n;  // the rest of the description still counts
        EXPECT_TRUE(shown(c.message)) << n << ": " << c.message;
        ++n;
    }
    core::clear_messages();
    clear_sound_cache();
    described("soundtable @no.table\n");
    EXPECT_TRUE(shown("Error reading '@no.table'"));

    put("big.table", whole(256, 16, 65536));  // every limit reached, none passed
    const EngineParams big = described("soundtable @big.table\n");
    ASSERT_NE(big.loaded_table, nullptr);
    EXPECT_EQ(big.table->cells.size(), 4096u);
    EXPECT_EQ(big.table->cell(0, 0).remap.size(), 65536u);
}

// Random damage to a good table and description: each load either keeps the
// built-in table or gives one whose every cell can be played.
TEST_F(DataFolder, DamagedFilesNeverBreakTheLoader)
{
    put("s.raw", s16({1000, -1000, 500, 20000, -32768, 7}));
    const std::string good_table = "SOUNDTABLE 2 2\n1000 6000\n0 1\n-1 1 " + path("s.raw") + "\n3 1 -1 2 " +
                                   path("s.raw") + "\n-1 1.5 " + path("s.raw") + "\n0 -1 1 " + path("s.raw") + "\n";
    const std::string good_braap = "pipe 4 1 -0.8 0 15\nminrpm 1200\nbias 0 50\nscale 1 0.9\nsoundtable @t.table\n";
    std::uint32_t seed = 2024;
    auto next = [&](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    const char junk[] = {'-', '1', ' ', '\n', '9', 'e', '.', '#', 'x', '\0', '\xff'};
    for (int round = 0; round < 300; ++round) {
        std::string table = good_table, braap = good_braap;
        std::string& target = round % 2 ? table : braap;
        for (std::uint32_t n = 1 + next(4); n > 0; --n) {
            const std::size_t at = next(static_cast<std::uint32_t>(target.size()));
            switch (next(3)) {
            case 0: target[at] = junk[next(sizeof junk)]; break;
            case 1: target.erase(at, 1 + next(8)); break;
            default: target.insert(at, 1, junk[next(sizeof junk)]); break;
            }
            if (target.empty())
                target = "x";
        }
        clear_sound_cache();
        put("t.table", table);
        const EngineParams p = described(braap, EngineSet::two_stroke);
        ASSERT_NE(p.table, nullptr);
        const SoundTable& t = *p.table;
        ASSERT_EQ(t.cells.size(), static_cast<std::size_t>(t.rows * t.columns)) << round;
        for (const SoundCell& c : t.cells) {
            EXPECT_GE(c.cycles, 1.0f);
            EXPECT_GT(c.sample_count(), 0);
            for (int r : c.remap)
                EXPECT_TRUE(r >= 0 && r < c.cycles) << round;
        }
        for (const PipeTap& tap : p.taps)
            EXPECT_TRUE(tap.delay >= 0 && tap.delay < 32768) << round;
        EXPECT_FALSE(p.bias.empty());
        EXPECT_FALSE(p.scale.empty());
        // And it plays: past the first firings, at high and low speed.
        EngineSynth synth;
        std::vector<std::uint8_t> out(6000);
        synthesize(synth, p, 9000, 0.7f, out);
        synthesize(synth, p, 100, 0.1f, std::span<std::uint8_t>(out.data(), 3000));
        EXPECT_GE(synth.firings, 1) << round;
    }
}

}  // namespace
}  // namespace zv::sound
