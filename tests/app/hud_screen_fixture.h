// The head-up display on the screen tests' window: its pictures loaded and
// a bike in a physics world to show, opened once per suite.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <functional>
#include <memory>

#include "app/hud.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "support/screen_window.h"

namespace zv::test {

class HudScreenFixture : public ::testing::Test {
public:
    static constexpr int k_w = 640, k_h = 360;

protected:
    // Opens the window for the suite `name`; false without a display or the
    // generated game data.
    static bool open_hud_window(const char* name)
    {
        if (!open_screen_window(k_w, k_h, name))
            return false;
        app::load_hud_pictures();
        world_ = sim::create_world().release();
        bike_ = sim::create_bike(*world_, "450sxf(2017)", 0, "42").release();
        return true;
    }
    // `release` frees the display's pictures and whatever else the suite
    // loaded, while the GL context is still there.
    static void close_hud_window(const std::function<void()>& release = app::release_hud_pictures)
    {
        std::unique_ptr<sim::Bike> bike(bike_);
        bike.reset();
        bike_ = nullptr;
        delete world_;
        world_ = nullptr;
        close_screen_window(release);
    }
    static void clear_window()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    app::HudFrame frame()
    {
        app::HudFrame f;
        f.width = k_w;
        f.height = k_h;
        f.bike = bike_;
        f.title = "Rabbit Hill";
        f.longest_frame = 1.0 / 60;
        return f;
    }

    static inline sim::SimWorld* world_ = nullptr;
    static inline sim::Bike* bike_ = nullptr;
};

}  // namespace zv::test
