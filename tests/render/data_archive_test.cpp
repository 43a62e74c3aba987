// The generated base archive: every member loads with the program's own
// readers, every name the bike rows use is there, paints and riding gear
// exist for every chooser, and the release digests are those of this data.
#include "core/bike_names.h"
#include "core/data_file.h"
#include "core/digest.h"
#include "core/release_digests.h"
#include "e2e/program.h"
#include "platform/log.h"
#include "render/jm_format.h"
#include "render/png_io.h"
#include "sim/bike_info.h"
#include "support/temp_dir.h"
#include "track/shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

namespace {

using namespace zv;

const std::filesystem::path k_data = ZV_BUILD_DIR;

// The data the build generated beside the programs (the game_data target),
// read through the data folder as the game reads it.
class DataArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = std::make_unique<test::TempDir>(); }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(k_data / "zzzz.saf")) << "build the game_data target first";
        home_ = std::make_unique<test::ScopedEnv>("XDG_DATA_HOME", *dir_ / "xdg");
        data_ = std::make_unique<test::ScopedEnv>("ZV_HOME", k_data.string());
        log_ = std::make_unique<test::ScopedEnv>("TORV_LOGFILE", *dir_ / "log.txt");
        core::reset_data_files();
    }
    void TearDown() override
    {
        platform::log_close();
        core::reset_data_files();
    }

    // The archive's members (its directory lines "<size> <path>" up to "-").
    static std::vector<std::string> members_ending(std::string_view suffix)
    {
        std::vector<std::string> out;
        auto bytes = test::read_file(k_data / "zzzz.saf");
        if (!bytes)
            return out;
        std::istringstream in(*bytes);
        std::string line;
        while (std::getline(in, line) && line != "-") {
            std::string path = line.substr(line.find(' ') + 1);
            if (path.size() >= suffix.size() && std::string_view(path).substr(path.size() - suffix.size()) == suffix)
                out.push_back(path);
        }
        return out;
    }
    static std::vector<std::uint8_t> bytes_of(const std::string& name)
    {
        std::vector<std::uint8_t> b;
        core::read_data_file("@" + name, b);
        return b;
    }
    static bool exists(const std::string& name) { return core::open_data_file("@" + name, "rb") != nullptr; }

    static inline std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::ScopedEnv> home_, data_, log_;
};

struct P3 {
    double x, y, z;
};
P3 sub(const std::array<float, 3>& a, const std::array<float, 3>& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
P3 cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

TEST_F(DataArchive, EveryModelParsesWithCleanTrianglesFacingOutwards)
{
    auto models = members_ending(".jm");
    ASSERT_GE(models.size(), 20u);
    for (const std::string& name : models) {
        std::vector<std::uint8_t> b = bytes_of(name);
        auto m = render::read_jm(std::string(b.begin(), b.end()));
        ASSERT_TRUE(m) << name;
        EXPECT_EQ(m->version, 2) << name;
        for (const render::JmMesh& mesh : m->meshes) {
            ASSERT_FALSE(mesh.triangles.empty()) << name;
            for (const render::JmVertex& v : mesh.vertices) {
                double len = std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2]);
                EXPECT_NEAR(len, 1.0, 0.01) << name;
                if (m->bone_count > 0) {
                    float sum = 0;
                    for (float w : v.weights)
                        sum += w;
                    EXPECT_NEAR(sum, 1.0f, 1e-3f) << name;
                }
            }
            for (const auto& t : mesh.triangles) {
                for (int i : t)
                    ASSERT_TRUE(i >= 0 && static_cast<std::size_t>(i) < mesh.vertices.size()) << name;
                const auto& a = mesh.vertices[static_cast<std::size_t>(t[0])];
                const auto& b2 = mesh.vertices[static_cast<std::size_t>(t[1])];
                const auto& c = mesh.vertices[static_cast<std::size_t>(t[2])];
                P3 face = cross(sub(b2.position, a.position), sub(c.position, a.position));
                double area = std::sqrt(face.x * face.x + face.y * face.y + face.z * face.z);
                EXPECT_GT(area, 0.0) << name << ": degenerate triangle";
                // Counter-clockwise seen from where the normals point (the
                // renderer culls back faces).
                double facing = face.x * (a.normal[0] + b2.normal[0] + c.normal[0]) +
                                face.y * (a.normal[1] + b2.normal[1] + c.normal[1]) +
                                face.z * (a.normal[2] + b2.normal[2] + c.normal[2]);
                EXPECT_GE(facing, 0.0) << name;
            }
        }
    }
}

TEST_F(DataArchive, TheRiderIsSkinnedWithAtMostTenBones)
{
    for (const char* name : {"rider_body.jm", "rider_body_fp.jm", "rider_head.jm"}) {
        std::vector<std::uint8_t> b = bytes_of(name);
        auto m = render::read_jm(std::string(b.begin(), b.end()));
        ASSERT_TRUE(m) << name;
        EXPECT_GT(m->bone_count, 0) << name;
        EXPECT_LE(m->bone_count, 10) << name;
        EXPECT_EQ(m->skeleton, "rider");
    }
}

TEST_F(DataArchive, BikeModelsHaveCoarserVariantsForDistantBikes)
{
    auto triangles = [&](const std::string& name) {
        std::vector<std::uint8_t> b = bytes_of(name);
        auto m = render::read_jm(std::string(b.begin(), b.end()));
        std::size_t n = 0;
        if (m)
            for (const render::JmMesh& mesh : m->meshes)
                n += mesh.triangles.size();
        return n;
    };
    const sim::BikeInfo& b = sim::bike_table()[0];
    for (const char* model : {b.art.frame, b.art.front_wheel, b.art.rear_wheel, b.art.rider_body, b.art.rider_head}) {
        std::string file = model[0] == '@' ? model + 1 : model;
        if (file.find('.') == std::string::npos)
            file += ".jm";
        std::string stem = file.substr(0, file.rfind('.'));
        std::size_t full = triangles(file), lod1 = triangles(stem + "_lod1.jm"), lod2 = triangles(stem + "_lod2.jm");
        EXPECT_GT(full, lod1) << file;
        EXPECT_GT(lod1, lod2) << file;
        EXPECT_GT(lod2, 0u) << file;
    }
}

TEST_F(DataArchive, EveryShapeParses)
{
    auto shapes = members_ending(".shp");
    ASSERT_GE(shapes.size(), 12u);
    for (const std::string& name : shapes) {
        core::DataFilePtr f = core::open_data_file("@" + name, "rb");
        ASSERT_TRUE(f) << name;
        auto shape = track::read_shape(*f);
        ASSERT_TRUE(shape) << name;
        EXPECT_FALSE(shape->spheres.empty()) << name;
        for (const auto& s : shape->spheres) {
            EXPECT_GT(s.radius, 0) << name;
            EXPECT_GT(s.spring, 0) << name;
        }
    }
}

TEST_F(DataArchive, EveryPictureDecodes)
{
    auto pngs = members_ending(".png");
    ASSERT_GE(pngs.size(), 100u);
    for (const std::string& name : pngs) {
        auto img = render::decode_png(bytes_of(name));
        ASSERT_TRUE(img) << name;
        // Power-of-two sizes: no resampling at load.
        EXPECT_EQ(img->width & (img->width - 1), 0) << name;
        EXPECT_EQ(img->height & (img->height - 1), 0) << name;
    }
    for (const std::string& name : members_ending(".ppm")) {
        std::vector<std::uint8_t> b = bytes_of(name);
        std::string text(b.begin(), b.end());
        std::istringstream in(text);
        std::string magic;
        int w = 0, h = 0, max = 0;
        in >> magic >> w >> h >> max;
        EXPECT_EQ(magic, "P6") << name;
        EXPECT_EQ(max, 255) << name;
        std::size_t header = static_cast<std::size_t>(in.tellg()) + 1;
        EXPECT_EQ(b.size(), header + static_cast<std::size_t>(w) * h * 3) << name;
    }
}

TEST_F(DataArchive, EveryNameOfTheBikeRowsIsThere)
{
    // A table name is a data-file name with or without its "@" and extension.
    auto file = [](const char* name, const char* ext) {
        std::string n = name;
        if (!n.empty() && n[0] == '@')
            n.erase(0, 1);
        if (n.find('.') == std::string::npos)
            n += ext;
        return n;
    };
    for (const sim::BikeInfo& b : sim::bike_table()) {
        const sim::BikeArt& a = b.art;
        for (const char* model : {a.frame, a.fork_upper, a.fork_lower, a.swingarm, a.front_wheel, a.rear_wheel,
                                  a.rider_head, a.rider_body, a.rider_first_person_body, a.side_plates,
                                  a.front_plate, a.rider_number_plate})
            EXPECT_TRUE(exists(file(model, ".jm"))) << b.name << ": " << model;
        for (const char* shape : {a.frame_shape, a.fork_upper_shape, a.fork_lower_shape, a.swingarm_shape,
                                  a.front_wheel_shape, a.rear_wheel_shape, a.rider_shape})
            EXPECT_TRUE(exists(file(shape, ".shp"))) << b.name << ": " << shape;
        for (const char* tex : {a.bike_texture, a.wheel_texture, a.rider_head_texture, a.rider_body_texture})
            EXPECT_TRUE(exists(file(tex, ".png"))) << b.name << ": " << tex;
    }
    for (const char* name : {"startgate.jm", "startgate.ppm", "startgate.shp", "roost.png", "colors/white.png",
                             "sky-n.ppm", "sky-e.ppm", "sky-s.ppm", "sky-w.ppm", "sky-u.ppm", "sky-env.ppm",
                             "tach.png", "shifter.png", "pitboard.png", "title.png", "font.png", "font.txt"})
        EXPECT_TRUE(exists(name)) << name;
}

TEST_F(DataArchive, EveryChooserHasPaintsAndTheRosterFindsItsVariants)
{
    for (const core::BikeModelName& m : core::k_bike_models) {
        core::Variants v = core::list_variants(m.paint_prefix);
        EXPECT_GE(v.names.size(), 4u) << m.paint_prefix;  // "default" and three paints
    }
    for (const char* prefix : {"rider_body-", "rider_head-", "wheels-"})
        EXPECT_GE(core::list_variants(prefix).names.size(), 4u) << prefix;
    for (const char* name : {"crf250-alt1.png", "crf250-alt2.png", "kx250f-alt1.png", "yz250f-alt2.png",
                             "rmz250-alt1.png", "kx125-alt1.png", "yz125-alt1.png", "cr125-alt1.png",
                             "rm125-alt1.png", "wheels-alt1.png", "wheels-alt2.png", "rider_body-alt3.png",
                             "rider_head-alt3.png"})
        EXPECT_TRUE(exists(name)) << name;
}

TEST_F(DataArchive, BikePaintsCarryTheirNumberPlateColours)
{
    auto img = render::decode_png(bytes_of("450sxfv2016-stock.png"));
    ASSERT_TRUE(img);
    std::string info = render::png_info_text(*img);
    float r, g, b;
    std::size_t at = info.find("[numberbackground:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::sscanf(info.c_str() + at, "[numberbackground:%f,%f,%f", &r, &g, &b), 3);
    at = info.find("[numberforeground:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::sscanf(info.c_str() + at, "[numberforeground:%f,%f,%f", &r, &g, &b), 3);
}

TEST_F(DataArchive, DisplayPicturesHaveTheirLayout)
{
    auto shifter = render::decode_png(bytes_of("shifter.png"));
    ASSERT_TRUE(shifter);
    EXPECT_EQ(shifter->width, shifter->height);
    // Gear cells are thirds of the picture: the middle of cell "1" (top
    // middle) has ink, the two blank cells at the bottom right have none.
    auto alpha_at = [&](float fx, float fy) {
        int x = static_cast<int>(fx * shifter->width), y = static_cast<int>(fy * shifter->height);
        return shifter->pixels[(static_cast<std::size_t>(y) * shifter->width + x) * 4 + 3];
    };
    EXPECT_GT(alpha_at(0.5f, 1 / 6.0f), 0);
    EXPECT_EQ(alpha_at(0.5f, 5 / 6.0f), 0);
    EXPECT_EQ(alpha_at(5 / 6.0f, 5 / 6.0f), 0);
    auto font = render::decode_png(bytes_of("font.png"));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->width, 512);
    EXPECT_EQ(font->format, render::PngFormat::rgba);
    std::vector<std::uint8_t> m = bytes_of("font.txt");
    std::string metrics(m.begin(), m.end());
    for (int c = 32; c < 127; ++c)
        EXPECT_NE(metrics.find("char " + std::to_string(c) + " "), std::string::npos) << c;
    // The glyph of 'A' (cell 1 of row 4) has ink; the space has none.
    auto alpha_in_cell = [&](int code) {
        int cx = (code % 16) * 32, cy = (code / 16) * 32, sum = 0;
        for (int y = cy; y < cy + 32; ++y)
            for (int x = cx; x < cx + 32; ++x)
                sum += font->pixels[(static_cast<std::size_t>(y) * 512 + x) * 4 + 3];
        return sum;
    };
    EXPECT_GT(alpha_in_cell('A'), 1000);
    EXPECT_EQ(alpha_in_cell(' '), 0);
}

TEST_F(DataArchive, EngineSoundDefaultsForEveryClass)
{
    for (const char* name : {"default50.braap", "default125.braap", "default250.braap", "default250f.braap",
                             "default450f.braap"}) {
        std::vector<std::uint8_t> b = bytes_of(name);
        std::string text(b.begin(), b.end());
        std::size_t at = text.find("\npipe ");
        ASSERT_NE(at, std::string::npos) << name;
        float l, w, g;
        int a, z;
        EXPECT_EQ(std::sscanf(text.c_str() + at, "\npipe %f %f %f %d %d", &l, &w, &g, &a, &z), 5) << name;
        EXPECT_NE(text.find("\nminrpm "), std::string::npos) << name;
    }
}

TEST_F(DataArchive, ReleaseDigestsAreThoseOfThisData)
{
    core::Ripemd160 shapes;
    for (std::string_view name : core::k_generic_shape_files) {
        std::vector<std::uint8_t> b;
        ASSERT_TRUE(core::read_data_file(name, b)) << name;
        shapes.update(b.data(), b.size());
    }
    EXPECT_EQ(core::digest_hex(shapes.finish()), core::k_generic_shape_digests[0])
        << "the generated shapes changed: update k_generic_shape_digests";
    auto archive = test::read_file(k_data / "zzzz.saf");
    ASSERT_TRUE(archive);
    core::Ripemd160 head;
    head.update(archive->substr(0, 1024 * 1024));
    EXPECT_EQ(core::digest_hex(head.finish()), core::k_reference_archive_digest)
        << "the generated data changed: update k_reference_archive_digest";
}

}  // namespace
