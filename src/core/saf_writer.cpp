#include "core/saf_writer.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace zv::core {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string directory_line(const SafMember& m)
{
    return std::to_string(m.bytes.size()) + " " + m.path + "\n";
}

}  // namespace

bool valid_saf_member_path(std::string_view path, std::uint64_t size)
{
    if (path.empty() || path.front() == '/' || path.back() == '/')
        return false;
    if (path == "-")
        return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '\n' || c == '\r' || c == '\0' || c == '\\')
            return false;
        if (c == '/' && i + 1 < path.size() && path[i + 1] == '/')
            return false;
    }
    std::size_t line = std::to_string(size).size() + 1 + path.size() + 1;
    return line <= k_saf_max_line;
}

std::optional<std::vector<std::uint8_t>> build_saf(std::span<const SafMember> members)
{
    std::set<std::string> seen;
    std::string directory;
    std::size_t data_size = 0;
    for (const SafMember& m : members) {
        if (!valid_saf_member_path(m.path, m.bytes.size()))
            return std::nullopt;
        if (!seen.insert(lower(m.path)).second)
            return std::nullopt;
        directory += directory_line(m);
        data_size += m.bytes.size();
    }
    directory += "-\n";

    std::vector<std::uint8_t> out;
    out.reserve(directory.size() + data_size);
    out.insert(out.end(), directory.begin(), directory.end());
    for (const SafMember& m : members)
        out.insert(out.end(), m.bytes.begin(), m.bytes.end());
    return out;
}

bool write_saf(const std::string& path, std::span<const SafMember> members)
{
    std::optional<std::vector<std::uint8_t>> bytes = build_saf(members);
    if (!bytes)
        return false;

    std::string tmp = path + ".tmp" + std::to_string(getpid());
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok)
        std::filesystem::rename(tmp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(tmp, ec);
        return false;
    }
    return true;
}

}  // namespace zv::core
