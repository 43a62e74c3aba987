// The allocation checker decides at the first allocation of a process, so
// its cases run in fresh copies of this program started with the wanted
// environment; the copy runs one scenario from a static constructor and
// exits before the test framework starts.
#include "core/memory.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace zv::core {
namespace {

constexpr const char* k_scenario_var = "ZV_MEMORY_TEST_SCENARIO";
constexpr std::size_t k_huge = std::numeric_limits<std::size_t>::max() / 4;

// ---- scenarios (run in the child) -----------------------------------------

[[noreturn]] void fail(const char* what)
{
    std::printf("FAIL %s\n", what);
    std::fflush(stdout);
    _exit(3);
}

void expect(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

struct alignas(64) Aligned {
    char bytes[64];
};

void scenario_record()
{
    void* p = tracked_alloc(10);
    expect(allocation_checking(), "checking on");
    int sp = allocation_serial(p);
    expect(sp >= 0, "p recorded");

    auto* q = static_cast<unsigned char*>(tracked_calloc(3, 4));
    for (int i = 0; i < 12; ++i)
        expect(q[i] == 0, "calloc zeroed");
    int sq = allocation_serial(q);
    expect(sq > sp, "serials rise");

    auto* r0 = static_cast<char*>(tracked_alloc(8));
    std::memcpy(r0, "abcdefg", 8);
    auto* r = static_cast<char*>(tracked_realloc(r0, 100));
    expect(r && std::strcmp(r, "abcdefg") == 0, "realloc keeps the bytes");
    expect(allocation_serial(r0) == -1, "realloc drops the old record");
    int sr = allocation_serial(r);
    expect(sr > sq, "realloc records anew");

    auto owned = std::make_unique<long[]>(4);
    // A freed block is looked up by its address alone; nothing reads
    // through the pointer, whatever GCC fears.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
    void* raw = owned.get();
    expect(allocation_serial(raw) >= 0, "new[] recorded");
    owned.reset();
    expect(allocation_serial(raw) == -1, "delete[] unrecords");

    auto aligned = std::make_unique<Aligned>();
    expect(reinterpret_cast<std::uintptr_t>(aligned.get()) % 64 == 0, "aligned new");
    void* raw_aligned = aligned.get();
    expect(allocation_serial(raw_aligned) >= 0, "aligned new recorded");
    aligned.reset();
    expect(allocation_serial(raw_aligned) == -1, "aligned delete unrecords");
#pragma GCC diagnostic pop

    tracked_free(p);
    expect(allocation_serial(p) == -1, "free unrecords");

    // Many blocks share home slots; freeing half of them must leave every
    // other one findable (the table closes each hole behind it). Blocks of
    // one size lie evenly spaced, which the slot hash spreads without a
    // single shared slot: mixed sizes make the addresses irregular.
    std::vector<void*> many(100000);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = tracked_alloc(8 + i * 7919 % 200);
    for (std::size_t i = 0; i < many.size(); i += 2)
        tracked_free(many[i]);
    for (std::size_t i = 1; i < many.size(); i += 2)
        expect(allocation_serial(many[i]) >= 0, "the rest still found");
    for (std::size_t i = 1; i < many.size(); i += 2)
        tracked_free(many[i]);

    void* stranger = std::malloc(16);  // never seen by the checker
    tracked_free(stranger);
    expect(tracked_realloc(stranger, 32) == nullptr, "realloc of a stranger fails");
    std::printf("stranger %p\nq %p:%d\nr %p:%d\np %d\n", stranger, static_cast<void*>(q), sq,
                static_cast<void*>(r), sr, sp);
    std::free(stranger);
    std::fflush(stdout);
    report_allocations();
}

void scenario_full()
{
    constexpr std::size_t n = (1u << 20) + 16;
    auto** blocks = static_cast<void**>(std::malloc(n * sizeof(void*)));
    expect(blocks != nullptr, "block list");
    for (std::size_t i = 0; i < n; ++i)
        blocks[i] = tracked_alloc(8);
    expect(!allocation_checking(), "checking turned off");
    // With checking off nothing is looked up any more.
    void* stranger = std::malloc(4);
    tracked_free(stranger);
    for (std::size_t i = 0; i < n; ++i)
        tracked_free(blocks[i]);
    std::free(blocks);
    report_allocations();
}

void scenario_off()
{
    void* p = tracked_alloc(10);
    expect(!allocation_checking(), "checking off");
    expect(allocation_serial(p) == -1, "nothing recorded");
    tracked_free(p);
    void* stranger = std::malloc(4);
    tracked_free(stranger);
    report_allocations();
}

void say_sound_closed()
{
    std::fputs("sound closed\n", stderr);
}

void say_window_closed()
{
    std::fputs("window closed\n", stderr);
}

void scenario_out_of_memory()
{
    set_out_of_memory_hooks(say_sound_closed, say_window_closed);
    out_of_memory();
}

void scenario_new_handler()
{
    set_out_of_memory_hooks(nullptr, say_window_closed);
    install_out_of_memory_handler();
    void* p = ::operator new(k_huge);
    std::printf("survived %p\n", p);
}

void scenario_alloc_or_exit()
{
    void* p = alloc_or_exit(k_huge);
    std::printf("survived %p\n", p);
}

void scenario_no_handler()
{
    std::set_new_handler(nullptr);
    expect(::operator new(k_huge, std::nothrow) == nullptr, "nothrow new gives null");
    expect(::operator new[](k_huge, std::align_val_t(64), std::nothrow) == nullptr,
           "aligned nothrow new gives null");
    bool threw = false;
    try {
        void* p = ::operator new(k_huge);
        ::operator delete(p);
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    expect(threw, "new throws bad_alloc without a handler");
}

struct RunScenario {
    RunScenario()
    {
        const char* name = std::getenv(k_scenario_var);
        if (!name)
            return;
        std::string s = name;
        if (s == "record")
            scenario_record();
        else if (s == "full")
            scenario_full();
        else if (s == "off")
            scenario_off();
        else if (s == "out_of_memory")
            scenario_out_of_memory();
        else if (s == "new_handler")
            scenario_new_handler();
        else if (s == "alloc_or_exit")
            scenario_alloc_or_exit();
        else if (s == "no_handler")
            scenario_no_handler();
        else
            fail("unknown scenario");
        std::fflush(nullptr);
        _exit(0);
    }
} g_run_scenario;

// ---- the parent side ---------------------------------------------------------

struct ChildResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs this program again with the scenario and environment changes (a
// value of nullptr removes the variable).
ChildResult run_scenario(const char* scenario,
                         std::vector<std::pair<std::string, const char*>> changes)
{
    changes.emplace_back(k_scenario_var, scenario);
    changes.emplace_back("DISPLAY", nullptr);
    changes.emplace_back("WAYLAND_DISPLAY", nullptr);
    std::string asan = "ASAN_OPTIONS=allocator_may_return_null=1";
    if (const char* old = std::getenv("ASAN_OPTIONS"))
        asan += std::string(":") + old;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        bool replaced = key == "ASAN_OPTIONS";
        for (const auto& c : changes)
            replaced = replaced || c.first == key;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& c : changes)
        if (c.second)
            env.push_back(c.first + "=" + c.second);
    env.push_back(asan);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    test::TempDir dir;
    std::string out_path = dir / "out.txt", err_path = dir / "err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), nullptr};
    pid_t pid = 0;
    ChildResult result;
    int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = test::read_file(out_path).value_or("");
    result.err = test::read_file(err_path).value_or("");
    return result;
}

std::string value_after(const std::string& text, const std::string& key)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + " ", 0) == 0)
            return line.substr(key.size() + 1);
    return "";
}

TEST(AllocationChecker, RecordsUnrecordsAndReports)
{
    ChildResult r = run_scenario("record", {{"ZV_CHECK_ALLOC", "1"}});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::string stranger = value_after(r.out, "stranger");
    std::string q = value_after(r.out, "q");
    std::string rr = value_after(r.out, "r");
    std::string p_serial = value_after(r.out, "p");
    ASSERT_FALSE(stranger.empty());
    ASSERT_FALSE(q.empty());

    // Freeing and reallocating the unknown block were both refused aloud.
    std::string not_found = "Allocation not found for " + stranger + "!\n";
    size_t first = r.err.find(not_found);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_NE(r.err.find(not_found, first + 1), std::string::npos);

    // The report: one line per live block, oldest first; freed blocks are gone.
    std::regex line_re(R"(^(0x[0-9a-f]+):(\d+)$)");
    std::istringstream in(r.err);
    int last_serial = -1;
    int lines = 0;
    bool saw_q = false, saw_r = false;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, line_re))
            continue;
        ++lines;
        int serial = std::stoi(m[2]);
        EXPECT_GT(serial, last_serial);
        last_serial = serial;
        EXPECT_NE(m[2].str(), p_serial) << "freed block still reported";
        saw_q = saw_q || line == q;
        saw_r = saw_r || line == rr;
    }
    EXPECT_TRUE(saw_q) << q << "\n" << r.err;
    EXPECT_TRUE(saw_r) << rr;
    EXPECT_GE(lines, 2);
}

TEST(AllocationChecker, FullTableTurnsCheckingOff)
{
    ChildResult r = run_scenario("full", {{"ZV_CHECK_ALLOC", "3"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.err, "Too many allocations to check!\n");
}

TEST(AllocationChecker, OnlyANumberAboveZeroTurnsItOn)
{
    for (const char* value : {"0", "-2", "abc", "", static_cast<const char*>(nullptr)}) {
        ChildResult r = run_scenario("off", {{"ZV_CHECK_ALLOC", value}});
        EXPECT_EQ(r.status, 0) << (value ? value : "(unset)") << ": " << r.out;
        EXPECT_EQ(r.err, "") << (value ? value : "(unset)");
    }
    ChildResult on = run_scenario("off", {{"ZV_CHECK_ALLOC", "2"}});
    EXPECT_EQ(on.status, 3);
    EXPECT_NE(on.out.find("FAIL checking off"), std::string::npos);
}

TEST(OutOfMemory, ClosesSoundAndWindowShowsTheBoxAndExits)
{
    ChildResult r = run_scenario("out_of_memory", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sound closed\nwindow closed\nError: Out of virtual memory\n");

    r = run_scenario("new_handler", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("window closed\nError: Out of virtual memory\n"), std::string::npos) << r.err;

    r = run_scenario("alloc_or_exit", {{"ZV_CHECK_ALLOC", "1"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Error: Out of virtual memory\n"), std::string::npos) << r.err;
}

TEST(OutOfMemory, WithoutAHandlerNewFailsTheStandardWay)
{
    ChildResult r = run_scenario("no_handler", {});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST(TrackedAllocation, ReallocEdgesAndAlignment)
{
    auto* p = static_cast<char*>(tracked_realloc(nullptr, 6));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "hello", 6);
    p = static_cast<char*>(tracked_realloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "hello");
    p = static_cast<char*>(tracked_realloc(p, 3));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, "hel", 3), 0);
    EXPECT_EQ(tracked_realloc(p, 0), nullptr);

    void* z = alloc_or_exit(0);
    EXPECT_NE(z, nullptr);
    tracked_free(z);
    tracked_free(nullptr);

    struct alignas(4096) Page {
        char bytes[4096];
    };
    auto page = std::make_unique<Page[]>(3);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page.get()) % 4096, 0u);
    auto* zeros = static_cast<unsigned char*>(tracked_calloc(100, 3));
    ASSERT_NE(zeros, nullptr);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(zeros[i], 0);
    tracked_free(zeros);
}

}  // namespace
}  // namespace zv::core
