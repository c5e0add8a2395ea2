#include "verifier.hpp"

#include <fcntl.h>
#include <grp.h>
#include <linux/landlock.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace board {

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Every write access outside folder taken away (Landlock ABI 1); false where the kernel has none.
bool WriteOnlyBeneath(const std::string& folder) {
    constexpr uint64_t kWrites = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                                 LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                                 LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                                 LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                                 LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    landlock_ruleset_attr attr{};
    attr.handled_access_fs = kWrites;
    const long ruleset = syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0);
    if (ruleset < 0) return false;
    landlock_path_beneath_attr beneath{};
    beneath.allowed_access = kWrites;
    beneath.parent_fd = open(folder.c_str(), O_PATH | O_CLOEXEC);
    const bool ok = beneath.parent_fd >= 0 &&
                    syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) == 0 &&
                    syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    close(static_cast<int>(ruleset));
    return ok;
}

void Limit(int resource, uint64_t value) {
    rlimit r{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    setrlimit(resource, &r);
}

// In the child, between fork and exec: only async-signal-safe work, then the verifier or _exit.
[[noreturn]] void StartChild(const std::string& program, const std::string& scratch, const std::string& file,
                             int out, const Limits& limits, char* const* env) {
    setpgid(0, 0);
    dup2(out, STDOUT_FILENO);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    Limit(RLIMIT_CPU, static_cast<uint64_t>(limits.cpuSeconds));
    if (limits.memoryBytes > 0) Limit(RLIMIT_AS, limits.memoryBytes);
    Limit(RLIMIT_FSIZE, limits.fileBytes);
    Limit(RLIMIT_NOFILE, 64);
    Limit(RLIMIT_CORE, 0);
    if (chdir(scratch.c_str()) != 0) _exit(126);
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
        _exit(126);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    WriteOnlyBeneath(scratch);
    const char* argv[] = {program.c_str(), "--verify", file.c_str(), nullptr};
    execve(program.c_str(), const_cast<char* const*>(argv), env);
    _exit(127);
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = 0; !what.empty() && (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

Verdict Fault(std::string why) {
    Verdict v;
    v.fault = std::move(why);
    return v;
}

}  // namespace

Verdict ParseVerdict(const std::string& output) {
    const nlohmann::json j = nlohmann::json::parse(output, nullptr, false);
    if (!j.is_object() || !j.contains("verified") || !j["verified"].is_boolean())
        return Fault("the verifier gave no verdict");
    Verdict v;
    try {
        v.verified = j["verified"].get<bool>();
        v.fault = j.value("fault", std::string());
        v.step = j.value("step", int64_t{0});
        v.version = j.value("version", std::string());
        for (int m = 0; m < kModes && v.verified; ++m) {
            ModeProof p;
            p.mode = m;
            p.speed = j.at("best").at(ModeName(m)).get<int64_t>();
            p.plot = j.at("plot").at(ModeName(m)).get<std::vector<int64_t>>();
            if (p.speed > 0) v.proofs.push_back(std::move(p));
        }
    } catch (const nlohmann::json::exception&) {
        return Fault("the verifier gave no verdict");
    }
    if (!v.verified && v.fault.empty()) v.fault = "not verified";
    return v;
}

std::string VerifierVersion(const std::string& program) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "--version", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while (out.size() < 4096 && (n = read(pipeFds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    const std::string head = "grappix ";
    if (pid < 0 || out.rfind(head, 0) != 0) return {};
    return out.substr(head.size(), out.find('\n') - head.size());
}

Verdict RunVerifier(const std::string& program, const std::string& replay, const std::string& scratchRoot,
                    const Limits& limits) {
    std::string pattern = scratchRoot + "/verify-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return Fault("the board cannot make a scratch folder");
    const std::string scratch = pattern;
    struct Remove {
        std::string path;
        ~Remove() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } remove{scratch};
    const std::string file = scratch + "/run.replay";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(replay.data(), static_cast<std::streamsize>(replay.size()));
        if (!out.flush()) return Fault("the board cannot write the replay to verify");
    }
    if (geteuid() == 0 &&
        (chown(scratch.c_str(), kNobody, kNobody) != 0 || chown(file.c_str(), kNobody, kNobody) != 0))
        return Fault("the board cannot hand the scratch folder to the verifier's user");
    // The environment is made before the fork: the child only copies pointers.
    std::vector<std::string> envText = {"HOME=" + scratch,           "XDG_CONFIG_HOME=" + scratch,
                                        "XDG_DATA_HOME=" + scratch,  "XDG_STATE_HOME=" + scratch,
                                        "XDG_CACHE_HOME=" + scratch, "TMPDIR=" + scratch,
                                        "PATH=/usr/bin:/bin"};
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return Fault("the board cannot start the verifier");
    const pid_t pid = fork();
    if (pid == 0) StartChild(program, scratch, file, pipeFds[1], limits, env.data());
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return Fault("the board cannot start the verifier");
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.wallSeconds);
    std::string out;
    bool late = false, tooLong = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            late = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 1000))) <= 0) continue;
        char buf[65536];
        const ssize_t n = read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > limits.outputBytes) {
            tooLong = true;
            break;
        }
    }
    close(pipeFds[0]);
    kill(-pid, SIGKILL);  // the whole group, whatever it started; nothing when it ended already
    int status = 0;
    waitpid(pid, &status, 0);
    if (late) return Fault("the verification took longer than " + std::to_string(limits.wallSeconds) + " s");
    if (tooLong) return Fault("the verifier printed too much");
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return Fault(sig == SIGXCPU || sig == SIGKILL
                         ? "the verification used more than " + std::to_string(limits.cpuSeconds) +
                               " s of processor time"
                         : "the verifier stopped on signal " + std::to_string(sig));
    }
    Verdict v = ParseVerdict(out);
    v.fault = Replace(Replace(v.fault, file + ": ", ""), file, "the replay");
    return v;
}

Verifiers::Verifiers(const std::vector<std::string>& programs) {
    for (const std::string& p : programs) {
        const std::string version = VerifierVersion(p);
        if (version.empty())
            throw std::runtime_error(p + ": not a verifier (grappix --version gave no version)");
        byVersion_[version] = p;
    }
}

std::string Verifiers::For(const std::string& version) const {
    auto it = byVersion_.find(version);
    return it != byVersion_.end() ? it->second : std::string();
}

std::string Verifiers::Known() const {
    std::string known;
    for (const auto& [version, program] : byVersion_) known += (known.empty() ? "" : ", ") + version;
    return known;
}

}  // namespace board
