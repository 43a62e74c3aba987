#include "track/resources.h"

namespace zv::track {

static ResourceLoader* g_loader = nullptr;

void set_resource_loader(ResourceLoader* loader) { g_loader = loader; }
ResourceLoader* resource_loader() { return g_loader; }

}  // namespace zv::track
