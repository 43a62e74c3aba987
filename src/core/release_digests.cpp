// The release digests of the data that zarvox-datagen generates. When the
// generated data changes, these change with it (a test compares them).
#include "core/release_digests.h"

#include "core/data_file.h"

namespace zv::core {

// RIPEMD-160 of the first MiB of the generated "zzzz.saf".
const char* const k_reference_archive_digest = "284b2cc936c9c4f2e211e545fde7741189091fb6";

// Slot 0: the seven generic shapes of the generated data. Slots 1 and 2 are
// kept for the shapes of later data releases that race servers should still
// accept as stock.
const std::array<std::string_view, 3> k_generic_shape_digests = {
    "657ae9aa1a28591fae87a24ff466ded0724ce5c0",
    "",
    "",
};

}  // namespace zv::core
