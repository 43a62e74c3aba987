// printf-style formatting into std::string.
#pragma once

#include <cstdarg>
#include <string>

namespace zv::platform {

std::string vformat_text(const char* format, va_list args);
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
void append_format(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace zv::platform
