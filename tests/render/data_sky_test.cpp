// The generated sky pictures as the sky box shows them: wherever two faces
// of the box meet, the pixels along their shared edge must match, or the
// box shows a seam (a band of cloud ending at a straight line, a white
// wedge in a top corner).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/data_file.h"
#include "platform/log.h"
#include "render/image.h"
#include "render/image_formats.h"
#include "support/temp_dir.h"

namespace zv::render {
namespace {

// ZV_RENDER_DATA names another folder with generated data.
std::filesystem::path data_folder()
{
    const char* other = std::getenv("ZV_RENDER_DATA");
    return other ? std::filesystem::path(other) : std::filesystem::path(ZV_BUILD_DIR);
}

struct Face {
    Image image;
    std::array<int, 3> at(int x, int y) const
    {
        std::size_t k = (static_cast<std::size_t>(y) * image.width + x) * image.channels;
        return {image.pixels[k], image.pixels[k + 1], image.pixels[k + 2]};
    }
};

class SkyPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(data_folder() / "zzzz.saf")) << "build the game_data target first";
        home_ = std::make_unique<test::ScopedEnv>("XDG_DATA_HOME", dir_ / "xdg");
        data_ = std::make_unique<test::ScopedEnv>("ZV_HOME", data_folder().string());
        log_ = std::make_unique<test::ScopedEnv>("TORV_LOGFILE", dir_ / "log.txt");
        core::reset_data_files();
        const char* names[5] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm", "@sky-u.ppm"};
        for (int f = 0; f < 5; ++f) {
            core::DataFilePtr file = core::open_data_file(names[f], "rb");
            ASSERT_TRUE(file) << names[f];
            std::vector<std::uint8_t> bytes;
            std::uint8_t block[4096];
            for (std::size_t n; (n = core::read_bytes(*file, block, sizeof block)) > 0;)
                bytes.insert(bytes.end(), block, block + n);
            std::string error;
            auto im = decode_pnm(bytes, error);
            ASSERT_TRUE(im) << names[f] << ": " << error;
            ASSERT_EQ(im->width, im->height) << names[f];
            faces_[static_cast<std::size_t>(f)].image = std::move(*im);
        }
        n_ = faces_[0].image.width;
        for (const Face& f : faces_)
            ASSERT_EQ(f.image.width, n_);
    }
    void TearDown() override
    {
        platform::log_close();
        core::reset_data_files();
    }

    // Compares edge pixel k of face a (at (ax(k), ay(k))) with its
    // neighbour on face b; returns the largest channel difference and
    // accumulates the mean.
    template <typename A, typename B>
    void expect_edge(const char* what, int a, A pa, int b, B pb)
    {
        int worst = 0;
        double sum = 0;
        for (int k = 0; k < n_; ++k) {
            auto [ax, ay] = pa(k);
            auto [bx, by] = pb(k);
            auto p = faces_[static_cast<std::size_t>(a)].at(ax, ay);
            auto q = faces_[static_cast<std::size_t>(b)].at(bx, by);
            for (int c = 0; c < 3; ++c) {
                int d = std::abs(p[static_cast<std::size_t>(c)] - q[static_cast<std::size_t>(c)]);
                worst = std::max(worst, d);
                sum += d;
            }
        }
        // Neighbouring pixels lie a pixel apart across the edge: a smooth
        // sky differs there by a few steps at most.
        EXPECT_LE(worst, 24) << what;
        EXPECT_LE(sum / (3.0 * n_), 3.0) << what;
    }

    test::TempDir dir_;
    std::unique_ptr<test::ScopedEnv> home_, data_, log_;
    std::array<Face, 5> faces_;
    int n_ = 0;
};

using XY = std::pair<int, int>;

TEST_F(SkyPictures, SideFacesMeetTheirNeighbours)
{
    const int last = n_ - 1;
    // Each side's right column meets the next side's left column (north,
    // east, south, west, going round to the right as seen from inside).
    const char* names[4] = {"north|east", "east|south", "south|west", "west|north"};
    for (int f = 0; f < 4; ++f)
        expect_edge(
            names[f], f, [&](int k) { return XY{last, k}; }, (f + 1) % 4, [&](int k) { return XY{0, k}; });
}

TEST_F(SkyPictures, TopFaceMeetsTheTopRowOfEverySide)
{
    const int last = n_ - 1;
    // The up face has north along its top row and east along its right
    // column.
    expect_edge(
        "north|up", 0, [&](int k) { return XY{k, 0}; }, 4, [&](int k) { return XY{k, 0}; });
    expect_edge(
        "east|up", 1, [&](int k) { return XY{k, 0}; }, 4, [&](int k) { return XY{last, k}; });
    expect_edge(
        "south|up", 2, [&](int k) { return XY{k, 0}; }, 4, [&](int k) { return XY{last - k, last}; });
    expect_edge(
        "west|up", 3, [&](int k) { return XY{k, 0}; }, 4, [&](int k) { return XY{0, last - k}; });
}

}  // namespace
}  // namespace zv::render
