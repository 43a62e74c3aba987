// A private home folder and data folder for data-file tests, and small
// builders for gzip data and ".saf" archives.
#pragma once

#include "core/data_file.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zv::test {

class DataFolders : public DataFolderTest {
protected:
    std::string home() const { return tmp_.str() + "xdg/Zarvox/"; }
    std::string data() const { return tmp_.str() + "data/"; }

    std::string read_name(std::string_view name)
    {
        core::DataFilePtr f = core::open_data_file(name, "rb");
        if (!f)
            return "<none>";
        auto bytes = core::read_all(*f);
        return std::string(bytes.begin(), bytes.end());
    }

    const TempDir& tmp_ = dir_;
};

// Raw deflate data of the given bytes.
inline std::string deflate_raw(std::string_view plain)
{
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, plain.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// A gzip member: header with the given flag byte (and the fields the flags
// announce), deflate data, and the CRC-32 and length trailer.
inline std::string gzip(std::string_view plain, int flags = 0)
{
    std::string g = {'\x1f', '\x8b', '\x08', static_cast<char>(flags)};
    g += std::string("\x01\x02\x03\x04\x00\x03", 6);  // time, extra flags, system
    if (flags & 4) {
        std::string extra = "AB\x05\x00hello";
        g += static_cast<char>(extra.size() & 0xFF);
        g += static_cast<char>(extra.size() >> 8);
        g += extra;
    }
    if (flags & 8)
        g += std::string("name.txt\0", 9);
    if (flags & 16)
        g += std::string("a comment\0", 10);
    if (flags & 2)
        g += std::string("\x12\x34", 2);
    g += deflate_raw(plain);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(plain.data()), static_cast<uInt>(plain.size()));
    for (int i = 0; i < 4; ++i)
        g += static_cast<char>((crc >> (8 * i)) & 0xFF);
    for (int i = 0; i < 4; ++i)
        g += static_cast<char>((plain.size() >> (8 * i)) & 0xFF);
    return g;
}

// A ".saf" archive: "<size> <path>\n" per member, "-\n", then the bytes.
inline std::string saf(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string dir, body;
    for (const auto& [path, bytes] : members) {
        dir += std::to_string(bytes.size()) + " " + path + "\n";
        body += bytes;
    }
    return dir + "-\n" + body;
}

}  // namespace zv::test
