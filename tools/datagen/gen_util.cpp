#include "gen_util.h"

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zv::datagen {

namespace {

double lattice(std::uint64_t seed, long long ix, long long iy)
{
    std::uint64_t h = seed ^ (static_cast<std::uint64_t>(ix) * 0x9E3779B97F4A7C15ull) ^
                      (static_cast<std::uint64_t>(iy) * 0xC2B2AE3D27D4EB4Full);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<double>(h >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

}  // namespace

double value_noise(std::uint64_t seed, double x, double y)
{
    double fx = std::floor(x), fy = std::floor(y);
    long long ix = static_cast<long long>(fx), iy = static_cast<long long>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    double a = lattice(seed, ix, iy), b = lattice(seed, ix + 1, iy);
    double c = lattice(seed, ix, iy + 1), d = lattice(seed, ix + 1, iy + 1);
    return lerp(lerp(a, b, tx), lerp(c, d, tx), ty);
}

double fractal_noise(std::uint64_t seed, double x, double y, double feature, int octaves)
{
    double sum = 0, amp = 1, norm = 0, f = 1.0 / feature;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise(seed + static_cast<std::uint64_t>(o) * 7919, x * f, y * f);
        norm += amp;
        amp *= 0.5;
        f *= 2.0;
    }
    return sum / norm;
}

std::vector<std::uint8_t> gzip_bytes(const std::vector<std::uint8_t>& data)
{
    z_stream z{};
    // Window bits 15 + 16: a gzip wrapper; zlib writes a zero time stamp.
    if (deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    gz_header header{};
    header.os = 3;  // the same byte on every build machine
    deflateSetHeader(&z, &header);
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    std::size_t produced = out.size() - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        return {};
    out.resize(produced);
    return out;
}

std::vector<std::uint8_t> to_bytes(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string num(double v)
{
    if (v == 0 || std::fabs(v) < 5e-7)
        return "0";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

bool write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::error_code ec;
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path(), ec);
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

}  // namespace zv::datagen
