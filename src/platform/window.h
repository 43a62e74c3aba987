// The game's one window with its OpenGL context, the frame bracket and the
// window's close request. Input events reach the event queue (events.h)
// while frames are begun, and whenever pump_window_events is called.
#pragma once

namespace zv::platform {

struct WindowFlags {
    bool fullscreen = false;
    bool resizable = false;
};

// Opens the window: reads the options "fullscreen" and "threaded", lists the
// display modes into the log, creates the window (full screen at width x
// height, or at the desktop's mode when both are 0), opens the input devices
// and brings the window to the front. depth and zdepth are the colour and
// depth-buffer bits asked of the OpenGL context. False, with the reason in
// the log, when it cannot be opened.
bool open_window(const char* title, int width, int height, int depth, int zdepth, WindowFlags flags);
// Logs the closing steps, closes the input devices and destroys the window.
void close_window();
bool window_open();

// Pulls the system's pending window and input events into the event queue.
// SIGINT and SIGTERM, and the window manager's close button, arrive as the
// "Close" key (and set the close flag).
void pump_window_events();
// Set once the window was asked to close (a signal counts from the next
// pump_window_events on).
bool window_close_requested();

// Starts a frame: pumps events and makes the context current. False when
// the window cannot be drawn now (minimised, hidden, no context).
bool begin_frame();
// Ends the frame: swaps the buffers.
void end_frame();
// The drawable size in pixels.
void window_size(int& width, int& height);
bool window_fullscreen();

// Installs the SIGINT and SIGTERM handlers that turn the signals into the
// close request. open_window calls it; start-up may call it earlier.
void install_close_signals();

}  // namespace zv::platform
