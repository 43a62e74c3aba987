// Reliable message payloads with a binary layout, text payloads, and the two
// identity values both ends compute the same way.
#include <cmath>
#include <cstring>

#include "core/digest.h"
#include "net/datagram_io.h"
#include "net/datagrams.h"

namespace zv::net {

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t get32(Bytes in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
           static_cast<std::uint32_t>(in[at + 2]) << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
}

}  // namespace

// Gate report: race id, gate index, tick.
std::vector<std::uint8_t> encode_payload(const GateReport& p)
{
    std::vector<std::uint8_t> out;
    out.reserve(k_gate_report_size);
    put32(out, p.race_id);
    put32(out, static_cast<std::uint32_t>(p.gate));
    put32(out, static_cast<std::uint32_t>(p.tick));
    return out;
}

bool decode_payload(Bytes in, GateReport& out)
{
    if (in.size() != k_gate_report_size) return false;
    out.race_id = get32(in, 0);
    out.gate = static_cast<std::int32_t>(get32(in, 4));
    out.tick = static_cast<std::int32_t>(get32(in, 8));
    return true;
}

// Gate times: race id, count, then slot, gate index, tick per record.
std::vector<std::uint8_t> encode_payload(const GateTimes& p)
{
    if (p.records.size() > k_max_gate_times) return {};
    std::vector<std::uint8_t> out;
    out.reserve(k_gate_times_header + k_gate_time_size * p.records.size());
    put32(out, p.race_id);
    put32(out, static_cast<std::uint32_t>(p.records.size()));
    for (const GateTime& g : p.records) {
        put32(out, g.slot);
        put32(out, static_cast<std::uint32_t>(g.gate));
        put32(out, static_cast<std::uint32_t>(g.tick));
    }
    return out;
}

bool decode_payload(Bytes in, GateTimes& out)
{
    if (in.size() < k_gate_times_header) return false;
    std::uint32_t count = get32(in, 4);
    // Compare in 64 bits: a hostile count must not wrap the product.
    if (static_cast<std::uint64_t>(count) * k_gate_time_size != in.size() - k_gate_times_header) return false;
    GateTimes d;
    d.race_id = get32(in, 0);
    d.records.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t at = k_gate_times_header + i * k_gate_time_size;
        d.records[i].slot = get32(in, at);
        d.records[i].gate = static_cast<std::int32_t>(get32(in, at + 4));
        d.records[i].tick = static_cast<std::int32_t>(get32(in, at + 8));
    }
    out = std::move(d);
    return true;
}

std::string payload_text(Bytes in)
{
    const auto* begin = reinterpret_cast<const char*>(in.data());
    return std::string(begin, in.empty() ? 0 : strnlen(begin, in.size()));
}

std::vector<std::uint8_t> text_payload(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::uint32_t password_proof(std::string_view password, std::uint32_t token)
{
    core::Ripemd160 digest;
    digest.update(password);
    std::uint8_t le[4] = {static_cast<std::uint8_t>(token), static_cast<std::uint8_t>(token >> 8),
                          static_cast<std::uint8_t>(token >> 16), static_cast<std::uint8_t>(token >> 24)};
    digest.update(le, sizeof le);
    core::Digest d = digest.finish();
    return static_cast<std::uint32_t>(d[0]) << 24 | static_cast<std::uint32_t>(d[1]) << 16 |
           static_cast<std::uint32_t>(d[2]) << 8 | static_cast<std::uint32_t>(d[3]);
}

std::uint32_t make_nonce(double wall_seconds)
{
    double whole = 0;
    double frac = std::modf(wall_seconds, &whole);
    if (!(frac >= 0)) frac = 0;  // negative or NaN times start from zero
    auto millionths = static_cast<std::uint32_t>(frac * 1000000.0);
    return millionths * 1103515245u + 12345u;
}

}  // namespace zv::net
