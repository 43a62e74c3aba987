// The harness table, the scratch folders and the step splitter.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/data_file.h"
#include "track/resources.h"

namespace zv::fuzz {

Seeds demo_header_seeds();
Seeds demo_playback_seeds();
Seeds server_datagram_seeds();
Seeds client_seeds();
Seeds client_datagram_seeds();
Seeds server_seeds();
Seeds saf_seeds();
Seeds gzip_seeds();
Seeds png_seeds();
Seeds pnm_seeds();
Seeds texture_format_seeds();
Seeds tileinfo_seeds();
Seeds timing_gates_seeds();
Seeds config_seeds();
Seeds setup_seeds();
Seeds lines_seeds();
Seeds jm_seeds();
Seeds shape_seeds();
Seeds terrain_seeds();
Seeds statues_seeds();
Seeds billboards_seeds();
Seeds flaggers_seeds();
Seeds cameras_seeds();
Seeds lighting_seeds();
Seeds series_seeds();
Seeds braap_seeds();
Seeds sound_table_seeds();
Seeds texture_seeds();
Seeds font_seeds();
Seeds track_list_seeds();

namespace {

constexpr Harness k_harnesses[] = {
    {"demo_header", fuzz_demo_header, demo_header_seeds},
    {"demo_playback", fuzz_demo_playback, demo_playback_seeds},
    {"server_datagrams", fuzz_server_datagrams, server_datagram_seeds},
    {"client", fuzz_client, client_seeds},
    {"client_datagrams", fuzz_client_datagrams, client_datagram_seeds},
    {"server", fuzz_server, server_seeds},
    {"saf", fuzz_saf, saf_seeds},
    {"gzip", fuzz_gzip, gzip_seeds},
    {"png", fuzz_png, png_seeds},
    {"pnm", fuzz_pnm, pnm_seeds},
    {"texture_formats", fuzz_texture_formats, texture_format_seeds},
    {"tileinfo", fuzz_tileinfo, tileinfo_seeds},
    {"timing_gates", fuzz_timing_gates, timing_gates_seeds},
    {"config", fuzz_config, config_seeds},
    {"setup", fuzz_setup, setup_seeds},
    {"lines", fuzz_lines, lines_seeds},
    {"jm", fuzz_jm, jm_seeds},
    {"shape", fuzz_shape, shape_seeds},
    {"terrain", fuzz_terrain, terrain_seeds},
    {"statues", fuzz_statues, statues_seeds},
    {"billboards", fuzz_billboards, billboards_seeds},
    {"flaggers", fuzz_flaggers, flaggers_seeds},
    {"cameras", fuzz_cameras, cameras_seeds},
    {"lighting", fuzz_lighting, lighting_seeds},
    {"series", fuzz_series, series_seeds},
    {"braap", fuzz_braap, braap_seeds},
    {"sound_table", fuzz_sound_table, sound_table_seeds},
    {"texture", fuzz_texture, texture_seeds},
    {"font", fuzz_font, font_seeds},
    {"track_list", fuzz_track_list, track_list_seeds},
};

}  // namespace

std::span<const Harness> harnesses() { return k_harnesses; }

const Harness* find_harness(std::string_view name)
{
    for (const Harness& h : k_harnesses)
        if (name == h.name)
            return &h;
    return nullptr;
}

const std::string& scratch_folder()
{
    static const std::string folder = [] {
        // Every input goes through a file: memory-backed /dev/shm keeps that cheap.
        const char* tmp = std::getenv("TMPDIR");
        std::string base = tmp && *tmp ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/zv-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();  // nothing can run without it
        std::string f = pattern + "/";
        // Removed at exit by a copy of its name: the string itself may be
        // gone by then.
        static char name[512];
        std::snprintf(name, sizeof name, "%s", pattern.c_str());
        std::atexit([] { std::error_code ec; std::filesystem::remove_all(name, ec); });
        mkdir((f + "data").c_str(), 0700);
        mkdir((f + "home").c_str(), 0700);
        return f;
    }();
    return folder;
}

void use_scratch_data_folders()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setenv("ZV_HOME", (scratch_folder() + "data").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch_folder() + "home").c_str(), 1);
    core::reset_data_files();
}

bool write_scratch(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen((scratch_folder() + name).c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void remove_scratch(const std::string& name) { std::remove((scratch_folder() + name).c_str()); }

namespace {

class FakeResources : public track::ResourceLoader {
public:
    track::TextureId load_texture(std::string_view name, unsigned) override { return id_of(name); }
    track::ModelId load_model(std::string_view name) override { return id_of(name); }

private:
    static std::uint32_t id_of(std::string_view name)
    {
        if (name.empty() || name[0] == 'x')
            return 0;
        return static_cast<std::uint32_t>(name.size() * 31 + static_cast<unsigned char>(name[0]));
    }
};

}  // namespace

void use_fake_resources()
{
    static FakeResources resources;
    track::set_resource_loader(&resources);
}

std::vector<Step> split_steps(const std::uint8_t* data, std::size_t size)
{
    std::vector<Step> steps;
    std::size_t at = 0;
    while (at < size) {
        Step s;
        s.control = data[at++];
        std::size_t n = 0;
        if (at < size)
            n = data[at++];
        if (at < size)
            n |= static_cast<std::size_t>(data[at++]) << 8;
        n = std::min(n, size - at);
        s.bytes = {data + at, n};
        at += n;
        steps.push_back(s);
    }
    return steps;
}

std::string step_bytes(std::uint8_t control, std::span<const std::uint8_t> bytes)
{
    std::string s;
    s += static_cast<char>(control);
    s += static_cast<char>(bytes.size() & 0xff);
    s += static_cast<char>(bytes.size() >> 8);
    s.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return s;
}

}  // namespace zv::fuzz
