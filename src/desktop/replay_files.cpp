#include "desktop/replay_files.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "desktop/xdg_dirs.hpp"

namespace grappix {

namespace {

namespace fs = std::filesystem;

constexpr const char* kReplayExtension = ".replay";
constexpr const char* kPartExtension = ".replay.part";
constexpr std::time_t kLiveRecording = 10 * 60;  // seconds a .part may go unwritten and still be live

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() > n && text.compare(text.size() - n, n, tail) == 0;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string ReplayFolder() {
    std::string game = GameFolder(XdgKind::State);
    return game.empty() ? game : game + "/replays";
}

std::string NewReplayPath(const std::string& folder, std::time_t start) {
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string base = folder + "/" + stamp;
    for (int n = 1;; ++n) {
        std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + kReplayExtension;
        if (!Exists(path) && !Exists(path + ".part")) return path;
    }
}

ReplayPlan PlanReplays(const CommandLine& line, const std::function<const char*(const char*)>& env,
                       std::time_t start) {
    // The launcher starts the game inside its own folder; a relative name on the command line
    // means one in the folder the player called it from.
    const char* caller = env("GRAPPIX_CALLER_DIR");
    auto absolute = [&](const std::string& path) {
        if (path.empty() || path[0] == '/' || caller == nullptr || caller[0] != '/') return path;
        return std::string(caller) + "/" + path;
    };
    ReplayPlan plan;
    plan.replay = absolute(line.replayFile);
    plan.force = line.force;
    if (!line.recordFile.empty()) {
        plan.record = absolute(line.recordFile);
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
    if (!MakeFolders(folder, error)) {
        plan.warning = "cannot keep a replay of this run (" + error + ")";
        return plan;
    }
    plan.folder = folder;
    plan.record = NewReplayPath(folder, start);
    plan.automatic = true;
    return plan;
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
    fs::directory_iterator it(folder, ec);
    if (ec) {
        problems.push_back(folder + ": cannot list the replays (" + ec.message() + ")");
        return problems;
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        const bool part = EndsWith(name, kPartExtension);
        if (!part && !EndsWith(name, kReplayExtension)) continue;
        struct stat st {};
        if (lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        found.push_back({entry.path().string(), st.st_mtime, part});
    }
    // Newest first; names (start times) break ties so the order never depends on the listing.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
    });
    auto isProtected = [&](const std::string& path) {
        // The records keep absolute paths; the folder may have been given relative.
        auto normal = [](const std::string& p) {
            std::error_code error;
            fs::path whole = fs::absolute(p, error);
            return (error ? fs::path(p) : whole).lexically_normal();
        };
        const fs::path mine = normal(path);
        return std::any_of(protectedPaths.begin(), protectedPaths.end(),
                           [&](const std::string& p) { return normal(p) == mine; });
    };
    size_t kept = 0;
    for (const Found& f : found) {
        if (isProtected(f.path)) continue;  // kept besides the newest
        if (kept < keep) {
            ++kept;
            continue;
        }
        if (f.part && now - f.modified < kLiveRecording) continue;  // another game still recording
        if (std::remove(f.path.c_str()) != 0)
            problems.push_back(f.path + ": cannot remove an old replay (" + std::strerror(errno) + ")");
    }
    return problems;
}

}  // namespace grappix
