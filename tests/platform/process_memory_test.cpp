#include "platform/process_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace zv::platform {
namespace {

TEST(ProcessStatus, ReadsResidentAndPeakOrRefusesMalformedLines)
{
    struct Case {
        const char* text;
        long long resident_kb;  // -1: refused
        long long peak_kb;
    };
    const Case cases[] = {
        // As the kernel writes it: tabs, padding, other lines around.
        {"Name:\tzarvox\nVmPeak:\t  905000 kB\nVmHWM:\t  270336 kB\nVmRSS:\t  264164 kB\nThreads:\t4\n", 264164,
         270336},
        // Order does not matter; a last line without a line feed counts.
        {"VmRSS: 12 kB\nVmHWM: 34 kB", 12, 34},
        {"VmHWM:\t0 kB\r\nVmRSS:\t0 kB\r\n", 0, 0},
        // Either line missing.
        {"VmRSS:\t100 kB\n", -1, 0},
        {"VmHWM:\t100 kB\n", -1, 0},
        {"", -1, 0},
        // A look-alike key is not the key.
        {"VmRSSx:\t1 kB\nVmHWM:\t2 kB\n", -1, 0},
        // No number, a sign, a fraction, another unit, trailing junk.
        {"VmRSS:\t kB\nVmHWM:\t2 kB\n", -1, 0},
        {"VmRSS:\t-5 kB\nVmHWM:\t2 kB\n", -1, 0},
        {"VmRSS:\t1.5 kB\nVmHWM:\t2 kB\n", -1, 0},
        {"VmRSS:\t1 MB\nVmHWM:\t2 kB\n", -1, 0},
        {"VmRSS:\t1 kB x\nVmHWM:\t2 kB\n", -1, 0},
        {"VmRSS:\t1\nVmHWM:\t2 kB\n", -1, 0},
        // A number too long for any machine is refused, not wrapped.
        {"VmRSS:\t99999999999999999999999 kB\nVmHWM:\t2 kB\n", -1, 0},
        // Digits are taken while the value is at most 2^50 before the next one.
        {"VmRSS:\t11258999068426240 kB\nVmHWM:\t2 kB\n", 11258999068426240, 2},
        {"VmRSS:\t11258999068426250 kB\nVmHWM:\t2 kB\n", -1, 0},
    };
    for (const Case& c : cases) {
        const std::optional<ProcessMemory> m = parse_process_status(c.text);
        if (c.resident_kb < 0) {
            EXPECT_FALSE(m) << c.text;
            continue;
        }
        ASSERT_TRUE(m) << c.text;
        EXPECT_EQ(m->resident_kb, c.resident_kb) << c.text;
        EXPECT_EQ(m->peak_kb, c.peak_kb) << c.text;
    }
    EXPECT_DOUBLE_EQ(kb_to_mb(1536), 1.5);
}

// This process's own figures follow memory it touches.
TEST(ProcessStatus, ThisProcessSeesMemoryItTouches)
{
    const std::optional<ProcessMemory> before = process_memory();
    ASSERT_TRUE(before);
    EXPECT_GT(before->resident_kb, 0);
    EXPECT_GE(before->peak_kb, before->resident_kb);
    constexpr std::size_t bytes = 64u << 20;
    auto block = std::make_unique<char[]>(bytes);
    std::memset(block.get(), 1, bytes);
    const std::optional<ProcessMemory> after = process_memory();
    ASSERT_TRUE(after);
    EXPECT_GE(after->resident_kb - before->resident_kb, 48 << 10);
    EXPECT_GE(after->peak_kb, after->resident_kb);
    EXPECT_EQ(block[bytes - 1], 1);
}

}  // namespace
}  // namespace zv::platform
