#include "platform/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/log.h"

namespace zv::platform {

namespace {

struct Options {
    std::mutex mutex;
    bool loaded = false;
    std::string text;
};

Options& options()
{
    static Options o;
    return o;
}

// The text after "[name:" in the option string, or nullopt without an entry.
std::optional<std::string> option_value(const char* name)
{
    Options& o = options();
    std::lock_guard lock(o.mutex);
    if (!o.loaded) {
        const char* env = std::getenv("TORV_OPTIONS");
        o.text = env ? env : "";
        o.loaded = true;
    }
    std::string key = std::string("[") + name + ":";
    size_t at = o.text.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    return o.text.substr(at + key.size());
}

bool starts_with(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

int option_flag(const char* name, int default_value)
{
    std::optional<std::string> value = option_value(name);
    if (!value)
        return default_value;
    if (starts_with(*value, "yes]") || starts_with(*value, "on]"))
        return 1;
    if (starts_with(*value, "no]") || starts_with(*value, "off]"))
        return 0;
    log_printf("unrecognized setting for %s\n", name);
    return default_value;
}

int option_int(const char* name, int default_value)
{
    std::optional<std::string> value = option_value(name);
    if (!value)
        return default_value;
    const char* begin = value->c_str();
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(begin, &end, 10);
    if (end == begin) {
        log_printf("unrecognized setting for %s\n", name);
        return default_value;
    }
    // Out-of-range values are held at the nearest int.
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

void reload_options()
{
    Options& o = options();
    std::lock_guard lock(o.mutex);
    o.loaded = false;
    o.text.clear();
}

}  // namespace zv::platform
