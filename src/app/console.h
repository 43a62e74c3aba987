// The console behind the chat line: the line's state and history, what the
// commands reach outside the application (the race-server client and the
// demo recorder plug in here), and the pure rules of the commands' names.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/chat_line.h"
#include "app/line_edit.h"
#include "core/data_file.h"

namespace zv::app {

// ---- the chat line ----

struct ChatState {
    LineEdit line;
    std::vector<std::string> history;  // submitted lines, newest first, at most 100
    int browsed = -1;                  // history entry in the line; -1 the new line
    std::string draft;                 // the new line while older ones are browsed
    int scroll = 0;                    // message list lines back, 0 ... 950
    double last_chat = 0;              // game clock of the last chat line sent
    bool chatted = false;              // whether last_chat holds one
};
ChatState& chat_state();
// Empties the line, the history and the scroll (new process state).
void reset_chat();
// Puts a submitted line at the front of the history (the 100th drops off).
void push_chat_history(const std::string& line);
// The part of the line shown in `room` pixels: the cursor (which needs
// `cursor_room` pixels after the text before it) always in view, the line
// scrolling sideways when it is wider; `width` measures text in pixels.
struct ChatSpan {
    std::size_t first = 0;
    std::size_t count = 0;
};
ChatSpan chat_line_shown(const std::string& text, std::size_t cursor, int room, int cursor_room,
                         const std::function<int(std::string_view)>& width);

// ---- outside services ----

inline constexpr std::size_t k_chat_payload_limit = 466;  // bytes of one message

// What the console asks of the race-server client and the demo recorder.
// Unset hooks mean the service is absent: no chat or file message is sent,
// and no demo is being recorded.
struct ConsoleHooks {
    // Queues a chat line (at most 466 bytes) as a reliable message.
    std::function<void(std::string_view text)> queue_chat;
    // Queues a file-transfer message ("sendfile", a part, the closing text).
    std::function<void(std::string_view payload)> queue_file_message;
    // Whether a demo recording is open, and the name to keep it under.
    std::function<bool()> demo_recording;
    std::function<void(const std::string& file_name)> set_demo_name;
};
ConsoleHooks& console_hooks();

// ---- name rules ----

enum class DemoNameStatus { ok, empty, too_long };
struct DemoName {
    DemoNameStatus status = DemoNameStatus::empty;
    std::string file;  // the name with ".zvdemo" (status ok)
};
inline constexpr std::size_t k_max_demo_name = 1016;  // plus ".zvdemo" and its end
// "namedemo": the first word after leading blanks; longer than 1016
// characters is too long; ".zvdemo" is appended unless it already ends so.
DemoName demo_name_from_argument(std::string_view argument);

enum class SendNameStatus { ok, bad_character, too_long };
inline constexpr std::size_t k_max_send_name = 1013;  // "@outgoing/" + name within 1023
// "sendfile": letters, digits, "_" and "." only, at most 1013 characters.
SendNameStatus check_send_name(std::string_view name);

// The argument of "readsetup"/"writesetup": leading and trailing blanks cut.
std::string setup_name_from_argument(std::string_view argument);

// ---- the outgoing file transfer ----

// A file offered with "sendfile": open from the offer until its last part
// is sent. The race-server client sends the parts once the server is ready.
struct OutgoingTransfer {
    core::DataFilePtr file;
    std::string closing_message;  // "namefile " + name
    double next_part_time = 0;
    bool server_ready = false;
};
OutgoingTransfer& outgoing_transfer();
// Closes the file and forgets the transfer.
void stop_transfer();

}  // namespace zv::app
