// The game as a desktop program, end to end: its command line, what it says on the terminal,
// no display, the settings it keeps, and the keys that work on every screen.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/process.hpp"
#include "support/trace.hpp"

namespace grappix {
namespace {

using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;

using test::Env;

// A folder holding the game, its Data/Brisel.vqd a stand-in engine of the 132 names noting Init.
struct StubFolder {
    TempDir dir;
    std::string game = test::PlaceGame(GRAPPIX_EXE, dir);
    StubFolder() {
        std::filesystem::create_directory(dir / "Data");
        std::filesystem::create_symlink(std::string(GRAPPIX_STUB_DIR) + "/stub_complete.vqd",
                                        dir / "Data/Brisel.vqd");
    }
    ProcessResult Run(std::vector<std::string> args, Env env = {}, std::vector<std::string> unset = {}) {
        args.insert(args.begin(), game);
        env.emplace_back("STUB_LOG", dir / "stub.log");
        env.emplace_back("XDG_CONFIG_HOME", dir / "config");
        return RunProcess(args, dir.Path(), env, 30.0, unset);
    }
    std::string StubLog() { return ReadFile(dir / "stub.log"); }
};

// No display at all: neither X11 nor Wayland, no driver chosen.
const std::vector<std::string> kNoDisplay = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY",
                                             "WAYLAND_SOCKET"};

TEST(CommandLineRunTest, HelpAndVersionAnswerWithoutAWindowOrTheEngine) {
    // Guards against --help or --version starting the game, and against needing a display
    // to answer them.
    StubFolder folder;
    for (const char* help : {"--help", "-h"}) {
        ProcessResult r = folder.Run({help}, {}, kNoDisplay);
        EXPECT_EQ(r.status, 0) << help << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: grappix [OPTION]...\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(folder.dir / "config/grappix/settings.ini"), std::string::npos) << r.out;
    }
    ProcessResult version = folder.Run({"--version"}, {}, kNoDisplay);
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out,
              "grappix 1.1.0\nengine library Data/Brisel.vqd (it does not report its version)\n");
    EXPECT_EQ(folder.StubLog(), "") << "no Init: no window";
    EXPECT_FALSE(std::filesystem::exists(folder.dir / "config")) << "nothing written";
}

TEST(CommandLineRunTest, BadOptionsEndWithStatusTwoAndOneLineBeforeAnythingStarts) {
    // Guards against a mistyped option starting the game anyway, or a message that does not
    // say which option or where to look.
    StubFolder folder;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                                               {"--music-volume"},
                                                                               {"--music-volume", "101"},
                                                                               {"--effects-volume=x"},
                                                                               {"--mute=1"},
                                                                               {"level2"}}) {
        ProcessResult r = folder.Run(args, {}, kNoDisplay);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(args[0].substr(0, args[0].find('='))), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Try 'grappix --help'"), std::string::npos) << r.err;
    }
    EXPECT_EQ(folder.StubLog(), "");
}

TEST(CommandLineRunTest, ARefusedRecordEndsWithStatusTwoBeforeTheEngine) {
    // Guards against a refused --record (each refusal: ReplayFilesTest) reaching the engine, or
    // replacing the replay being played.
    StubFolder folder;
    test::WriteFile(folder.dir / "r.replay", "# grappix replay 1\n");
    ProcessResult r = folder.Run({"--replay", "r.replay", "--record", "r.replay"}, {}, kNoDisplay);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("is the replay being played"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(folder.dir / "r.replay"), "# grappix replay 1\n");
    EXPECT_EQ(folder.StubLog(), "") << "the engine never started";
}

TEST(CommandLineRunTest, AnEngineOfThe132NamesPlaysWithEveryOption) {
    // Guards against the options or the settings needing the engine's extensions: on an
    // engine without them the game runs, silently, and ends as usual.
    StubFolder folder;
    ProcessResult r = folder.Run({"--mute", "--fullscreen", "--music-volume", "30", "--effects-volume=0"},
                                 {{"STUB_QUIT_AT", "40"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(folder.StubLog(), "init\nfree\n");
    ProcessResult reset = folder.Run({"--reset-settings"}, {{"STUB_QUIT_AT", "5"}});
    EXPECT_EQ(reset.status, 0) << reset.err;
    EXPECT_NE(ReadFile(folder.dir / "config/grappix/settings.ini").find("music-volume = 100\n"),
              std::string::npos);
}

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

// Runs the real game headless with a script, its settings in a folder of its own.
struct Game {
    TempDir dir;
    ProcessResult Run(const std::string& script, std::vector<std::string> args = {}, Env env = {},
                      std::vector<std::string> unset = {}, double timeout = 120.0) {
        test::WriteFile(dir / "input.txt", script);
        args.insert(args.begin(), GRAPPIX_EXE);
        Env all = test::HeadlessGameEnv(dir);
        all.insert(all.end(), {{"BRISEL_INPUT", dir / "input.txt"}, {"BRISEL_SEED", "5"}});
        all.insert(all.end(), env.begin(), env.end());
        return RunProcess(args, GRAPPIX_RUN_DIR, all, timeout, unset);
    }
    std::string Settings() { return ReadFile(dir / "config/grappix/settings.ini"); }
    std::vector<test::TraceFrame> Trace() { return test::ParseTrace(ReadFile(dir / "trace.txt")); }
};

TEST(DesktopRunTest, VersionNamesTheRealEngineAndItsLibraries) {
    ProcessResult r = RunProcess({GRAPPIX_EXE, "--version"}, GRAPPIX_RUN_DIR, {}, 30.0, kNoDisplay);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("grappix 1.1.0\nBrisel 1.1.0 (SDL 2.", 0), 0u) << r.out;
}

TEST(DesktopRunTest, NoDisplayEndsAtOnceWithStatusOneAndOneLineSayingWhatToDo) {
    // Guards against a game that runs invisibly for ever where there is no display, or dies
    // with SDL's words instead of the player's way out.
    TempDir runtime;  // no compositor's socket in it
    auto start = std::chrono::steady_clock::now();
    ProcessResult r = RunProcess(
        {GRAPPIX_EXE}, GRAPPIX_RUN_DIR,
        {{"XDG_RUNTIME_DIR", runtime.Path()}, {"XDG_CONFIG_HOME", runtime / "config"}}, 10.0, kNoDisplay);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(r.timedOut);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("grappix: no display", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("SDL_VIDEODRIVER=dummy"), std::string::npos) << r.err;
}

TEST(DesktopRunTest, ANormalRunIsSilentAndNoSoundDeviceIsOneLine) {
    // Guards against library chatter on the player's terminal.
    Game quiet;
    ProcessResult r = quiet.Run("30 quit\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    Game silent;
    r = silent.Run("30 quit\n", {}, {{"SDL_AUDIODRIVER", "no-such-device"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "grappix: no sound device: playing silently\n");
    // A file's bytes reach the terminal escaped: a raw escape sequence could rewrite it.
    Game escaped;
    std::filesystem::create_directories(escaped.dir / "config/grappix");
    test::WriteFile(escaped.dir / "config/grappix/settings.ini", "\x1b]0;title\x07\n");
    r = escaped.Run("30 quit\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("'\\x1b]0;title\\x07'"), std::string::npos) << r.err;
}

TEST(DesktopRunTest, MWritesMuteToTheSettingsAndTheNextRunStartsMuted) {
    // Guards against the mute key not being remembered, or the command line's being saved.
    Game game;
    ProcessResult r = game.Run("5 down key M\n7 up key M\n20 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(game.Settings().find("mute = true\n"), std::string::npos) << game.Settings();
    r = game.Run("10 down key m\n11 up key m\n20 quit\n", {"--music-volume", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(game.Settings().find("mute = false\n"), std::string::npos) << game.Settings();
    EXPECT_NE(game.Settings().find("music-volume = 100\n"), std::string::npos) << game.Settings();
}

TEST(DesktopRunTest, CtrlQQuitsWithStatusZeroFromPlay) {
    // Guards against Ctrl+Q missing during play, or ending the run as a failure.
    Game game;
    ProcessResult r =
        game.Run("1 mouse 800 430\n10 down left\n12 up left\n200 down key Left Ctrl\n201 down key q\n", {},
                 {{"BRISEL_FRAMES", "400"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(game.Trace().size(), 202u) << "the run ended at step 201";
}

TEST(DesktopRunTest, F11IsRememberedAsFullscreen) {
    Game game;
    ProcessResult r = game.Run("5 down key F11\n6 up key F11\n10 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(game.Settings().find("fullscreen = true\n"), std::string::npos) << game.Settings();
}

bool DrawsPause(const test::TraceFrame& f) {  // "PAUSE": 100 x 200 glyphs at (550, 250)
    for (const test::TexDraw& t : f.TexOf("font_128_64.vqtex"))
        if (t.dx == 550 && t.dy == 250 && t.dw == 100) return true;
    return false;
}

bool DrawsLogo(const test::TraceFrame& f) { return !f.TexOf("title03.vqtex").empty(); }

TEST(DesktopSceneTest, EscapeOrBackTwiceOnTheTitleQuitsAfterClosingTheCredits) {
    // Guards against a title screen with no way out but the window's close button (none at
    // all in fullscreen without a window manager), against one stray Escape quitting (two
    // Escapes from the credits used to end the game), and against Escape or the keyboard's B
    // quitting from under the credits instead of closing them.
    struct Case {
        const char* what;
        const char* script;
        size_t frames;  // the run ends at the step before the last
    };
    const Case cases[] = {
        {"Escape asked, then Escape again within two seconds quits",
         "20 down key Escape\n21 up key Escape\n30 down key Escape\n", 31},
        {"a second Escape after two seconds only asks again",
         "20 down key Escape\n21 up key Escape\n150 down key Escape\n151 up key Escape\n160 quit\n", 161},
        {"the controller's Back, twice", "25 down pad4\n26 up pad4\n30 down pad4\n", 31},
        {"the keyboard's B closes the credits; Escape twice then quits",
         "1 mouse 800 790\n10 down left\n12 up left\n30 down key B\n31 up key B\n"
         "40 down key Escape\n41 up key Escape\n45 down key Escape\n",
         46},
        {"Escape closes the credits; Escape twice then quits",
         "1 mouse 800 790\n10 down left\n12 up left\n30 down key Escape\n31 up key Escape\n"
         "40 down key Escape\n41 up key Escape\n45 down key Escape\n",
         46},
    };
    for (const Case& c : cases) {
        Game game;
        ProcessResult r = game.Run(c.script);
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.what;
        std::vector<test::TraceFrame> frames = game.Trace();
        ASSERT_EQ(frames.size(), c.frames) << c.what;
        if (c.frames == 46) {
            EXPECT_FALSE(DrawsLogo(frames[20])) << c.what << ": the credits are open";
            EXPECT_TRUE(DrawsLogo(frames[35])) << c.what << ": the title is back";
        }
    }
}

TEST(DesktopSceneTest, EscapeInPlayPausesAndDoesNotQuit) {
    // Guards against the title's Escape leaking into play, where it is the pause key.
    Game game;
    ProcessResult r = game.Run(
        "1 mouse 800 430\n10 down left\n12 up left\n150 down key Escape\n"
        "150 down pad3\n152 up pad3\n152 up key Escape\n",
        {}, {{"BRISEL_FRAMES", "200"}});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<test::TraceFrame> frames = game.Trace();
    ASSERT_EQ(frames.size(), 201u) << "ran to the frame limit";
    EXPECT_TRUE(DrawsPause(frames[160]));
}

TEST(DesktopSceneTest, AFocusLostWindowEventDuringPlayOpensThePauseScreen) {
    // Guards against a game that plays on when the player switches to another window.
    Game game;
    ProcessResult r = game.Run("1 mouse 800 430\n10 down left\n12 up left\n200 window focus-lost\n", {},
                               {{"BRISEL_FRAMES", "260"}});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<test::TraceFrame> frames = game.Trace();
    ASSERT_EQ(frames.size(), 261u);
    // The pause screen's first frame follows the step that lost the focus ("PAUSE" blinks
    // on a 30-frame rhythm, on from 201 to 209).
    EXPECT_FALSE(DrawsPause(frames[200]));
    EXPECT_TRUE(DrawsPause(frames[201]));
    EXPECT_TRUE(DrawsPause(frames[205]));
    // Frozen: the character is drawn in the same place from one paused frame to the next.
    auto body = [](const test::TraceFrame& f) {
        for (const test::TexDraw& t : f.TexOf("ese_raf.vqtex"))
            if (t.a == 1.0) return t.dx;
        return -1.0;
    };
    EXPECT_EQ(body(frames[205]), body(frames[255]));
}

TEST(DesktopSceneTest, OptionsFromTheTitleSetTheEffectsVolumeAndKeepIt) {
    // Guards against an options screen that cannot be reached from the title, changes nothing
    // that is kept, or does not return to the title.
    Game game;
    ProcessResult r = game.Run(
        "1 mouse 1400 810\n10 down left\n12 up left\n"                    // the Options entry
        "20 down pad13\n21 up pad13\n22 down pad13\n23 up pad13\n"        // down to Effects
        "24 down key Left\n24 down pad14\n25 up pad14\n25 up key Left\n"  // 90
        "30 down key Escape\n31 up key Escape\n50 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(game.Settings().find("effects-volume = 90\n"), std::string::npos) << game.Settings();
    std::vector<test::TraceFrame> frames = game.Trace();
    ASSERT_EQ(frames.size(), 51u);
    EXPECT_FALSE(DrawsLogo(frames[20])) << "the options are open";
    EXPECT_TRUE(DrawsLogo(frames[40])) << "back on the title";
    EXPECT_TRUE(frames[24].Plays("hit_p13_a.ogg")) << "the new effects volume is heard";
}

#endif

}  // namespace
}  // namespace grappix
