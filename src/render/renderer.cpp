#include "render/renderer.h"

#include <algorithm>

#include "core/settings.h"
#include "platform/log.h"
#include "render/bike_art.h"
#include "render/display_pictures.h"
#include "render/flagger_animation.h"
#include "render/gl_caps.h"
#include "render/models.h"
#include "render/shaders.h"
#include "render/terrain_draw.h"
#include "render/terrain_lod.h"
#include "render/textures.h"
#include "render/world.h"
#include "track/resources.h"
#include "track/scenery.h"
#include "track/track.h"

namespace zv::render {

namespace {

// Textures and models for the track's files.
class TrackResources final : public track::ResourceLoader {
public:
    track::TextureId load_texture(std::string_view name, unsigned flags) override
    {
        (void)flags;  // wrapping and filtering come from the name and the image
        return render::load_texture(name);
    }
    track::ModelId load_model(std::string_view name) override
    {
        Model* m = render::load_model(name);
        return m ? m->id : 0;
    }
};

TrackResources g_resources;

}  // namespace

void init_renderer(const RendererOptions& options)
{
    init_gl_caps();
    const GlCaps& caps = gl_caps();
    set_gl_major_version(caps.major);
    const core::Settings& s = core::settings();
    set_texture_detail_skip(std::clamp(options.model_texture_bias, 0, 10));
    set_texture_compression(s.texture_compress.index);
    set_model_detail(options.lod_scale, options.lod_bias);
    set_terrain_detail(terrain_detail_for(options.ground_detail_factor, options.detail_distance, options.fade_distance));
    bool shaders = false;
    if (options.use_shaders && caps.vertex_shader && caps.fragment_shader)
        shaders = build_shader_programs();
    set_texture_companions(shaders);
    track::set_normal_mapping(shaders);
    set_vertex_arrays(options.vertex_arrays);
    set_print_orientation(options.print_orientation);
    track::set_resource_loader(&g_resources);
    install_terrain_hooks();
    track::set_texture_memory_counter([] { return texture_memory(); });
}

void shutdown_renderer()
{
    forget_bike_art();
    forget_display_pictures();
    track::set_resource_loader(nullptr);
    remove_terrain_hooks();
    track::set_texture_memory_counter(nullptr);
    release_models(true);
    release_textures(true);
    delete_shader_programs();
}

void begin_track_load()
{
    advance_texture_generation();
    advance_model_generation();
    set_texture_memory(0);
    forget_bike_art();
    forget_flagger_pictures();
}

void end_track_load()
{
    release_textures(false);
    release_models(false);
}

}  // namespace zv::render
