// Every input that once broke a reader, and every harness's own seeds, run
// again through the same harness code the fuzzer drives. A fault shows as a
// crash here (and as a sanitizer report in the sanitizer build).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "harness.h"

namespace zv::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path k_regressions = fs::path(ZV_SOURCE_DIR) / "fuzz" / "regressions";

std::string read_bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int run(const Harness& h, const std::string& bytes)
{
    return h.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(FuzzRegression, EveryFolderNamesAHarness)
{
    // A folder whose name matches no harness would never be replayed.
    ASSERT_TRUE(fs::is_directory(k_regressions));
    for (const fs::directory_entry& e : fs::directory_iterator(k_regressions))
        if (e.is_directory()) {
            EXPECT_NE(find_harness(e.path().filename().string()), nullptr) << e.path();
        }
    std::set<std::string> names;
    for (const Harness& h : harnesses())
        EXPECT_TRUE(names.insert(h.name).second) << "two harnesses named " << h.name;
}

TEST(FuzzRegression, SavedInputsRunClean)
{
    int replayed = 0;
    for (const Harness& h : harnesses()) {
        fs::path dir = k_regressions / h.name;
        if (!fs::is_directory(dir))
            continue;
        for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
            SCOPED_TRACE(e.path().string());
            EXPECT_EQ(run(h, read_bytes(e.path())), 0);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

TEST(FuzzRegression, SeedsAndTheirDamageRunClean)
{
    // Every seed is a real file of its kind; cut short and with bytes flipped
    // it must still be refused or read without harm.
    for (const Harness& h : harnesses()) {
        Seeds seeds = h.seeds();
        EXPECT_FALSE(seeds.empty()) << h.name;
        for (const std::string& seed : seeds) {
            SCOPED_TRACE(std::string(h.name) + " seed of " + std::to_string(seed.size()) + " bytes");
            EXPECT_FALSE(seed.empty());
            EXPECT_EQ(run(h, seed), 0);
            for (std::size_t cut : {seed.size() / 2, seed.size() / 3, std::size_t{1}})
                EXPECT_EQ(run(h, seed.substr(0, cut)), 0);
            std::string flipped = seed;
            for (std::size_t i = 0; i < flipped.size(); i += 7)
                flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
            EXPECT_EQ(run(h, flipped), 0);
        }
    }
}

}  // namespace
}  // namespace zv::fuzz
