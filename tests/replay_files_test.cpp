// Replays on the player's disk: which runs record themselves and where, the names of new
// replays, and which old ones are removed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <map>

#include "desktop/replay_files.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::TempDir;
using test::WriteFile;

// A made-up environment for PlanReplays.
struct Env {
    std::map<std::string, std::string> vars;
    std::function<const char*(const char*)> Lookup() const {
        return [this](const char* name) {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    }
};

void Touch(const std::string& path, std::time_t modified) {
    WriteFile(path, "# grappix replay 1\n");
    utimbuf times{modified, modified};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

TEST(ReplayFilesTest, OnlyRunsWithAWindowRecordThemselvesUnlessAskedTo) {
    // Guards against scripted and windowless runs (tests, benchmarks) filling the player's
    // replays folder, a watched replay recording itself again, or --record being ignored.
    TempDir dir;
    const std::string state = dir / "state";
    Env window{{{"XDG_STATE_HOME", state}}};
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::time_t start = 1'800'000'000;

    ReplayPlan plan = PlanReplays(ParseCommandLine({}), window.Lookup(), start);
    EXPECT_TRUE(plan.automatic);
    EXPECT_EQ(plan.folder, state + "/grappix/replays");
    EXPECT_EQ(plan.record, NewReplayPath(plan.folder, start));
    EXPECT_TRUE(std::filesystem::is_directory(plan.folder)) << "the folder is made for it";
    EXPECT_EQ(plan.warning, "");

    for (const auto& [name, value] : std::map<std::string, std::string>{{"SDL_VIDEODRIVER", "dummy"},
                                                                        {"SDL_VIDEODRIVER", "offscreen"},
                                                                        {"BRISEL_INPUT", "play.txt"},
                                                                        {"BRISEL_REPLAY", "old.replay"},
                                                                        {"BRISEL_RECORD", "mine.replay"}}) {
        Env env = window;
        env.vars[name] = value;
        ReplayPlan p = PlanReplays(ParseCommandLine({}), env.Lookup(), start);
        EXPECT_FALSE(p.automatic) << name;
        EXPECT_EQ(p.record, "") << name;
    }
    plan = PlanReplays(ParseCommandLine({"--replay", "old.replay"}), window.Lookup(), start);
    EXPECT_EQ(plan.replay, "old.replay");
    EXPECT_EQ(plan.record, "");
    EXPECT_FALSE(plan.force);

    // --record wins everywhere; a relative name is the caller's, not the game folder's.
    Env scripted = window;
    scripted.vars["BRISEL_INPUT"] = "play.txt";
    scripted.vars["SDL_VIDEODRIVER"] = "dummy";
    scripted.vars["GRAPPIX_CALLER_DIR"] = "/home/ann/runs";
    plan = PlanReplays(ParseCommandLine({"--record", "best.replay", "--replay", "/r/a.replay", "--force"}),
                       scripted.Lookup(), start);
    EXPECT_EQ(plan.record, "/home/ann/runs/best.replay");
    EXPECT_EQ(plan.replay, "/r/a.replay");
    EXPECT_TRUE(plan.force);
    EXPECT_FALSE(plan.automatic);

    // A folder that cannot be made: the run plays, unrecorded, and says so.
    WriteFile(dir / "file", "");
    Env blocked{{{"XDG_STATE_HOME", dir / "file"}}};
    setenv("XDG_STATE_HOME", (dir / "file").c_str(), 1);
    plan = PlanReplays(ParseCommandLine({}), blocked.Lookup(), start);
    EXPECT_FALSE(plan.automatic);
    EXPECT_EQ(plan.record, "");
    EXPECT_EQ(plan.warning, "cannot keep a replay of this run (" + dir / "file is not a folder)");
    unsetenv("XDG_STATE_HOME");
}

TEST(ReplayFilesTest, NewReplaysAreNamedByTheirStartAndNeverOverwriteOne) {
    // Guards against two runs started in one second writing the same file.
    TempDir dir;
    const std::time_t start = 1'800'000'000;
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string first = NewReplayPath(dir.Path(), start);
    EXPECT_EQ(first, dir / (std::string(stamp) + ".replay"));
    WriteFile(first, "");
    EXPECT_EQ(NewReplayPath(dir.Path(), start), dir / (std::string(stamp) + "-2.replay"));
    WriteFile(dir / (std::string(stamp) + "-2.replay.part"), "");  // another run still recording
    EXPECT_EQ(NewReplayPath(dir.Path(), start), dir / (std::string(stamp) + "-3.replay"));
}

TEST(ReplayFilesTest, PruningKeepsTheNewestRecordHoldersAndLiveRecordings) {
    // Guards against the folder growing for ever, a record's replay being removed with the old
    // ones, another game's recording in progress deleted, or other files touched.
    TempDir dir;
    const std::time_t now = 1'800'000'000;
    std::vector<std::string> replays;
    for (int i = 0; i < 25; ++i) {  // replay-00 is the oldest
        char name[32];
        std::snprintf(name, sizeof name, "replay-%02d.replay", i);
        replays.push_back(dir / name);
        Touch(replays.back(), now - 100000 + i * 60);
    }
    Touch(dir / "crashed.replay.part", now - 100010);  // the oldest: a crash's leftover
    Touch(dir / "live.replay.part", now - 5);          // old by name order, but being written
    Touch(dir / "notes.txt", now - 99999);
    const std::string protectedOne = replays[1];

    std::vector<std::string> problems =
        PruneReplays(dir.Path(), kReplaysKept, {dir.Path() + "/./replay-01.replay"}, now);
    EXPECT_TRUE(problems.empty()) << problems.front();
    // live.replay.part is among the newest 20 itself, so the newest 19 replays stay with it.
    for (int i = 0; i < 25; ++i) {
        const bool kept = i >= 6 || replays[i] == protectedOne;
        EXPECT_EQ(std::filesystem::exists(replays[i]), kept) << replays[i];
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "crashed.replay.part"));
    EXPECT_TRUE(std::filesystem::exists(dir / "live.replay.part"));
    EXPECT_TRUE(std::filesystem::exists(dir / "notes.txt"));

    // Twenty newer replays (other games finishing) never take a recording still going on.
    for (int i = 0; i < 20; ++i) Touch(dir / ("new-" + std::to_string(i) + ".replay"), now - 1);
    PruneReplays(dir.Path(), kReplaysKept, {}, now);
    EXPECT_TRUE(std::filesystem::exists(dir / "live.replay.part"));
    EXPECT_FALSE(std::filesystem::exists(replays[24]));
    EXPECT_EQ(PruneReplays(dir / "missing", kReplaysKept, {}, now).size(), 1u);
}

}  // namespace
}  // namespace grappix
