// Control and device names: the alias list, the shared name pool and the
// loose name comparison.
#pragma once

#include <string_view>

namespace zv::platform {

// Gives name the value; a name that already has an alias is refused with
// "Second alias for '<name>' ('<value>') ignored". Returns true when added.
bool add_alias(const char* name, const char* value);

// The value aliased to name (names compare as names_equal does), or name
// itself when it has none. The value stays valid for the process.
const char* lookup_alias(const char* name);

// Forgets every alias (the window's closing does this).
void clear_aliases();

// The pooled copy of text: equal names share one copy, valid until the
// process ends.
const char* pool_name(std::string_view text);

// True when a and b are equal ignoring letter case, with every white-space
// character and '_' counting as a blank.
bool names_equal(std::string_view a, std::string_view b);

}  // namespace zv::platform
