// The configuration file "@config": one "key=value" line per setting, read at
// start-up and written at shutdown, and the rider-setup files that share its
// syntax.
#pragma once

#include <string_view>

#include "core/settings.h"

namespace zv::core {

struct DataFile;

inline constexpr const char* k_config_file = "@config";

// Reads "@config" when it exists. A missing or unreadable file leaves every
// setting as it is; false then. Unknown keys and malformed values are skipped.
bool read_config();
// Writes every setting to "@config"; false (silently) when it cannot be opened.
bool write_config();

// Reads "key=value" lines from an open file until its end (lines of up to
// 1023 characters). Lines without "=" are ignored.
void read_config_lines(DataFile& file);
// Splits one line at its first "=" (the value loses trailing CR and LF, no
// other trimming) and applies it; false for a line without "=" or an unknown
// key.
bool read_config_line(std::string_view line);
// Applies one key: the rider-setup keys first, then the general keys and the
// bindings. False for an unknown key.
bool read_config_key(std::string_view key, std::string_view value);
// Writes all settings in the file's order.
void write_config_lines(DataFile& file);

// Applies a rider-setup key ("bike", "name", ..., "rider_mass_distribution")
// and returns true; returns false for any other key.
bool read_setup_key(std::string_view key, std::string_view value);
// Reads a setup file's "key=value" lines; only rider-setup keys are taken.
void read_setup_lines(DataFile& file);
// Writes the rider-setup keys in their order.
void write_setup(DataFile& file);

// Sets a binding from its file value: "(low,high)axis name" binds an axis,
// "(k)key name" or a bare "key name" binds a key. Leading whitespace is
// skipped; an empty name leaves the binding unbound.
void parse_binding(Binding& binding, std::string_view value);

// Old bike names kept for configuration files of earlier versions:
// "crf250" -> "crf250(2008)" etc.; any other name is returned as it is.
std::string_view renamed_bike(std::string_view name);

}  // namespace zv::core
