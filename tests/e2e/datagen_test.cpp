// The generated game data: the same bytes on every run, and the release
// digests that the game checks match what the generator writes.
#include "program.h"

#include "core/data_file.h"
#include "core/digest.h"
#include "core/release_digests.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace zv;
using test::TempDir;

const std::string k_datagen = std::string(ZV_BUILD_DIR) + "/zarvox-datagen";

std::string first_mib_digest(const std::string& bytes)
{
    std::string head = bytes.substr(0, 1024 * 1024);
    core::Ripemd160 r;
    r.update(head);
    return core::digest_hex(r.finish());
}

// One run of the generator, against the copy the build made with its own
// run: the same bytes both times, and the digests the game checks.
TEST(Datagen, WritesTheSameArchiveEveryTimeWithTheReleaseDigests)
{
    TempDir dir;
    test::RunResult r = test::run_program(k_datagen, {"--part=archive", "--out=" + (dir / "data/deeper")}, {},
                                          dir / "run");
    ASSERT_EQ(r.status, 0) << r.err;
    std::optional<std::string> bytes = test::read_file(dir / "data/deeper/zzzz.saf");
    ASSERT_TRUE(bytes);
    std::optional<std::string> built = test::read_file(std::string(ZV_BUILD_DIR) + "/zzzz.saf");
    ASSERT_TRUE(built) << "build the game_data target first";
    EXPECT_EQ(*built, *bytes);
    // The directory ends with its "-" line before any member data.
    EXPECT_NE(bytes->find("\n-\n"), std::string::npos);
    EXPECT_EQ(first_mib_digest(*bytes), core::k_reference_archive_digest)
        << "the generated data changed: update k_reference_archive_digest";

    test::ScopedEnv home("XDG_DATA_HOME", dir / "xdg");
    test::ScopedEnv data("ZV_HOME", dir / "data/deeper");
    test::ScopedEnv log("TORV_LOGFILE", dir / "log.txt");
    core::reset_data_files();
    core::Ripemd160 digest;
    for (std::string_view name : core::k_generic_shape_files) {
        std::vector<std::uint8_t> shape;
        if (core::read_data_file(name, shape))
            digest.update(shape.data(), shape.size());
    }
    EXPECT_EQ(core::digest_hex(digest.finish()), core::k_generic_shape_digests[0])
        << "the generated shapes changed: update k_generic_shape_digests";
    platform::log_close();
    core::reset_data_files();
}

TEST(Datagen, RefusesABadCommandLine)
{
    TempDir dir;
    EXPECT_EQ(test::run_program(k_datagen, {}, {}, dir / "r1").status, 2);
    EXPECT_EQ(test::run_program(k_datagen, {"--out"}, {}, dir / "r2").status, 2);
    EXPECT_EQ(test::run_program(k_datagen, {"--bogus"}, {}, dir / "r3").status, 2);
    // A file where the folder should be.
    test::write_file(dir / "file", "x");
    test::RunResult r = test::run_program(k_datagen, {"--out", dir / "file"}, {}, dir / "r4");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("zarvox-datagen: "), std::string::npos);
}

}  // namespace
