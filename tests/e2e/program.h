// Runs a built program as a child process with a chosen environment and
// collects its exit status and output.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zv::test {

struct RunResult {
    int status = -1;   // exit status; -1 when killed or not started
    std::string out;   // standard output
    std::string err;   // standard error
};

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `program` with `args` and exactly the variables of `env`, output
// going to files in `scratch`. A child still running after two minutes is
// killed (status -1) so that a hang fails the test instead of blocking it.
inline RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env,
                             const std::filesystem::path& scratch)
{
    RunResult r;
    std::filesystem::create_directories(scratch);
    std::string out_path = (scratch / "stdout.txt").string();
    std::string err_path = (scratch / "stderr.txt").string();

    std::vector<std::string> argv_s = {program};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_s;
    for (const auto& [k, v] : env)
        env_s.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (std::string& e : env_s)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return r;

    int wstatus = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (;;) {
        pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            wstatus = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (wstatus != -1 && WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    r.out = slurp(out_path);
    r.err = slurp(err_path);
    return r;
}

}  // namespace zv::test
