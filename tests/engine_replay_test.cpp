// Replays: the lines a replay adds to the input script format, a run recorded and played back
// bit for bit (scripted, and under live device events), the desync checks, fast-forward, and
// every kind of bad replay file.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "engine_support.hpp"
#include "input_script.hpp"

using namespace engine_test;
using brisel::FormatScriptEvent;
using brisel::ParseInputScript;
using brisel::ScriptEvent;

// ---- the lines ----------------------------------------------------------------------------------

// Guards against a replay's own lines read wrongly: a note losing its '#' or inner spaces, a
// seed above 2^63, a check's hash, the end.
TEST(ReplayLines, ReadsTheLinesThatDescribeTheRun) {
    auto parsed = ParseInputScript(
        "# grappix replay 1\n"
        "version 1.2.0 engine Brisel 1.2.0 (SDL 2.26.5)\n"
        "seed 18446744073709551615\n"
        "fullscreen on\n"
        "note player.name Ann #1  of  two\n"
        "note empty\n"
        "2 fullscreen off\n"
        "check 60 0123456789abcdef\n"
        "60 down left\n"
        "end 61\n",
        "r.replay");
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.version, "1.2.0 engine Brisel 1.2.0 (SDL 2.26.5)");
    EXPECT_TRUE(parsed.haveSeed);
    EXPECT_EQ(parsed.seed, UINT64_MAX);
    EXPECT_TRUE(parsed.haveFullscreen && parsed.fullscreen);
    ASSERT_EQ(parsed.notes.size(), 2u);
    EXPECT_EQ(parsed.notes[0], (std::pair<std::string, std::string>{"player.name", "Ann #1  of  two"}));
    EXPECT_EQ(parsed.notes[1], (std::pair<std::string, std::string>{"empty", ""}));
    ASSERT_EQ(parsed.checks.size(), 1u);
    EXPECT_EQ(parsed.checks[0].step, 60);
    EXPECT_EQ(parsed.checks[0].hash, 0x0123456789abcdefull);
    ASSERT_EQ(parsed.events.size(), 2u);
    EXPECT_EQ(parsed.events[0].type, ScriptEvent::Type::Fullscreen);
    EXPECT_FALSE(parsed.events[0].on);
    EXPECT_TRUE(parsed.haveEnd);
    EXPECT_EQ(parsed.endStep, 61);
}

// Guards against a check or an event in the wrong place being taken: the player would verify
// the wrong step, or replay input the recorder never wrote.
TEST(ReplayLines, MisplacedOrMalformedLinesNameFileAndLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"5 down left\ncheck 4 0000000000000000\n",
         "r:2: check for step 4 comes after step 5 (out of order)"},
        {"check 60 0000000000000000\ncheck 60 0000000000000001\n", "r:2: a second check for step 60"},
        {"check 60 00000000000000zz\n", "r:1: check needs a frame step and a hash of 16 hexadecimal digits"},
        {"end 10\n11 down left\n", "r:2: nothing may follow the end line (end 10)"},
        {"end 10\ncheck 60 0000000000000000\n", "r:2: nothing may follow the end line (end 10)"},
        {"20 quit\nend 10\n", "r:2: the end at step 10 comes before step 20"},
        {"seed -1\n", "r:1: seed needs one whole number from 0 to 18446744073709551615"},
        {"seed 18446744073709551616\n", "r:1: seed needs one whole number from 0 to 18446744073709551615"},
        {"seed 1\nseed 2\n", "r:2: a second seed line"},
        {"version 1.0\n", "r:1: version needs the game's version, then 'engine' and the engine's version"},
        {"3 fullscreen maybe\n", "r:1: fullscreen needs on or off"},
    };
    for (const Case& c : cases) {
        auto parsed = ParseInputScript(c.text, "r");
        EXPECT_EQ(parsed.error, c.error) << c.text;
        EXPECT_TRUE(parsed.events.empty() && parsed.checks.empty()) << c.text;
    }
}

// Guards against the recorder writing an event its own parser reads back as another: every
// kind, every source, a key name with a space, a fractional cursor.
TEST(ReplayLines, EveryEventReadsBackAsWritten) {
    std::vector<ScriptEvent> events;
    auto add = [&](ScriptEvent::Type type, ScriptEvent::Source source, int button) {
        ScriptEvent e;
        e.step = int64_t(events.size()) + 1;
        e.type = type;
        e.source = source;
        e.button = button;
        events.push_back(e);
        return &events.back();
    };
    using T = ScriptEvent::Type;
    using S = ScriptEvent::Source;
    ScriptEvent* m = add(T::Mouse, S::Pad, 0);
    m->x = 0.1;
    m->y = -1234.5;
    add(T::Mouse, S::Pad, 0)->x = 1599;
    for (int b = 0; b < 3; ++b) add(T::Down, S::Mouse, b);
    for (int b = 0; b < 16; ++b) add(T::Up, S::Pad, b);
    for (int k = 0; k < BRISEL_KEY_COUNT; ++k) add(k % 2 ? T::Down : T::Up, S::Key, k);
    for (auto c : {ScriptEvent::Change::FocusLost, ScriptEvent::Change::FocusGained,
                   ScriptEvent::Change::Minimised, ScriptEvent::Change::Restored})
        add(T::Window, S::Pad, 0)->change = c;
    add(T::Fullscreen, S::Pad, 0)->on = true;
    add(T::Fullscreen, S::Pad, 0)->on = false;
    add(T::Quit, S::Pad, 0);
    add(T::Axis, S::Pad, BRISEL_AXIS_RIGHTX)->x = -0.123456789012345;
    add(T::Axis, S::Pad, BRISEL_AXIS_LEFTTRIGGER)->x = 1;
    add(T::Device, S::Pad, BRISEL_DEVICE_CONTROLLER);
    add(T::Device, S::Pad, BRISEL_DEVICE_MOUSE_KEYBOARD);
    add(T::Wheel, S::Pad, -3);
    add(T::Wheel, S::Pad, 1000);

    std::string text;
    for (const ScriptEvent& e : events) text += FormatScriptEvent(e) + "\n";
    auto parsed = ParseInputScript(text, "r");
    ASSERT_EQ(parsed.error, "") << text;
    ASSERT_EQ(parsed.events.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        const ScriptEvent &a = events[i], &b = parsed.events[i];
        EXPECT_TRUE(a.step == b.step && a.type == b.type && a.x == b.x && a.y == b.y && a.on == b.on)
            << FormatScriptEvent(a);
        if (a.type == T::Down || a.type == T::Up || a.type == T::Axis || a.type == T::Device) {
            EXPECT_TRUE(a.source == b.source && a.button == b.button) << FormatScriptEvent(a);
        }
        if (a.type == T::Window) {
            EXPECT_EQ(a.change, b.change) << FormatScriptEvent(a);
        }
    }
    EXPECT_EQ(FormatScriptEvent(events[1]), "2 mouse 1599 0");
}

// ---- recording and playing back -----------------------------------------------------------------

namespace {

// A small game on the real engine: what it draws and plays each step depends on every input
// the engine reports and on its random numbers, so a replay that feeds it anything else shows
// in the trace and in the checks. beforeAct runs before each frame step (to push device events).
void PlayLittleGame(const std::function<void(int64_t step)>& beforeAct = nullptr) {
    Api& e = Engine();
    BriselSnd* beep = e.LoadSnd("beep.wav");
    try {
        for (;;) {
            e.Clear(0, 0, 0.1);
            e.DrawRect(e.MouseX(), e.MouseY(), 4, 4, 1, 1, 1, 1);
            for (int b = 0; b < 3; ++b)
                if (e.Mouse(b) != 0) e.DrawRect(b * 10, 0, 5, double(e.Mouse(b)), 1, 0, 0, 1);
            for (int b = 0; b < 16; ++b)
                if (e.Pad(0, b) != 0) e.DrawRect(b * 10, 20, 5, double(e.Pad(0, b)), 0, 1, 0, 1);
            for (int k = 0; k < BRISEL_KEY_COUNT; ++k) {
                if (e.Key(k) == 0) continue;
                e.DrawRect(k * 10, 40, 5, double(e.Key(k)), 0, 0, 1, 1);
                if (e.Key(k) == 1) e.PlaySnd(beep, 0, false, 0);
            }
            for (int w = 0; w < 2; ++w)
                if (e.WindowState(w) != 0) e.DrawRect(w * 10, 60, 5, double(e.WindowState(w)), 1, 1, 0, 1);
            if (e.GetFullscreen()) e.DrawRect(0, 80, 5, 5, 1, 0, 1, 1);
            for (int a = 0; a < BRISEL_AXIS_COUNT; ++a)
                if (e.PadAxis(a) != 0) e.DrawRect(a * 10, 120, 5, 5 + 50 * e.PadAxis(a), 0, 1, 1, 1);
            e.DrawRect(0, 140, 5, 5 + double(e.LastDevice()), 1, 1, 1, 1);
            if (e.MouseWheel() != 0) e.DrawRect(0, 160, 5, 50 + double(e.MouseWheel()), 1, 1, 1, 1);
            e.DrawRect(double(e.Rnd(0, 1599)), 100, 2, 2, 0.5, 0.5, 0.5, 1);
            if (beforeAct) beforeAct(e.StepNumber() + 1);
            e.Act();
        }
    } catch (const BriselFailure& f) {
        if (f.Code() != BRISEL_FAIL_QUIT) throw;
    }
}

class EngineReplay : public ::testing::Test {
protected:
    void SetUp() override { box.Write("Data/beep.wav", WavBytes(0.05)); }
    void TearDown() override { Engine().Free(); }

    // One whole run of the little game, traced to `trace`, with the notes given after Init.
    void Run(const std::string& trace, const std::function<void(int64_t)>& beforeAct = nullptr) {
        setenv("BRISEL_TRACE", box.Path(trace).c_str(), 1);
        InitEngine();
        Engine().SetReplayNote("version", "7.0");
        Engine().SetReplayNote("settings.music-volume", "40");
        PlayLittleGame(beforeAct);
        Engine().Free();
    }
    // The game seals the replay after step 75, as it does before a record names it.
    void Record(const std::string& script, const std::string& trace) {
        box.Write("input.txt", script);
        setenv("BRISEL_INPUT", box.Path("input.txt").c_str(), 1);
        setenv("BRISEL_RECORD", box.Path("run.replay").c_str(), 1);
        Run(trace, [](int64_t next) { EXPECT_EQ(next == 76 ? Engine().SealReplay() : 75, 75); });
        unsetenv("BRISEL_INPUT");
        unsetenv("BRISEL_RECORD");
    }
    void Replay(const std::string& file, const std::string& trace) {
        setenv("BRISEL_REPLAY", box.Path(file).c_str(), 1);
        Run(trace);
    }
    // The replay with the lines `from` replaced by `to`, written to another file.
    std::string Edited(const std::string& from, const std::string& to) {
        std::string text = ReadText(box.Path("run.replay"));
        size_t at = text.find(from);
        if (at == std::string::npos) throw std::runtime_error("no '" + from + "' in the replay");
        box.Write("edited.replay", text.replace(at, from.size(), to));
        return "edited.replay";
    }
    Sandbox box;
};

const char* kScript =
    "5 mouse 800 430\n7 down left\n9 up left\n30 down key Left Ctrl\n31 down key Q\n31 up key Left Ctrl\n"
    "32 up key Q\n40 down pad3\n40 up pad3\n50 window focus-lost\n55 window focus-gained\n60 wheel 2\n61 "
    "wheel -1\n61 wheel -2\n"
    "70 mouse 100.25 7\n75 down right\n90 window minimised\n95 window restored\n96 up right\n"
    "100 down key F11\n101 up key F11\n"
    // Sticks and triggers, and the device used last where the lines of one step disagree: a
    // stick pushed then a key pressed is the keyboard; a key pressed then a stick the controller.
    "110 axis rightx 0.75\n110 axis righttrigger 0.6\n112 axis leftx -0.5\n112 down key M\n"
    "113 up key M\n114 down key M\n114 axis lefty 0.25\n115 up key M\n116 axis rightx 0\n"
    "117 axis righttrigger 0.2\n118 device mouse-keyboard\n119 axis righttrigger 0\n150 quit\n";

}  // namespace

// Guards against a replay that does not give the game what it saw: the two traces must match
// line for line, through every kind of input, the seed and the fullscreen state.
TEST_F(EngineReplay, ScriptedRunPlaysBackToTheSameTrace) {
    Record(kScript, "recorded.trace");
    const std::string replay = ReadText(box.Path("run.replay"));
    EXPECT_EQ(replay.rfind("# grappix replay 2\nversion 7.0 engine Brisel ", 0), 0u) << replay;
    EXPECT_NE(replay.find("\nnote settings.music-volume 40\n"), std::string::npos);
    EXPECT_NE(replay.find("\n150 quit\ncheck 150 "), std::string::npos) << replay;
    EXPECT_NE(replay.find("\n60 wheel 2\n"), std::string::npos) << "a step's notches, added up";
    EXPECT_NE(replay.find("\n61 wheel -3\n"), std::string::npos);
    EXPECT_NE(replay.find("\ncheck 60 "), std::string::npos);
    EXPECT_NE(replay.find("\ncheck 75 "), std::string::npos);
    EXPECT_NE(replay.find("\ncheck 120 "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(box.Path("run.replay.part")));

    setenv("BRISEL_SEED", "999", 1);  // the replay's own seed wins
    Replay("run.replay", "replayed.trace");
    EXPECT_EQ(ReadText(box.Path("replayed.trace")), ReadText(box.Path("recorded.trace")));
}

// Guards against checks that are never compared: a changed hash or a changed event must stop
// the replay at the first check after it, naming the step.
TEST_F(EngineReplay, ChangedEventOrHashFailsAtTheNextCheck) {
    Record(kScript, "recorded.trace");
    setenv("BRISEL_REPLAY", box.Path(Edited("\n70 mouse 100.25 7\n", "\n70 mouse 100.25 8\n")).c_str(), 1);
    BriselFailure f = Failure([&] { Run("replayed.trace"); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_REPLAY));
    EXPECT_EQ(MessageOf(f), box.Path("edited.replay") + ": replay differs from the recorded game at step 75");
    // It stopped at once: step 76 was never shown.
    EXPECT_EQ(ReadText(box.Path("replayed.trace")).find("frame 76\n"), std::string::npos);
    Engine().Free();

    const std::string text = ReadText(box.Path("run.replay"));
    const std::string check = text.substr(text.find("\ncheck 60 "), 26);
    std::string flipped = check;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    setenv("BRISEL_REPLAY", box.Path(Edited(check, flipped)).c_str(), 1);
    f = Failure([&] { Run("replayed.trace"); });
    EXPECT_EQ(MessageOf(f), box.Path("edited.replay") + ": replay differs from the recorded game at step 60");
}

// Guards against the recorder writing what the devices said instead of what the game saw:
// events pushed between frame steps (a click shorter than a step, Ctrl let go before Q came
// up, two keys holding one pad button, focus and minimising, F11) must replay to the same trace.
TEST_F(EngineReplay, LiveDeviceEventsPlayBackToTheSameTrace) {
    auto key = [](Uint32 type, SDL_Keycode sym, SDL_Scancode scan) {
        SDL_Event ev{};
        ev.type = type;
        ev.key.keysym.sym = sym;
        ev.key.keysym.scancode = scan;
        SDL_PushEvent(&ev);
    };
    auto window = [](Uint8 what) {
        SDL_Event ev{};
        ev.type = SDL_WINDOWEVENT;
        ev.window.event = what;
        SDL_PushEvent(&ev);
    };
    auto button = [](Uint32 type, Uint8 which, int x, int y) {
        SDL_Event ev{};
        ev.type = type;
        ev.button.button = which;
        ev.button.x = x;
        ev.button.y = y;
        SDL_PushEvent(&ev);
    };
    auto devices = [&](int64_t step) {
        switch (step) {
        case 3: {
            SDL_Event ev{};
            ev.type = SDL_MOUSEMOTION;
            ev.motion.x = 321;
            ev.motion.y = 123;
            SDL_PushEvent(&ev);
            break;
        }
        case 5:  // down and up again before the step
            button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 330, 130);
            button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 331, 131);
            break;
        case 8: key(SDL_KEYDOWN, SDLK_LCTRL, SDL_SCANCODE_LCTRL); break;
        case 9:
            key(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q);
            key(SDL_KEYUP, SDLK_LCTRL, SDL_SCANCODE_LCTRL);
            break;
        case 10: key(SDL_KEYUP, SDLK_q, SDL_SCANCODE_Q); break;
        case 12:
            key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
            key(SDL_KEYDOWN, SDLK_p, SDL_SCANCODE_P);
            break;
        case 13: key(SDL_KEYUP, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE); break;  // P still holds pad 3
        case 15: key(SDL_KEYUP, SDLK_p, SDL_SCANCODE_P); break;
        case 20:
            key(SDL_KEYDOWN, SDLK_SPACE, SDL_SCANCODE_SPACE);
            window(SDL_WINDOWEVENT_FOCUS_LOST);  // the Space key's release goes elsewhere
            break;
        case 25: window(SDL_WINDOWEVENT_FOCUS_GAINED); break;
        case 30:
            key(SDL_KEYDOWN, SDLK_F11, SDL_SCANCODE_F11);
            key(SDL_KEYUP, SDLK_F11, SDL_SCANCODE_F11);
            break;
        case 40: window(SDL_WINDOWEVENT_MINIMIZED); break;
        case 45: window(SDL_WINDOWEVENT_RESTORED); break;
        case 50: key(SDL_KEYDOWN, SDLK_LCTRL, SDL_SCANCODE_LCTRL); break;
        case 51:  // Ctrl let go before Q goes down: not Ctrl+Q
            key(SDL_KEYUP, SDLK_LCTRL, SDL_SCANCODE_LCTRL);
            key(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q);
            break;
        case 52: key(SDL_KEYUP, SDLK_q, SDL_SCANCODE_Q); break;
        case 70: {
            SDL_Event ev{};
            ev.type = SDL_QUIT;
            SDL_PushEvent(&ev);
            break;
        }
        default: break;
        }
    };
    setenv("BRISEL_RECORD", box.Path("run.replay").c_str(), 1);
    Run("recorded.trace", devices);
    unsetenv("BRISEL_RECORD");
    const std::string replay = ReadText(box.Path("run.replay"));
    EXPECT_NE(replay.find("\n5 down left\n"), std::string::npos) << replay;
    EXPECT_NE(replay.find("\n51 up key Left Ctrl\n51 down key Q\n"), std::string::npos) << replay;
    EXPECT_NE(replay.find("\n70 quit\ncheck 70 "), std::string::npos) << replay;

    Replay("run.replay", "replayed.trace");
    EXPECT_EQ(ReadText(box.Path("replayed.trace")), ReadText(box.Path("recorded.trace")));
}

// Guards against a fast-forward that shows or paces its steps, or loses what it skipped: the
// steps before BRISEL_REPLAY_FROM are never shown, the trace and checks still match.
TEST_F(EngineReplay, FastForwardShowsNothingBeforeItsStepAndStillVerifies) {
    Record(kScript, "recorded.trace");
    setenv("BRISEL_REPLAY_FROM", "130", 1);
    setenv("BRISEL_TIMES", box.Path("times.txt").c_str(), 1);
    Replay("run.replay", "replayed.trace");
    EXPECT_EQ(ReadText(box.Path("replayed.trace")), ReadText(box.Path("recorded.trace")));
    const std::string times = ReadText(box.Path("times.txt"));
    EXPECT_EQ(times.rfind("130 ", 0), 0u) << "the first frame shown is step 130:\n" << times;

    setenv("BRISEL_REPLAY", box.Path(Edited("\n70 mouse 100.25 7\n", "\n70 mouse 100.25 8\n")).c_str(), 1);
    BriselFailure f = Failure([&] { Run("replayed.trace"); });
    EXPECT_EQ(MessageOf(f), box.Path("edited.replay") + ": replay differs from the recorded game at step 75");
}

// Guards against the viewer's keys reaching the game, or the pause and Escape not working:
// the devices are ignored while a replay plays, but for those.
TEST_F(EngineReplay, TheViewersKeysPauseAndEndAReplayAndNothingElseReachesTheGame) {
    Record(kScript, "recorded.trace");
    auto key = [](SDL_Keycode sym, SDL_Scancode scan) {
        for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
            SDL_Event ev{};
            ev.type = type;
            ev.key.keysym.sym = sym;
            ev.key.keysym.scancode = scan;
            SDL_PushEvent(&ev);
        }
    };
    std::thread resume;
    std::chrono::steady_clock::time_point pausedAt;
    auto viewer = [&](int64_t step) {
        if (step == 20) key(SDLK_z, SDL_SCANCODE_Z);  // would be pad 1 and key Z in a game
        if (step == 30) {
            key(SDLK_SPACE, SDL_SCANCODE_SPACE);  // pause ...
            pausedAt = std::chrono::steady_clock::now();
            resume = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                SDL_Event ev{};
                ev.type = SDL_KEYDOWN;
                ev.key.keysym.sym = SDLK_p;  // ... and resume
                ev.key.keysym.scancode = SDL_SCANCODE_P;
                SDL_PushEvent(&ev);
            });
        }
        if (step == 31) {
            EXPECT_GE(std::chrono::steady_clock::now() - pausedAt, std::chrono::milliseconds(300));
            resume.join();
        }
        if (step == 140) key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    };
    setenv("BRISEL_REPLAY", box.Path("run.replay").c_str(), 1);
    Run("replayed.trace", viewer);
    const std::string recorded = ReadText(box.Path("recorded.trace"));
    const std::string replayed = ReadText(box.Path("replayed.trace"));
    const size_t cut = recorded.find("frame 140\n") + 10;
    EXPECT_EQ(replayed, recorded.substr(0, cut)) << "the same game, ended by Escape at step 140";
}

// Guards against the interface lying about the run: notes read back only while replaying, the
// recording's file name, the step count, and notes refused where they cannot be recorded.
TEST_F(EngineReplay, NotesStepsAndFilesAreReportedTrue) {
    Api& e = Engine();
    setenv("BRISEL_RECORD", box.Path("run.replay").c_str(), 1);
    InitEngine();
    EXPECT_EQ(std::string(e.RecordingFile()), box.Path("run.replay"));
    EXPECT_FALSE(e.Replaying());
    e.SetReplayNote("best", "7288");
    EXPECT_EQ(e.GetReplayNote("best"), nullptr) << "notes read back only from a replay";
    EXPECT_EQ(Failure([&] { e.SetReplayNote("two words", "x"); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_EQ(Failure([&] { e.SetReplayNote("k", "two\nlines"); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_EQ(e.StepNumber(), 0);
    e.Act();
    e.Act();
    EXPECT_EQ(e.StepNumber(), 2);
    EXPECT_EQ(Failure([&] { e.SetReplayNote("late", "1"); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_TRUE(std::filesystem::exists(box.Path("run.replay.part")));
    EXPECT_FALSE(std::filesystem::exists(box.Path("run.replay"))) << "only a finished replay has its name";
    e.Free();
    unsetenv("BRISEL_RECORD");
    EXPECT_FALSE(std::filesystem::exists(box.Path("run.replay.part")));

    setenv("BRISEL_REPLAY", box.Path("run.replay").c_str(), 1);
    InitEngine();
    EXPECT_TRUE(e.Replaying());
    EXPECT_EQ(std::string(e.RecordingFile()), "");
    ASSERT_NE(e.GetReplayNote("best"), nullptr);
    EXPECT_EQ(std::string(e.GetReplayNote("best")), "7288");
    EXPECT_EQ(e.GetReplayNote("worst"), nullptr);
    e.Act();
    e.Act();
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT)) << "the replay ended at step 2";
    e.Free();

    // A run that never made a frame step leaves no replay behind.
    unsetenv("BRISEL_REPLAY");
    setenv("BRISEL_RECORD", box.Path("empty.replay").c_str(), 1);
    InitEngine();
    e.Free();
    EXPECT_FALSE(std::filesystem::exists(box.Path("empty.replay")));
    EXPECT_FALSE(std::filesystem::exists(box.Path("empty.replay.part")));

    // A file that took the replay's name while the run was recorded is never replaced.
    setenv("BRISEL_RECORD", box.Path("taken.replay").c_str(), 1);
    InitEngine();
    e.Act();
    box.Write("taken.replay", "another game's\n");
    e.Free();
    unsetenv("BRISEL_RECORD");
    EXPECT_EQ(ReadText(box.Path("taken.replay")), "another game's\n");
    EXPECT_TRUE(std::filesystem::exists(box.Path("taken.replay.part"))) << "the replay stays in its .part";
}

// Guards against a full disk ending the game, or a replay cut short by it passing for whole.
TEST_F(EngineReplay, AWriteErrorStopsRecordingButNotTheGame) {
#if defined(_WIN32)
    GRAPPIX_POSIX_ONLY("no limit of a file's size to stand for a full disk");
#else
    // Files may grow to 300 bytes: the header fits, the first flush of many steps does not.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{300, RLIM_INFINITY};
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    setenv("BRISEL_RECORD", box.Path("run.replay").c_str(), 1);
    InitEngine();
    Api& e = Engine();
    testing::internal::CaptureStderr();
    for (int step = 0; step < 3000; ++step) {  // 64 KiB of lines: at least one flush
        e.DrawRect(step % 1600, 0, 1, 1, 1, 1, 1, 1);
        if (step % 2 == 0) {
            SDL_Event ev{};
            ev.type = SDL_MOUSEMOTION;
            ev.motion.x = step % 1600;
            ev.motion.y = step % 900;
            SDL_PushEvent(&ev);
        }
        e.Act();
    }
    e.Free();
    const std::string err = testing::internal::GetCapturedStderr();
    limit.rlim_cur = before.rlim_cur;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_NE(err.find(box.Path("run.replay.part") + ": cannot write the replay ("), std::string::npos)
        << err;
    EXPECT_NE(err.find("recording stopped\n"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(box.Path("run.replay"))) << "a replay with a hole is no replay";
    ASSERT_TRUE(std::filesystem::exists(box.Path("run.replay.part")));
    EXPECT_LE(std::filesystem::file_size(box.Path("run.replay.part")), 300u);
#endif
}

// Guards against a bad or tampered replay crashing, hanging or playing as genuine (one line naming
// the file, the fault and the step), or a harmless difference stopping one that should play.
TEST_F(EngineReplay, BadOrTamperedReplayFilesNameTheFileTheFaultAndTheStep) {
    Record(kScript, "recorded.trace");
    const std::string good = ReadText(box.Path("run.replay"));
    // The recorded replay with `from` replaced by `to`, at its first place or at every one; a
    // `from` ending in ".*" takes the rest of its line.
    auto edited = [&](const std::string& from, const std::string& to, bool every = false) {
        std::string text = good;
        const bool line = from.ends_with(".*");
        const std::string key = line ? from.substr(0, from.size() - 2) : from;
        for (size_t at = text.find(key); at != std::string::npos;
             at = every ? text.find(key, at + to.size()) : std::string::npos)
            text.replace(at, line ? text.find('\n', at + 1) - at : key.size(), to);
        return text;
    };
    const std::string sealed = good.substr(0, good.find('\n', good.find("\ncheck 75 ") + 1) + 1);
    const std::string head = "# grappix replay 2\nversion 7.0 engine x\nseed 1\n";
    struct Case {
        std::string text;  // empty name: the file is missing
        std::string fault;
        std::string warning = "";
    };
    const Case cases[] = {
        {"", "cannot read the replay (No such file or directory)"},
        {"FIFO", "a FIFO, not a regular file: not a replay"},
        {"folder", "a folder, not a regular file: not a replay"},
        {"huge", "larger than 64 MiB: not a replay of this game"},
        {"\n", "the file is empty, not a replay"},
        {good.substr(0, good.find("\ncheck 120")) + "\n",
         "the replay is cut short (no end line: the recording was interrupted)"},
        {good.substr(0, good.size() - 3), "the replay is cut short (its last line is incomplete)"},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
         "not a replay (the first line is not '# grappix replay"},
        {"1 down left\nend 1\n", "not a replay (the first line is not '# grappix replay <format>')"},
        {"# grappix replay 3\n", "replay format 3 is newer than this build reads (2)"},
        {head + "5 down left\ncheck 3 0000000000000000\nend 9\n",
         "5: check for step 3 comes after step 5 (out of order)"},
        {head + "end 9\n10 down left\n", "5: nothing may follow the end line (end 9)"},
        {head + "3 jump\nend 9\n",
         "4: unknown event 'jump' (mouse, down, up, window, axis, device, wheel, fullscreen or quit)"},
        {"# grappix replay 2\nseed 1\nend 9\n", "no version line: not a whole replay"},
        // Checks removed, and tampering between two checks or in the header.
        {edited("\ncheck ", "\n# ", true),
         "no check of step 150 before its end line (the last is of step 0): checks were removed"},
        {edited("\ncheck 60 .*", ""), "no check between step 0 and step 75 (one at least every 60 steps)"},
        {edited("\ncheck 150 .*", ""), "no check of step 150 before its end line"},
        {edited("\n41 up pad3\n", "\n42 up pad3\n"), "replay differs from the recorded game at step 60"},
        {edited("music-volume 40", "music-volume 41"), "replay differs from the recorded game at step 60"},
        {edited("version 7.0 ", "version 7.1 "),
         "recorded by a newer version of the game (7.1 engine Brisel "},
        {"\xEF\xBB\xBF" + good, "(it played)"},
        {sealed + "end 75\n", "(it played)"},
        {edited("engine Brisel", "engine Other"), "(it played)"},
        {edited("version 7.0 ", "version 6.10 "), "(it played)",
         std::string(program_invocation_short_name) + ": " + box.Path("bad.replay") +
             ": recorded by 6.10: this version draws differently from step 60\n"},
    };
    const std::string path = box.Path("bad.replay");
    for (const Case& c : cases) {
#if defined(_WIN32)
        if (c.text == "FIFO") continue;  // no FIFOs in a Windows file system
#endif
        std::filesystem::remove_all(path);
        if (c.text == "folder")
            std::filesystem::create_directory(path);
        else if (!c.text.empty() && c.text != "FIFO")
            box.Write("bad.replay", c.text == "\n" || c.text == "huge" ? "" : c.text);
#if !defined(_WIN32)
        ASSERT_EQ(c.text == "FIFO" ? mkfifo(path.c_str(), 0600) : 0, 0);
#endif
        ASSERT_EQ(c.text == "huge" ? truncate(path.c_str(), (64 << 20) + 1) : 0, 0);
        setenv("BRISEL_REPLAY", path.c_str(), 1);
        testing::internal::CaptureStderr();
        std::string message = path + ": (it played)";
        try {
            Run("replayed.trace");
        } catch (const BriselFailure& f) {
            EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_REPLAY)) << c.fault;
            message = MessageOf(f);
            Engine().Free();
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.fault;
        EXPECT_TRUE(message.rfind(path + ": " + c.fault, 0) == 0 ||
                    message.rfind(path + ":" + c.fault, 0) == 0)
            << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
    unsetenv("BRISEL_REPLAY");
    // A newer version plays when forced.
    setenv("BRISEL_REPLAY_FORCE", "1", 1);
    setenv("BRISEL_REPLAY", box.Path(Edited("version 7.0 ", "version 7.1 ")).c_str(), 1);
    Run("replayed.trace");
    EXPECT_EQ(ReadText(box.Path("replayed.trace")), ReadText(box.Path("recorded.trace")));
    setenv("BRISEL_REPLAY", box.Path("run.replay").c_str(), 1);

    // Fast-forward past the end, or with nothing to play.
    setenv("BRISEL_REPLAY_FROM", "151", 1);
    BriselFailure f = Failure([] { InitEngine(); });
    EXPECT_EQ(MessageOf(f),
              box.Path("run.replay") + ": BRISEL_REPLAY_FROM=151 is past the replay's end (step 150)");
    unsetenv("BRISEL_REPLAY");
    f = Failure([] { InitEngine(); });
    EXPECT_EQ(MessageOf(f), "BRISEL_REPLAY_FROM=151: BRISEL_REPLAY names no replay to play");
}
