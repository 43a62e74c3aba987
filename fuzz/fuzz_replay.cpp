// Demo files: the text header alone, and whole files played tick by tick
// with seeks back and forth.
#include "harness.h"

#include "replay/demo_header.h"
#include "replay/demo_player.h"
#include "replay/demo_writer.h"
#include "replay/history.h"

namespace zv::fuzz {

int fuzz_demo_header(const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch("header.zvdemo", data, size))
        return 0;
    core::DataFilePtr f = core::open_data_file(scratch_folder() + "header.zvdemo", "rb");
    if (!f)
        return 0;
    if (auto h = replay::read_demo_header(*f))
        (void)replay::format_demo_header(*h);
    return 0;
}

int fuzz_demo_playback(const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch("play.zvdemo", data, size))
        return 0;
    replay::clear_history();
    replay::DemoPlayer p;
    p.on_message = [](std::string_view, void*) {};
    // The last byte chooses a ghost lap, so both clock rules are read.
    bool time_trial = size > 0 && (data[size - 1] & 1);
    if (!replay::open_demo_playback(p, scratch_folder() + "play.zvdemo", time_trial))
        return 0;
    int clock = 0;
    for (int t = 0; t < 200; ++t, ++clock)
        replay::play_demo_tick(p, clock);
    replay::seek_demo(p, clock, -0.5);
    replay::seek_demo(p, clock, 1.0);
    replay::seek_demo(p, clock, -100);
    for (int t = 0; t < 20; ++t, ++clock)
        replay::play_demo_tick(p, clock);
    replay::close_demo_playback(p);
    replay::clear_history();
    replay::set_hold_older_records(false);
    return 0;
}

namespace {

// A small race of `riders` recorded by the real recorder, as a string.
std::string recorded_demo(int riders, int last_tick)
{
    replay::DemoHeader h;
    h.laps = 2;
    h.start_tick = 64;
    h.track = "rabbithill";
    std::vector<int> slots;
    for (int i = 0; i < riders; ++i) {
        replay::DemoRider r;
        r.bike = "450sxf(2017)";
        r.number = std::to_string(i + 1);
        r.name = "R" + std::to_string(i);
        h.riders.push_back(r);
        slots.push_back(i);
    }
    const std::string path = scratch_folder() + "seed.zvdemo";
    replay::DemoRecorder rec;
    replay::clear_history();
    if (!replay::begin_demo_recording_to(rec, path, h, slots))
        return {};
    std::vector<replay::StateRecord> records(static_cast<std::size_t>(riders));
    for (int tick = 0; tick <= last_tick; ++tick) {
        for (int i = 0; i < riders; ++i)
            for (std::size_t b = 0; b < records[static_cast<std::size_t>(i)].bytes.size(); ++b)
                records[static_cast<std::size_t>(i)].bytes[b] = static_cast<std::uint8_t>(i * 31 + tick * 7 + b);
        replay::record_demo_tick(rec, tick, records, false);
        if (tick == 20)
            replay::record_demo_message(rec, tick, "hello");
    }
    replay::end_demo_recording(rec, last_tick);
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            bytes.append(buf, n);
        std::fclose(f);
    }
    replay::clear_history();
    return bytes;
}

}  // namespace

Seeds demo_header_seeds()
{
    return {"ZV06 1 0 3 1792\nrabbithill\n450sxf(2017)|a|b|c|d\n7\nName\n\n",
            "ZV05 2 0\nvalley\nkx250f|a|b|c|d\n7\nyz250f||||\n12\n", "ZV04 0 3840 0 0\nt\n"};
}

Seeds demo_playback_seeds()
{
    return {recorded_demo(2, 100), recorded_demo(1, 30),
            "ZV05 1 0\nt\nkx250f||||\n1\n" + std::string(300, '\x11')};
}

}  // namespace zv::fuzz
