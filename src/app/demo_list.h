// The demo list: every recorded demo of the working set ("demos/...zvdemo").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv::app {

// Two parallel arrays in working-set order.
struct DemoList {
    std::vector<std::string> paths;  // as found in the working set
    std::vector<std::string> names;  // file name without folder and extension
    std::size_t size() const { return paths.size(); }
    bool empty() const { return paths.empty(); }
};

// The display name of a demo path: after the last "/", up to the last ".".
std::string demo_display_name(std::string_view path);

// Builds the list from the working-set names. At debug level 1 or more logs
// "<path> -> <display name>" per demo.
DemoList build_demo_list(const std::vector<std::string>& names, int debug_level);

}  // namespace zv::app
