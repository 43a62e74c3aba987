#include "platform/window.h"

#include <SDL.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <cstdint>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/gl_context.h"
#include "platform/input.h"
#include "platform/input_sdl.h"
#include "platform/key_names.h"
#include "platform/log.h"
#include "platform/names.h"
#include "platform/options.h"
#include "platform/window_sdl.h"

namespace zv::platform {

namespace {

struct WindowState {
    SDL_Window* window = nullptr;
    bool fullscreen = false;
    bool threaded = false;
    bool close_flag = false;
    // Platform clock minus SDL's millisecond clock, for the event stamps.
    std::int64_t sdl_offset_us = 0;
};

WindowState& state()
{
    static WindowState s;
    return s;
}

volatile std::sig_atomic_t g_close_signal = 0;

extern "C" void on_close_signal(int) { g_close_signal = 1; }

// A usable mode has at least 15 colour bits.
bool mode_usable(const SDL_DisplayMode& m) { return SDL_BITSPERPIXEL(m.format) >= 15; }

void log_mode(const char* format, const SDL_DisplayMode& m)
{
    log_printf(format, m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate,
               mode_usable(m) ? "" : " (ignored)");
}

void list_display_modes()
{
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) == 0)
            log_mode("Found mode %dx%dx%d@%dhz%s\n", m);
    }
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0)
        log_mode("Registry mode is %dx%dx%d@%dhz%s\n", desktop);
}

// An SDL event's millisecond stamp on the platform clock, never later than now.
EventTime event_stamp(std::uint32_t sdl_ms)
{
    std::int64_t now = platform_microseconds();
    std::int64_t us = static_cast<std::int64_t>(sdl_ms) * 1000 + state().sdl_offset_us;
    if (us > now || us < 0)
        us = now;
    return EventTime{us / 1000000, static_cast<std::int32_t>(us % 1000000)};
}

void request_close(EventTime time)
{
    WindowState& s = state();
    if (!s.close_flag)
        log_printf("Setting close flag\n");
    s.close_flag = true;
    push_event_at(key_code(k_keyboard_device, k_key_close), true, time);
    push_event_at(key_code(k_keyboard_device, k_key_close), false, time);
}

}  // namespace

void fullscreen_size(int width, int height, int& w, int& h)
{
    SDL_DisplayMode got{};
    if (width > 0 && height > 0) {
        SDL_DisplayMode want{0, width, height, 0, nullptr};
        if (SDL_GetClosestDisplayMode(0, &want, &got)) {
            w = got.w;
            h = got.h;
        }
    } else if (SDL_GetDesktopDisplayMode(0, &got) == 0 && got.w > 0 && got.h > 0) {
        w = got.w;
        h = got.h;
    }
}

SDL_Window* sdl_window() { return state().window; }

void install_close_signals()
{
    struct sigaction sa {};
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool open_window(const char* title, int width, int height, int depth, int zdepth, WindowFlags flags)
{
    WindowState& s = state();
    if (s.window)
        return true;
    s.fullscreen = option_flag("fullscreen", flags.fullscreen ? 1 : 0) != 0;
    s.threaded = option_flag("threaded", 0) != 0;
    s.close_flag = false;
    log_printf("Options:\n");
    log_printf("%10s [%s]\n", "threaded:", s.threaded ? "on" : "off");
    // The system delivers window and input events to the thread that made
    // the window; they are gathered there, once per frame.
    if (s.threaded)
        log_printf("Window messages are processed on the main thread\n");

    install_close_signals();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        log_printf("Can't create window!\n");
        log_error(SDL_GetError());
        return false;
    }
    // Without a display SDL falls back to drawing nowhere; a game nobody can
    // see is no window, unless that driver was asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* wanted = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(wanted && std::strcmp(wanted, driver) == 0)) {
        log_printf("Can't create window!\n");
        log_error("no display to open the window on");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    s.sdl_offset_us = platform_microseconds() - static_cast<std::int64_t>(SDL_GetTicks64()) * 1000;
    list_display_modes();

    int colour = depth >= 24 ? 8 : (depth >= 15 ? 5 : 4);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colour);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colour);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colour);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, zdepth > 0 ? zdepth : 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

    log_printf("Creating window\n");
    Uint32 window_flags = SDL_WINDOW_OPENGL;
    if (flags.resizable)
        window_flags |= SDL_WINDOW_RESIZABLE;
    if (s.fullscreen)
        window_flags |= (width > 0 && height > 0) ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
    int w = width > 0 ? width : 640;
    int h = height > 0 ? height : 480;
    int at = SDL_WINDOWPOS_CENTERED;
    if (s.fullscreen) {
        // Full screen is the window manager's doing; with none (a bare X
        // server) the window keeps the size it was made with while SDL
        // reports the mode's. Made at the mode's size in the corner, it
        // covers the screen either way.
        fullscreen_size(width, height, w, h);
        at = 0;
    }
    s.window = SDL_CreateWindow(title, at, at, w, h, window_flags);
    if (!s.window && zdepth > 16) {
        // Fall back to the depth buffer every driver offers.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        s.window = SDL_CreateWindow(title, at, at, w, h, window_flags);
    }
    if (!s.window) {
        log_printf("Can't create window!\n");
        log_error(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (s.fullscreen && width > 0 && height > 0) {
        SDL_DisplayMode want{0, width, height, 0, nullptr};
        SDL_DisplayMode got{};
        if (SDL_GetClosestDisplayMode(0, &want, &got))
            SDL_SetWindowDisplayMode(s.window, &got);
    }

    open_input_devices();
    add_alias("cursor-left", "Mouse Left");
    add_alias("cursor-middle", "Mouse Middle");
    add_alias("cursor-right", "Mouse Right");

    SDL_ShowWindow(s.window);
    SDL_RaiseWindow(s.window);
    log_printf("Foregrounded and locked\n");
    return true;
}

void close_window()
{
    WindowState& s = state();
    if (!s.window)
        return;
    if (!s.close_flag)
        log_printf("Setting close flag\n");
    s.close_flag = true;
    delete_gl_context();
    log_printf("Destroying window\n");
    SDL_DestroyWindow(s.window);
    s.window = nullptr;
    close_input_devices();
    clear_aliases();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
    log_printf("Window shutdown complete\n");
}

bool window_open() { return state().window != nullptr; }

void pump_window_events()
{
    WindowState& s = state();
    if (g_close_signal) {
        g_close_signal = 0;
        log_printf("Close requested by signal\n");
        request_close(event_time_now());
    }
    if (!s.window)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        EventTime time = event_stamp(e.common.timestamp);
        if (handle_input_event(e, time))
            continue;
        if (e.type == SDL_QUIT) {
            request_close(time);
        } else if (e.type == SDL_WINDOWEVENT) {
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                request_close(time);
            else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                log_printf("WM_SIZE message %dx%d\n", e.window.data1, e.window.data2);
        }
    }
}

bool window_close_requested() { return state().close_flag; }

bool begin_frame()
{
    WindowState& s = state();
    pump_window_events();
    if (!s.window || !gl_context_ready())
        return false;
    Uint32 f = SDL_GetWindowFlags(s.window);
    if (f & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN))
        return false;
    return true;
}

void end_frame()
{
    if (state().window && gl_context_ready())
        SDL_GL_SwapWindow(state().window);
}

void window_size(int& width, int& height)
{
    width = height = 0;
    if (state().window)
        SDL_GL_GetDrawableSize(state().window, &width, &height);
}

// The window's own state, so a mode switched while running counts too.
bool window_fullscreen()
{
    if (SDL_Window* w = state().window)
        return (SDL_GetWindowFlags(w) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
    return state().fullscreen;
}

}  // namespace zv::platform
