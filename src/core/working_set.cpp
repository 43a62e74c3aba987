// The working set: every data file in the search folders and in the ".saf"
// archives found there, sorted by name (ignoring case) and then by priority,
// so the first entry of a name is the one that wins.
#include "core/data_file_internal.h"

#include "core/messages.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace zv::core {

namespace {

constexpr std::size_t k_max_directory_line = 1023;  // line feed included
constexpr int k_max_folder_depth = 64;
constexpr std::string_view k_archive_suffix = ".saf";

struct WorkingSet {
    bool built = false;
    std::vector<WorkingSetEntry> entries;
    std::vector<std::string> names;
};

WorkingSet& state()
{
    static WorkingSet ws;
    return ws;
}

int lower(char c)
{
    return std::tolower(static_cast<unsigned char>(c));
}

bool ends_with_nocase(std::string_view s, std::string_view end)
{
    if (s.size() < end.size())
        return false;
    return compare_names(s.substr(s.size() - end.size()), end) == 0;
}

bool ends_with(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// Lists a folder recursively. `seen` holds the folders on the current path
// (device and inode) so a symbolic link back up the tree is not followed.
void list_folder(const std::string& root, const std::string& rel, int priority, int depth,
                 std::set<std::pair<dev_t, ino_t>>& seen, std::vector<WorkingSetEntry>& out)
{
    if (depth > k_max_folder_depth)
        return;
    std::string dir_path = root + rel;
    DIR* dir = ::opendir(dir_path.c_str());
    if (!dir)
        return;
    std::vector<std::string> children;
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        children.emplace_back(d->d_name);
    }
    ::closedir(dir);

    for (const std::string& child : children) {
        std::string name = rel + child;
        std::string path = root + name;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            auto key = std::make_pair(st.st_dev, st.st_ino);
            if (!seen.insert(key).second)
                continue;
            list_folder(root, name + "/", priority, depth + 1, seen, out);
            seen.erase(key);
        } else if (S_ISREG(st.st_mode)) {
            WorkingSetEntry e;
            e.name = std::move(name);
            e.path = std::move(path);
            e.size = static_cast<std::uint64_t>(st.st_size);
            e.priority = priority;
            out.push_back(std::move(e));
        }
    }
}

bool entry_less(const WorkingSetEntry& a, const WorkingSetEntry& b)
{
    if (int c = compare_names(a.name, b.name))
        return c < 0;
    if (a.priority != b.priority)
        return a.priority < b.priority;
    return a.name < b.name;  // same name in two letter cases: a fixed order
}

// Reads one directory line (at most k_max_directory_line bytes including the
// line feed). False at the end of the file or for an over-long line.
bool read_directory_line(std::FILE* fp, std::string& line)
{
    line.clear();
    int c;
    while ((c = std::getc(fp)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            return true;
        if (line.size() >= k_max_directory_line)
            return false;
    }
    return false;
}

std::string collapse_slashes(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path)
        if (c != '/' || out.empty() || out.back() != '/')
            out.push_back(c);
    return out;
}

}  // namespace

// Reads an archive's directory and appends its members. A malformed
// directory adds nothing; a member that would reach past the end of the
// archive is left out, so reads can never leave the file.
void read_archive(const std::string& path, int priority, std::vector<WorkingSetEntry>& out)
{
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return;
    struct stat st;
    if (::fstat(fileno(fp), &st) != 0) {
        std::fclose(fp);
        return;
    }
    auto archive_size = static_cast<std::uint64_t>(st.st_size);

    struct Member {
        std::string name;
        std::uint64_t size;
    };
    std::vector<Member> members;
    std::uint64_t directory_length = 0;
    bool complete = false;
    std::string line;
    while (read_directory_line(fp, line)) {
        directory_length += line.size();
        if (line == "-\n") {
            complete = true;
            break;
        }
        std::size_t i = 0;
        std::uint64_t size = 0;
        bool overflow = false;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
            std::uint64_t digit = static_cast<std::uint64_t>(line[i] - '0');
            if (size > (UINT64_MAX - digit) / 10)
                overflow = true;
            size = size * 10 + digit;
            ++i;
        }
        // A number, one separator, and a path that is not empty.
        if (i == 0 || overflow || i + 3 > line.size())
            break;
        members.push_back({collapse_slashes(std::string_view(line).substr(i + 1, line.size() - i - 2)),
                           size});
    }
    std::fclose(fp);
    if (!complete)
        return;

    std::uint64_t offset = directory_length;
    for (const Member& m : members) {
        bool fits = offset <= archive_size && m.size <= archive_size - offset;
        if (fits) {
            WorkingSetEntry e;
            e.name = m.name;
            e.path = path;
            e.offset = offset;
            e.size = m.size;
            e.priority = priority;
            out.push_back(std::move(e));
        }
        if (m.size > UINT64_MAX - offset)
            break;  // every later member lies beyond any file
        offset += m.size;
    }
}

namespace {

void build()
{
    WorkingSet& ws = state();
    if (ws.built)
        return;
    ws.built = true;
    ws.entries.clear();
    ws.names.clear();

    const auto& folders = search_folders();
    int folder_count = static_cast<int>(folders.size());
    for (int i = 0; i < folder_count; ++i) {
        std::set<std::pair<dev_t, ino_t>> seen;
        struct stat st;
        if (::stat(folders[i].c_str(), &st) == 0)
            seen.insert({st.st_dev, st.st_ino});
        list_folder(folders[i], "", i, 0, seen, ws.entries);
    }
    std::sort(ws.entries.begin(), ws.entries.end(), entry_less);

    std::vector<std::string> archives;
    for (const WorkingSetEntry& e : ws.entries)
        if (e.name.size() >= k_archive_suffix.size() + 1 && ends_with_nocase(e.name, k_archive_suffix))
            archives.push_back(e.path);
    for (std::size_t k = 0; k < archives.size(); ++k)
        read_archive(archives[k], folder_count + static_cast<int>(k), ws.entries);
    std::stable_sort(ws.entries.begin(), ws.entries.end(), entry_less);

    for (const WorkingSetEntry& e : ws.entries)
        if (ws.names.empty() || compare_names(ws.names.back(), e.name) != 0)
            ws.names.push_back(e.name);
}

}  // namespace

int compare_names(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int ca = lower(a[i]);
        int cb = lower(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

const std::vector<std::string>& working_set()
{
    build();
    return state().names;
}

const std::vector<WorkingSetEntry>& working_set_entries()
{
    build();
    return state().entries;
}

void free_working_set()
{
    WorkingSet& ws = state();
    ws.built = false;
    std::vector<WorkingSetEntry>().swap(ws.entries);
    std::vector<std::string>().swap(ws.names);
}

void reset_data_files()
{
    free_working_set();
    forget_search_folders();
}

std::span<const WorkingSetEntry> find_working_set_entries(std::string_view name)
{
    const auto& entries = working_set_entries();
    auto first = std::lower_bound(entries.begin(), entries.end(), name,
                                  [](const WorkingSetEntry& e, std::string_view n) {
                                      return compare_names(e.name, n) < 0;
                                  });
    auto last = std::upper_bound(first, entries.end(), name,
                                 [](std::string_view n, const WorkingSetEntry& e) {
                                     return compare_names(n, e.name) < 0;
                                 });
    return {first, last};
}

Variants list_variants(std::string_view prefix)
{
    static constexpr std::string_view k_png = ".png";
    static constexpr std::string_view k_png_scram = ".png.scram";
    static constexpr std::string_view k_scram = ".scram";
    static constexpr std::string_view k_companions[] = {"_norm.png", "_spec.png",
                                                        "_norm.png.scram", "_spec.png.scram"};
    Variants v;
    v.files.push_back(nullptr);
    v.names.push_back(intern("default"));
    for (const std::string& name : working_set()) {
        std::string_view n = name;
        std::size_t slash = n.rfind('/');
        std::string_view file_part = slash == std::string_view::npos ? n : n.substr(slash + 1);
        if (file_part.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view ending;
        if (ends_with(n, k_png))
            ending = k_png;
        else if (ends_with(n, k_png_scram))
            ending = k_png_scram;
        else
            continue;
        if (std::any_of(std::begin(k_companions), std::end(k_companions),
                        [&](std::string_view c) { return ends_with(n, c); }))
            continue;
        if (file_part.size() < prefix.size() + ending.size())
            continue;  // the prefix and the ending overlap
        std::string file = "@" + std::string(ends_with(n, k_scram) ? n.substr(0, n.size() - k_scram.size()) : n);
        const char* file_id = intern(file);
        // A picture stored both plain and scrambled is one choice.
        if (std::find(v.files.begin(), v.files.end(), file_id) != v.files.end())
            continue;
        v.files.push_back(file_id);
        v.names.push_back(intern(file_part.substr(
            prefix.size(), file_part.size() - prefix.size() - ending.size())));
    }
    return v;
}

}  // namespace zv::core
