// Building models from ".jm" files: weights, degenerate triangles, tangents,
// density, the older layout; the cache with case mismatches and
// generations; level-of-detail order; software skinning.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include "render/models.h"
#include "render_fixture.h"

namespace zv::render {
namespace {

JmModel parse(std::string_view text) { return read_jm(text).value(); }

const char* k_quad =
    "JM1\n"
    "5 0.5 0.2 0.3 0.4 4 4\n"
    "0 0 0  0 0 1  0 0\n"
    "1 0 0  0 0 1  1 0\n"
    "1 1 0  0 0 1  1 1\n"
    "0 1 0  0 0 1  0 1\n"
    "0 1 2\n0 2 3\n0 0 1\n0 1 4\n";

TEST(BuildModel, DegenerateTrianglesAreDeletedAndCounted)
{
    int degenerate = 0;
    Model m = build_model(parse(k_quad), "@quad.jm", degenerate);
    ASSERT_EQ(m.meshes.size(), 1u);
    EXPECT_EQ(degenerate, 2);  // (0, 0, 1) and (0, 1, V)
    EXPECT_EQ(m.meshes[0].triangle_count, 2);
    EXPECT_EQ(m.meshes[0].colour, (std::array<float, 4>{0.2f, 0.3f, 0.4f, 1.0f}));
    EXPECT_FLOAT_EQ(m.meshes[0].uvs[1], 1.0f);  // v stored as 1 - v

    // Collinear corners do not span a triangle either.
    int d2 = 0;
    Model line = build_model(parse("JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 0 0\n2 0 0 0 1 0 0 0\n0 1 2\n"),
                             "@line.jm", d2);
    EXPECT_EQ(d2, 1);
    EXPECT_EQ(line.meshes[0].triangle_count, 0);
}

TEST(BuildModel, MaterialAlphaAndEnvFlag)
{
    int d = 0;
    // A negative first number takes the second as the alpha; exactly -1 also asks for the environment map.
    for (auto [m1, alpha, env] : {std::tuple{"-1", 0.25f, true}, {"-0.5", 0.25f, false}, {"0", 1.0f, false}, {"8", 1.0f, false}}) {
        Model m = build_model(parse(std::string("JM1\n") + m1 + " 0.25 1 0.5 0 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n"),
                              "@glass.jm", d);
        EXPECT_EQ(m.env_flag, env) << m1;
        EXPECT_FLOAT_EQ(m.meshes[0].colour[3], alpha) << m1;
    }
    Model old = build_model(parse("3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n"), "@old.jm", d);
    EXPECT_EQ(old.meshes[0].colour, (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_FLOAT_EQ(old.meshes[0].m1, 32.0f);
    EXPECT_FALSE(old.env_flag);
}

TEST(BuildModel, FivePositiveWeightsKeepTheFourLargest)
{
    test::TempDir tmp;
    test::ScopedEnv log_env("TORV_LOGFILE", tmp / "log.txt");
    platform::log_close();
    int d = 0;
    Model m = build_model(parse("JM2 5 rider\n1 1 1 1 1 3 1\n"
                                "0 0 0 0 1 0 0 0  0.1 0.4 0.2 0.3 0.5\n"
                                "1 0 0 0 1 0 1 0  0.1 0.4 0.2 0.3 0.5\n"
                                "0 0 1 0 1 0 0 1  0 0 0 0 0\n"
                                "0 1 2\n"),
                          "@rider.jm", d);
    platform::log_close();
    const Mesh& mesh = m.meshes[0];
    ASSERT_TRUE(mesh.skinned());
    // 0.1 is lost; the kept 0.4 0.2 0.3 0.5 sum to 1.4.
    float sum = 0;
    for (std::size_t s = 0; s < 4; ++s) {
        EXPECT_NE(mesh.bone_indices[s], 0);
        sum += mesh.weights[s];
        if (mesh.bone_indices[s] == 4) {
            EXPECT_NEAR(mesh.weights[s], 0.5f / 1.4f, 1e-6);
        }
    }
    EXPECT_NEAR(sum, 1.0f, 1e-6);
    // All-zero weights become a quarter each.
    for (std::size_t s = 8; s < 12; ++s)
        EXPECT_FLOAT_EQ(mesh.weights[s], 0.25f);
    std::string log = test::read_file(tmp / "log.txt").value_or("");
    std::size_t first = log.find("Warning: vertex with more than 4 bone influences in '@rider.jm'");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("more than 4 bone", first + 30), std::string::npos);  // once per mesh
    EXPECT_EQ(mesh.bind_positions, mesh.positions);
}

TEST(BuildModel, TangentsFollowUAndKeepHandedness)
{
    int d = 0;
    // u grows along +x in one triangle and along -x in its mirror image with
    // the same v direction and face: the tangents agree, so the frame keeps
    // its handedness.
    Model m = build_model(parse("JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n2 0 0 0 1 0 1 0\n0 0 2 0 1 0 0 1\n0 1 2\n"), "@t.jm", d);
    Model mirrored = build_model(parse("JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 1 0\n2 0 0 0 1 0 0 0\n0 0 2 0 1 0 1 1\n0 1 2\n"), "@m.jm", d);
    EXPECT_NEAR(std::fabs(m.meshes[0].tangents[0]), 1.0f, 1e-6);
    EXPECT_NEAR(m.meshes[0].tangents[1], 0.0f, 1e-6);
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(mirrored.meshes[0].tangents[static_cast<std::size_t>(k)], m.meshes[0].tangents[static_cast<std::size_t>(k)], 1e-6);
    // No texture mapping at all: the longer edge direction.
    Model flat = build_model(parse("JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n0 0 3 0 1 0 0 0\n1 0 0 0 1 0 0 0\n0 1 2\n"), "@f.jm", d);
    EXPECT_NEAR(flat.meshes[0].tangents[2], 1.0f, 1e-6);
    // A vertex in no triangle gets (1, 0, 0).
    Model lonely = build_model(parse("JM1\n1 1 1 1 1 4 1\n0 0 0 0 1 0 0 0\n2 0 0 0 1 0 1 0\n0 0 2 0 1 0 0 1\n5 5 5 0 1 0 0 0\n0 1 2\n"), "@l.jm", d);
    EXPECT_FLOAT_EQ(lonely.meshes[0].tangents[9], 1.0f);
}

TEST(BuildModel, TextureDensityIgnoresShortEdgesAndTakesFollowers)
{
    int d = 0;
    Model m = build_model(parse("JM1\n"
                                "1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n2 0 0 0 1 0 1 0\n0 0 0.05 0 1 0 0 1\n0 1 2\n"
                                "1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 0 0\n0 0 1 0 1 0 0 3\n0 1 2\n"),
                          "@d.jm", d);
    ASSERT_EQ(m.meshes.size(), 2u);
    EXPECT_FLOAT_EQ(m.meshes[1].density_u, 0.0f);
    EXPECT_FLOAT_EQ(m.meshes[1].density_v, 3.0f);
    EXPECT_FLOAT_EQ(m.meshes[0].density_u, 0.5f);  // the 0.05 edge is too short
    EXPECT_FLOAT_EQ(m.meshes[0].density_v, 3.0f);  // from the following mesh
    EXPECT_EQ(model_texture_limit(m, 0.0f, 720, 1.0f), 8192);
    EXPECT_EQ(model_texture_limit(m, 10.0f, 720, 1.0f), 16);  // 36 px/ft / 3 = 12
}

TEST(Lod, NumbersAndOrder)
{
    // The third has no extension.
    for (auto [name, number] : {std::pair{"front_wheel_lod1.jm", 1}, {"front_wheel_lod12.jm.gz", 12},
                                {"front_wheel_lod1", -1}, {"front_wheel_lodx.jm", -1}, {"front_wheels_lod1.jm", -1}})
        EXPECT_EQ(lod_number(name, "front_wheel"), number) << name;
    Model base, a, b, c;
    insert_lod(base, {4, &b});
    insert_lod(base, {2, &a});
    insert_lod(base, {4, &c});  // before the equal one
    std::vector<const Model*> order;
    for (const auto& lod : base.lods)
        order.push_back(lod.model);
    EXPECT_EQ(order, (std::vector<const Model*>{&a, &c, &b}));
    EXPECT_EQ(&pick_lod(base, 10, 8), &base);
    EXPECT_EQ(&pick_lod(base, 20, 8), &a);
    EXPECT_EQ(&pick_lod(base, 40, 8), &b);

    // The model detail: a variant takes over at its switch value x 32 feet
    // of detail distance (distance x lod scale + lod bias).
    set_model_detail(1, 0);  // "Model Geometric Detail" 50
    EXPECT_EQ(&detail_variant(base, 63), &base);
    EXPECT_EQ(&detail_variant(base, 64), &a);
    EXPECT_EQ(&detail_variant(base, 128), &b);
    set_model_detail(0, 0);  // 100: full detail at any distance
    EXPECT_EQ(&detail_variant(base, 1e6f), &base);
    set_model_detail(3.375f, 12.5f);  // 25
    EXPECT_FLOAT_EQ(model_detail_distance(10), 46.25f);
    EXPECT_EQ(&detail_variant(base, 15), &base);  // 63.125
    EXPECT_EQ(&detail_variant(base, 16), &a);     // 66.5
    set_model_detail(8, 50);  // 0: coarse even up close
    EXPECT_EQ(&detail_variant(base, 0), &base);
    EXPECT_EQ(&detail_variant(base, 2), &a);
    set_model_detail(1, -7.5f);  // "--lod-bias -7.5": finer
    EXPECT_EQ(&detail_variant(base, 70), &base);
    set_model_detail(1, 0);
}

class ModelCache : public test::RenderFolders {
protected:
    ~ModelCache() override { release_models(true); }
};

const char* k_triangle = "JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n";

TEST_F(ModelCache, CaseMismatchReadsOnceAndLodsLoadInOrder)
{
    put("front_wheel.jm", k_triangle);
    put("front_wheel_lod2.jm", k_triangle);
    put("front_wheel_lod1.jm", k_triangle);
    Model* a = load_model("@front_wheel.jm");
    ASSERT_NE(a, nullptr);
    Model* b = load_model("@Front_Wheel.jm");
    EXPECT_EQ(a, b);
    EXPECT_NE(log().find("Warning: case mismatch on '@Front_Wheel.jm'"), std::string::npos);
    std::vector<std::pair<float, std::string>> lods;
    for (const auto& lod : a->lods)
        lods.emplace_back(lod.switch_value, lod.model->name);
    EXPECT_EQ(lods, (std::vector<std::pair<float, std::string>>{{2.0f, "@front_wheel_lod1.jm"}, {4.0f, "@front_wheel_lod2.jm"}}));
    EXPECT_EQ(model_count(), 3);
    EXPECT_EQ(model_by_id(a->id), a);
}

TEST_F(ModelCache, GenerationsReleaseModelsNotRequestedAgain)
{
    put("a.jm", k_triangle);
    put("b.jm", k_triangle);
    put("bad.jm", "JM3\n");
    advance_model_generation();
    ASSERT_NE(load_model("@a.jm"), nullptr);
    ASSERT_NE(load_model("@b.jm"), nullptr);
    EXPECT_EQ(load_model("@bad.jm"), nullptr);
    EXPECT_EQ(load_model("@none.jm"), nullptr);
    advance_model_generation();
    load_model("@a.jm");
    release_models(false);
    EXPECT_EQ(model_count(), 1);
    EXPECT_NE(load_model("@a.jm"), nullptr);
}

TEST_F(ModelCache, VariantTriesTheFolderThenTheAlternativeAndWarns)
{
    put("bikes/yz/frame.jm", k_triangle);
    put("bikes/common/fork.jm", k_triangle);
    put("fork.jm", k_triangle);
    EXPECT_EQ(load_model_variant("@bikes/yz/body.jm", "@bikes/common/frame.jm", true)->name, "@bikes/yz/frame.jm");
    EXPECT_EQ(load_model_variant("@bikes/yz/body.jm", "@bikes/common/fork.jm", true)->name, "@bikes/common/fork.jm");
    EXPECT_EQ(load_model_variant("@body.jm", "@bikes/common/fork.jm", true)->name, "@fork.jm");
    EXPECT_EQ(load_model_variant("@bikes/yz/body.jm", "@x/none.jm", true), nullptr);
    EXPECT_EQ(load_model_variant("@nothing.jm", "", true), nullptr);
    std::string text = log();
    EXPECT_NE(text.find("Warning: Can't load @bikes/yz/none.jm or @x/none.jm"), std::string::npos);
    EXPECT_NE(text.find("Warning: Can't load @nothing.jm"), std::string::npos);
}

TEST_F(ModelCache, DegenerateMessageNamesTheFile)
{
    put("q.jm", k_quad);
    ASSERT_NE(load_model("@q.jm"), nullptr);
    EXPECT_NE(log().find("2 degenerate triangles deleted in @q.jm"), std::string::npos);
}

TEST(Skinning, BonesMoveVerticesByTheirWeights)
{
    int d = 0;
    Model m = build_model(parse("JM2 2 s\n1 1 1 1 1 3 1\n"
                                "1 0 0 0 1 0 0 0 1 0\n"
                                "0 0 1 0 1 0 1 0 0 1\n"
                                "1 0 1 0 1 0 0 1 1 1\n"
                                "0 1 2\n"),
                          "@s.jm", d);
    Mesh& mesh = m.meshes[0];
    // Bone 0 stays; bone 1 turns 90 degrees about y around (0, 0, 1) and
    // moves up by 2.
    float c[6] = {0, 0, 0, 0, 0, 1};
    float t[6] = {0, 0, 0, 0, 2, 1};
    float r[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0, -1, 0, 0};
    skin_mesh(mesh, 2, c, t, r);
    EXPECT_FLOAT_EQ(mesh.positions[0], 1.0f);  // bone 0 only
    EXPECT_FLOAT_EQ(mesh.positions[4], 2.0f);  // bone 1: (0,0,0) rel, up 2
    EXPECT_FLOAT_EQ(mesh.positions[5], 1.0f);
    // Half and half: (1,0,1) and R*(1,0,0) + (0,2,1) = (0,2,0) mean.
    // A weight below zero and a bone before the first count for nothing.
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "as loaded" : "with a negative weight and bone -1");
        EXPECT_FLOAT_EQ(mesh.positions[6], 0.5f);
        EXPECT_FLOAT_EQ(mesh.positions[7], 1.0f);
        EXPECT_FLOAT_EQ(mesh.positions[8], 0.5f);
        ASSERT_EQ(mesh.bone_indices[9], 1);
        mesh.weights[10] = -0.5f;
        mesh.bone_indices[10] = 1;
        mesh.weights[11] = 0.5f;
        mesh.bone_indices[11] = -1;
        skin_mesh(mesh, 2, c, t, r);
    }
}

}  // namespace
}  // namespace zv::render
