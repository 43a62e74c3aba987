// The fuzzing harnesses: each feeds one input to one of the program's real
// readers. libFuzzer drives them in the fuzzing build; the normal test suite
// replays the saved inputs that once broke a reader, and each harness's own
// seeds, through the very same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv::fuzz {

using Seeds = std::vector<std::string>;

struct Harness {
    const char* name;                                // also the regression folder's name
    int (*run)(const std::uint8_t* data, std::size_t size);
    Seeds (*seeds)();                                // small valid inputs to start from
};

// Every harness, in the order the fuzzing script runs them.
std::span<const Harness> harnesses();
const Harness* find_harness(std::string_view name);

// A private scratch folder for this process (created once, ending in "/"),
// with "data/" as the data folder and "home/" as the home folder.
const std::string& scratch_folder();
// Points the data files at the scratch folders (once per process).
void use_scratch_data_folders();
// Writes bytes to scratch_folder() + name; false when it could not.
bool write_scratch(const std::string& name, const std::uint8_t* data, std::size_t size);
inline bool write_scratch(const std::string& name, std::string_view text)
{
    return write_scratch(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
// Removes scratch_folder() + name when it is there.
void remove_scratch(const std::string& name);

// Installs a texture and model loader for the track readers that answers
// every name with an id of its own (0 for names starting with "x", which
// stand for files that do not load), so the readers go on as in the game.
void use_fake_resources();

// Splits scripted input into steps: a control byte, a 16-bit little-endian
// length and that many bytes (cut short at the input's end).
struct Step {
    std::uint8_t control = 0;
    std::span<const std::uint8_t> bytes;
};
std::vector<Step> split_steps(const std::uint8_t* data, std::size_t size);
std::string step_bytes(std::uint8_t control, std::span<const std::uint8_t> bytes);

int fuzz_demo_header(const std::uint8_t* data, std::size_t size);
int fuzz_demo_playback(const std::uint8_t* data, std::size_t size);
int fuzz_server_datagrams(const std::uint8_t* data, std::size_t size);
int fuzz_client(const std::uint8_t* data, std::size_t size);
int fuzz_client_datagrams(const std::uint8_t* data, std::size_t size);
int fuzz_server(const std::uint8_t* data, std::size_t size);
int fuzz_saf(const std::uint8_t* data, std::size_t size);
int fuzz_gzip(const std::uint8_t* data, std::size_t size);
int fuzz_png(const std::uint8_t* data, std::size_t size);
int fuzz_pnm(const std::uint8_t* data, std::size_t size);
int fuzz_texture_formats(const std::uint8_t* data, std::size_t size);
int fuzz_tileinfo(const std::uint8_t* data, std::size_t size);
int fuzz_timing_gates(const std::uint8_t* data, std::size_t size);
int fuzz_config(const std::uint8_t* data, std::size_t size);
int fuzz_setup(const std::uint8_t* data, std::size_t size);
int fuzz_lines(const std::uint8_t* data, std::size_t size);
int fuzz_jm(const std::uint8_t* data, std::size_t size);
int fuzz_shape(const std::uint8_t* data, std::size_t size);
int fuzz_terrain(const std::uint8_t* data, std::size_t size);
int fuzz_statues(const std::uint8_t* data, std::size_t size);
int fuzz_billboards(const std::uint8_t* data, std::size_t size);
int fuzz_flaggers(const std::uint8_t* data, std::size_t size);
int fuzz_cameras(const std::uint8_t* data, std::size_t size);
int fuzz_lighting(const std::uint8_t* data, std::size_t size);
int fuzz_series(const std::uint8_t* data, std::size_t size);
int fuzz_braap(const std::uint8_t* data, std::size_t size);
int fuzz_sound_table(const std::uint8_t* data, std::size_t size);
int fuzz_texture(const std::uint8_t* data, std::size_t size);
int fuzz_font(const std::uint8_t* data, std::size_t size);
int fuzz_track_list(const std::uint8_t* data, std::size_t size);

}  // namespace zv::fuzz
