// The console commands that name files: rider setups, the working-set list,
// the demo being recorded and the file offered to the race server.
#include <cctype>
#include <string>
#include <string_view>

#include "app/console.h"
#include "app/console_internal.h"
#include "app/main_loop.h"
#include "race/riders.h"
#include "core/config.h"
#include "core/data_file.h"
#include "core/messages.h"
#include "sim/bike.h"
#include "sim/setup.h"

namespace zv::app {

namespace {

constexpr std::string_view k_demo_ending = ".zvdemo";
constexpr const char* k_setups_folder = "@setups/";
constexpr const char* k_outgoing_folder = "@outgoing/";

ConsoleHooks g_hooks;
OutgoingTransfer g_transfer;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

ConsoleHooks& console_hooks() { return g_hooks; }

OutgoingTransfer& outgoing_transfer() { return g_transfer; }

void stop_transfer() { g_transfer = OutgoingTransfer{}; }

DemoName demo_name_from_argument(std::string_view argument)
{
    while (!argument.empty() && is_blank(argument.front()))
        argument.remove_prefix(1);
    std::size_t end = 0;
    while (end < argument.size() && !is_blank(argument[end]))
        ++end;
    const std::string_view word = argument.substr(0, end);
    if (word.empty())
        return {DemoNameStatus::empty, {}};
    if (word.size() > k_max_demo_name)
        return {DemoNameStatus::too_long, {}};
    std::string file(word);
    if (!word.ends_with(k_demo_ending))
        file += k_demo_ending;
    return {DemoNameStatus::ok, std::move(file)};
}

SendNameStatus check_send_name(std::string_view name)
{
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.')
            return SendNameStatus::bad_character;
    if (name.size() > k_max_send_name)
        return SendNameStatus::too_long;
    return SendNameStatus::ok;
}

std::string setup_name_from_argument(std::string_view argument)
{
    return std::string(trimmed(argument));
}

void console_namedemo(Game& g, const char* args)
{
    if (g.time_trial || !g_hooks.demo_recording || !g_hooks.demo_recording()) {
        core::show_message("Not currently recording a demo");
        return;
    }
    DemoName name = demo_name_from_argument(args);
    switch (name.status) {
    case DemoNameStatus::empty:
        core::show_message("Usage: namedemo <name>");
        return;
    case DemoNameStatus::too_long:
        core::show_message("Name too long");
        return;
    case DemoNameStatus::ok:
        break;
    }
    if (g_hooks.set_demo_name)
        g_hooks.set_demo_name(name.file);
    core::show_message("Demo name updated");
}

void console_readsetup(Game& g, const char* args)
{
    core::DataFilePtr f = core::open_data_file(k_setups_folder + setup_name_from_argument(args), "rb");
    if (!f) {
        core::show_message("Error reading setup");
        return;
    }
    core::read_setup_lines(*f);
    f.reset();
    // The local rider's bike takes the new setup when the mechanic can.
    if (viewed_is_local(g))
        if (sim::Bike* bike = race::rider_slot(g.viewed).bike.get())
            sim::apply_setup(*bike, race::rider_setup_from_settings(), g.game_clock);
    core::show_message("Setup updated");
}

void console_writesetup(Game&, const char* args)
{
    core::DataFilePtr f = core::open_data_file(k_setups_folder + setup_name_from_argument(args), "wb");
    if (!f) {
        core::show_message("Error writing setup");
        return;
    }
    core::write_setup(*f);
    if (!core::commit_data_file(std::move(f))) {
        core::show_message("Error writing setup");
        return;
    }
    core::show_message("Setup written");
}

void console_listfiles(Game&, const char* args)
{
    const std::string pattern = lower(trimmed(args));
    for (const core::WorkingSetEntry& e : core::working_set_entries()) {
        const std::string line = e.name + " -> " + e.path;
        if (!pattern.empty() && lower(line).find(pattern) == std::string::npos)
            continue;
        core::show_message("%s", line.c_str());
    }
}

void console_sendfile(Game& g, const char* args)
{
    // Blanks typed after the name are invisible; they are not part of it.
    const std::string_view name = trimmed(args);
    switch (check_send_name(name)) {
    case SendNameStatus::bad_character:
        core::show_message("Filename may only contain alphanumeric characters, '_' or '.'");
        return;
    case SendNameStatus::too_long:
        core::show_message("Filename too long");
        return;
    case SendNameStatus::ok:
        break;
    }
    if (g_transfer.file) {
        stop_transfer();
        core::show_message("Stopping previous transfer");
    }
    core::DataFilePtr file = core::open_data_file(k_outgoing_folder + std::string(name), "rb");
    if (!file) {
        core::show_message("Can't open file");
        return;
    }
    g_transfer.file = std::move(file);
    g_transfer.closing_message = "namefile " + std::string(name);
    g_transfer.next_part_time = 0;
    g_transfer.server_ready = false;
    // Unconnected, the file stays open for the next connection or offer.
    if (!g.connected)
        core::show_message("Not connected to server");
    else if (g_hooks.queue_file_message)
        g_hooks.queue_file_message("sendfile");
    core::show_message("Sending file");
}

}  // namespace zv::app
