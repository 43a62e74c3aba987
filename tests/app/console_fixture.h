// The console tests' fixture: private folders, fresh settings, an empty
// chat line and keyframe list, and the messages shown, oldest first.
#pragma once

#include <string>
#include <vector>

#include "app/camera_keys.h"
#include "app/chat_line.h"
#include "app/console.h"
#include "app/console_pipe.h"
#include "app/main_loop.h"
#include "race/riders.h"
#include "core/messages.h"
#include "core/settings.h"
#include "sim/bike.h"
#include "support/data_folder_test.h"

namespace zv::app {

class ConsoleTest : public test::DataFolderTest {
protected:
    ConsoleTest()
    {
        core::reset_settings();
        core::clear_messages();
        core::set_message_line_limit(core::k_message_ring_lines);
        reset_chat();
        clear_keyframes();
        set_keyframe_camera(false);
        free_camera() = FreeCamera{};
        console_hooks() = ConsoleHooks{};
        stop_transfer();
    }
    ~ConsoleTest() override
    {
        race::free_all_bikes();
        race::destroy_physics_world();
        console_hooks() = ConsoleHooks{};
        stop_transfer();
        reset_chat();
        clear_keyframes();
        set_keyframe_camera(false);
        core::reset_settings();
        core::clear_messages();
        core::set_message_line_limit(5);
    }

    // Every message since the last call, oldest first.
    std::vector<std::string> messages()
    {
        std::vector<std::string> out;
        for (int back = core::messages_on_screen() - 1; back >= 0; --back)
            out.emplace_back(core::message_line(back));
        core::clear_messages();
        return out;
    }
    using Lines = std::vector<std::string>;

    // Runs a line and returns what it returned.
    int run(const std::string& line) { return run_console_line(g, line); }

    // A bike in slot 3, viewed; this computer's rider when `local`.
    sim::Bike& put_bike(const char* model = "450sxf(2017)", bool local = true)
    {
        if (!race::physics_world())
            race::create_physics_world();
        race::RiderSlot& s = race::rider_slot(3);
        s.bike = sim::create_bike(*race::physics_world(), model, 3, "42");
        s.kind = local ? race::k_rider_local : race::k_rider_robot;
        g.viewed = 3;
        return *s.bike;
    }

    Game g;
};

}  // namespace zv::app
