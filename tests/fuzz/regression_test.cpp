// Every input that once broke a reader, and every harness's own seeds, run
// again through the same harness code the fuzzer drives. A fault shows as a
// crash here (and as a sanitizer report in the sanitizer build).
#include <gtest/gtest.h>

#include <cctype>
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

// A line of a libFuzzer dictionary: a comment, or an optional name and a
// quoted entry where only \\, \" and \xAB escapes are allowed.
bool dictionary_line_ok(const std::string& line)
{
    if (line.empty() || line[0] == '#')
        return true;
    std::size_t q = line.find('"');
    if (q == std::string::npos || line.back() != '"' || q + 1 >= line.size() - 1)
        return false;
    for (std::size_t i = q + 1; i + 1 < line.size(); ++i) {
        if (line[i] == '"')
            return false;
        if (line[i] != '\\')
            continue;
        char next = i + 2 < line.size() ? line[i + 1] : '\0';
        if (next == 'x') {
            if (i + 4 >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[i + 2])) ||
                !std::isxdigit(static_cast<unsigned char>(line[i + 3])))
                return false;
            i += 3;
        } else if (next == '\\' || next == '"') {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

TEST(FuzzRegression, DictionariesNameAHarnessAndParse)
{
    // The fuzzing script passes fuzz/dict/<harness>.dict to its harness; a
    // misnamed file is never used, a malformed one stops libFuzzer.
    const fs::path dir = fs::path(ZV_SOURCE_DIR) / "fuzz" / "dict";
    ASSERT_TRUE(fs::is_directory(dir));
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        SCOPED_TRACE(e.path().string());
        EXPECT_EQ(e.path().extension(), ".dict");
        EXPECT_NE(find_harness(e.path().stem().string()), nullptr);
        std::ifstream in(e.path());
        int entries = 0;
        for (std::string line; std::getline(in, line);) {
            EXPECT_TRUE(dictionary_line_ok(line)) << line;
            entries += !line.empty() && line[0] != '#';
        }
        EXPECT_GT(entries, 0);
    }
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
