// The run's settings on the fake engine: what reaches the engine, what is saved and when, and
// the keys that work on every screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "fake/fake_engine.hpp"
#include "frame/media.hpp"
#include "frame/session.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

CommandLine Line(std::vector<std::string> args) { return ParseCommandLine(args); }

double LastGroupVolume(const FakeEngine& fake, int64_t group) {
    double v = -1;
    for (const auto& c : fake.Named("SetGroupVolume"))
        if (c.args[0] == double(group)) v = c.args[1];
    return v;
}

TEST(SessionTest, CommandLineOptionsRuleThisRunButAreNeverSaved) {
    // Guards against `--mute` or `--music-volume` leaking into the settings file.
    FakeEngine fake;
    TempDir dir;
    const std::string path = dir / "settings.ini";
    WriteFile(path, "music-volume = 40\neffects-volume = 60\n");
    Session session(path, Line({"--music-volume", "10", "--mute", "--fullscreen"}));
    session.ApplyBeforeInit();
    EXPECT_DOUBLE_EQ(LastGroupVolume(fake, BRISEL_SOUND_MUSIC), 0.10);
    EXPECT_DOUBLE_EQ(LastGroupVolume(fake, BRISEL_SOUND_EFFECTS), 0.60);
    EXPECT_TRUE(fake.muted);
    EXPECT_TRUE(fake.fullscreen);
    EXPECT_EQ(ReadFile(path), "music-volume = 40\neffects-volume = 60\n") << "starting writes nothing";

    session.SetEffectsVolume(30);  // a change in the game is saved, the options are not
    std::string text = ReadFile(path);
    EXPECT_NE(text.find("music-volume = 40\n"), std::string::npos) << text;
    EXPECT_NE(text.find("effects-volume = 30\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mute = false\n"), std::string::npos) << text;
    EXPECT_NE(text.find("fullscreen = false\n"), std::string::npos) << text;
    EXPECT_DOUBLE_EQ(LastGroupVolume(fake, BRISEL_SOUND_EFFECTS), 0.30);
    EXPECT_EQ(session.Current().musicVolume, 10);
}

TEST(SessionTest, MTogglesMuteOnItsPressOnlyAndSavesIt) {
    // Guards against mute flickering while M is held, or forgotten at the next run.
    FakeEngine fake;
    TempDir dir;
    Session session(dir / "grappix/settings.ini", Line({}));
    session.ApplyBeforeInit();
    std::vector<bool> muted;
    for (int64_t count : {0, 1, 2, 3, 0, 1, 0}) {
        fake.SetKeyCount(BRISEL_KEY_M, count);
        session.AfterFrameStep();
        muted.push_back(fake.muted);
    }
    EXPECT_EQ(muted, (std::vector<bool>{false, true, true, true, true, false, false}));
    fake.SetKeyCount(BRISEL_KEY_M, 1);
    session.AfterFrameStep();
    EXPECT_NE(ReadFile(dir / "grappix/settings.ini").find("mute = true\n"), std::string::npos);
}

TEST(SessionTest, CtrlQQuitsAndQAloneDoesNot) {
    // Guards against Ctrl+Q ignored, or Q quitting on its own.
    FakeEngine fake;
    TempDir dir;
    Session session(dir / "settings.ini", Line({}));
    fake.SetKeyCount(BRISEL_KEY_Q, 1);
    EXPECT_NO_THROW(session.AfterFrameStep());
    fake.SetKeyCount(BRISEL_KEY_RCTRL, 5);
    fake.SetKeyCount(BRISEL_KEY_Q, 2);  // Q held from before Ctrl: no new press
    EXPECT_NO_THROW(session.AfterFrameStep());
    fake.SetKeyCount(BRISEL_KEY_Q, 1);
    try {
        session.AfterFrameStep();
        FAIL() << "Ctrl+Q must end the run";
    } catch (const BriselFailure& f) {
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_QUIT));
    }
    EXPECT_EQ(fake.Named("Exit").size(), 1u);
}

TEST(SessionTest, FullscreenToggledByTheWindowsKeysIsKept) {
    // Guards against F11 working for this run only, when the player expects it remembered.
    FakeEngine fake;
    TempDir dir;
    Session session(dir / "settings.ini", Line({}));
    session.ApplyBeforeInit();
    session.AfterFrameStep();
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini")) << "nothing changed, nothing written";
    fake.fullscreen = true;  // the engine toggled it on F11
    session.AfterFrameStep();
    EXPECT_TRUE(session.Current().fullscreen);
    EXPECT_NE(ReadFile(dir / "settings.ini").find("fullscreen = true\n"), std::string::npos);
}

TEST(SessionTest, WindowSizeIsKeptOnlyWhenThePlayerChangedIt) {
    // Guards against the size the engine fitted to a small desktop being saved as the player's
    // choice, and a size the player chose being forgotten.
    FakeEngine fake;
    TempDir dir;
    {
        fake.windowW = 1344;  // the engine fitted 1600 x 900 to the desktop
        fake.windowH = 756;
        Session session(dir / "settings.ini", Line({}));
        session.ApplyBeforeInit();
        fake.windowW = 1344;
        fake.windowH = 756;
        session.ApplyAfterInit();
        session.AtShutdown();
        EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini"));
    }
    Session session(dir / "settings.ini", Line({}));
    session.ApplyBeforeInit();
    session.ApplyAfterInit();
    fake.windowW = 1000;
    fake.windowH = 560;
    session.AtShutdown();
    std::string text = ReadFile(dir / "settings.ini");
    EXPECT_NE(text.find("window-width = 1000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("window-height = 560\n"), std::string::npos) << text;
    Session next(dir / "settings.ini", Line({}));
    fake.ClearCalls();
    next.ApplyBeforeInit();
    ASSERT_EQ(fake.Named("SetWindowSize").size(), 1u);
    EXPECT_EQ(fake.Named("SetWindowSize")[0].args, (std::vector<double>{1000, 560}));
}

TEST(SessionTest, AnUnwritableSettingsFolderIsWarnedAboutOnceAndPlayGoesOn) {
    // Guards against a warning on every change, or a failure that ends the game.
    FakeEngine fake;
    TempDir dir;
    WriteFile(dir / "grappix", "a file where the folder should be");
    Session session(dir / "grappix/settings.ini", Line({}));
    ::testing::internal::CaptureStderr();
    session.SetMute(true);
    session.SetMusicVolume(20);
    session.SetFullscreen(true);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("grappix: cannot save the settings (", 0), 0u) << err;
    EXPECT_NE(err.find("is not a folder"), std::string::npos) << err;
    EXPECT_TRUE(fake.muted);
    EXPECT_TRUE(fake.fullscreen);
    EXPECT_DOUBLE_EQ(LastGroupVolume(fake, BRISEL_SOUND_MUSIC), 0.20);
}

TEST(SessionTest, MalformedSettingsAreWarnedAtStartAndResetSettingsWritesTheDefaults) {
    // Guards against a damaged file going unmentioned, rewritten before anything changed, or
    // --reset-settings dropping the keys another version keeps there.
    FakeEngine fake;
    TempDir dir;
    const std::string path = dir / "settings.ini";
    WriteFile(path, "music-volume = 250\nvibration = on\nmute = true\n");
    ::testing::internal::CaptureStderr();
    {
        Session session(path, Line({}));
        EXPECT_EQ(session.Current().musicVolume, 100);
        EXPECT_TRUE(session.Current().mute);
    }
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "grappix: " + path +
                       ":1: music-volume must be a whole number from 0 to 100, not '250'; using 100\n");
    EXPECT_EQ(ReadFile(path), "music-volume = 250\nvibration = on\nmute = true\n");

    ::testing::internal::CaptureStderr();
    Session reset(path, Line({"--reset-settings"}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(reset.Current(), Settings{});
    EXPECT_EQ(ReadFile(path),
              "music-volume = 100\nvibration = on\nmute = false\neffects-volume = 100\nfullscreen = false\n"
              "window-width = 1600\nwindow-height = 900\nrumble = true\nboard = false\nboard-name = \n"
              "board-address = \n");
}

TEST(SessionTest, ADamagedLineIsWarnedAboutInFullAndBindingsGiveWayToTheGoodOnes) {
    // Guards against a fixed or unknown key taken as a binding, one key bound to two actions,
    // a damaged line silently dropped, a default displacing a key the player did bind, a
    // warning naming a default the binding did not get, and a warning cut short where the
    // default it falls back to is empty.
    FakeEngine fake;
    TempDir dir;
    const std::string path = dir / "settings.ini";
    const struct {
        const char* file;
        BindingNames keys, buttons;
        std::string warning;  // after "grappix: <path>"; empty for none
    } cases[] = {
        {"key-jump = Z\n", {"Space", "X", "Z", "P"}, kDefaultButtons, ""},
        {"key-shoot = escape\nkey-jump = z\n",
         {"Space", "X", "Z", "P"},
         kDefaultButtons,
         ":1: key-shoot must be the name of a key free to bind (Z, Space, Left Shift ...; not Escape, F11, "
         "M, "
         "Return, Alt, Ctrl or an arrow), not 'escape'; using Space\n"},
        {"key-shoot = Q\nkey-reel = Q\n",
         {"Q", "X", "Space", "P"},
         kDefaultButtons,
         ":2: key-reel: Q is bound to shoot already; using X\n"},
        {"button-jump = Z\nbutton-pause = lb\n",
         kDefaultKeys,
         {"X", "B", "A", "LB"},
         ":1: button-jump must be a controller button free to bind (A, B, X, Y, LB, RB, LS, RS or Start), "
         "not 'Z'; using A\n"},
        {"board-name = <b>\n", kDefaultKeys, kDefaultButtons,
         ":1: board-name must be 1 to 24 printable characters without < > & \" ', not '<b>'; left empty\n"},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.file);
        ::testing::internal::CaptureStderr();
        Session session(path, Line({}));
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(session.Current().keys, c.keys) << c.file;
        EXPECT_EQ(session.Current().buttons, c.buttons) << c.file;
        EXPECT_EQ(err, c.warning.empty() ? "" : "grappix: " + path + c.warning) << c.file;
    }
}

TEST(SessionTest, ARecordedRunCarriesItsSoundSettingsAsNotes) {
    // Guards against a replay missing what the options screen shows and the mixer plays.
    FakeEngine fake;
    TempDir dir;
    Session session(dir / "settings.ini", Line({"--music-volume", "15", "--mute"}));
    session.ApplyBeforeInit();
    session.ApplyAfterInit();
    EXPECT_EQ(fake.notes["settings.music-volume"], "15");
    EXPECT_EQ(fake.notes["settings.effects-volume"], "100");
    EXPECT_EQ(fake.notes["settings.mute"], "on");
    EXPECT_EQ(fake.notes["settings.rumble"], "on");
}

TEST(SessionTest, AReplayPlaysWithItsRecordedSettingsAndSavesNothing) {
    // Guards against a replay drawn with the viewer's volumes (the checks would fail), or the
    // recorded run's changes overwriting the viewer's settings.
    FakeEngine fake;
    TempDir dir;
    const std::string path = dir / "settings.ini";
    WriteFile(path, "music-volume = 80\n");
    fake.replaying = true;
    fake.replayNotes = {{"settings.music-volume", "25"},
                        {"settings.effects-volume", "7"},
                        {"settings.mute", "on"},
                        {"settings.rumble", "off"}};
    Session session(path, Line({}));
    session.ApplyBeforeInit();
    session.ApplyAfterInit();
    EXPECT_EQ(session.Current().musicVolume, 25);
    EXPECT_EQ(session.Current().effectsVolume, 7);
    EXPECT_TRUE(session.Current().mute);
    EXPECT_FALSE(session.Current().rumble) << "the options screen shows the recorded rumble";
    EXPECT_DOUBLE_EQ(LastGroupVolume(fake, BRISEL_SOUND_MUSIC), 0.25);
    EXPECT_TRUE(fake.muted);
    EXPECT_TRUE(fake.notes.empty()) << "a replay writes no notes of its own";

    session.SetMusicVolume(60);
    session.SetMute(false);
    session.AtShutdown();
    EXPECT_EQ(ReadFile(path), "music-volume = 80\n");

    // A hand-edited note is no volume: the viewer's own stands.
    fake.replayNotes = {{"settings.music-volume", "250"}};
    Session edited(path, Line({}));
    edited.ApplyAfterInit();
    EXPECT_EQ(edited.Current().musicVolume, 80);
}

TEST(SessionTest, AnEngineWithoutTheExtensionsIsLeftAlone) {
    // Guards against a call through a null extension on an engine of the 132 names.
    FakeEngine fake;
    fake.RemoveExtensions();
    TempDir dir;
    Session session(dir / "settings.ini", Line({"--mute", "--fullscreen"}));
    session.ApplyBeforeInit();
    session.ApplyAfterInit();
    for (int i = 0; i < 3; ++i) session.AfterFrameStep();
    session.SetMusicVolume(50);
    session.AtShutdown();
    EXPECT_TRUE(fake.Named("SetMute").empty());
    EXPECT_TRUE(fake.Named("Key").empty());
    EXPECT_EQ(session.Current().musicVolume, 50);
}

TEST(SessionTest, TheFrameStepRunsTheActiveSessionsKeys) {
    // Guards against M or Ctrl+Q working on some screens and not others: every frame step,
    // wherever it is taken, passes through the session.
    FakeEngine fake;
    TempDir dir;
    Session session(dir / "settings.ini", Line({}));
    SetActiveSession(&session);
    fake.SetKeyCount(BRISEL_KEY_M, 1);
    NextFrame();
    SetActiveSession(nullptr);
    EXPECT_TRUE(fake.muted);
    fake.SetKeyCount(BRISEL_KEY_M, 1);
    NextFrame();  // no session: nothing but the step
    EXPECT_TRUE(fake.muted);
}

}  // namespace
}  // namespace grappix
