#include "platform/text_format.h"

#include <cstdio>

namespace zv::platform {

std::string vformat_text(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string format_text(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformat_text(format, args);
    va_end(args);
    return text;
}

void append_format(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    out += vformat_text(format, args);
    va_end(args);
}

}  // namespace zv::platform
