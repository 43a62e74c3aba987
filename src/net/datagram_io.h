// Bounds-checked little-endian writing and reading of datagram fields, used
// by the datagram codec only. A writer or reader that runs past its end turns
// `ok` false and stays there; the codec checks it once at the end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "net/datagrams.h"

namespace zv::net::io {

struct Writer {
    Datagram& out;
    bool ok = true;

    explicit Writer(Datagram& d) : out(d) { out.size = 0; }

    bool room(std::size_t n)
    {
        if (!ok || n > out.bytes.size() - out.size) ok = false;
        return ok;
    }
    void u8(std::uint8_t v)
    {
        if (room(1)) out.bytes[out.size++] = v;
    }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8) u8(static_cast<std::uint8_t>(v >> shift));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void zeros(std::size_t n)
    {
        if (room(n)) {
            std::fill_n(out.bytes.begin() + static_cast<std::ptrdiff_t>(out.size), n, std::uint8_t{0});
            out.size += n;
        }
    }
    void raw(const std::uint8_t* p, std::size_t n)
    {
        if (n > 0 && room(n)) {
            std::memcpy(out.bytes.data() + out.size, p, n);
            out.size += n;
        }
    }
    void text(std::string_view s) { raw(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }
    // Fails the writer when the datagram came out empty-handed.
    bool finish() const { return ok; }
};

struct Reader {
    Bytes in;
    std::size_t at = 0;
    bool ok = true;

    explicit Reader(Bytes b) : in(b) { ok = b.size() <= k_max_datagram_size; }

    std::size_t left() const { return ok ? in.size() - at : 0; }
    bool need(std::size_t n)
    {
        if (!ok || n > in.size() - at) ok = false;
        return ok;
    }
    std::uint8_t u8() { return need(1) ? in[at++] : 0; }
    std::uint16_t u16()
    {
        if (!need(2)) return 0;
        std::uint16_t v = static_cast<std::uint16_t>(in[at] | in[at + 1] << 8);
        at += 2;
        return v;
    }
    std::uint32_t u32()
    {
        if (!need(4)) return 0;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | in[at + static_cast<std::size_t>(i)];
        at += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    void skip(std::size_t n)
    {
        if (need(n)) at += n;
    }
    void raw(std::uint8_t* p, std::size_t n)
    {
        if (n > 0 && need(n)) {
            std::memcpy(p, in.data() + at, n);
            at += n;
        }
    }
    // The rest of the datagram as text, cut at its first zero byte.
    std::string rest_text()
    {
        if (!ok) return {};
        const auto* begin = reinterpret_cast<const char*>(in.data() + at);
        std::size_t n = in.size() - at;
        at = in.size();
        return std::string(begin, strnlen(begin, n));
    }
    // A well-formed datagram of a fixed layout uses every byte.
    bool finished_exactly() const { return ok && at == in.size(); }
};

// Reads the type byte and checks it.
inline bool expect_type(Reader& r, std::uint8_t type) { return r.u8() == type && r.ok; }

}  // namespace zv::net::io
