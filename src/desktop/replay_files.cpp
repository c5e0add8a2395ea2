#include "desktop/replay_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "desktop/atomic_file.hpp"
#include "desktop/file_guard.hpp"
#include "desktop/utf8_path.hpp"
#include "desktop/xdg_dirs.hpp"

#if defined(_WIN32)
#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grappix {

namespace {

namespace fs = std::filesystem;

constexpr const char* kReplayExtension = ".replay";
constexpr const char* kPartExtension = ".replay.part";
constexpr size_t kReplayCap = 64 * 1024 * 1024;  // a long game's replay is a few MB
constexpr std::time_t kLiveRecording = 10 * 60;  // seconds a .part may go unwritten and still be live

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() > n && text.compare(text.size() - n, n, tail) == 0;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// A .part the engine of a running game is recording into: it holds a lock on it.
bool Held(const std::string& part) {
    const int fd = open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string ReplayFolder() {
    std::string game = GameFolder(XdgKind::State);
    return game.empty() ? game : game + "/replays";
}

namespace {

// Holds path's name by creating its .part exclusively (never through a symbolic link): "" or
// why not, errno telling a clash (EEXIST) from the rest.
std::string Reserve(const std::string& path) {
    const std::string part = path + ".part";
    const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return part + ": " + std::strerror(errno);
    close(fd);
    return {};
}

std::string Folder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Why --record cannot write path ("" when it can): the game never records over anything.
std::string RecordTargetFault(const std::string& path, const std::string& playing) {
    struct stat st {};
    const std::string folder = Folder(path);
    if (stat(folder.c_str(), &st) != 0)
        return "cannot record there: the folder " + folder + " does not exist";
    if (!S_ISDIR(st.st_mode)) return "cannot record there: " + folder + " is not a folder";
    if (lstat(path.c_str(), &st) == 0) {
        char* mine = realpath(path.c_str(), nullptr);
        char* played = playing.empty() ? nullptr : realpath(playing.c_str(), nullptr);
        const bool same = mine != nullptr && played != nullptr && std::strcmp(mine, played) == 0;
        std::free(mine);
        std::free(played);
        if (same) return "is the replay being played: record into another file";
        if (S_ISLNK(st.st_mode)) return "is a symbolic link: the game records only into a new file";
        if (S_ISDIR(st.st_mode)) return "is a folder: name a new file to record into";
        if (!S_ISREG(st.st_mode))
            return "is not a regular file (a device or FIFO): the game records only into a new file";
        return "already exists: the game never records over a file (remove it, or name another)";
    }
    if (lstat((path + ".part").c_str(), &st) == 0)
        return "its unfinished " + path +
               ".part exists (another game recording, or one cut short): remove it, or name another file";
    return {};
}

}  // namespace

std::string NewReplayPath(const std::string& folder, std::time_t start, std::string* error) {
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string base = folder + "/" + stamp;
    for (int n = 1; n < 10000; ++n) {
        std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + kReplayExtension;
        if (Exists(path)) continue;
        std::string why = Reserve(path);
        if (why.empty()) return path;
        if (errno == EEXIST) continue;  // another game took the name first
        if (error != nullptr) *error = why;
        return {};
    }
    if (error != nullptr) *error = folder + ": no free replay name for this second";
    return {};
}

ReplayPlan PlanReplays(const CommandLine& line, const std::function<const char*(const char*)>& env,
                       std::time_t start) {
    // The launcher starts the game inside its own folder; a relative name on the command line
    // means one in the folder the player called it from.
    const char* caller = env("GRAPPIX_CALLER_DIR");
    auto absolute = [&](const std::string& path) {
        if (path.empty() || IsAbsolutePath(path) || caller == nullptr || !IsAbsolutePath(caller)) return path;
        return std::string(caller) + "/" + path;
    };
    ReplayPlan plan;
    plan.replay = absolute(line.replayFile);
    plan.force = line.force;
    if (!line.recordFile.empty()) {
        const std::string record = absolute(line.recordFile);
        const char* played = env("BRISEL_REPLAY");
        std::string fault = RecordTargetFault(record, !plan.replay.empty() ? plan.replay
                                                      : Set(played)        ? played
                                                                           : "");
        if (fault.empty()) fault = Reserve(record);
        if (!fault.empty()) {
            plan.error = "--record " + record + ": " + fault;
            return plan;
        }
        plan.record = plan.reserved = record;
        return plan;
    }
    // The player's own BRISEL_RECORD stands; a replay watched, a scripted run or one without a
    // window records nothing of its own accord.
    if (Set(env("BRISEL_RECORD")) || !plan.replay.empty() || Set(env("BRISEL_REPLAY")) ||
        Set(env("BRISEL_INPUT")))
        return plan;
    const char* driver = env("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0))
        return plan;
    std::string folder = ReplayFolder();
    std::string error;
    if (folder.empty()) {
        plan.warning = "no home folder to keep replays in; this run is not recorded";
        return plan;
    }
    // Recording is the game's own idea: a folder it cannot write in costs the replay, not the run.
    if (!MakeFolders(folder, error, &plan.madeFolders) ||
        (plan.record = NewReplayPath(folder, start, &error)).empty()) {
        plan.warning = "cannot keep a replay of this run (" + error + "); playing without recording";
        ReleaseReplayPlan(plan);
        plan.madeFolders.clear();
        return plan;
    }
    plan.folder = folder;
    plan.reserved = plan.record;
    plan.automatic = true;
    return plan;
}

void ReleaseReplayPlan(const ReplayPlan& plan) {
    struct stat st {};
    if (!plan.reserved.empty()) {
        // Still the empty file that held the name: the engine never recorded into it.
        const std::string part = plan.reserved + ".part";
        const int fd = open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0 &&
                flock(fd, LOCK_EX | LOCK_NB) == 0)
                unlink(part.c_str());
            close(fd);
        }
    }
    // Folders made for a replay that was never written go again (rmdir leaves one that is not
    // empty).
    if (!plan.reserved.empty() && lstat(plan.reserved.c_str(), &st) == 0) return;
    for (auto it = plan.madeFolders.rbegin(); it != plan.madeFolders.rend(); ++it) rmdir(it->c_str());
}

std::vector<std::string> PruneReplays(const std::string& folder, size_t keep,
                                      const std::vector<std::string>& protectedPaths, std::time_t now) {
    std::vector<std::string> problems;
    struct Found {
        std::string path;
        std::time_t modified;
        bool part;
    };
    std::vector<Found> found;
    std::error_code ec;
    fs::directory_iterator it(FsPath(folder), ec);
    if (ec) {
        problems.push_back(folder + ": cannot list the replays (" + ec.message() + ")");
        return problems;
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = PathText(entry.path().filename());
        const bool part = EndsWith(name, kPartExtension);
        if (!part && !EndsWith(name, kReplayExtension)) continue;
        struct stat st {};
        const std::string path = PathText(entry.path());
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        found.push_back({path, st.st_mtime, part});
    }
    // Newest first; names (start times) break ties so the order never depends on the listing.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
    });
    // The records keep absolute paths; the folder may have been given relative, or through a
    // symbolic link: real paths are compared. A record's replay cut short is kept as its .part.
    auto real = [](const std::string& p) {
        std::error_code error;
        fs::path whole = fs::weakly_canonical(fs::absolute(FsPath(p), error), error);
        return (error ? FsPath(p) : whole).lexically_normal();
    };
    std::vector<fs::path> keepers;
    for (const std::string& p : protectedPaths) {
        keepers.push_back(real(p));
        keepers.push_back(real(p + ".part"));
    }
    auto isProtected = [&](const std::string& path) {
        return std::find(keepers.begin(), keepers.end(), real(path)) != keepers.end();
    };
    size_t kept = 0;
    for (const Found& f : found) {
        if (isProtected(f.path)) continue;  // kept besides the newest
        if (kept < keep) {
            ++kept;
            continue;
        }
        if (f.part && (now - f.modified < kLiveRecording || Held(f.path)))
            continue;  // another game still recording
        if (unlink(f.path.c_str()) != 0)
            problems.push_back(f.path + ": cannot remove an old replay (" + std::strerror(errno) + ")");
    }
    return problems;
}

std::string RecoverCutReplay(const std::string& replay) {
    struct stat st {};
    const std::string part = replay + ".part";
    if (lstat(replay.c_str(), &st) == 0) return {};
    const int fd = open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string fault;
    // The lock is held while cutting: a game still recording into it, or another game cutting it
    // at the same time, is left alone.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        lstat(replay.c_str(), &st) == 0) {
        close(fd);
        return {};
    }
    std::string text, why;
    if (ReadSmallFile(part, kReplayCap, text, why) != ReadStatus::Ok)
        fault = part + ": cannot read it (" + why + ")";
    // The last whole "check <step> <hash>" line: what comes after it was never checked.
    size_t cut = std::string::npos;
    std::string step;
    for (size_t at = 0; fault.empty() && at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        const std::string_view line(text.data() + at, end - at);
        const size_t blank = line.find(' ', 6);
        if (line.rfind("check ", 0) == 0 && blank != std::string_view::npos && blank > 6 &&
            line.substr(6, blank - 6).find_first_not_of("0123456789") == std::string_view::npos) {
            cut = end + 1;
            step = std::string(line.substr(6, blank - 6));
        }
        at = end + 1;
    }
    if (fault.empty() && cut == std::string::npos)
        fault = part + ": the recording holds no check to end it at; it cannot be played";
    if (fault.empty()) {
        text.resize(cut);
        text += "end " + step + "\n" + kCutShortNote + step + ": it plays up to there\n";
        fault = WriteFileAtomically(replay, text, false);
        if (fault.empty()) unlink(part.c_str());
    }
    close(fd);
    return fault.empty() ? fault : fault + " (the replay of a record, cut short by a crash)";
}

}  // namespace grappix
