#include "replay/demo_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/log.h"
#include "replay/demo_format.h"
#include "replay/history.h"

namespace zv::replay {

namespace {

constexpr std::size_t k_max_demo_name = 1024 - 8;  // room for "@demos/" and the terminator
constexpr std::size_t k_copy_piece = 64 * 1024;

bool ends_with(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// Gives up on the file: whatever is in it stays readable up to the last
// whole block.
void abandon(DemoRecorder& r)
{
    platform::log_printf("Demo recording stopped: cannot write %s\n", r.file_name.c_str());
    r.file.reset();
    r.new_name.clear();
}

bool write_block(DemoRecorder& r, std::uint8_t type, int tick, std::size_t payload)
{
    DemoBlockHeader h;
    h.length = static_cast<std::uint32_t>(payload);
    h.tick = tick;
    h.type = type;
    encode_block_header(r.block.data(), h, r.last_length);
    const std::size_t total = k_demo_block_header_size + payload;
    if (core::write_bytes(*r.file, r.block.data(), total) != total || !core::flush(*r.file)) {
        abandon(r);
        return false;
    }
    r.last_length = h.length;
    r.bytes_written += static_cast<long long>(total);
    return true;
}

}  // namespace

std::string demo_backup_name(int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "@demos/default%02d.zvdemo", n);
    return name;
}

std::string lastlap_demo_name(std::string_view track_folder)
{
    std::string name = "@";
    name.append(track_folder).append("/lastlap.zvdemo");
    return name;
}

std::string fastlap_demo_name(std::string_view track_folder)
{
    std::string name = "@";
    name.append(track_folder).append("/fastlap.zvdemo");
    return name;
}

bool demo_file_exists(std::string_view name) { return core::open_data_file(name, "rb") != nullptr; }

bool keep_lap_as_ghost(std::string_view track_folder)
{
    core::DataFilePtr from = core::open_data_file(lastlap_demo_name(track_folder), "rb");
    if (!from)
        return false;
    core::DataFilePtr to = core::open_data_file(fastlap_demo_name(track_folder), "wb");
    if (!to)
        return false;
    std::vector<std::uint8_t> piece(k_copy_piece);
    for (;;) {
        std::size_t n = core::read_bytes(*from, piece.data(), piece.size());
        if (n == 0)
            break;
        if (core::write_bytes(*to, piece.data(), n) != n)
            return false;
    }
    return core::flush(*to);
}

void rotate_demo_backups(int backups)
{
    const int b = std::clamp(backups, 0, k_max_demo_backups);
    // A missing file leaves its successor alone: nothing is thrown away for
    // a gap in the numbers.
    for (int n = b - 2; n >= 0; --n)
        core::replace_data_file(demo_backup_name(n), demo_backup_name(n + 1));
    if (b > 0)
        core::replace_data_file(k_default_demo, demo_backup_name(0));
}

bool begin_demo_recording_to(DemoRecorder& r, std::string_view file_name, const DemoHeader& header,
                             std::span<const int> slots)
{
    const bool time_trial = r.time_trial;
    r = DemoRecorder{};
    r.time_trial = time_trial;
    const std::size_t riders = header.riders.size();
    if (slots.size() != riders || riders > static_cast<std::size_t>(k_demo_max_riders))
        return false;
    for (int s : slots)
        if (s < 0 || s >= k_history_slots)
            return false;
    r.file_name = std::string(file_name);
    // Written in place and flushed block by block: a crash keeps every block
    // flushed before it.
    r.file = core::open_data_file_in_place(r.file_name);
    if (!r.file)
        return false;
    if (!write_demo_header(*r.file, header) || !core::flush(*r.file)) {
        r.file.reset();
        return false;
    }
    r.slots.assign(slots.begin(), slots.end());
    // The largest block: every rider's whole ring, or a long message.
    std::size_t states = riders * k_history_length * k_demo_state_entry_size;
    r.block.resize(k_demo_block_header_size + std::max<std::size_t>(states, 4096));
    return true;
}

bool begin_demo_recording(DemoRecorder& r, const RecordingSetup& setup)
{
    r = DemoRecorder{};
    if (setup.slots.size() != setup.header.riders.size())
        return false;
    r.time_trial = setup.time_trial;
    if (setup.time_trial)
        return begin_demo_recording_to(r, lastlap_demo_name(setup.header.track), setup.header, setup.slots);
    rotate_demo_backups(setup.demo_backups);
    return begin_demo_recording_to(r, k_default_demo, setup.header, setup.slots);
}

bool is_recording(const DemoRecorder& r) { return r.file != nullptr; }

bool record_demo_tick(DemoRecorder& r, int tick, bool force)
{
    if (!r.file)
        return false;
    if (!force && tick % k_demo_block_interval != 0)
        return true;
    std::uint8_t* out = r.block.data() + k_demo_block_header_size;
    std::size_t payload = 0;
    for (std::size_t i = 0; i < r.slots.size(); ++i) {
        const SlotHistory* h = slot_history(r.slots[i]);
        // Oldest first: the unwritten entries end at the head.
        int at = (h->head - h->unwritten + 1 + k_history_length) % k_history_length;
        for (int k = 0; k < h->unwritten; ++k, at = (at + 1) % k_history_length) {
            const HistoryEntry& e = h->ring[static_cast<std::size_t>(at)];
            if (e.tick == k_empty_tick)
                continue;  // dropped when an older record replaced newer ones
            out[payload] = static_cast<std::uint8_t>(i);
            put_le32(out + payload + 1, static_cast<std::uint32_t>(e.tick));
            std::copy(e.record.bytes.begin(), e.record.bytes.end(), out + payload + 5);
            payload += k_demo_state_entry_size;
        }
        mark_history_written(r.slots[i]);
    }
    if (payload == 0)
        return true;
    return write_block(r, k_demo_block_states, tick, payload);
}

bool record_demo_tick(DemoRecorder& r, int tick, std::span<const StateRecord> records, bool force)
{
    if (!r.file)
        return false;
    if (force || tick % k_sample_interval == 0) {
        const std::size_t n = std::min(records.size(), r.slots.size());
        for (std::size_t i = 0; i < n; ++i)
            add_state_to_history(r.slots[i], records[i], tick);
    }
    return record_demo_tick(r, tick, force);
}

bool record_demo_message(DemoRecorder& r, int tick, std::string_view text)
{
    if (!r.file)
        return false;
    // Only so much of a message is ever shown again; a longer one is cut to
    // the room the block buffer has.
    const std::size_t n = std::min(text.size(), r.block.size() - k_demo_block_header_size);
    std::copy_n(text.data(), n, r.block.data() + k_demo_block_header_size);
    return write_block(r, k_demo_block_message, tick, n);
}

bool end_demo_recording(DemoRecorder& r, int tick)
{
    if (!r.file)
        return false;
    bool ok = record_demo_tick(r, tick, true);
    if (r.file)
        r.file.reset();
    if (ok && !r.new_name.empty())
        ok = core::replace_data_file(r.file_name, r.new_name);
    r.new_name.clear();
    return ok;
}

const char* name_demo(DemoRecorder& r, std::string_view argument)
{
    if (!r.file || r.time_trial)
        return "Not currently recording a demo";
    auto is_space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t from = 0;
    while (from < argument.size() && is_space(argument[from]))
        ++from;
    std::size_t to = from;
    while (to < argument.size() && !is_space(argument[to]))
        ++to;
    std::string_view name = argument.substr(from, to - from);
    if (name.empty())
        return "Usage: namedemo <name>";
    if (name.size() > k_max_demo_name)
        return "Name too long";
    r.new_name = "@demos/";
    r.new_name.append(name);
    if (!ends_with(name, k_demo_extension))
        r.new_name += k_demo_extension;
    return "Demo name updated";
}

const char* recording_conflict(std::string_view playback_name)
{
    static constexpr const char* k_message = "Can't record and play from same file - recording disabled";
    if (core::compare_names(playback_name, k_default_demo) == 0)
        return k_message;
    // The same file reached by another name (a path on the command line).
    const std::vector<std::string>& folders = core::search_folders();
    if (folders.empty())
        return nullptr;
    std::string target = folders[0] + std::string(std::string_view(k_default_demo).substr(1));
    std::string played(playback_name);
    if (!played.empty() && played[0] == '@')
        played = folders[0] + played.substr(1);
    std::error_code ec;
    if (std::filesystem::equivalent(played, target, ec) && !ec)
        return k_message;
    return nullptr;
}

}  // namespace zv::replay
