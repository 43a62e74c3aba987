// The seven shader programs (per-pixel lit models, environment reflections,
// their normal-mapped and specular-mapped forms, the terrain normal texture
// and the lit terrain), built at start-up when the driver and the settings
// allow. One flag says whether they are in use; everything else falls back
// to fixed-function lighting when they are not.
#pragma once

#include <array>
#include <string>

namespace zv::render {

enum ShaderSlot : int {
    k_fixed_function = 0,
    k_program_lit = 1,
    k_program_env = 2,
    k_program_norm_lit = 3,
    k_program_norm_env = 4,
    k_program_norm_spec_lit = 5,
    k_program_terrain_normals = 6,
    k_program_terrain = 7,
    // Built apart from the seven, on first use by the shader terrain
    // methods: tile textures times the baked shading, fogged.
    k_program_ground = 8,
};
constexpr int k_program_count = 7;
constexpr int k_max_skin_bones = 10;

// The compiler side; the GL one is used unless a test puts its own.
class ShaderDriver {
public:
    virtual ~ShaderDriver() = default;
    virtual unsigned create_shader(bool fragment) = 0;
    // Compiles; `log` receives the driver's information log ("" for none).
    virtual bool compile(unsigned shader, const std::string& source, std::string& log) = 0;
    virtual unsigned create_program() = 0;
    virtual void attach(unsigned program, unsigned shader) = 0;
    virtual void detach(unsigned program, unsigned shader) = 0;
    virtual bool link(unsigned program, std::string& log) = 0;
    virtual void delete_object(unsigned object) = 0;
    virtual void use(unsigned program) = 0;
    virtual int uniform_location(unsigned program, const char* name) = 0;
    virtual void uniform_int(int location, int value) = 0;
    virtual void uniform_vec3s(int location, int count, const float* values) = 0;
    virtual void uniform_mat3s(int location, int count, bool transpose, const float* values) = 0;
};
void set_shader_driver(ShaderDriver* driver);  // nullptr: the GL one

// Builds all seven programs in order; on any failure deletes what was built
// and returns false. The result is the shader flag.
bool build_shader_programs();
bool shaders_in_use();
// Deletes all programs, the ground program too.
void delete_shader_programs();
// Builds the ground program once the seven are in use (a failure is logged
// like theirs and remembered: it is not tried again until the seven are
// rebuilt). True when it is ready.
bool build_ground_program();
bool ground_program_ready();

// Makes a slot current (0 = fixed function; the ground program only when
// ready); a switch to the current slot
// costs nothing, every real switch counts one shader change.
void use_program(int slot);
int current_program();
int shader_changes();
void reset_shader_changes();

// Loads a 3 x 3 rotation (row-major), transposed, as "envmat" of slots 2 and
// 4, then returns to fixed function.
void set_envmat(const float rotation[9]);
// Sets "nbones" of the current slot and, for n > 0, the bone centres,
// translations and row-major rotations (at most 10 bones).
void set_bones(int n, const float* centres, const float* translations, const float* rotations);

// The program names in build order (as logged).
extern const std::array<const char*, k_program_count> k_program_names;

}  // namespace zv::render
