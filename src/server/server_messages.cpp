// Reliable messages both ways: the queue each client gets (one message in
// flight, sent again until acknowledged), the messages clients send (rider
// descriptions, chat, gate passings, commands) and the files they offer.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "server/server_internal.h"

namespace zv::server {

using namespace zv::net;

namespace {

constexpr std::string_view k_send_part = "sendpart -";
constexpr std::string_view k_name_file = "namefile ";
constexpr std::size_t k_max_file_name = 255;
constexpr int k_max_name_suffix = 999;

bool is_command(std::string_view text, std::string_view word) { return text == word; }

void queue_command(Server& s, Client& c, std::string_view text)
{
    queue_message(s, c, k_msg_command, text_payload(text));
}

// A received file's name: letters, digits, '_' and '.', not starting with
// '.', so it names a plain file inside the incoming folder and nothing else.
bool safe_file_name(std::string_view name)
{
    if (name.empty() || name.size() > k_max_file_name || name.front() == '.') return false;
    for (char ch : name) {
        bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
                  ch == '.';
        if (!ok) return false;
    }
    return true;
}

void deny_transfer(Server& s, Client& c, const char* why)
{
    logf(s, "slot %d: file transfer refused (%s)", slot_of(s, c), why);
    close_transfer(c, false);
    queue_command(s, c, "senddenied");
}

void start_transfer(Server& s, Client& c)
{
    close_transfer(c, false);
    if (s.settings.incoming.empty()) return deny_transfer(s, c, "no incoming folder");
    std::string temp = s.settings.incoming + "/.part-" + std::to_string(slot_of(s, c)) + "-" +
                       std::to_string(c.token);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        logf(s, "slot %d: cannot create %s (%s)", slot_of(s, c), temp.c_str(), std::strerror(errno));
        return deny_transfer(s, c, "cannot create the file");
    }
    c.transfer = Transfer{true, temp, 0, fd};
    logf(s, "slot %d: %s sends a file", slot_of(s, c), c.name.c_str());
    queue_command(s, c, "sendready");
}

void transfer_part(Server& s, Client& c, Bytes part)
{
    if (!c.transfer.active) return;
    if (c.transfer.bytes + part.size() > s.settings.max_file_bytes) return deny_transfer(s, c, "file too large");
    std::size_t done = 0;
    while (done < part.size()) {
        ssize_t n = ::write(c.transfer.fd, part.data() + done, part.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return deny_transfer(s, c, "write failed");
        done += static_cast<std::size_t>(n);
    }
    c.transfer.bytes += part.size();
}

void finish_transfer(Server& s, Client& c, std::string_view name)
{
    if (!c.transfer.active) return;
    if (!safe_file_name(name)) {
        close_transfer(c, false);
        logf(s, "slot %d: file name refused", slot_of(s, c));
        queue_text(s, c, "File name refused");
        return;
    }
    std::size_t bytes = c.transfer.bytes;
    std::string temp = c.transfer.temp_path;
    ::close(c.transfer.fd);
    c.transfer.fd = -1;
    // Never overwrite: the first free name of NAME, NAME.1, NAME.2 ...
    std::string base = s.settings.incoming + "/" + std::string(name);
    std::string final_path;
    for (int i = 0; i <= k_max_name_suffix && final_path.empty(); ++i) {
        std::string candidate = i == 0 ? base : base + "." + std::to_string(i);
        if (::link(temp.c_str(), candidate.c_str()) == 0) final_path = candidate;
        else if (errno != EEXIST) break;
    }
    ::unlink(temp.c_str());
    c.transfer = Transfer{};
    if (final_path.empty()) {
        logf(s, "slot %d: cannot store file %.*s", slot_of(s, c), static_cast<int>(name.size()), name.data());
        queue_text(s, c, "File could not be stored");
        return;
    }
    logf(s, "slot %d: %s sent %s (%zu bytes)", slot_of(s, c), c.name.c_str(), final_path.c_str(), bytes);
    queue_text(s, c, "File " + final_path.substr(s.settings.incoming.size() + 1) + " received (" +
                         std::to_string(bytes) + " bytes)");
}

void handle_command(Server& s, Client& c, Bytes payload)
{
    std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
    if (text.starts_with(k_send_part)) return transfer_part(s, c, payload.subspan(k_send_part.size()));
    std::string command = payload_text(payload);
    if (is_command(command, "sendfile")) return start_transfer(s, c);
    if (command.starts_with(k_name_file)) return finish_transfer(s, c, std::string_view(command).substr(k_name_file.size()));
    logf(s, "slot %d: unknown command ignored", slot_of(s, c));
}

void handle_chat(Server& s, Client& c, Bytes payload)
{
    if (s.now - c.last_chat < k_chat_interval_seconds) return;
    c.last_chat = s.now;
    std::string text;
    for (char ch : payload_text(payload)) text += static_cast<unsigned char>(ch) < 32 ? ' ' : ch;
    logf(s, "chat %s: %s", c.name.c_str(), text.c_str());
    broadcast_text(s, c.name + ": " + text, &c);
}

void handle_description(Server& s, Client& c, Bytes payload)
{
    std::string text = payload_text(payload);
    if (text.empty()) return;
    c.description = text;
    c.name = description_name(text);
    logf(s, "slot %d: new rider description for %s, used from the next race", slot_of(s, c), c.name.c_str());
}

}  // namespace

void queue_message(Server& s, Client& c, std::uint8_t type, std::vector<std::uint8_t> payload)
{
    // A client that stops acknowledging loses messages rather than growing
    // the server without bound; the timeout ends it if it went silent.
    if (c.out.size() >= k_max_queued_messages || payload.size() > k_max_server_payload) return;
    OutMessage m;
    m.sequence = c.next_out++;
    m.type = type;
    m.payload = std::move(payload);
    c.out.push_back(std::move(m));
}

void queue_text(Server& s, Client& c, std::string_view text)
{
    queue_message(s, c, k_msg_text, text_payload(text.substr(0, k_max_client_payload)));
}

void queue_gate_time(Server& s, Client& c, const GateTime& g)
{
    // Join a gate message still waiting behind the one in flight.
    if (c.out.size() >= 2) {
        OutMessage& last = c.out.back();
        GateTimes times;
        if (last.gate_times && decode_payload(last.payload, times) && times.race_id == s.race_id &&
            times.records.size() < k_max_gate_times) {
            times.records.push_back(g);
            last.payload = encode_payload(times);
            return;
        }
    }
    queue_message(s, c, k_msg_gates, encode_payload(GateTimes{s.race_id, {g}}));
    c.out.back().gate_times = true;
}

void broadcast_text(Server& s, std::string_view text, const Client* except)
{
    for (Client& c : s.clients)
        if (c.stage != Stage::free && c.stage != Stage::welcomed && &c != except) queue_text(s, c, text);
}

void send_queue_heads(Server& s)
{
    for (Client& c : s.clients) {
        if (c.stage == Stage::free || c.out.empty()) continue;
        OutMessage& head = c.out.front();
        if (s.now < head.due) continue;
        head.due = s.now + k_resend_seconds;
        head.gate_times = false;  // in flight: it no longer grows
        send_to(s, c, ServerMessage{head.sequence, head.type, head.payload});
    }
}

void message_acknowledged(Client& c, std::uint32_t sequence)
{
    if (!c.out.empty() && c.out.front().sequence == sequence) c.out.pop_front();
}

void handle_message(Server& s, Client& c, const ClientMessage& m)
{
    // Every copy is acknowledged; only the first is handled.
    send_to(s, c, ServerAck{m.sequence});
    if (m.sequence < c.next_in) return;
    c.next_in = m.sequence + 1;
    switch (m.type) {
    case k_msg_description: return handle_description(s, c, m.payload);
    case k_msg_text: return handle_chat(s, c, m.payload);
    case k_msg_gates: {
        GateReport g;
        if (decode_payload(m.payload, g)) gate_reported(s, c, g);
        return;
    }
    case k_msg_command: return handle_command(s, c, m.payload);
    default: return;
    }
}

void close_transfer(Client& c, bool keep)
{
    if (c.transfer.fd >= 0) ::close(c.transfer.fd);
    if (c.transfer.active && !keep && !c.transfer.temp_path.empty()) ::unlink(c.transfer.temp_path.c_str());
    c.transfer = Transfer{};
}

void send_settings_commands(Server& s, Client& c)
{
    char text[64];
    if (s.settings.no_arcade) queue_command(s, c, "no_arcade");
    if (!s.settings.knockout.empty()) queue_command(s, c, "knockout " + s.settings.knockout);
    if (s.settings.off_course_bias >= 0) {
        std::snprintf(text, sizeof text, "off_course_bias %g", s.settings.off_course_bias);
        queue_command(s, c, text);
    }
    if (s.settings.off_course_scale >= 0) {
        std::snprintf(text, sizeof text, "off_course_scale %g", s.settings.off_course_scale);
        queue_command(s, c, text);
    }
}

}  // namespace zv::server
