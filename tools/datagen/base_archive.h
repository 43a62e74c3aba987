// The members of the base archive "zzzz.saf".
#pragma once

#include "core/saf_writer.h"

#include <vector>

namespace zv::datagen {

// Every member, in archive order. Deterministic: the same bytes on every run.
std::vector<core::SafMember> base_archive_members();

}  // namespace zv::datagen
