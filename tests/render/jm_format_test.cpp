// ".jm" model files: what the writer prints, what the reader accepts, and the
// ends it draws when a file is damaged.
#include "render/jm_format.h"

#include <gtest/gtest.h>

#include <iterator>
#include <tuple>
#include <utility>

namespace {

using namespace zv::render;

JmModel triangle_model(int bones)
{
    JmModel m;
    m.version = 2;
    m.bone_count = bones;
    m.skeleton = bones ? "rider" : "none";
    JmMesh mesh;
    mesh.material = {32, 0.5f, 1, 0.25f, 0};
    for (int i = 0; i < 3; ++i) {
        JmVertex v;
        v.position = {static_cast<float>(i), i == 1 ? 1.0f : 0.0f, -0.5f};
        v.normal = {0, 0, 1};
        v.uv = {0.125f * i, 1 - 0.125f * i};
        v.weights.assign(static_cast<std::size_t>(bones), 0.0f);
        if (bones)
            v.weights[static_cast<std::size_t>(i % bones)] = 1;
        mesh.vertices.push_back(v);
    }
    mesh.triangles = {{0, 1, 2}};
    m.meshes.push_back(mesh);
    return m;
}

TEST(JmFormat, WritesTheExpectedText)
{
    auto text = write_jm(triangle_model(2));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "JM2 2 rider\n"
              "32 0.5 1 0.25 0 3 1\n"
              "0 0 -0.5 0 0 1 0 1 1 0\n"
              "1 1 -0.5 0 0 1 0.125 0.875 0 1\n"
              "2 0 -0.5 0 0 1 0.25 0.75 1 0\n"
              "0 1 2\n");
}

TEST(JmFormat, RoundTripsSeveralMeshes)
{
    JmModel m = triangle_model(3);
    JmModel two = triangle_model(3);
    m.meshes.push_back(two.meshes[0]);
    m.meshes[1].material[0] = -1;  // a translucent mesh: m2 is its alpha
    auto text = write_jm(m);
    ASSERT_TRUE(text);
    auto back = read_jm(*text);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tuple(back->version, back->bone_count, back->skeleton), std::tuple(2, 3, "rider"));
    ASSERT_EQ(back->meshes.size(), 2u);
    EXPECT_EQ(back->meshes[1].material[0], -1.0f);
    for (std::size_t k = 0; k < 2; ++k) {
        ASSERT_EQ(back->meshes[k].vertices.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(back->meshes[k].vertices[i].position, m.meshes[k].vertices[i].position);
            EXPECT_EQ(back->meshes[k].vertices[i].uv, m.meshes[k].vertices[i].uv);
            EXPECT_EQ(back->meshes[k].vertices[i].weights, m.meshes[k].vertices[i].weights);
        }
        EXPECT_EQ(back->meshes[k].triangles, m.meshes[k].triangles);
    }
}

TEST(JmFormat, NegativeZeroIsWrittenAsZero)
{
    JmModel m = triangle_model(0);
    m.meshes[0].vertices[0].position = {-0.0f, 0, 0};
    auto text = write_jm(m);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find("-0 "), std::string::npos);
}

TEST(JmFormat, WriterRefusesWhatNoReaderCouldUse)
{
    // {bones, what breaks the model}
    const std::pair<int, void (*)(JmModel&)> cases[] = {
        {2, [](JmModel& m) { m.meshes[0].triangles[0][2] = 3; }},           // past the vertices
        {2, [](JmModel& m) { m.meshes[0].triangles[0][0] = -1; }},
        {2, [](JmModel& m) { m.meshes[0].vertices[1].weights.pop_back(); }},  // weights must match the bones
        {2, [](JmModel& m) { m.skeleton = "two words"; }},
        {0, [](JmModel& m) { m.meshes.clear(); }},
        {0, [](JmModel& m) { m.meshes[0].triangles.clear(); }},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        JmModel m = triangle_model(cases[i].first);
        cases[i].second(m);
        EXPECT_FALSE(write_jm(m)) << "case " << i;
    }
}

TEST(JmFormat, ReadsVersionOneAndTheOlderLayout)
{
    auto v1 = read_jm("JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n");
    ASSERT_TRUE(v1);
    EXPECT_EQ(std::tuple(v1->version, v1->bone_count, v1->meshes.size()), std::tuple(1, 0, 1u));
    auto old = read_jm("3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(std::pair(old->version, old->meshes[0].vertices[1].uv[0]), std::pair(0, 1.0f));
    // The older layout writes back without a header.
    auto text = write_jm(*old);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->substr(0, 4), "3 1\n");
}

TEST(JmFormat, RejectsBadHeaders)
{
    // No bone count, no skeleton name, beyond the bone limit, no mesh at all.
    for (const char* text : {"", "JM3 0 x\n", "JMx\n", "JM2\n", "JM2 1\n", "JM2 -1 rider\n", "JM2 999 rider\n",
                             "JM2 0 none\n"})
        EXPECT_FALSE(read_jm(text)) << text;
}

TEST(JmFormat, ADamagedMeshEndsTheListAndKeepsTheEarlierOnes)
{
    std::string good = *write_jm(triangle_model(0));
    std::string mesh = good.substr(good.find('\n') + 1);
    // Second mesh cut short inside its vertices.
    std::string text = good + mesh.substr(0, mesh.size() / 2);
    auto m = read_jm(text);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->meshes.size(), 1u);
    // A word where a number belongs.
    auto bad = read_jm("JM2 0 none\n32 1 1 1 1 3 1\n0 0 zero 0 1 0 0 0\n");
    EXPECT_FALSE(bad);
    // Counts beyond the limits are refused before anything is allocated.
    EXPECT_FALSE(read_jm("JM2 0 none\n32 1 1 1 1 99999999 1\n"));
    EXPECT_FALSE(read_jm("JM2 0 none\n32 1 1 1 1 3 -1\n"));
}

TEST(JmFormat, DamagedCopiesNeverCrashTheReader)
{
    JmModel m = triangle_model(4);
    m.meshes.push_back(triangle_model(4).meshes[0]);
    std::string good = *write_jm(m);
    // Every prefix, and copies with one character replaced by characters
    // that turn numbers into words, signs or huge values.
    for (std::size_t n = 0; n <= good.size(); ++n) {
        auto r = read_jm(std::string_view(good).substr(0, n));
        if (r) {
            EXPECT_LE(r->meshes.size(), 2u);
        }
    }
    const char replacements[] = {'x', '-', '9', ' ', '\n', '.', 'e', '\0'};
    for (std::size_t at = 0; at < good.size(); at += 3)
        for (char c : replacements) {
            std::string bad = good;
            bad[at] = c;
            auto r = read_jm(bad);
            if (!r)
                continue;
            for (const JmMesh& mesh : r->meshes) {
                EXPECT_LE(mesh.vertices.size(), static_cast<std::size_t>(k_jm_max_vertices));
                for (const JmVertex& v : mesh.vertices)
                    EXPECT_EQ(v.weights.size(), static_cast<std::size_t>(r->bone_count));
            }
        }
}

TEST(JmFormat, TriangleIndicesAreKeptAsRead)
{
    // Validation is the loader's: the reader hands over what the file says.
    auto m = read_jm("JM2 0 none\n32 1 1 1 1 3 2\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n0 1 7\n");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->meshes[0].triangles.size(), 2u);
    EXPECT_EQ(m->meshes[0].triangles[1][2], 7);
}

}  // namespace
