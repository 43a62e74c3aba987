// The loading status line. Loaders report stages and progress through it;
// the loading screen (when there is a window) draws what it is given. With no
// screen attached the stage texts still go to the log.
#pragma once

#include <functional>
#include <string_view>

namespace zv::core {

// Called with the text to show on the status line; set by the loading screen.
using LoadingStatusSink = std::function<void(std::string_view text)>;
void set_loading_status_sink(LoadingStatusSink sink);

// Shows a stage text and logs it followed by a line feed.
void begin_loading_stage(std::string_view text);
// Redraws the stage text with 0..3 cycling dots, at most every 0.125 s.
void refresh_loading_stage();
// Shows "<text>...done" (text cut to 64 characters).
void end_loading_stage();

}  // namespace zv::core
