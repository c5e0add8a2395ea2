// Replays end to end: the real game records a run with --record and plays it back with
// --replay to the same trace, a watched replay saves nothing, and a replay that cannot be
// played ends the run with one line and status 1.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/process.hpp"

namespace grappix {
namespace {

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;
using test::WriteFile;

using test::Env;

// The real game headless, its folders and files in a temporary folder of its own.
struct Game {
    TempDir dir;
    ProcessResult Run(std::vector<std::string> args, Env env, const std::string& trace) {
        args.insert(args.begin(), GRAPPIX_EXE);
        Env all = test::HeadlessGameEnv(dir, trace);
        all.insert(all.end(), env.begin(), env.end());
        return RunProcess(args, GRAPPIX_RUN_DIR, all, 120.0,
                          {"BRISEL_INPUT", "BRISEL_SEED", "BRISEL_RECORD"});
    }
    // A game of Normal mode with some swinging, the mute key and the options screen's volumes
    // carried by the replay, quitting at step 400.
    ProcessResult Record(std::vector<std::string> args = {}) {
        WriteFile(
            dir / "input.txt",
            "1 mouse 800 430\n10 down left\n12 up left\n60 mouse 900 200\n70 down left\n130 down right\n"
            "180 up right\n181 up left\n200 down key M\n202 up key M\n250 down pad0\n255 up pad0\n400 "
            "quit\n");
        args.insert(args.begin(), {"--record", dir / "run.replay"});
        return Run(args, {{"BRISEL_INPUT", dir / "input.txt"}, {"BRISEL_SEED", "11"}}, "recorded.trace");
    }
    std::string Settings() { return ReadFile(dir / "config/grappix/settings.ini"); }
};

TEST(ReplayRunTest, ARecordedRunPlaysBackToTheSameTraceAndSavesNothing) {
    // Guards against a replay the game does not follow (settings, seed, input), and a watched
    // replay's mute key or volumes overwriting the viewer's settings.
    Game game;
    ProcessResult r = game.Record({"--music-volume", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::filesystem::exists(game.dir / "run.replay"));
    EXPECT_FALSE(std::filesystem::exists(game.dir / "state/grappix/replays"))
        << "a scripted run keeps no replay";

    std::filesystem::remove_all(game.dir / "config");
    std::filesystem::create_directories(game.dir / "config/grappix");
    WriteFile(game.dir / "config/grappix/settings.ini", "music-volume = 90\n");
    r = game.Run({"--replay", game.dir / "run.replay"}, {{"BRISEL_SEED", "12"}}, "replayed.trace");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(game.dir / "replayed.trace"), ReadFile(game.dir / "recorded.trace"));
    EXPECT_EQ(game.Settings(), "music-volume = 90\n");
}

TEST(ReplayRunTest, AReplayPlaysWithTheBindingsItWasRecordedWithWhateverTheWatcherBound) {
    // Guards against a replay drawn with the watcher's keys (the title's line, the cards), which
    // no longer matches its checks, and against the watcher's settings being rewritten.
    Game game;
    std::filesystem::create_directories(game.dir / "config/grappix");
    WriteFile(game.dir / "config/grappix/settings.ini", "key-shoot = Left Shift\nbutton-jump = Y\n");
    ProcessResult r = game.Record();
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string replay = ReadFile(game.dir / "run.replay");
    EXPECT_NE(replay.find("\nnote settings.key-shoot Left Shift\n"), std::string::npos);
    EXPECT_NE(replay.find("\nnote settings.button-jump Y\n"), std::string::npos);

    const std::string watcher = "key-shoot = Q\nkey-jump = Left Shift\nbutton-jump = RB\n";
    WriteFile(game.dir / "config/grappix/settings.ini", watcher);
    r = game.Run({"--replay", game.dir / "run.replay"}, {}, "replayed.trace");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(game.dir / "replayed.trace"), ReadFile(game.dir / "recorded.trace"));
    EXPECT_EQ(game.Settings(), watcher);
}

TEST(ReplayRunTest, AReplayThatCannotBePlayedEndsWithOneLine) {
    // Guards against a damaged or foreign replay crashing, hanging or playing something else.
    Game game;
    ASSERT_EQ(game.Record().status, 0);
    const std::string good = ReadFile(game.dir / "run.replay");

    WriteFile(game.dir / "cut.replay", good.substr(0, good.size() / 2));
    ProcessResult r = game.Run({"--replay", game.dir / "cut.replay"}, {}, "t");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("grappix: " + game.dir / "cut.replay: the replay is cut short", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;

    r = game.Run({"--replay", game.dir / "none.replay"}, {}, "t");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "grappix: " + game.dir / "none.replay: cannot read the replay (No such file or directory)\n");

    // A newer version's replay plays only when forced; an older one's plays, saying where this
    // version draws differently (an edited version line shows at the first check).
    std::string other = good;
    other.replace(other.find("version 1.1.0 "), 14, "version 1.10.0 ");
    WriteFile(game.dir / "other.replay", other);
    r = game.Run({"--replay", game.dir / "other.replay"}, {}, "t");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("other.replay: recorded by a newer version of the game (1.10.0 engine "),
              std::string::npos);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    r = game.Run({"--replay", game.dir / "other.replay", "--force"}, {}, "forced.trace");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(game.dir / "forced.trace"), ReadFile(game.dir / "recorded.trace"));
    other = good;
    WriteFile(game.dir / "other.replay", other.replace(other.find("version 1.1.0 "), 14, "version 0.9.0 "));
    r = game.Run({"--replay", game.dir / "other.replay"}, {}, "other.trace");
    EXPECT_EQ(
        r.err,
        "grappix: " +
            game.dir / "other.replay: recorded by 0.9.0: this version draws differently from step 60\n");
    EXPECT_EQ(ReadFile(game.dir / "other.trace"), ReadFile(game.dir / "recorded.trace"));

    std::string changed = good;
    changed.replace(changed.find("\n60 mouse 900 200\n"), 18, "\n60 mouse 900 201\n");
    WriteFile(game.dir / "changed.replay", changed);
    r = game.Run({"--replay", game.dir / "changed.replay"}, {}, "t");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "grappix: " + game.dir / "changed.replay: replay differs from the recorded game at step 120\n");
}

TEST(ReplayRunTest, AReplayOfTheFirstFormatStillPlaysWithItsOwnChecks) {
    // Guards against replays of the first format becoming unwatchable, or their checks unverified.
    const std::string recorded =
        "# grappix replay 1\nversion 1.0.0 engine Brisel 1.0.0 (SDL 2.26.5, SDL_ttf 2.20.1)\nseed 11\n"
        "fullscreen off\nnote settings.music-volume 100\nnote settings.effects-volume 100\n"
        "note settings.mute off\nnote settings.rumble on\nnote best.normal 0\nnote best.no-block 0\n"
        "note best.free-style 0\n1 mouse 800 430\n10 down left\n12 up left\ncheck 60 8fd25eb05707a401\n"
        "60 mouse 900 200\n70 down left\ncheck 120 2be3a5af9fa7603c\n130 quit\nend 130\n";
    Game game;
    std::string changed = recorded;
    WriteFile(game.dir / "old.replay", recorded);
    WriteFile(game.dir / "changed.replay", changed.replace(changed.find("900 200"), 7, "900 201"));
    ProcessResult r = game.Run({"--replay", game.dir / "old.replay"}, {}, "t");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Recorded by an older version: a check that differs is said, not fatal.
    EXPECT_EQ(
        game.Run({"--replay", game.dir / "changed.replay"}, {}, "t").err,
        "grappix: " +
            game.dir / "changed.replay: recorded by 1.0.0: this version draws differently from step 120\n");
}

// Guards against the viewer's speeds, skips and frame step landing on the wrong step, or a run
// played again from the start (a skip back) not matching its own checks: every case must end
// where its commands lead, counted in frames the viewer showed, with status 0.
TEST(ReplayRunTest, TheViewersSpeedsSkipsAndStepsReachTheirStepWithEveryCheckVerified) {
    Game game;
    WriteFile(game.dir / "input.txt",
              "1 mouse 800 430\n10 down left\n12 up left\n60 mouse 900 200\n70 down left\n130 down right\n"
              "180 up right\n181 up left\n200 down key M\n202 up key M\n700 down pad0\n705 up pad0\n"
              "1300 quit\n");
    ProcessResult r = game.Run({"--record", game.dir / "run.replay"},
                               {{"BRISEL_INPUT", game.dir / "input.txt"}, {"BRISEL_NODRAW", "1"}}, "t");
    ASSERT_EQ(r.status, 0) << r.err;
    const struct {
        const char* keys;
        int lastStep, runs;  // runs: 1 + the skips back
    } cases[] = {
        {"", 1300, 1},
        {"10 faster, 20 faster, 30 faster, 40 quit", 150, 1},         // 10 + 2x10 + 4x10 + 8x10
        {"10 slower, 20 quit", 15, 1},                                // two frames a step
        {"10 faster, 20 pause, 25 step, 30 step, 40 quit", 32, 1},    // one step each, even at 2x
        {"10 forward, 20 quit", 619, 1},                              // 10 s on, then 9 steps
        {"700 back, 710 quit", 109, 2},                               // back from 700 to 100
        {"100 back, 110 quit", 10, 2},                                // back past the start: step 1
        {"5 forward, 10 forward, 15 back, 16 back, 20 quit", 16, 3},  // 1213, back to 613, then 13
        {"10 forward, 11 pause, 12 back, 13 forward, 20 step, 30 quit", 611, 2},  // paused throughout
    };
    for (const auto& c : cases) {
        r = game.Run({"--replay", game.dir / "run.replay"},
                     {{"BRISEL_VIEWER_KEYS", c.keys}, {"BRISEL_NODRAW", "1"}}, "viewed.trace");
        EXPECT_EQ(r.status, 0) << c.keys << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.keys;
        const std::string trace = ReadFile(game.dir / "viewed.trace");
        const size_t last = trace.rfind("\nframe ") + 1;
        EXPECT_EQ(trace.substr(last, trace.find('\n', last) - last), "frame " + std::to_string(c.lastStep))
            << c.keys;
        int runs = 0;
        for (size_t at = trace.find("frame 1\n"); at != std::string::npos;
             at = trace.find("frame 1\n", at + 1))
            runs += at == 0 || trace[at - 1] == '\n';
        EXPECT_EQ(runs, c.runs) << c.keys;
    }
}

#endif

}  // namespace
}  // namespace grappix
