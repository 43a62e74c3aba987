// The log file and the error text. Safe to call from any thread.
#pragma once

#include <string>

namespace zv::platform {

// Appends one stamped line to the log. The first call sets the log up: its
// file comes from TORV_LOGFILE, or from a first message "TORV_LOGFILE=<path>".
void log_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs "Error: <text>" and keeps the text as the last error.
void log_error(const char* text);
std::string last_error();

// Closes the log file; the next log_printf sets the log up afresh.
void log_close();

// Seconds since the platform clock's origin (the first call of any platform
// time function); used for the log stamp and for event times.
double platform_seconds();

}  // namespace zv::platform
