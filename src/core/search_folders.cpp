// Where data files live: the per-user home folder and the game data folder,
// and the folder chores around them (creating, replacing, showing).
#include "core/data_file_internal.h"

#include "platform/file_manager.h"
#include "platform/log.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::core {

namespace {

constexpr std::string_view k_home_leaf = "Zarvox/";
constexpr std::string_view k_default_data_home = "/.local/share/";

struct Folders {
    bool computed = false;
    bool has_home = false;
    std::string data;
    std::vector<std::string> list;
};

Folders& folders()
{
    static Folders f;
    return f;
}

std::optional<std::string> env(const char* name)
{
    const char* v = std::getenv(name);
    if (!v || !*v)
        return std::nullopt;
    return std::string(v);
}

// The per-user data folder: $XDG_DATA_HOME (an absolute path; relative ones
// are ignored as the desktop conventions ask), else ~/.local/share.
std::optional<std::string> user_data_folder()
{
    if (auto xdg = env("XDG_DATA_HOME"); xdg && (*xdg)[0] == '/')
        return *xdg + "/";
    if (auto home = env("HOME"))
        return *home + std::string(k_default_data_home);
    return std::nullopt;
}

std::optional<std::string> executable_folder()
{
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size())
        return std::nullopt;
    buf.resize(static_cast<std::size_t>(n));
    std::size_t slash = buf.rfind('/');
    if (slash == std::string::npos)
        return std::nullopt;
    return buf.substr(0, slash + 1);
}

bool is_file(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void compute()
{
    Folders& f = folders();
    if (f.computed)
        return;
    f.computed = true;
    f.list.clear();
    f.has_home = false;
    if (auto user = user_data_folder()) {
        f.list.push_back(normalise_slashes(*user + std::string(k_home_leaf)));
        f.has_home = true;
    }
    std::optional<std::string> data = env("ZV_HOME");
    if (data)
        *data += "/";
    else if (auto exe = executable_folder())
        data = data_folder_for_executable(*exe);
    if (data) {
        std::string folder = normalise_slashes(*data);
        f.data = folder;
        // The same folder twice would list (and read) every file twice.
        if (f.list.empty() || f.list[0] != folder)
            f.list.push_back(folder);
    }
}

bool make_directory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST)
        return true;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "@name" is the first search folder's file (the home folder when there is
// one: where writes go); any other name is a plain path.
std::optional<std::string> written_path(std::string_view name)
{
    if (name.empty() || name[0] != '@')
        return std::string(name);
    const auto& list = search_folders();
    if (list.empty())
        return std::nullopt;
    return list[0] + std::string(name.substr(1));
}

}  // namespace

std::string data_folder_for_executable(const std::string& exe_folder)
{
    if (is_file(exe_folder + std::string(k_reference_archive)))
        return exe_folder;
    // "<prefix>/bin/" -> "<prefix>/share/zarvox/", spelt without "..", which
    // would show in every path the log and the console print.
    std::string_view bin = exe_folder;
    while (!bin.empty() && bin.back() == '/')
        bin.remove_suffix(1);
    std::size_t slash = bin.rfind('/');
    if (slash == std::string_view::npos)
        return exe_folder;
    std::string installed = std::string(bin.substr(0, slash + 1)) + "share/zarvox/";
    if (is_file(installed + std::string(k_reference_archive)))
        return installed;
    return exe_folder;
}

std::string normalise_slashes(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
}

const std::vector<std::string>& search_folders()
{
    compute();
    return folders().list;
}

int search_folder_count()
{
    return static_cast<int>(search_folders().size());
}

std::string home_folder()
{
    compute();
    return folders().has_home ? folders().list[0] : std::string();
}

void forget_search_folders()
{
    folders() = Folders{};
}

std::string data_folder()
{
    compute();
    return folders().data;
}

bool make_directories_for(std::string_view path)
{
    std::string p(path);
    bool ok = true;
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (p[i] != '/' || p[i - 1] == '/')
            continue;
        ok = make_directory(p.substr(0, i));
    }
    return ok;
}

bool create_home_folder()
{
    std::string home = home_folder();
    return !home.empty() && make_directories_for(home);
}

void open_home_in_shell()
{
    if (!create_home_folder())
        return;
    std::string home = home_folder();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    platform::open_in_file_manager(home.c_str());
}

bool replace_data_file(std::string_view from, std::string_view to)
{
    auto src = written_path(from);
    auto dst = written_path(to);
    if (!src || !dst)
        return false;
    // rename() replaces the old file in one step, so there is no moment
    // when neither exists.
    return std::rename(src->c_str(), dst->c_str()) == 0;
}

std::optional<std::pair<unsigned, unsigned>> working_set_range(std::uint64_t physical_bytes)
{
    constexpr std::uint64_t mib = 1024 * 1024;
    if (physical_bytes < 64 * mib)
        return std::nullopt;
    std::uint64_t total = std::min<std::uint64_t>(physical_bytes, 2048 * mib);
    std::uint64_t high = total - 32 * mib;
    std::uint64_t low = std::min<std::uint64_t>(1024 * mib, high);
    return std::pair{static_cast<unsigned>(low), static_cast<unsigned>(high)};
}

void set_working_set_size()
{
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long page_size = ::sysconf(_SC_PAGE_SIZE);
    std::uint64_t physical = pages > 0 && page_size > 0
                                 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size)
                                 : 0;
    auto range = working_set_range(physical);
    if (!range) {
        platform::log_printf("Working set left alone - less than 64 MB physical memory\n");
        return;
    }
    platform::log_printf("Setting working set range to %u - %u\n", range->first, range->second);
    // Linux keeps no per-process working-set range to set.
    platform::log_printf("Working set update failed\n");
}

}  // namespace zv::core
