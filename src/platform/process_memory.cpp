#include "platform/process_memory.h"

#include <cstdio>

namespace zv::platform {

namespace {

// "Key:   1234 kB" -> 1234; nullopt unless the line holds one whole number of
// kB after the colon (the kernel pads with spaces or tabs).
std::optional<long long> kb_value(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    long long v = 0;
    std::size_t digits = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
        if (v > (1LL << 50))
            return std::nullopt;
        v = v * 10 + (line[i] - '0');
    }
    if (digits == 0)
        return std::nullopt;
    std::string_view rest = line.substr(i);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    if (rest != " kB")
        return std::nullopt;
    return v;
}

}  // namespace

std::optional<ProcessMemory> parse_process_status(std::string_view text)
{
    std::optional<long long> rss, hwm;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with("VmRSS:"))
            rss = kb_value(line.substr(6));
        else if (line.starts_with("VmHWM:"))
            hwm = kb_value(line.substr(6));
    }
    if (!rss || !hwm)
        return std::nullopt;
    return ProcessMemory{*rss, *hwm};
}

std::optional<ProcessMemory> process_memory()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return std::nullopt;
    // The status file is a couple of kB; a fixed buffer keeps this free of
    // allocation, so a soak's own sampling never shows up in its figures.
    char buf[8192];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return parse_process_status(std::string_view(buf, n));
}

}  // namespace zv::platform
