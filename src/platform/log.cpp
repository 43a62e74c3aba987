// The log file: set up by the first message, every line time-stamped.
#include "platform/log.h"

#include "platform/text_format.h"

#include "platform/clock.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace zv::platform {

namespace {

constexpr const char* k_version = "0.31";
constexpr const char* k_logfile_prefix = "TORV_LOGFILE=";
// A message that starts with this byte is meant for the screen only.
constexpr char k_skip_marker = 19;

struct LogState {
    std::mutex mutex;
    std::FILE* file = nullptr;
    bool set_up = false;
    // True when the next byte written begins a new line (and gets a stamp).
    bool at_line_start = true;
    std::string last_error;
};

LogState& state()
{
    // Never destroyed (threads and static destructors may log at exit) and
    // kept out of the heap so the allocation report does not list it.
    alignas(LogState) static unsigned char storage[sizeof(LogState)];
    static LogState* s = ::new (storage) LogState;
    return *s;
}

void write_stamp(std::FILE* file)
{
    long long hundredths = platform_microseconds() / 10000;
    int h = static_cast<int>(hundredths / 360000);
    int m = static_cast<int>(hundredths / 6000 % 60);
    int s = static_cast<int>(hundredths / 100 % 60);
    int c = static_cast<int>(hundredths % 100);
    std::fprintf(file, "[%d:%02d:%02d.%02d] ", h, m, s, c);
}

// Writes text with a stamp at the start of every line; a text without a
// final line feed leaves the line open for the next message. Caller holds
// the mutex.
void write_locked(LogState& st, std::string_view text)
{
    if (!st.file || text.empty() || text[0] == k_skip_marker)
        return;
    size_t pos = 0;
    while (pos < text.size()) {
        if (st.at_line_start)
            write_stamp(st.file);
        size_t end = text.find('\n', pos);
        size_t len = (end == std::string_view::npos ? text.size() : end + 1) - pos;
        std::fwrite(text.data() + pos, 1, len, st.file);
        pos += len;
        st.at_line_start = text[pos - 1] == '\n';
    }
    std::fflush(st.file);
}

// The first message decides the file. Returns true when that message was the
// "TORV_LOGFILE=" naming message, which is never written.
bool set_up_locked(LogState& st, std::string_view first)
{
    st.set_up = true;
    st.at_line_start = true;
    bool naming = first.substr(0, std::strlen(k_logfile_prefix)) == k_logfile_prefix;

    std::string name;
    // An empty variable counts as unset, so the program's own name is used.
    if (const char* env = std::getenv("TORV_LOGFILE"); env && *env) {
        name = env;
    } else if (naming) {
        name = std::string(first.substr(std::strlen(k_logfile_prefix)));
        // The naming message may end its line; the line feed is no part of the name.
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
    }

    std::string mode = "w";
    if (name.rfind(">>", 0) == 0) {
        name.erase(0, 2);
        mode = "a";
    } else if (name.rfind(">", 0) == 0) {
        name.erase(0, 1);
    }
    if (const char* flags = std::getenv("TORV_LOGFILE_FLAGS"); flags && *flags)
        mode = flags;

    if (name.empty())
        return naming;
    st.file = std::fopen(name.c_str(), mode.c_str());
    if (!st.file) {
        std::fprintf(stderr, "Can't open log file \"%s\"\n", name.c_str());
        return naming;
    }
    std::string opened = "Logfile \"" + name + "\" opened\n";
    write_locked(st, opened);
    write_locked(st, std::string("TORV ") + k_version + "\n");
    return naming;
}

void log_text(std::string_view text)
{
    LogState& st = state();
    std::lock_guard lock(st.mutex);
    if (!st.set_up && set_up_locked(st, text))
        return;
    write_locked(st, text);
}

}  // namespace

void log_printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformat_text(format, args);
    va_end(args);
    log_text(text);
}

void log_error(const char* text)
{
    {
        LogState& st = state();
        std::lock_guard lock(st.mutex);
        st.last_error = text ? text : "";
    }
    log_printf("Error: %s\n", text ? text : "");
}

std::string last_error()
{
    LogState& st = state();
    std::lock_guard lock(st.mutex);
    return st.last_error;
}

void log_close()
{
    LogState& st = state();
    std::lock_guard lock(st.mutex);
    if (st.file)
        std::fclose(st.file);
    st.file = nullptr;
    st.set_up = false;
    st.at_line_start = true;
}

}  // namespace zv::platform
