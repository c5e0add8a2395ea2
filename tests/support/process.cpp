#include "support/process.hpp"

#include <fcntl.h>
#include <signal.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace grappix::test {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::vector<std::pair<std::string, std::string>>& env, double timeoutSeconds,
                         const std::vector<std::string>& unset) {
#if defined(_WIN32)
    // The Windows tests run no child process: scripts/test-windows plays the game under wine.
    (void)argv, (void)workDir, (void)env, (void)timeoutSeconds, (void)unset;
    throw std::runtime_error("no child processes in the Windows tests");
#else
    TempDir io;
    const std::string outPath = io / "out", errPath = io / "err";
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(127);
        for (const std::string& name : unset) unsetenv(name.c_str());
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ProcessResult result;
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    int wstatus = 0;
    for (;;) {
        pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
#endif
}

Env HeadlessGameEnv(const TempDir& dir, const std::string& trace) {
    return {{"SDL_VIDEODRIVER", "dummy"},
            {"SDL_AUDIODRIVER", "dummy"},
            {"BRISEL_NOPACE", "1"},
            {"BRISEL_TRACE", dir / trace},
            {"XDG_CONFIG_HOME", dir / "config"},
            {"XDG_DATA_HOME", dir / "data"},
            {"XDG_STATE_HOME", dir / "state"}};
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "grappix-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string PlaceGame(const std::string& exe, const TempDir& dir) {
    std::error_code linked;
    std::filesystem::create_hard_link(exe, dir / "grappix", linked);
    if (linked) std::filesystem::copy_file(exe, dir / "grappix");
    return dir / "grappix";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
}

}  // namespace grappix::test
