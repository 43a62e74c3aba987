// A message box for fatal problems; without a display the text goes to
// standard error.
#pragma once

namespace zv::platform {

// Shows title and text in a modal box and waits for the user, or writes
// "title: text" to standard error when no box can be shown.
void message_box(const char* title, const char* text);

}  // namespace zv::platform
