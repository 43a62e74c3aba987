#include "autopilot/roster.h"

#include <numeric>
#include <string>

#include "platform/log.h"

namespace zv::autopilot {

namespace {

// name, variant at a small lead, variant at a larger lead, lead threshold
// (s), reaction time bounds at the start (s).
constexpr std::array<Personality, k_personality_count> k_personalities{{
    {"empty", 0, 0, 0.0f, 0.0f, 0.0f},
    {"vesk", 0, 0, 1.0f, 0.2f, 0.4f},
    {"corwin", 2, 1, 10.0f, 0.2f, 0.4f},
    {"drun", 1, 0, 10.0f, 0.0f, 0.1f},
    {"tester", 3, 3, 1.0f, 0.2f, 0.4f},
}};

// Bike model (nullptr: the gate's own), rider, head, bike and wheel
// textures (nullptr: the default), number, personality.
constexpr std::array<RobotProfile, k_roster_size> k_roster{{
    {nullptr, "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr, "20", "corwin"},
    {"kx125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "21", "corwin"},
    {"yz125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "22", "corwin"},
    {"cr125", "@rider_body-alt3.png", "@rider_head-alt1.png", "@cr125-alt1.png", "@wheels-alt1.png", "23", "corwin"},
    {"rm125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "24", "corwin"},
    {"kx125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "25", "corwin"},
    {"yz125", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "26", "corwin"},
    {"cr125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "27", "corwin"},
    {"rm125", "@rider_body-alt2.png", "@rider_head-alt3.png", "@rm125-alt1.png", "@wheels-alt1.png", "28", "corwin"},
    {"kx125", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "29", "corwin"},
    {"yz125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "30", "corwin"},
    {"cr125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "31", "corwin"},
    {"rm125", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "32", "corwin"},
    {"kx125", "@rider_body-alt1.png", "@rider_head-alt2.png", "@kx125-alt1.png", "@wheels-alt1.png", "33", "corwin"},
    {"yz125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "34", "corwin"},
    {"cr125", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "35", "corwin"},
    {"rm125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "36", "corwin"},
    {"kx125", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "37", "corwin"},
    {"yz125", "@rider_body-alt3.png", "@rider_head-alt1.png", "@yz125-alt1.png", "@wheels-alt1.png", "38", "corwin"},
    {"cr125", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "39", "corwin"},
    {"rm125", nullptr, "@rider_head-alt2.png", nullptr, nullptr, "40", "vesk"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr, "41", "vesk"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "42", "vesk"},
    {"rmz250(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "43", "vesk"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, "@wheels-alt1.png", "44", "vesk"},
    {"crf250(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "45", "vesk"},
    {"kx250f(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "46", "vesk"},
    {"rmz250(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr, "47", "vesk"},
    {"yz250f(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "48", "vesk"},
    {"crf250(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "49", "vesk"},
    {"kx250f(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, "@wheels-alt1.png", "50", "vesk"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "51", "vesk"},
    {"yz250f(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "52", "vesk"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr, "53", "vesk"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "54", "vesk"},
    {"rmz250(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "55", "vesk"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, "@wheels-alt1.png", "56", "vesk"},
    {"crf250(2009)", "@rider_body-alt2.png", "@rider_head-alt1.png", nullptr, nullptr, "57", "vesk"},
    {"kx250f(2009)", "@rider_body-alt3.png", "@rider_head-alt2.png", nullptr, nullptr, "58", "vesk"},
    {"rmz250(2009)", "@rider_body-alt1.png", "@rider_head-alt3.png", nullptr, nullptr, "59", "vesk"},
    {"yz250f_se(2006)", nullptr, nullptr, nullptr, nullptr, "60", "corwin"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr, "61", "corwin"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "62", "corwin"},
    {"rmz250(2009)", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr, "63", "corwin"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "64", "corwin"},
    {"crf250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr, "65", "corwin"},
    {"kx250f(2009)", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "66", "corwin"},
    {"rmz250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr, "67", "corwin"},
    {"yz250f(2009)", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "68", "corwin"},
    {"crf250(2009)", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr, "69", "corwin"},
    {"kx250f(2009)", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "70", "corwin"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr, "71", "corwin"},
    {"yz250f(2009)", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "72", "corwin"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr, "73", "corwin"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt3.png", nullptr, nullptr, "74", "corwin"},
    {"rmz250(2009)", "@rider_body-alt3.png", "@rider_head-alt3.png", nullptr, nullptr, "75", "corwin"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt2.png", nullptr, nullptr, "76", "corwin"},
    {"crf250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", nullptr, nullptr, "77", "corwin"},
    {"kx250f(2009)", "@rider_body-alt3.png", "@rider_head-alt1.png", nullptr, nullptr, "78", "corwin"},
    {"rmz250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", nullptr, nullptr, "79", "corwin"},
    {"yz250f_se(2006)", nullptr, nullptr, nullptr, nullptr, "80", "drun"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png", "81", "drun"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png", "82", "drun"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png", "83", "drun"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png", "84", "drun"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png", "85", "drun"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png", "86", "drun"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png", "87", "drun"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png", "88", "drun"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png", "89", "drun"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png", "90", "drun"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png", "91", "drun"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png", "92", "drun"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png", "93", "drun"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png", "94", "drun"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png", "95", "drun"},
    {"rmz250(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@rmz250-alt2.png", "@wheels-alt2.png", "96", "drun"},
    {"crf250(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@crf250-alt1.png", "@wheels-alt1.png", "97", "drun"},
    {"kx250f(2009)", "@rider_body-alt2.png", "@rider_head-alt2.png", "@kx250f-alt2.png", "@wheels-alt2.png", "98", "drun"},
    {"yz250f(2009)", "@rider_body-alt1.png", "@rider_head-alt1.png", "@yz250f-alt1.png", "@wheels-alt1.png", "99", "drun"},
}};

}  // namespace

const std::array<Personality, k_personality_count>& personalities() { return k_personalities; }

int find_personality(std::string_view name)
{
    for (int i = k_first_named_personality; i < k_personality_count; ++i)
        if (name == k_personalities[static_cast<std::size_t>(i)].name)
            return i;
    const std::string text(name);
    platform::log_printf("auto pilot personality '%s' not found\n", text.c_str());
    return k_first_named_personality;
}

const std::array<RobotProfile, k_roster_size>& robot_roster() { return k_roster; }

RosterOrder shuffle_roster(const std::function<std::uint32_t()>& next_random)
{
    RosterOrder order{};
    std::iota(order.begin(), order.end(), 0);
    for (int j = k_roster_size - 1; j >= 1; --j) {
        const std::uint32_t r = next_random();
        const auto k = static_cast<std::size_t>((r >> 16) % static_cast<std::uint32_t>(j));
        std::swap(order[static_cast<std::size_t>(j)], order[k]);
    }
    return order;
}

RobotChoice robot_for(const RosterOrder& order, int n, bool practice)
{
    const int index = order[static_cast<std::size_t>(((n % k_roster_size) + k_roster_size) % k_roster_size)];
    RobotChoice c;
    c.profile = &k_roster[static_cast<std::size_t>(index)];
    c.personality = find_personality(practice ? k_practice_personality : c.profile->personality);
    return c;
}

}  // namespace zv::autopilot
