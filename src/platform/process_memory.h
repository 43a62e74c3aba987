// This process's resident memory, as the kernel counts it: for soaks and
// benchmarks that watch memory stay flat over a long run.
#pragma once

#include <optional>
#include <string_view>

namespace zv::platform {

struct ProcessMemory {
    long long resident_kb = 0;  // resident set now ("VmRSS")
    long long peak_kb = 0;      // highest resident set so far ("VmHWM")
};

// The two figures from the text of a /proc/PID/status file; nullopt when
// either line is missing or malformed.
std::optional<ProcessMemory> parse_process_status(std::string_view text);

// This process's figures from /proc/self/status; nullopt where there is none.
std::optional<ProcessMemory> process_memory();

inline double kb_to_mb(long long kb) { return static_cast<double>(kb) / 1024.0; }

}  // namespace zv::platform
