#include "app/line_edit.h"

#include <algorithm>

namespace zv::app {

bool edit_line(LineEdit& line, const UiInput& in, std::size_t max_length)
{
    // A cursor left past the end by whoever filled the text is pulled back
    // before it is used as an index.
    line.cursor = std::min(line.cursor, line.text.size());
    switch (in.key) {
    case UiKey::left:
        if (line.cursor > 0)
            --line.cursor;
        return true;
    case UiKey::right:
        if (line.cursor < line.text.size())
            ++line.cursor;
        return true;
    case UiKey::home:
        line.cursor = 0;
        return true;
    case UiKey::end:
        line.cursor = line.text.size();
        return true;
    case UiKey::insert:
        line.overwrite = !line.overwrite;
        return true;
    case UiKey::backspace:
        if (line.cursor > 0) {
            line.text.erase(line.cursor - 1, 1);
            --line.cursor;
        }
        return true;
    case UiKey::del:
        if (line.cursor < line.text.size())
            line.text.erase(line.cursor, 1);
        return true;
    case UiKey::character: {
        // Control codes (C0, DEL, C1) never enter the line; the space bar arrives as a
        // typed space, so UiKey::space itself is left to the caller.
        if (in.character < 32 || in.character > 255 || (in.character >= 127 && in.character < 160))
            return false;
        if (line.text.size() >= max_length)
            return true;  // full: the character is swallowed
        const char c = static_cast<char>(static_cast<unsigned char>(in.character));
        if (line.overwrite && line.cursor < line.text.size())
            line.text[line.cursor] = c;
        else
            line.text.insert(line.cursor, 1, c);
        ++line.cursor;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace zv::app
