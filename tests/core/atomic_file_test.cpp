// Files that must survive a crash: a write that fails, gives up, runs out of
// room or is killed halfway leaves the old file whole; a finished one leaves
// the new file whole.
#include "core/atomic_file.h"

#include "core/config.h"
#include "core/data_file.h"
#include "core/settings.h"
#include "data_file_fixture.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zv::core {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public test::DataFolders {
protected:
    AtomicFileTest()
    {
        reset_settings();
        settings().laps.value = 7;  // the old file
        EXPECT_TRUE(write_config());
        old_ = config();
        settings().laps.value = 12;  // what the writes below try to put there
        for (int i = 0; i < 16; ++i)
            settings().server_history[static_cast<std::size_t>(i)].set("server" + std::to_string(i));
        new_ = config_text();
    }
    ~AtomicFileTest() override
    {
        set_write_probe(nullptr);
        reset_settings();
    }

    std::string config() { return test::read_file(home() + "config").value_or("<none>"); }
    // The configuration the current settings make, written elsewhere.
    std::string config_text()
    {
        std::string path = tmp_.str() + "scratch/config";
        DataFilePtr f = open_data_file(path, "wb");
        EXPECT_TRUE(f);
        write_config_lines(*f);
        EXPECT_TRUE(commit_data_file(std::move(f)));
        return test::read_file(path).value_or("<none>");
    }
    // Everything in the home folder but the configuration itself.
    std::vector<std::string> leftovers()
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(home()))
            if (e.path().filename() != "config")
                out.push_back(e.path().filename().string());
        return out;
    }

    std::string old_, new_;
};

std::size_t g_fail_at = 0;
bool fail_from(std::size_t written) { return written < g_fail_at; }

TEST_F(AtomicFileTest, FailedOrAbandonedWritesKeepTheOldFile)
{
    ASSERT_GT(new_.size(), 2000u);
    ASSERT_NE(old_, new_);
    // A write refused at the start, halfway and at the very end.
    for (std::size_t at : {std::size_t{0}, new_.size() / 2, new_.size() - 40}) {
        SCOPED_TRACE(at);
        g_fail_at = at;
        set_write_probe(fail_from);
        EXPECT_FALSE(write_config());
        EXPECT_TRUE(config() == old_);
        EXPECT_TRUE(leftovers().empty());
    }
    set_write_probe(nullptr);

    // A writer that gives up on its own, with every byte written.
    DataFilePtr f = open_data_file("@config", "wb");
    ASSERT_TRUE(f);
    write_config_lines(*f);
    EXPECT_TRUE(config() == old_);  // nothing shows before the commit
    EXPECT_FALSE(commit_data_file(std::move(f), false));
    EXPECT_TRUE(config() == old_);

    // Failed writes also spoil a plain close.
    g_fail_at = 100;
    set_write_probe(fail_from);
    f = open_data_file("@config", "wb");
    write_config_lines(*f);
    f.reset();
    EXPECT_TRUE(config() == old_);
    set_write_probe(nullptr);

    EXPECT_TRUE(write_config());
    EXPECT_TRUE(config() == new_);
    EXPECT_TRUE(leftovers().empty());
    std::string log = test::read_file(tmp_.str() + "log.txt").value_or("");
    EXPECT_NE(log.find("Can't save \"" + home() + "config\": a write failed; the old file is kept"),
              std::string::npos);
}

TEST_F(AtomicFileTest, AFullDiskKeepsTheOldFile)
{
    // The file size limit makes the buffered bytes fail when they are
    // flushed, as a full disk does.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(write_config() ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_TRUE(config() == old_);
    EXPECT_TRUE(leftovers().empty());
}

int g_signal_fd = -1;
std::size_t g_kill_at = 0;
bool tell_parent_and_wait(std::size_t written)
{
    if (written >= g_kill_at) {
        [[maybe_unused]] auto n = write(g_signal_fd, "w", 1);
        pause();  // the kill lands in the middle of this write
    }
    usleep(200);  // a slow disk
    return true;
}

TEST_F(AtomicFileTest, KillDuringAConfigurationWriteLeavesOldOrNewWhole)
{
    const std::size_t never = SIZE_MAX;
    for (std::size_t at : {std::size_t{0}, std::size_t{1}, new_.size() / 3, new_.size() - 40, never}) {
        SCOPED_TRACE(at);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            g_signal_fd = fds[1];
            g_kill_at = at;
            set_write_probe(tell_parent_and_wait);
            write_config();
            [[maybe_unused]] auto n = ::write(fds[1], "d", 1);
            pause();
            _exit(0);
        }
        close(fds[1]);
        char what = 0;
        ASSERT_EQ(read(fds[0], &what, 1), 1);
        close(fds[0]);
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_TRUE(config() == (what == 'w' ? old_ : new_));
        EXPECT_EQ(what, at == never ? 'd' : 'w');
        // The killed write leaves its temporary file and nothing else.
        for (const std::string& name : leftovers())
            EXPECT_EQ(name.rfind("config.tmp", 0), 0u) << name;
        for (const std::string& name : leftovers())
            fs::remove(home() + name);
        // Back to the old file for the next kill.
        if (what == 'd')
            test::write_file(home() + "config", old_);
    }
}

TEST_F(AtomicFileTest, ReplacementKeepsPermissionsLinksAndBackups)
{
    chmod((home() + "config").c_str(), 0600);
    fs::create_symlink(home() + "config", tmp_.str() + "link");
    ASSERT_TRUE(save_data_file(tmp_.str() + "link", "through the link"));
    EXPECT_TRUE(fs::is_symlink(tmp_.str() + "link"));
    EXPECT_EQ(config(), "through the link");
    struct stat st;
    ASSERT_EQ(stat((home() + "config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Numbered backups still keep the file that was there.
    DataFilePtr f = open_data_file("@config", "~wb");
    ASSERT_TRUE(f);
    write_text(*f, "second");
    ASSERT_TRUE(commit_data_file(std::move(f)));
    EXPECT_EQ(config(), "second");
    EXPECT_EQ(test::read_file(home() + "config.~1~"), "through the link");

    // Leftovers of a killed write under the names this process would pick
    // next are stepped over, not written into.
    for (int k = 0; k < 200; ++k)
        test::write_file(home() + "config.tmp" + std::to_string(getpid()) + "_" + std::to_string(k), "left");
    ASSERT_TRUE(save_data_file("@config", "third"));
    EXPECT_EQ(config(), "third");
    EXPECT_EQ(test::read_file(home() + "config.tmp" + std::to_string(getpid()) + "_0"), "left");

    // A folder in the way is no file, and stays a folder.
    fs::create_directories(home() + "folder");
    EXPECT_FALSE(save_data_file(home() + "folder", "x"));
    EXPECT_TRUE(fs::is_directory(home() + "folder"));
}

}  // namespace
}  // namespace zv::core
