#include "render/shaders.h"

#include <vector>

#include "platform/log.h"
#include "render/gl_caps.h"
#include "render/shader_sources.h"

namespace zv::render {

const std::array<const char*, k_program_count> k_program_names = {
    "lit", "env", "norm_lit", "norm_env", "norm_spec_lit", "terrain_normals", "terrain"};

namespace {

class GlShaderDriver final : public ShaderDriver {
public:
    unsigned create_shader(bool fragment) override
    {
        const GlProcs& p = gl_procs();
        return p.create_shader ? p.create_shader(fragment ? GL_FRAGMENT_SHADER_ARB : GL_VERTEX_SHADER_ARB) : 0;
    }
    bool compile(unsigned shader, const std::string& source, std::string& log) override
    {
        const GlProcs& p = gl_procs();
        const GLcharARB* text = source.c_str();
        p.shader_source(shader, 1, &text, nullptr);
        p.compile_shader(shader);
        log = info_log(shader);
        GLint ok = 0;
        p.get_object_parameter_iv(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
        return ok != 0;
    }
    unsigned create_program() override { return gl_procs().create_program ? gl_procs().create_program() : 0; }
    void attach(unsigned program, unsigned shader) override { gl_procs().attach_object(program, shader); }
    void detach(unsigned program, unsigned shader) override { gl_procs().detach_object(program, shader); }
    bool link(unsigned program, std::string& log) override
    {
        const GlProcs& p = gl_procs();
        p.link_program(program);
        log = info_log(program);
        GLint ok = 0;
        p.get_object_parameter_iv(program, GL_OBJECT_LINK_STATUS_ARB, &ok);
        return ok != 0;
    }
    void delete_object(unsigned object) override
    {
        if (object && gl_procs().delete_object)
            gl_procs().delete_object(object);
    }
    void use(unsigned program) override
    {
        if (gl_procs().use_program)
            gl_procs().use_program(program);
    }
    int uniform_location(unsigned program, const char* name) override
    {
        return gl_procs().get_uniform_location ? gl_procs().get_uniform_location(program, name) : -1;
    }
    void uniform_int(int location, int value) override
    {
        if (location >= 0)
            gl_procs().uniform_1i(location, value);
    }
    void uniform_vec3s(int location, int count, const float* values) override
    {
        if (location >= 0)
            gl_procs().uniform_3fv(location, count, values);
    }
    void uniform_mat3s(int location, int count, bool transpose, const float* values) override
    {
        if (location >= 0)
            gl_procs().uniform_matrix_3fv(location, count, transpose ? GL_TRUE : GL_FALSE, values);
    }

private:
    static std::string info_log(unsigned object)
    {
        const GlProcs& p = gl_procs();
        GLint length = 0;
        p.get_object_parameter_iv(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
        if (length <= 1)
            return {};
        std::vector<GLcharARB> text(static_cast<std::size_t>(length) + 1, 0);
        GLsizei got = 0;
        p.get_info_log(object, length, &got, text.data());
        return std::string(text.data(), static_cast<std::size_t>(got > 0 ? got : 0));
    }
};

struct Slot {
    unsigned program = 0, vertex = 0, fragment = 0;
    bool skin_looked_up = false;
    int nbones = -1, bone_c = -1, bone_t = -1, bone_r = -1;
};

struct State {
    ShaderDriver* driver = nullptr;
    std::array<Slot, k_program_ground + 1> slots{};  // index 1 ... 7, and the ground program
    bool in_use = false;
    bool ground_tried = false;
    int current = 0;
    int changes = 0;
};

State& state()
{
    static State s;
    return s;
}

ShaderDriver& driver()
{
    static GlShaderDriver gl;
    State& s = state();
    return s.driver ? *s.driver : gl;
}

void log_status(const char* what, const char* program, const std::string& log)
{
    if (!log.empty())
        platform::log_printf("%s for %s:\n%s\n", what, program, log.c_str());
}

void delete_slot(Slot& slot)
{
    ShaderDriver& d = driver();
    if (slot.program) {
        if (slot.vertex)
            d.detach(slot.program, slot.vertex);
        if (slot.fragment)
            d.detach(slot.program, slot.fragment);
    }
    d.delete_object(slot.vertex);
    d.delete_object(slot.fragment);
    d.delete_object(slot.program);
    slot = Slot{};
}

bool build_one(int index, Slot& slot)
{
    ShaderDriver& d = driver();
    const char* name = index == k_program_ground ? "ground" : k_program_names[static_cast<std::size_t>(index - 1)];
    ShaderSource src = index == k_program_ground ? ground_shader_source() : shader_source(index);
    slot.vertex = d.create_shader(false);
    slot.fragment = d.create_shader(true);
    if (!slot.vertex || !slot.fragment)
        return false;
    std::string log;
    bool ok = d.compile(slot.vertex, src.vertex, log);
    log_status("vertex shader status", name, log);
    if (!ok)
        return false;
    ok = d.compile(slot.fragment, src.fragment, log);
    log_status("fragment shader status", name, log);
    if (!ok)
        return false;
    slot.program = d.create_program();
    if (!slot.program)
        return false;
    d.attach(slot.program, slot.vertex);
    d.attach(slot.program, slot.fragment);
    ok = d.link(slot.program, log);
    log_status("link status", name, log);
    return ok;
}

void bind_samplers(int index, const Slot& slot)
{
    ShaderDriver& d = driver();
    d.use(slot.program);
    d.uniform_int(d.uniform_location(slot.program, "tex"), 0);
    if (index == 3 || index == 4 || index == 5 || index == 7)
        d.uniform_int(d.uniform_location(slot.program, "nmap"), 1);
    if (index == 5 || index == 7)
        d.uniform_int(d.uniform_location(slot.program, "smap"), 2);
    if (index == 6)
        d.uniform_int(d.uniform_location(slot.program, "base"), 1);
    if (index == k_program_ground)
        d.uniform_int(d.uniform_location(slot.program, "shade"), 1);
    if (index <= 5)
        d.uniform_int(d.uniform_location(slot.program, "nbones"), 0);
    d.use(0);
}

}  // namespace

void set_shader_driver(ShaderDriver* d) { state().driver = d; }

bool build_shader_programs()
{
    State& s = state();
    delete_shader_programs();
    for (int i = 1; i <= k_program_count; ++i) {
        if (!build_one(i, s.slots[static_cast<std::size_t>(i)])) {
            for (int k = 1; k <= i; ++k)
                delete_slot(s.slots[static_cast<std::size_t>(k)]);
            s.in_use = false;
            return false;
        }
    }
    for (int i = 1; i <= k_program_count; ++i)
        bind_samplers(i, s.slots[static_cast<std::size_t>(i)]);
    s.in_use = true;
    s.current = 0;
    return true;
}

bool build_ground_program()
{
    State& s = state();
    Slot& slot = s.slots[k_program_ground];
    if (slot.program)
        return true;
    if (!s.in_use || s.ground_tried)
        return false;
    s.ground_tried = true;
    int was = s.current;
    if (!build_one(k_program_ground, slot)) {
        delete_slot(slot);
        return false;
    }
    bind_samplers(k_program_ground, slot);
    // bind_samplers left fixed function current.
    if (was != 0)
        driver().use(s.slots[static_cast<std::size_t>(was)].program);
    return true;
}

bool ground_program_ready()
{
    const State& s = state();
    return s.in_use && s.slots[k_program_ground].program != 0;
}

bool shaders_in_use() { return state().in_use; }

void delete_shader_programs()
{
    State& s = state();
    if (s.current != 0)
        driver().use(0);
    for (Slot& slot : s.slots)
        if (slot.program || slot.vertex || slot.fragment)
            delete_slot(slot);
    s.in_use = false;
    s.ground_tried = false;
    s.current = 0;
}

void use_program(int slot)
{
    State& s = state();
    if (slot < 0 || slot > k_program_ground || (!s.in_use && slot != 0) ||
        (slot == k_program_ground && !s.slots[k_program_ground].program))
        slot = 0;
    if (slot == s.current)
        return;
    driver().use(slot ? s.slots[static_cast<std::size_t>(slot)].program : 0);
    s.current = slot;
    ++s.changes;
}

int current_program() { return state().current; }
int shader_changes() { return state().changes; }
void reset_shader_changes() { state().changes = 0; }

void set_envmat(const float rotation[9])
{
    State& s = state();
    if (!s.in_use)
        return;
    ShaderDriver& d = driver();
    for (int slot : {k_program_env, k_program_norm_env}) {
        use_program(slot);
        unsigned program = s.slots[static_cast<std::size_t>(slot)].program;
        // Row-major data read as column-major is the transpose.
        d.uniform_mat3s(d.uniform_location(program, "envmat"), 1, false, rotation);
    }
    use_program(0);
}

void set_bones(int n, const float* centres, const float* translations, const float* rotations)
{
    State& s = state();
    if (!s.in_use || s.current == 0)
        return;
    Slot& slot = s.slots[static_cast<std::size_t>(s.current)];
    ShaderDriver& d = driver();
    if (!slot.skin_looked_up) {
        slot.nbones = d.uniform_location(slot.program, "nbones");
        slot.bone_c = d.uniform_location(slot.program, "bone_c");
        slot.bone_t = d.uniform_location(slot.program, "bone_t");
        slot.bone_r = d.uniform_location(slot.program, "bone_r");
        slot.skin_looked_up = true;
    }
    if (n > k_max_skin_bones)
        n = k_max_skin_bones;
    d.uniform_int(slot.nbones, n < 0 ? 0 : n);
    if (n > 0) {
        d.uniform_vec3s(slot.bone_c, n, centres);
        d.uniform_vec3s(slot.bone_t, n, translations);
        // Row-major rotations: GL transposes them into its column order.
        d.uniform_mat3s(slot.bone_r, n, true, rotations);
    }
}

}  // namespace zv::render
