// One line of editable text with a cursor: the chat line and the menus' text
// fields ("Name", "Number", "Server") edit the same way.
#pragma once

#include <cstddef>
#include <string>

#include "app/ui_keys.h"

namespace zv::app {

struct LineEdit {
    std::string text;
    std::size_t cursor = 0;   // 0 ... text.size()
    bool overwrite = false;   // "insert" toggles it
};

// Applies an editing key to the line, which holds at most max_length
// characters: "left"/"right"/"home"/"end" move the cursor, "insert" toggles
// overwriting, backspace deletes before the cursor, "delete" at it, and a
// typed character is inserted (or overwrites) at the cursor while the line
// is shorter than max_length. Returns false for any other key (the caller
// handles it).
bool edit_line(LineEdit& line, const UiInput& in, std::size_t max_length);

}  // namespace zv::app
