#include "platform/file_manager.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/log.h"

namespace zv::platform {

namespace {

constexpr const char* k_opener = "xdg-open";

// Every place PATH would try, built before forking: the child may only call
// async-signal-safe functions, which rules out execvp's own search.
std::vector<std::string> candidate_paths()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        out.push_back((dir.empty() ? std::string(".") : dir) + "/" + k_opener);
        start = end + 1;
    }
    return out;
}

void write_all(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

bool open_in_file_manager(const char* path)
{
    if (!path || !*path)
        return false;
    std::vector<std::string> candidates = candidate_paths();
    std::vector<const char*> programs;
    for (const std::string& c : candidates)
        programs.push_back(c.c_str());
    char* const argv[] = {const_cast<char*>(k_opener), const_cast<char*>(path), nullptr};

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec) so the parent reads end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;

    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // Fork again so the opener is not our child: nobody needs to wait for it.
        pid_t grandchild = fork();
        if (grandchild != 0)
            _exit(grandchild < 0 ? 1 : 0);
        close(report[0]);
        int error = ENOENT;
        for (const char* program : programs) {
            execv(program, argv);
            if (errno != ENOENT && errno != ENOTDIR)
                error = errno;
        }
        write_all(report[1], &error, sizeof error);
        _exit(127);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got > 0) {
        log_printf("Can't start %s for \"%s\"\n", k_opener, path);
        return false;
    }
    return true;
}

}  // namespace zv::platform
