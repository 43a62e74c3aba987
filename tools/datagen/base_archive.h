// The members of the base archive "zzzz.saf".
#pragma once

#include "core/saf_writer.h"

#include <vector>

namespace zv::datagen {

// Every member, in archive order (the code-made text files first, so the
// release digest over the first MiB rests on them). Deterministic: the same
// bytes on every run. Empty when a member could not be made (the font).
std::vector<core::SafMember> base_archive_members();

}  // namespace zv::datagen
