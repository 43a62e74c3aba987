// The release digests of the data that zarvox-datagen generates. When the
// generated data changes, these change with it (a test compares them).
#include "core/release_digests.h"

#include "core/data_file.h"

namespace zv::core {

// RIPEMD-160 of the first MiB of the generated "zzzz.saf".
const char* const k_reference_archive_digest = "796f3048e58ea7d252044ea5f884d5d63c2ab961";

// Slot 0: the shapes of the generated data (none are generated yet, so it is
// the digest of no bytes at all). Slots 1 and 2 are kept for the shapes of
// later data releases that race servers should still accept as stock.
const std::array<std::string_view, 3> k_generic_shape_digests = {
    "9c1185a5c5e9fc54612808977ee8f548b2258d31",
    "",
    "",
};

}  // namespace zv::core
