#include "track/track.h"

#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/loading_status.h"
#include "platform/log.h"
#include "track/resources.h"
#include "track/scenery.h"
#include "track/scenery_cameras.h"
#include "track/scenery_flaggers.h"
#include "track/scenery_lighting.h"
#include "track/shape.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/timing_file.h"

#include <set>
#include <string>

namespace zv::track {

namespace {

constexpr std::size_t k_hash_block = 1024;

// The files hashed before anything is read, in this order.
constexpr const char* k_scanned_files[] = {"/terrain.hf", "/terrain.png", "/texturelist",
                                           "/tilemap", "/tileinfo"};

struct TrackState {
    std::vector<std::string> list_folders;
    std::vector<std::string> list_long_names;
    std::string folder;
    std::string long_name;
    core::Digest hash{};
    bool loaded = false;
    int texture_method = 1;
    int texture_size = 256;
    std::function<std::size_t()> texture_memory;
    int roost_base = -1;
    int first_object = 0;
    int first_billboard = 0;
    TextureId map = 0;
    std::function<void()> editor_load;
    std::function<void()> editor_release;
};

TrackState& state()
{
    static TrackState s;
    return s;
}

bool verbose() { return core::debug_level() > 0; }

void log_texture_memory(const char* format)
{
    if (!verbose())
        return;
    const TrackState& s = state();
    std::size_t bytes = 0;
    if (s.texture_memory)
        bytes = s.texture_memory();
    else if (TerrainRenderHooks* hooks = terrain_render_hooks())
        bytes = hooks->texture_memory_used();
    platform::log_printf(format, static_cast<unsigned long>(bytes));
}

// Feeds a whole file to the digest in 1024-byte reads; false when it does
// not open.
bool hash_file(core::Ripemd160& digest, const std::string& name)
{
    core::DataFilePtr f = core::open_data_file(name, "rb");
    if (!f)
        return false;
    unsigned char block[k_hash_block];
    for (;;) {
        std::size_t n = core::read_bytes(*f, block, sizeof block);
        if (n == 0)
            break;
        digest.update(block, n);
        core::refresh_loading_stage();
    }
    return true;
}

// Everything load_track builds besides the terrain, released.
void release_track_lists()
{
    free_timing();
    clear_scenery();
    clear_flaggers();
    clear_cameras();
    reset_lighting();
    clear_shape_cache();
    TrackState& s = state();
    s.roost_base = -1;
    s.first_object = 0;
    s.first_billboard = 0;
    s.map = 0;
}

int create_gate_object(const GateObjectRequest& r)
{
    return create_track_object(r.x, r.y, r.z, r.heading, r.model, r.texture, r.shape);
}

}  // namespace

void set_track_list(std::vector<std::string> folders, std::vector<std::string> long_names)
{
    TrackState& s = state();
    s.list_folders = std::move(folders);
    s.list_long_names = std::move(long_names);
}

std::string long_name_for(std::string_view folder)
{
    const TrackState& s = state();
    for (std::size_t i = 0; i < s.list_folders.size(); ++i)
        if (s.list_folders[i] == folder)
            return i < s.list_long_names.size() ? s.list_long_names[i] : std::string(folder);
    return std::string(folder);
}

void set_current_track(std::string_view folder) { state().folder.assign(folder); }
const std::string& current_track() { return state().folder; }
const std::string& current_track_long_name() { return state().long_name; }

void set_terrain_texture_method(int method, int texture_size)
{
    state().texture_method = method;
    state().texture_size = texture_size;
}

void set_texture_memory_counter(std::function<std::size_t()> counter)
{
    state().texture_memory = std::move(counter);
}

void set_track_editor_hooks(std::function<void()> load, std::function<void()> release)
{
    state().editor_load = std::move(load);
    state().editor_release = std::move(release);
}

bool track_loaded() { return state().loaded; }
const core::Digest& track_hash() { return state().hash; }
int roost_billboard_base() { return state().roost_base; }
int first_editable_object() { return state().first_object; }
int first_editable_billboard() { return state().first_billboard; }
unsigned map_texture() { return state().map; }

bool load_track()
{
    TrackState& s = state();
    if (s.loaded)
        free_track();

    // 1. The long name.
    s.long_name = long_name_for(s.folder);
    const std::string path = "@" + s.folder;

    // 2. The digest and the empty lists.
    core::Ripemd160 digest;
    s.hash = {};
    release_track_lists();

    // 3. Hash the ground files.
    core::begin_loading_stage("Scanning");
    for (const char* name : k_scanned_files)
        hash_file(digest, path + name);
    core::end_loading_stage();

    // 4.
    if (verbose())
        platform::log_printf("Loading '%s'\n", path.c_str());

    // 5. Lighting comes first: the terrain's lit rendering depends on it.
    load_lighting(path + "/lighting");

    // 6. The terrain.
    TerrainLoadOptions options;
    options.texture_method = s.texture_method;
    options.texture_size = s.texture_size;
    options.dynamic_lighting = lighting().dynamic_lighting;
    if (!load_terrain(path, options)) {
        release_track_lists();
        s.folder.clear();
        s.long_name.clear();
        return false;
    }
    // 7.
    log_texture_memory("%lu bytes texture memory used after hf creation\n");

    // 8. Timing gates; the starting gates create their objects here.
    hash_file(digest, path + "/timing_gates");
    read_timing_gates(path, create_gate_object);

    // 9. The roost particles' billboards.
    s.roost_base = billboard_count();
    for (int i = 0; i < k_roost_billboards; ++i)
        create_billboard(0, 0, 0, 1, 1, "");

    // 10. Flaggers.
    core::begin_loading_stage("Loading flaggers");
    load_flaggers(path + "/flaggers", static_cast<int>(track_timing().checkpoints.size()));
    core::end_loading_stage();
    log_texture_memory("%lu bytes texture memory used after flagger creation\n");

    // 11. Billboards.
    s.first_object = track_object_count();
    s.first_billboard = billboard_count();
    if (core::DataFilePtr f = core::open_data_file(path + "/billboards", "rb")) {
        core::begin_loading_stage("Loading billboards");
        read_billboards(*f);
        core::end_loading_stage();
    }
    log_texture_memory("%lu bytes texture memory used after billboard creation\n");

    // 12. Statues.
    hash_file(digest, path + "/statues");
    if (core::DataFilePtr f = core::open_data_file(path + "/statues", "rb")) {
        core::begin_loading_stage("Loading statues");
        read_statues(*f);
        core::end_loading_stage();
    }

    // 13. The head-up display's map.
    core::begin_loading_stage("Loading map");
    log_texture_memory("%lu bytes texture memory used after statue creation\n");
    s.map = load_texture(path + "/map.png");
    core::end_loading_stage();

    // 14.
    build_object_buckets(loaded_terrain().field_size);

    // 15.
    if (s.editor_load)
        s.editor_load();

    // 16. Each distinct shape file, in object order.
    std::set<std::string, std::less<>> hashed;
    for (const TrackObject& o : track_objects()) {
        if (!o.shape)
            continue;
        if (hashed.insert(o.shape->file).second)
            hash_file(digest, o.shape->file);
    }

    // 17 - 19.
    core::Digest hash = digest.finish();
    load_cameras(path + "/cameras");
    s.hash = hash;
    s.loaded = true;
    return true;
}

void free_track()
{
    TrackState& s = state();
    platform::log_printf("Deallocating track\n");
    if (s.editor_release)
        s.editor_release();
    release_track_lists();
    free_terrain();
    s.loaded = false;
    platform::log_printf("Finished deallocating track\n");
}

}  // namespace zv::track
