// Extension words, version strings and the shader build with its clean-up on
// failure, through a recording compiler.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include <map>
#include <set>

#include "render/gl_caps.h"
#include "render/shader_sources.h"
#include "render/shaders.h"

namespace zv::render {
namespace {

TEST(Extensions, OnlyWholeWordsCount)
{
    const char* list = "GL_ARB_vertex_shader_tessellator GL_ARB_multitexture GL_EXT_framebuffer_object";
    // {list, extension, listed}
    for (auto [in, name, listed] :
         {std::tuple{list, "GL_ARB_vertex_shader", false}, {list, "GL_ARB_multitexture", true},
          {list, "GL_EXT_framebuffer_object", true}, {"XGL_ARB_multitexture", "GL_ARB_multitexture", false},
          {"GL_A GL_ARB_vertex_shader_x GL_ARB_vertex_shader", "GL_ARB_vertex_shader", true},
          {"", "GL_ARB_multitexture", false}})
        EXPECT_EQ(extension_listed(in, name), listed) << in << " / " << name;

    GlCaps c = caps_from_strings("v", "r", "2.1 Mesa", "GL_ARB_vertex_shader GL_ARB_fragment_shader");
    EXPECT_EQ(std::tuple(c.vertex_shader, c.fragment_shader, c.multitexture), std::tuple(true, true, false));
    GlCaps none = caps_from_strings(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::tuple(none.vendor, none.extensions, none.major), std::tuple("NULL", "NULL", 0));
}

TEST(Version, MajorAndMinorFromTheFront)
{
    const std::pair<const char*, std::pair<int, int>> cases[] = {
        {"1.5.0 NVIDIA", {1, 5}},  {"2.1 Mesa 22.3.6", {2, 1}}, {"4.5 (Compatibility Profile) Mesa", {4, 5}},
        {"OpenGL ES 3.2", {0, 0}}, {"NULL", {0, 0}},            {"3", {0, 0}}};
    for (const auto& [text, version] : cases)
        EXPECT_EQ(parse_gl_version(text), version) << text;
}

class FakeCompiler final : public ShaderDriver {
public:
    int fail_fragment_of = 0;  // program number whose fragment stage fails
    unsigned next = 1;
    std::set<unsigned> alive;
    std::vector<std::pair<unsigned, std::string>> ints;  // uniform name per location set
    std::map<int, std::string> location_names;
    int compiled = 0;
    int uses = 0;

    unsigned create_shader(bool) override { alive.insert(next); return next++; }
    bool compile(unsigned, const std::string& source, std::string& log) override
    {
        ++compiled;
        bool fragment = source.find("gl_FragColor") != std::string::npos;
        int program = (compiled + 1) / 2;
        if (fragment && program == fail_fragment_of) {
            log = "0:1(1): error: syntax error";
            return false;
        }
        log.clear();
        return true;
    }
    unsigned create_program() override { alive.insert(next); return next++; }
    void attach(unsigned, unsigned) override {}
    void detach(unsigned, unsigned) override {}
    bool link(unsigned, std::string& log) override { log.clear(); return true; }
    void delete_object(unsigned o) override { alive.erase(o); }
    void use(unsigned) override { ++uses; }
    int uniform_location(unsigned program, const char* name) override
    {
        int loc = static_cast<int>(program) * 100 + static_cast<int>(location_names.size());
        location_names[loc] = name;
        return loc;
    }
    void uniform_int(int location, int value) override
    {
        ints.emplace_back(static_cast<unsigned>(value), location_names[location]);
    }
    void uniform_vec3s(int, int, const float*) override {}
    void uniform_mat3s(int, int, bool, const float*) override {}

    // The values given to a sampler uniform of this name, in order.
    std::vector<unsigned> values_of(const std::string& name) const
    {
        std::vector<unsigned> out;
        for (const auto& [value, n] : ints)
            if (n == name)
                out.push_back(value);
        return out;
    }
};

TEST(ShaderBuild, AllSevenBuildAndBindSamplers)
{
    FakeCompiler fake;
    set_shader_driver(&fake);
    ASSERT_TRUE(build_shader_programs());
    EXPECT_TRUE(shaders_in_use());
    EXPECT_EQ(fake.alive.size(), 21u);
    EXPECT_EQ(fake.values_of("nmap"), std::vector<unsigned>(4, 1u));
    EXPECT_EQ(fake.values_of("smap"), std::vector<unsigned>(2, 2u));
    EXPECT_EQ(fake.values_of("base"), std::vector<unsigned>(1, 1u));

    reset_shader_changes();
    use_program(3);
    use_program(3);
    use_program(0);
    EXPECT_EQ(shader_changes(), 2);
    delete_shader_programs();
    EXPECT_TRUE(fake.alive.empty());
    EXPECT_FALSE(shaders_in_use());
    set_shader_driver(nullptr);
}

TEST(ShaderBuild, FragmentErrorInTheFourthDeletesEverything)
{
    FakeCompiler fake;
    fake.fail_fragment_of = 4;
    set_shader_driver(&fake);
    EXPECT_FALSE(build_shader_programs());
    EXPECT_FALSE(shaders_in_use());
    EXPECT_TRUE(fake.alive.empty());
    use_program(2);  // with the programs off this stays fixed function
    EXPECT_EQ(current_program(), 0);
    set_shader_driver(nullptr);
}

TEST(ShaderBuild, GroundProgramIsBuiltApartAndFailsAlone)
{
    FakeCompiler fake;
    set_shader_driver(&fake);
    // Not before the seven are in use.
    EXPECT_FALSE(build_ground_program());
    ASSERT_TRUE(build_shader_programs());
    EXPECT_FALSE(ground_program_ready());
    use_program(k_program_ground);
    EXPECT_EQ(current_program(), 0) << "no ground program yet";
    ASSERT_TRUE(build_ground_program());
    EXPECT_TRUE(ground_program_ready());
    EXPECT_EQ(fake.alive.size(), 24u);
    EXPECT_EQ(fake.values_of("shade"), std::vector<unsigned>(1, 1u));
    use_program(k_program_ground);
    EXPECT_EQ(current_program(), k_program_ground);
    use_program(0);
    delete_shader_programs();
    EXPECT_TRUE(fake.alive.empty());
    EXPECT_FALSE(ground_program_ready());

    // A ground program that does not compile leaves the seven in use and is
    // not tried again.
    FakeCompiler broken;
    broken.fail_fragment_of = 8;
    set_shader_driver(&broken);
    ASSERT_TRUE(build_shader_programs());
    EXPECT_FALSE(build_ground_program());
    EXPECT_TRUE(shaders_in_use());
    EXPECT_EQ(broken.alive.size(), 21u);
    int compiled = broken.compiled;
    EXPECT_FALSE(build_ground_program());
    EXPECT_EQ(broken.compiled, compiled);
    use_program(k_program_ground);
    EXPECT_EQ(current_program(), 0);
    delete_shader_programs();
    set_shader_driver(nullptr);
}

TEST(ShaderSources, EverySlotHasBothStages)
{
    for (int slot = 1; slot <= k_program_count; ++slot) {
        ShaderSource s = shader_source(slot);
        EXPECT_NE(s.vertex.find("void main"), std::string::npos) << slot;
        EXPECT_NE(s.fragment.find("gl_FragColor"), std::string::npos) << slot;
    }
    EXPECT_NE(shader_source(5).fragment.find("#define SMAP"), std::string::npos);
    EXPECT_TRUE(shader_source(8).vertex.empty());
    ShaderSource ground = ground_shader_source();
    for (auto [stage, text] : {std::pair{&ground.vertex, "gl_ObjectPlaneS[1]"}, {&ground.fragment, "uniform sampler2D shade"},
                               {&ground.fragment, "fogged("}})
        EXPECT_NE(stage->find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace zv::render
