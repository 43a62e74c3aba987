#include "platform/message_box.h"

#include "platform/display_modes.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace zv::platform {

void message_box(const char* title, const char* text)
{
    if (!title)
        title = "";
    if (!text)
        text = "";
    if (display_available() && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr) == 0)
        return;
    size_t n = std::strlen(text);
    const char* end = n > 0 && text[n - 1] == '\n' ? "" : "\n";
    std::fprintf(stderr, "%s: %s%s", title, text, end);
    std::fflush(stderr);
}

}  // namespace zv::platform
