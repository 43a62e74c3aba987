#include "app/shape_check.h"

#include "core/data_file.h"
#include "core/digest.h"
#include "core/release_digests.h"

#include <algorithm>

namespace zv::app {

namespace {

bool g_shapes_stock = false;

}  // namespace

std::string generic_shape_digest()
{
    core::Ripemd160 digest;
    unsigned char buf[4096];
    for (std::string_view name : core::k_generic_shape_files) {
        core::DataFilePtr f = core::open_data_file(name, "rb");
        if (!f)
            continue;
        while (std::size_t n = core::read_bytes(*f, buf, sizeof buf))
            digest.update(buf, n);
    }
    return core::digest_hex(digest.finish());
}

bool is_stock_shape_digest(std::string_view hex)
{
    return std::any_of(core::k_generic_shape_digests.begin(), core::k_generic_shape_digests.end(),
                       [&](std::string_view stored) { return !stored.empty() && stored == hex; });
}

bool check_generic_shapes()
{
    g_shapes_stock = is_stock_shape_digest(generic_shape_digest());
    return g_shapes_stock;
}

bool generic_shapes_are_stock()
{
    return g_shapes_stock;
}

}  // namespace zv::app
