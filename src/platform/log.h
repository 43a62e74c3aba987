// The log file and the error text. Safe to call from any thread.
#pragma once

#include <string>

namespace zv::platform {

// Appends to the log, stamping "[h:mm:ss.cc] " where each line begins; a
// message may hold several lines, and one without a final line feed leaves
// its line open for the next message. A message starting with the control
// character 19 is not written. The first call sets the log up: its file
// comes from TORV_LOGFILE, or from a first message "TORV_LOGFILE=<path>"
// (never written itself); ">>path" appends, TORV_LOGFILE_FLAGS gives the
// whole fopen mode.
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
