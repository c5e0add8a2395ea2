// Replays on the player's disk: which runs record themselves and where, the names of new
// replays, and which old ones are removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <map>

#include "desktop/replay_files.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::ReadFile;
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

void Touch(const std::string& path, std::time_t modified, const std::string& text = "# grappix replay 1\n") {
    WriteFile(path, text);
    utimbuf times{modified, modified};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

TEST(ReplayFilesTest, OnlyRunsWithAWindowRecordThemselvesUnlessAskedTo) {
    // Guards against scripted and windowless runs (tests, benchmarks) filling the player's
    // replays folder, a watched replay recording itself again, or --record being ignored.
#if defined(_WIN32)
    GRAPPIX_POSIX_ONLY("the replays folder is LOCALAPPDATA's there, not XDG_STATE_HOME's");
#endif
    TempDir dir;
    const std::string state = dir / "state";
    Env window{{{"XDG_STATE_HOME", state}}};
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::time_t start = 1'800'000'000;

    ReplayPlan plan = PlanReplays(ParseCommandLine({}), window.Lookup(), start);
    EXPECT_TRUE(plan.automatic);
    EXPECT_EQ(plan.folder, state + "/grappix/replays");
    EXPECT_EQ(plan.record.rfind(plan.folder + "/", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(plan.record + ".part"))
        << "its name is held before the engine starts";
    EXPECT_EQ(plan.warning, "");
    ReleaseReplayPlan(plan);  // the start failed: nothing was recorded
    EXPECT_FALSE(std::filesystem::exists(state)) << "no empty folders are left behind";

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
    scripted.vars["GRAPPIX_CALLER_DIR"] = dir.Path();
    plan = PlanReplays(ParseCommandLine({"--record", "best.replay", "--replay", "/r/a.replay", "--force"}),
                       scripted.Lookup(), start);
    EXPECT_EQ(plan.record, dir / "best.replay");
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
    EXPECT_EQ(plan.warning, "cannot keep a replay of this run (" +
                                dir / "file is not a folder); playing without recording");
    unsetenv("XDG_STATE_HOME");
}

TEST(ReplayFilesTest, RecordNeverWritesOverAnythingAndSaysWhatIsInTheWay) {
    // Guards against --record replacing another replay, the one being played, a symbolic link
    // or a device, and a missing folder found only once the window is open.
    TempDir dir;
    WriteFile(dir / "old.replay", "# grappix replay 1\n");
    WriteFile(dir / "cut.replay.part", "");
    std::filesystem::create_directory(dir / "folder.replay");
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--record", dir / "old.replay"}, "already exists"},
        {{"--record", dir / "cut.replay"}, "cut.replay.part exists"},
        {{"--record", dir / "folder.replay"}, "is a folder"},
        {{"--record", dir / "missing/new.replay"}, "the folder " + dir / "missing does not exist"},
    };
    long files = 3;
#if !defined(_WIN32)  // no FIFOs nor /dev there, and mingw's std::filesystem makes no symbolic links
    std::filesystem::create_symlink(dir / "old.replay", dir / "link.replay");
    ASSERT_EQ(mkfifo((dir / "fifo.replay").c_str(), 0600), 0);
    files += 2;
    cases.insert(cases.end(), {{{"--record", dir / "link.replay"}, "is a symbolic link"},
                               {{"--record", dir / "fifo.replay"}, "is not a regular file"},
                               {{"--record", "/dev/null"}, "is not a regular file"},
                               {{"--record", dir / "link.replay", "--replay", dir / "./old.replay"},
                                "is the replay being played"}});
#endif
    for (const auto& [args, fault] : cases) {
        ReplayPlan plan = PlanReplays(ParseCommandLine(args), Env{}.Lookup(), 0);
        EXPECT_EQ(plan.error.rfind("--record " + args[1] + ": ", 0), 0u) << plan.error;
        EXPECT_NE(plan.error.find(fault), std::string::npos) << plan.error;
        EXPECT_EQ(plan.record, "");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), files) << "nothing made";
    EXPECT_EQ(ReadFile(dir / "old.replay"), "# grappix replay 1\n");
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
    // Another game started in the same second, before the first wrote anything.
    EXPECT_EQ(NewReplayPath(dir.Path(), start), dir / (std::string(stamp) + "-2.replay"));
    WriteFile(dir / (std::string(stamp) + "-3.replay"), "");
    EXPECT_EQ(NewReplayPath(dir.Path(), start), dir / (std::string(stamp) + "-4.replay"));
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

    // Records name the folder through a link; a record's replay cut short is its .part; a locked
    // .part is live however old, and ended at its last check once no game holds it.
#if defined(_WIN32)  // mingw's std::filesystem makes no symbolic links: the folder itself
    const std::string via = dir.Path();
#else
    std::filesystem::create_symlink(dir.Path(), dir / "via");
    const std::string via = dir / "via";
#endif
    Touch(dir / "record.replay.part", now - 99000);
    const std::string cut =
        "# grappix replay 1\nversion 1\nseed 1\ncheck 60 00000000000000aa\n70 up left\ncheck 120 0b\n";
    Touch(dir / "locked.replay.part", now - 99000, cut + "130 do");
    const int held = open((dir / "locked.replay.part").c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    PruneReplays(dir.Path(), 0, {via + "/record.replay"}, now);
    EXPECT_EQ(RecoverCutReplay(dir / "locked.replay"), "");
    close(held);
    EXPECT_TRUE(std::filesystem::exists(dir / "record.replay.part"));
    EXPECT_FALSE(std::filesystem::exists(dir / "locked.replay")) << "a running game still holds it";
    EXPECT_EQ(RecoverCutReplay(dir / "locked.replay"), "");
    EXPECT_EQ(ReadFile(dir / "locked.replay"),
              cut + "end 120\n" + kCutShortNote + "120: it plays up to there\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "locked.replay.part"));
}

}  // namespace
}  // namespace grappix
