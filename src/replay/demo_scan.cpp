#include "replay/demo_scan.h"

#include <algorithm>

#include "core/data_file.h"
#include "replay/demo_format.h"

namespace zv::replay {

namespace {

void note_tick(DemoScan& s, int tick)
{
    if (!s.has_ticks) {
        s.has_ticks = true;
        s.first_tick = s.last_tick = tick;
        return;
    }
    s.first_tick = std::min(s.first_tick, tick);
    s.last_tick = std::max(s.last_tick, tick);
}

void scan_blocks(DemoScan& s, std::vector<std::uint8_t>::const_iterator at, std::vector<std::uint8_t>::const_iterator end)
{
    std::uint32_t previous = 0;
    while (at != end) {
        if (end - at < k_demo_block_header_size) {
            s.truncated = true;
            return;
        }
        const DemoBlockHeader h = decode_block_header(&*at, previous);
        at += k_demo_block_header_size;
        if (static_cast<unsigned long long>(end - at) < h.length) {
            s.truncated = true;
            return;
        }
        if (h.type == k_demo_block_states && h.length % k_demo_state_entry_size == 0) {
            ++s.state_blocks;
            for (std::uint32_t e = 0; e < h.length; e += k_demo_state_entry_size) {
                const std::uint8_t* entry = &*at + e;
                if (entry[0] < s.states.size())
                    ++s.states[entry[0]];
                else
                    ++s.stray_states;
                note_tick(s, static_cast<std::int32_t>(get_le32(entry + 1)));
            }
        } else if (h.type == k_demo_block_states) {
            ++s.bad_blocks;
        } else if (h.type == k_demo_block_message) {
            ++s.message_blocks;
        }
        ++s.blocks;
        previous = h.length;
        at += h.length;
    }
}

}  // namespace

std::optional<DemoScan> scan_demo(std::string_view name)
{
    core::DataFilePtr file = core::open_data_file(name, "rb");
    if (!file)
        return std::nullopt;
    std::optional<DemoHeader> header = read_demo_header(*file);
    if (!header)
        return std::nullopt;
    DemoScan s;
    s.header = std::move(*header);
    s.states.assign(s.header.riders.size(), 0);
    const std::vector<std::uint8_t> data = core::read_all(*file);
    s.data_bytes = static_cast<long long>(data.size());
    if (s.header.version == k_demo_version) {
        scan_blocks(s, data.begin(), data.end());
        return s;
    }
    const std::size_t riders = s.header.riders.size();
    const std::size_t frame = riders * (s.header.version == 4 ? k_demo_v4_record_size : k_state_record_size);
    if (frame > 0) {
        s.frames = static_cast<long long>(data.size() / frame);
        s.truncated = data.size() % frame != 0;
        std::fill(s.states.begin(), s.states.end(), s.frames);
        if (s.frames > 0) {
            note_tick(s, 0);
            note_tick(s, static_cast<int>(std::min<long long>(s.frames - 1, INT32_MAX)));
        }
    }
    return s;
}

}  // namespace zv::replay
