// The game window on a virtual display: the depth buffer it gets when none
// is asked for, one window when a depth is, and the window manager's close
// button. Needs a display (run under xvfb-run); skipped otherwise.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gl_context.h"
#include "platform/window.h"
#include "platform/window_sdl.h"

// The GL driver's exit leaks have no module left to name.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::platform {
namespace {

TEST(WindowScreen, DepthBufferOneWindowAndTheCloseButton)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(open_window("Zarvox", 320, 200, 24, 0, {}));
    ASSERT_TRUE(create_gl_context());
    int depth = 0;
    ASSERT_EQ(SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth), 0) << SDL_GetError();
    EXPECT_GE(depth, 16);  // 0 asked: the 16 bits every driver offers, not none
    close_window();

    ASSERT_TRUE(open_window("Zarvox", 320, 200, 24, 24, {}));
    EXPECT_EQ(SDL_GetWindowFromID(SDL_GetWindowID(sdl_window()) - 1), nullptr);  // one window, no spare
    pump_window_events();
    EXPECT_FALSE(window_close_requested());
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(sdl_window());
    ASSERT_EQ(SDL_PushEvent(&close), 1) << SDL_GetError();
    pump_window_events();
    EXPECT_TRUE(window_close_requested());
    close_window();
}

}  // namespace
}  // namespace zv::platform
