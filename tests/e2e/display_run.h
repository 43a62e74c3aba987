// The game run as a player runs it, under a virtual display: the display
// the game opens its window on, the shell the test drives the game
// with (keys through xdotool, waits on the game's log), and the environment
// a windowed run gets.
#pragma once

#include "program.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace zv::test {

inline const std::string k_xvfb = "/usr/bin/Xvfb";

// A virtual display of `screen` ("WxHxD") for as long as this lives. The
// server picks a free display number itself (-displayfd), so displays
// started at once by parallel runs never share one. It does not reset when
// its last client leaves (-noreset): a game that looks at the display and
// then opens its window would otherwise meet the server mid-reset.
class VirtualDisplay {
public:
    VirtualDisplay(const std::string& screen, const std::filesystem::path& scratch)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::filesystem::create_directories(scratch);
        const std::string log = (scratch / "xvfb.txt").string();
        std::vector<std::string> args = {k_xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                         "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        char* envp[] = {nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const bool started = posix_spawn(&pid_, k_xvfb.c_str(), &actions, nullptr, argv.data(), envp) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (!started) {
            pid_ = 0;
            close(fds[0]);
            return;
        }
        // The number arrives once the server listens; a minute is plenty
        // even on a busy machine.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 60000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number.push_back(c);
        close(fds[0]);
        if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            display_ = std::stoi(number);
    }
    ~VirtualDisplay()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // The display's name for DISPLAY, empty when there is none.
    std::string name() const { return display_ >= 0 ? ":" + std::to_string(display_) : std::string(); }

private:
    pid_t pid_ = 0;
    int display_ = -1;
};

// Runs `command` (a program found on /usr/bin:/bin and its arguments) under
// a virtual display of `screen`.
inline RunResult run_on_display(const std::string& screen, const std::vector<std::string>& command,
                                const std::map<std::string, std::string>& env, const std::filesystem::path& scratch)
{
    VirtualDisplay display(screen, scratch);
    if (display.name().empty()) {
        RunResult r;
        r.err = "Xvfb failed to start: " + slurp(scratch / "xvfb.txt");
        return r;
    }
    std::map<std::string, std::string> with_display = env;
    with_display["DISPLAY"] = display.name();
    std::string program = command.front();
    for (const char* folder : {"/usr/bin/", "/bin/"})
        if (program.find('/') == std::string::npos && std::filesystem::exists(folder + program))
            program = folder + program;
    return run_program(program, {command.begin() + 1, command.end()}, with_display, scratch);
}

// Sanitizer builds of the game need their options passed on. With a window
// the GL driver is unloaded when the display closes, and what it leaks then
// has no module left to name or suppress, so leaks are left to the unit
// tests and the windowless runs.
inline void pass_windowed_sanitizer_options(std::map<std::string, std::string>& env)
{
    if (const char* v = std::getenv("UBSAN_OPTIONS"))
        env["UBSAN_OPTIONS"] = v;
    const char* asan = std::getenv("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
}

// Shell functions for driver scripts, which set $LOG (the game's log) and
// $pid (the game). wait_log PATTERN [COUNT]: waits up to three minutes for
// COUNT (1) log lines matching the pattern; false when the game ended first.
// wait_file PATH: waits for a file with something in it.
inline const std::string k_wait_helpers =
    "wait_log() {\n"
    "  n=0\n"
    "  while :; do\n"
    "    c=$(grep -c -e \"$1\" \"$LOG\" 2>/dev/null); [ \"${c:-0}\" -ge \"${2:-1}\" ] && return 0\n"
    "    n=$((n+1)); [ $n -gt 1800 ] && return 1\n"
    "    kill -0 $pid 2>/dev/null || return 1\n"
    "    sleep 0.1\n"
    "  done\n"
    "}\n"
    "wait_file() {\n"
    "  n=0\n"
    "  while [ ! -s \"$1\" ]; do\n"
    "    n=$((n+1)); [ $n -gt 600 ] && return 1; kill -0 $pid 2>/dev/null || return 1; sleep 0.1\n"
    "  done\n"
    "}\n";

// Sets $wid to the game's window once it shows (up to a minute).
inline const std::string k_find_window =
    "wid=''\n"
    "n=0\n"
    "while [ -z \"$wid\" ] && [ $n -lt 600 ] && kill -0 $pid 2>/dev/null; do\n"
    "  wid=$(xdotool search --name '^Zarvox$' 2>/dev/null | head -n 1); n=$((n+1)); sleep 0.1\n"
    "done\n";

// press KEY NAME: the xdotool key, pressed until the game logs NAME pressed
// (the game logs keys at --super-debug). shot VIEW: a screenshot (the s key)
// noted as "VIEW file" in $DIR/shots.txt once it is on disk. tap KEY
// PATTERN: KEY pressed every half second (up to 60 times) until a log line
// matches PATTERN; hold PATTERN: the throttle (x) held the same way, pressed
// afresh each time.
inline const std::string k_key_helpers =
    "tap() {\n"
    "  n=0\n"
    "  until grep -q -e \"$2\" \"$LOG\"; do\n"
    "    n=$((n+1)); [ $n -gt 60 ] && return 1; kill -0 $pid 2>/dev/null || return 1\n"
    "    xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key \"$1\"; sleep 0.5\n"
    "  done\n"
    "}\n"
    "hold() {\n"
    "  n=0\n"
    "  until grep -q -e \"$1\" \"$LOG\"; do\n"
    "    n=$((n+1)); [ $n -gt 60 ] && return 1; kill -0 $pid 2>/dev/null || return 1\n"
    "    xdotool windowfocus \"$wid\" 2>/dev/null; xdotool keyup x; xdotool keydown x; sleep 0.5\n"
    "  done\n"
    "}\n"
    "press() {\n"
    "  before=$(grep -c -F -- \"] $2 pressed\" \"$LOG\")\n"
    "  n=0\n"
    "  while [ $(grep -c -F -- \"] $2 pressed\" \"$LOG\") -le $before ]; do\n"
    "    if [ $((n % 40)) -eq 0 ]; then xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key \"$1\"; fi\n"
    "    n=$((n+1)); [ $n -gt 400 ] && return 1; kill -0 $pid 2>/dev/null || return 1; sleep 0.1\n"
    "  done\n"
    "}\n"
    "shot() {\n"
    "  before=$(grep -c 'Saved \"screenshot' \"$LOG\")\n"
    "  n=0\n"
    "  while [ $(grep -c 'Saved \"screenshot' \"$LOG\") -le $before ]; do\n"
    "    if [ $((n % 40)) -eq 0 ]; then xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key s; fi\n"
    "    n=$((n+1)); [ $n -gt 400 ] && return 1; kill -0 $pid 2>/dev/null || return 1; sleep 0.1\n"
    "  done\n"
    "  f=$(grep -o 'Saved \"screenshot[0-9]*\\.png\"' \"$LOG\" | tail -n 1 | cut -d'\"' -f2)\n"
    "  wait_file \"$(dirname \"$LOG\")/$f\"\n"
    "  sleep 0.5\n"
    "  echo \"$1 $f\" >> \"$DIR/shots.txt\"\n"
    "}\n";

// say TEXT: opens the chat line, types TEXT and sends it (a line starting
// with '/' is a console command), then closes the line.
inline const std::string k_say_helper =
    "say() {\n"
    "  xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key t; sleep 0.5\n"
    "  xdotool type --delay 20 \"$1\"; sleep 0.3; xdotool key Return; sleep 0.3; xdotool key Escape; sleep 0.3\n"
    "}\n";

// The script a virtual display runs for a game whose home folder is
// DIR/xdg/Zarvox: start the game (the script's arguments), find its window
// and focus it, do the test's actions, and write the game's exit status to
// DIR/status.txt.
inline std::string driver_script(const std::string& dir, const std::string& actions)
{
    return "set -u\n"
           "DIR='" + dir + "'\n"
           "LOG=\"$DIR/xdg/Zarvox/lastlog.txt\"\n"
           "rm -f \"$LOG\"\n"
           "\"$@\" &\n"
           "pid=$!\n" +
           k_wait_helpers + k_key_helpers + k_say_helper + k_find_window +
           "echo \"$wid\" > \"$DIR/window.txt\"\n"
           "[ -n \"$wid\" ] && xdotool windowfocus \"$wid\" 2>/dev/null\n" +
           actions +
           "wait $pid\n"
           "echo $? > \"$DIR/status.txt\"\n";
}

}  // namespace zv::test
