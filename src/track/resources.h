// What the track loaders ask of the renderer: textures and models by name.
// A headless run (simulation, tests, a dedicated server) installs no loader,
// so every request answers "none" and the files still load.
#pragma once

#include <cstdint>
#include <string_view>

namespace zv::track {

using TextureId = std::uint32_t;  // 0 = none
using ModelId = std::uint32_t;    // 0 = none

enum TextureFlags : unsigned {
    k_texture_default = 0,
    k_texture_clamp = 1u << 0,     // clamp to edge instead of repeating
    k_texture_no_mipmap = 1u << 1,
    k_texture_alpha = 1u << 2,     // keep an alpha channel
};

class ResourceLoader {
public:
    virtual ~ResourceLoader() = default;
    virtual TextureId load_texture(std::string_view name, unsigned flags) = 0;
    virtual ModelId load_model(std::string_view name) = 0;
};

// nullptr = headless.
void set_resource_loader(ResourceLoader* loader);
ResourceLoader* resource_loader();

inline TextureId load_texture(std::string_view name, unsigned flags = k_texture_default)
{
    ResourceLoader* r = resource_loader();
    return r ? r->load_texture(name, flags) : 0;
}

inline ModelId load_model(std::string_view name)
{
    ResourceLoader* r = resource_loader();
    return r ? r->load_model(name) : 0;
}

}  // namespace zv::track
