// Writing a file beside the old one and renaming it into place.
#include "core/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::core {

namespace {

std::atomic<WriteProbe> g_probe{nullptr};
std::atomic<unsigned> g_temp_counter{0};

// A few hundred tries are plenty: names only collide with leftovers of
// processes that had the same id.
constexpr int k_max_temp_tries = 256;

std::string folder_of(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A link is written through, so the file it names is what gets replaced
// (and the link stays a link).
std::string resolve_target(std::string path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buf[PATH_MAX];
        if (::realpath(path.c_str(), buf))
            return buf;
    }
    return path;
}

}  // namespace

FileReplacement::FileReplacement(std::string path, const char* mode)
    : target_(resolve_target(std::move(path)))
{
    struct stat old;
    bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error_ = std::strerror(EISDIR);
        return;  // a folder of that name is no data file
    }
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < k_max_temp_tries; ++tries) {
        temp_ = target_ + ".tmp" + std::to_string(::getpid()) + "_" +
                std::to_string(g_temp_counter.fetch_add(1));
        fd = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error_ = std::strerror(errno);
        temp_.clear();
        return;
    }
    // The new file keeps the old one's permissions.
    if (exists)
        ::fchmod(fd, old.st_mode & 07777);
    fp_ = ::fdopen(fd, mode);
    if (!fp_) {
        error_ = std::strerror(errno);
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

FileReplacement::~FileReplacement()
{
    if (!committed_)
        discard();
}

bool FileReplacement::fail(const char* step)
{
    error_ = std::string(step) + ": " + std::strerror(errno);
    discard();
    return false;
}

bool FileReplacement::commit()
{
    if (!fp_)
        return false;
    if (std::fflush(fp_) != 0)
        return fail("write");
    if (std::ferror(fp_)) {
        errno = EIO;
        return fail("write");
    }
    if (::fsync(fileno(fp_)) != 0)
        return fail("sync");
    int closed = std::fclose(fp_);
    fp_ = nullptr;
    if (closed != 0)
        return fail("close");
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        return fail("rename");
    committed_ = true;
    // The rename itself lasts only once the folder is on the disk too. The
    // new contents are in place either way, so a folder that cannot be synced
    // (some file systems refuse) does not make the save a failure.
    int dir = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void FileReplacement::discard()
{
    if (fp_) {
        std::fclose(fp_);
        fp_ = nullptr;
    }
    if (!temp_.empty() && !committed_) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

void set_write_probe(WriteProbe probe) { g_probe.store(probe); }
WriteProbe write_probe() { return g_probe.load(); }

}  // namespace zv::core
