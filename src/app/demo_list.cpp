#include "app/demo_list.h"

#include "platform/log.h"

namespace zv::app {

namespace {

constexpr std::string_view k_demo_folder = "demos/";
constexpr std::string_view k_demo_ending = ".zvdemo";

}  // namespace

std::string demo_display_name(std::string_view path)
{
    std::size_t slash = path.rfind('/');
    std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = file.rfind('.');
    return std::string(dot == std::string_view::npos ? file : file.substr(0, dot));
}

DemoList build_demo_list(const std::vector<std::string>& names, int debug_level)
{
    DemoList list;
    for (const std::string& name : names) {
        if (!name.starts_with(k_demo_folder) || !name.ends_with(k_demo_ending))
            continue;
        if (name.size() < k_demo_folder.size() + k_demo_ending.size())
            continue;
        list.paths.push_back(name);
        list.names.push_back(demo_display_name(name));
        if (debug_level >= 1)
            platform::log_printf("%s -> %s\n", name.c_str(), list.names.back().c_str());
    }
    return list;
}

}  // namespace zv::app
