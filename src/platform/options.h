// Platform options: [name:value] entries in the TORV_OPTIONS environment
// variable, read once.
#pragma once

namespace zv::platform {

// 1 for "yes" or "on", 0 for "no" or "off"; anything else logs
// "unrecognized setting for <name>" and gives the default, as does a
// missing entry (silently).
int option_flag(const char* name, int default_value);

// A decimal integer; a value without digits logs the unrecognized-setting
// message and gives the default.
int option_int(const char* name, int default_value);

// Reads TORV_OPTIONS again (tests; the program reads it once).
void reload_options();

}  // namespace zv::platform
