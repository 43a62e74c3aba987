#include "track/shape.h"

#include "core/data_file.h"
#include "track/track_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zv::track {
namespace {

using test::TrackFolders;

class ShapeFiles : public TrackFolders {
protected:
    ShapeFiles() { clear_shape_cache(); }
    ~ShapeFiles() override { clear_shape_cache(); }

    std::optional<Shape> read_text(std::string_view text)
    {
        put_data("probe.shp", text);
        core::DataFilePtr f = core::open_data_file(data() + "probe.shp", "rb");
        EXPECT_TRUE(f);
        return f ? read_shape(*f) : std::nullopt;
    }
};

TEST_F(ShapeFiles, ReadsSpheresAndTheirBoundingRadius)
{
    // Centre (3, 4, 0) radius 1 reaches 6; centre (0, 0, -2) radius 3.5 reaches 5.5.
    auto s = read_text("2\n3 4 0 1 0.8 5000 40\n0 0 -2 3.5 1.2 100 2\n");
    ASSERT_TRUE(s);
    ASSERT_EQ(s->spheres.size(), 2u);
    const auto& a = s->spheres[0];
    test::expect_float_rows("spheres", {{a.x, 3}, {a.y, 4}, {a.radius, 1}, {a.friction, 0.8f}, {a.spring, 5000},
                                        {a.damping, 40}, {s->spheres[1].z, -2}, {s->spheres[1].friction, 1.2f},
                                        {s->bounding_radius, 6.0f}});

    auto empty = read_text("0\n");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->spheres.empty());
    EXPECT_EQ(empty->bounding_radius, 0.0f);
}

TEST_F(ShapeFiles, AnyMissingNumberMakesTheFileCountAsMissing)
{
    // The third has a sphere of six numbers. A hostile count (the last two)
    // is refused before anything is allocated for it.
    for (const std::string& text : {std::string(), std::string("two\n"),
                                    std::string("2\n3 4 0 1 0.8 5000 40\n0 0 -2 3.5 1.2 100\n"),
                                    std::string("1\n3 4 zero 1 0.8 5000 40\n"), std::string("-1\n"),
                                    std::string("1\n0 0 0 nan 1 1 1\n"), std::string("1\n0 0 0 1e39 1 1 1\n"),
                                    std::string("2000000000\n0 0 0 1 1 1 1\n"),
                                    std::to_string(k_max_shape_spheres + 1) + "\n"})
        EXPECT_FALSE(read_text(text)) << text;
}

TEST_F(ShapeFiles, CachedByNameAndLoadedOnce)
{
    put_data("rock.shp", "1\n0 1 0 2 1 1 1\n");
    const Shape* a = load_shape("@rock.shp");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->file, "@rock.shp");
    EXPECT_FLOAT_EQ(a->bounding_radius, 3.0f);

    // Changing the file does not change the cached shape.
    put_data("rock.shp", "1\n0 0 0 9 1 1 1\n");
    EXPECT_EQ(load_shape("@rock.shp"), a);
    EXPECT_FLOAT_EQ(load_shape("@rock.shp")->bounding_radius, 3.0f);

    // A missing file is remembered as missing.
    EXPECT_EQ(load_shape("@nothing.shp"), nullptr);
    put_data("nothing.shp", "0\n");
    EXPECT_EQ(load_shape("@nothing.shp"), nullptr);
    EXPECT_EQ(shape_cache_size(), 2);

    clear_shape_cache();
    EXPECT_EQ(shape_cache_size(), 0);
    ASSERT_NE(load_shape("@rock.shp"), nullptr);
    EXPECT_FLOAT_EQ(load_shape("@rock.shp")->bounding_radius, 9.0f);
    EXPECT_NE(load_shape("@nothing.shp"), nullptr);
}

}  // namespace
}  // namespace zv::track
