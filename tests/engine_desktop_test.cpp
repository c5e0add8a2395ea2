// The engine's extensions for a desktop game: keys, the window's state, the pointer, sound
// groups and mute, fullscreen and window size, the version; and a terminal kept quiet.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "engine_support.hpp"
#include "fit_line.hpp"
#include "input_script.hpp"
#include "mixer.hpp"

using namespace engine_test;
using brisel::FitLineEnd;
using brisel::kEffectsTrim;
using brisel::KeyFromName;
using brisel::KeyName;
using brisel::ParseInputScript;
using brisel::ScriptEvent;

namespace {

class EngineDesktop : public ::testing::Test {
protected:
    void TearDown() override { Engine().Free(); }
    void Script(const std::string& text) {
        box.Write("input.txt", text);
        setenv("BRISEL_INPUT", box.Path("input.txt").c_str(), 1);
    }
    // Runs `steps` frame steps and the probe after each.
    template <class Probe>
    std::vector<int64_t> Steps(int steps, Probe probe) {
        std::vector<int64_t> out;
        for (int i = 0; i < steps; ++i) {
            Engine().Act();
            out.push_back(probe());
        }
        return out;
    }
    Sandbox box;
};

// On Windows SDL opens its disk driver's file unshared (CreateFile with no share mode): nothing
// else can read what it played while it plays.
#if defined(_WIN32)
#define SKIP_WHERE_NOTHING_CAN_BE_HEARD() \
    GRAPPIX_POSIX_ONLY("SDL's disk audio file cannot be read while it plays")
#else
#define SKIP_WHERE_NOTHING_CAN_BE_HEARD() static_cast<void>(0)
#endif

// What the engine's sound device played, through SDL's disk driver: the 16-bit stereo
// samples it would have sent a speaker, written to a file as they are played (in real time).
class Heard {
public:
    explicit Heard(const Sandbox& box) : path_(box.Path("heard.raw")) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
    }
    // The level (root mean square, as a share of full scale) of what the device plays over the
    // next while, after letting what it played before settle out of its buffers.
    double Level() const {
        Wait(0.15);
        const size_t from = Size();
        Wait(0.3);
        std::string raw = ReadText(path_);
        const size_t to = raw.size() & ~size_t(3);
        double sum = 0;
        size_t n = 0;
        for (size_t at = from & ~size_t(1); at + 2 <= to; at += 2, ++n) {
            int16_t v;
            std::memcpy(&v, raw.data() + at, 2);
            sum += double(v) * v;
        }
        return n == 0 ? -1 : std::sqrt(sum / double(n)) / 32768.0;
    }

private:
    static void Wait(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }
    size_t Size() const {
        std::error_code ec;
        auto size = std::filesystem::file_size(path_, ec);
        return ec ? 0 : size_t(size);
    }
    std::string path_;
};

}  // namespace

// ---- the script's key and window lines -----------------------------------------------------

// Guards against key names that scripts and recordings cannot round-trip, or that miss SDL's
// spelling ("Left Ctrl" with its space, "Return", any case).
TEST(InputScriptKeys, KeyNamesAreSdlsAndRoundTrip) {
    EXPECT_EQ(KeyFromName("M"), BRISEL_KEY_M);
    EXPECT_EQ(KeyFromName("m"), BRISEL_KEY_M);
    EXPECT_EQ(KeyFromName("Return"), BRISEL_KEY_RETURN);
    EXPECT_EQ(KeyFromName("left ctrl"), BRISEL_KEY_LCTRL);
    EXPECT_EQ(KeyFromName("F11"), BRISEL_KEY_F11);
    EXPECT_EQ(KeyFromName("7"), BRISEL_KEY_7);
    EXPECT_EQ(KeyFromName("Enter"), -1);  // SDL calls it Return
    // The engine maps letters, digits and F-keys by offset: each run must be contiguous.
    for (int i = 0; i < 26; ++i) EXPECT_EQ(KeyFromName(std::string(1, char('A' + i))), BRISEL_KEY_A + i);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(KeyFromName(std::string(1, char('0' + i))), BRISEL_KEY_0 + i);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(KeyFromName("F" + std::to_string(i + 1)), BRISEL_KEY_F1 + i);
    EXPECT_EQ(KeyFromName("K"), BRISEL_KEY_K);
    EXPECT_EQ(KeyName(-1), nullptr);
    EXPECT_EQ(KeyName(BRISEL_KEY_COUNT), nullptr);
    for (int k = 0; k < BRISEL_KEY_COUNT; ++k) {
        ASSERT_NE(KeyName(k), nullptr) << k;
        EXPECT_EQ(KeyFromName(KeyName(k)), k) << KeyName(k);
    }
    // SDL's own names for the keys the engine maps by key code.
    for (SDL_Keycode code : {SDLK_RETURN, SDLK_KP_ENTER, SDLK_ESCAPE, SDLK_LCTRL, SDLK_PAGEUP, SDLK_DELETE,
                             SDLK_BACKSPACE, SDLK_F12, SDLK_q, SDLK_0})
        EXPECT_GE(KeyFromName(SDL_GetKeyName(code)), 0) << SDL_GetKeyName(code);
}

// Guards against key and window lines read wrongly, or malformed ones taken silently.
TEST(InputScriptKeys, KeyAndWindowLinesParseAndBadOnesNameTheLine) {
    auto parsed = ParseInputScript(
        "3 down key M\n4 up key m\n5 down key Left Ctrl   # two words\n6 window focus-lost\n"
        "7 window minimised\n8 window restored\n9 window focus-gained\n",
        "keys.txt");
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.events.size(), 7u);
    EXPECT_EQ(parsed.events[0].source, ScriptEvent::Source::Key);
    EXPECT_EQ(parsed.events[0].button, BRISEL_KEY_M);
    EXPECT_EQ(parsed.events[1].type, ScriptEvent::Type::Up);
    EXPECT_EQ(parsed.events[2].button, BRISEL_KEY_LCTRL);
    EXPECT_EQ(parsed.events[3].type, ScriptEvent::Type::Window);
    EXPECT_EQ(parsed.events[3].change, ScriptEvent::Change::FocusLost);
    EXPECT_EQ(parsed.events[4].change, ScriptEvent::Change::Minimised);
    EXPECT_EQ(parsed.events[5].change, ScriptEvent::Change::Restored);
    EXPECT_EQ(parsed.events[6].change, ScriptEvent::Change::FocusGained);

    struct Case {
        const char* line;
        const char* what;
    };
    const Case cases[] = {
        {"4 down key", "down key needs the key's name"},
        {"4 up key Enter", "unknown key 'Enter' (SDL's key names: Return, Escape, M, F11, Left ...)"},
        {"4 down key Left  Cmd",
         "unknown key 'Left Cmd' (SDL's key names: Return, Escape, M, F11, Left ...)"},
        {"4 window", "window needs a change (focus-lost, focus-gained, minimised or restored)"},
        {"4 window closed",
         "unknown window change 'closed' (focus-lost, focus-gained, minimised or restored)"},
        {"4 window focus-lost now", "unexpected 'now' at end of line"},
    };
    for (const Case& c : cases) {
        auto bad = ParseInputScript(std::string("1 quit\n") + c.line + "\n", "keys.txt");
        EXPECT_EQ(bad.error, std::string("keys.txt:2: ") + c.what) << c.line;
        EXPECT_TRUE(bad.events.empty());
    }
}

// ---- keys ------------------------------------------------------------------------------------

// Guards against key counts that start late, linger, or miss a tap shorter than a step.
TEST_F(EngineDesktop, ScriptedKeysAreCountedLikeButtons) {
    Script("2 down key M\n5 up key M\n3 down key Escape\n3 up key Escape\n4 down key Left Ctrl\n");
    InitEngine();
    Api& e = Engine();
    std::vector<int64_t> m, escape, ctrl;
    for (int step = 1; step <= 6; ++step) {
        e.Act();
        m.push_back(e.Key(BRISEL_KEY_M));
        escape.push_back(e.Key(BRISEL_KEY_ESCAPE));
        ctrl.push_back(e.Key(BRISEL_KEY_LCTRL));
    }
    EXPECT_EQ(m, (std::vector<int64_t>{0, 1, 2, 3, 0, 0}));
    EXPECT_EQ(escape, (std::vector<int64_t>{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(ctrl, (std::vector<int64_t>{0, 0, 0, 1, 2, 3}));
    EXPECT_EQ(e.Key(-1), 0);
    EXPECT_EQ(e.Key(BRISEL_KEY_COUNT), 0);
    EXPECT_EQ(e.Pad(0, 3), 0) << "a scripted key is not the pad's key position";
}

// Guards against Ctrl+Q typed quickly being missed: Ctrl let go in the same step as Q went
// down, after it, must still count as held in that step; let go before, it must not.
TEST_F(EngineDesktop, AModifierDownWhenAKeyWentDownCountsInThatStep) {
    Script(
        "2 down key Left Ctrl\n3 down key Q\n3 up key Left Ctrl\n4 up key Q\n"
        "6 down key Right Ctrl\n7 up key Right Ctrl\n7 down key Q\n");
    InitEngine();
    Api& e = Engine();
    std::vector<int64_t> ctrl, q;
    for (int step = 1; step <= 7; ++step) {
        e.Act();
        ctrl.push_back(e.Key(BRISEL_KEY_LCTRL) + e.Key(BRISEL_KEY_RCTRL));
        q.push_back(e.Key(BRISEL_KEY_Q));
    }
    EXPECT_EQ(ctrl, (std::vector<int64_t>{0, 1, 2, 0, 0, 1, 0}));
    EXPECT_EQ(q, (std::vector<int64_t>{0, 0, 1, 0, 0, 0, 1}));
}

// Guards against the real keyboard missing the key counts, counting held repeats, or keys
// staying down after the window lost focus (their release goes to another window).
TEST_F(EngineDesktop, KeyboardEventsFeedKeyCountsByLabelAndFocusLossReleasesThem) {
    InitEngine();
    Api& e = Engine();
    auto key = [](Uint32 type, SDL_Keycode sym, SDL_Scancode scan, Uint8 repeat = 0) {
        SDL_Event ev{};
        ev.type = type;
        ev.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        ev.key.repeat = repeat;
        ev.key.keysym.sym = sym;
        ev.key.keysym.scancode = scan;
        SDL_PushEvent(&ev);
    };
    // The key labelled M on a layout where it sits on the semicolon's position.
    key(SDL_KEYDOWN, SDLK_m, SDL_SCANCODE_SEMICOLON);
    key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    e.Act();
    EXPECT_EQ(e.Key(BRISEL_KEY_M), 1);
    EXPECT_EQ(e.Key(BRISEL_KEY_ESCAPE), 1);
    EXPECT_EQ(e.Pad(0, 3), 1) << "Escape still pauses through pad 0";
    key(SDL_KEYDOWN, SDLK_m, SDL_SCANCODE_SEMICOLON, 1);  // auto-repeat: not a new press
    e.Act();
    EXPECT_EQ(e.Key(BRISEL_KEY_M), 2);
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&focus);
    e.Act();
    EXPECT_EQ(e.Key(BRISEL_KEY_M), 0);
    EXPECT_EQ(e.Key(BRISEL_KEY_ESCAPE), 0);
    EXPECT_EQ(e.WindowState(BRISEL_WINDOW_UNFOCUSED), 1);
}

// Guards against a rebound key still holding its old pad button (or its default key still
// holding it), Escape no longer pausing, a key bound by position instead of by its label, and
// -1 not giving the defaults back.
TEST_F(EngineDesktop, BoundKeysHoldTheirPadButtonsAndOnlyThose) {
    InitEngine();
    Api& e = Engine();
    const struct {
        std::vector<std::array<int64_t, 2>> bind;  // pad button, key (-1: its own)
        SDL_Keycode sym;                           // the key pressed: its label ...
        SDL_Scancode scan;                         // ... and its position
        std::vector<int64_t> pads;                 // pad buttons 0 to 3 it holds
    } cases[] = {
        {{}, SDLK_SPACE, SDL_SCANCODE_SPACE, {0}},
        {{{0, BRISEL_KEY_Z}}, SDLK_SPACE, SDL_SCANCODE_SPACE, {}},
        {{}, SDLK_z, SDL_SCANCODE_Z, {0}},
        {{{1, BRISEL_KEY_SPACE}}, SDLK_SPACE, SDL_SCANCODE_SPACE, {1}},
        {{{3, BRISEL_KEY_Q}}, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, {3}},
        {{}, SDLK_p, SDL_SCANCODE_P, {}},
        {{}, SDLK_q, SDL_SCANCODE_Q, {3}},
        {{{0, BRISEL_KEY_W}}, SDLK_w, SDL_SCANCODE_Z, {0}},  // W where Z sits (AZERTY)
        {{{0, -1}, {1, -1}, {3, -1}}, SDLK_z, SDL_SCANCODE_Z, {1}},
        {{}, SDLK_p, SDL_SCANCODE_P, {3}},
    };
    auto key = [](Uint32 type, SDL_Keycode sym, SDL_Scancode scan) {
        SDL_Event ev{};
        ev.type = type;
        ev.key.keysym.sym = sym;
        ev.key.keysym.scancode = scan;
        SDL_PushEvent(&ev);
    };
    for (const auto& c : cases) {
        for (const auto& [pad, code] : c.bind) e.BindPadButton(BRISEL_DEVICE_MOUSE_KEYBOARD, pad, code);
        key(SDL_KEYDOWN, c.sym, c.scan);
        e.Act();
        for (int64_t p = 0; p < 4; ++p)
            EXPECT_EQ(e.Pad(0, p), std::count(c.pads.begin(), c.pads.end(), p))
                << SDL_GetKeyName(c.sym) << " pad " << p;
        key(SDL_KEYUP, c.sym, c.scan);
        e.Act();
    }
}

// Guards against typed text reaching the game or its replay as play: while typing, keys and
// buttons go to the text alone, and only the Return or Escape that ends it counts (Escape
// giving the text back as it was).
// Guards against a typed name of wide letters running past its field into what is beside it,
// and against a cut that splits a character or drops more of the end than it must.
TEST(EngineOverlay, ALineWiderThanItsRoomShowsTheEndThatFits) {
    const auto width = [](const std::string& s) {  // a font's advances: W wide, dots narrow
        double w = 0;
        for (unsigned char c : s) w += c == 'W' ? 26 : c == '.' ? 8 : c >= 0xC0 ? 15 : c >= 0x80 ? 0 : 14;
        return w;
    };
    const std::string wide(22, 'W'), accented = "\xc3\x89l\xc3\xa9onore \xc3\x89milie_";
    struct Case {
        std::string text;
        double room;
        bool whole;
    };
    for (const Case& c : {Case{"Ada", 310, true}, Case{wide, 310, false}, Case{accented, 210, false},
                          Case{wide, width(wide), true}}) {
        const std::string shown = FitLineEnd(c.text, c.room, width);
        EXPECT_LE(width(shown), c.room) << c.text;
        if (c.whole) {
            EXPECT_EQ(shown, c.text);
            continue;
        }
        ASSERT_EQ(shown.rfind("...", 0), 0u) << shown;
        const std::string end = shown.substr(3);
        ASSERT_TRUE(c.text.ends_with(end)) << shown;
        const size_t cut = c.text.size() - end.size();
        EXPECT_NE(static_cast<unsigned char>(c.text[cut]) & 0xC0, 0x80) << "a character split: " << shown;
        size_t more = cut - 1;  // one character more of the end no longer fits
        while ((static_cast<unsigned char>(c.text[more]) & 0xC0) == 0x80) --more;
        EXPECT_GT(width("..." + c.text.substr(more)), c.room) << shown;
    }
    EXPECT_EQ(FitLineEnd(wide, 20, width), "") << "not even the dots fit";
}

TEST_F(EngineDesktop, TypingTakesTheKeysAndOnlyItsEndReachesTheGameOrTheReplay) {
    setenv("BRISEL_RECORD", box.Path("typed.replay").c_str(), 1);
    InitEngine();
    Api& e = Engine();
    auto push = [](Uint32 type, SDL_Keycode sym, const char* text = "") {
        SDL_Event ev{};
        ev.type = type;
        if (type == SDL_TEXTINPUT) std::snprintf(ev.text.text, sizeof ev.text.text, "%s", text);
        if (type == SDL_MOUSEBUTTONDOWN) ev.button.button = SDL_BUTTON_LEFT;
        ev.key.keysym.sym = sym;
        ev.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
        SDL_PushEvent(&ev);
    };
    struct Case {
        const char* typed;
        SDL_Keycode end;
        const char* kept;
    };
    for (const Case& c : {Case{"da\x01<", SDLK_RETURN, "Ada"}, Case{"xyz", SDLK_ESCAPE, "A"}}) {
        e.BeginTextInput("A", 24);
        push(SDL_KEYDOWN, SDLK_x);
        push(SDL_TEXTINPUT, 0, c.typed);
        push(SDL_KEYDOWN, SDLK_BACKSPACE);
        push(SDL_MOUSEBUTTONDOWN, 0);
        e.Act();
        EXPECT_EQ(e.Key(BRISEL_KEY_X), 0) << c.typed;
        EXPECT_EQ(e.Mouse(0), 0) << c.typed;
        push(SDL_KEYUP, SDLK_x);
        push(SDL_KEYDOWN, c.end);
        e.Act();
        EXPECT_EQ(e.Key(c.end == SDLK_RETURN ? BRISEL_KEY_RETURN : BRISEL_KEY_ESCAPE), 1) << c.typed;
        EXPECT_STREQ(e.TypedText(), c.kept);
        push(SDL_KEYUP, c.end);
        push(SDL_KEYDOWN, SDLK_x);
        e.Act();
        EXPECT_EQ(e.Key(BRISEL_KEY_X), 1) << "typing is over: keys are play again";
        push(SDL_KEYUP, SDLK_x);
        e.Act();
    }
    e.Free();
    const std::string replay = ReadText(box.Path("typed.replay"));
    std::string events;  // without the seed and the checks, hexadecimal where "da" stands by chance
    std::istringstream lines(replay);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("check ", 0) != 0 && line.rfind("seed ", 0) != 0) events += line + "\n";
    EXPECT_EQ(events.find("da"), std::string::npos) << replay;
    EXPECT_NE(replay.find("down key Return"), std::string::npos) << replay;
    size_t xs = 0;
    for (size_t at = 0; (at = replay.find("down key X\n", at)) != std::string::npos; ++at) ++xs;
    EXPECT_EQ(xs, 2u) << "only the X pressed after typing: " << replay;
}

// Guards against F11 and Alt+Return reaching the game as keys, or not toggling fullscreen.
TEST_F(EngineDesktop, FullscreenKeysToggleAndAreNotCounted) {
    Script(
        "2 down key F11\n3 up key F11\n4 down key Left Alt\n5 down key Return\n6 up key Return\n"
        "6 up key Left Alt\n7 down key Return\n");
    InitEngine();
    Api& e = Engine();
    std::vector<int64_t> full = Steps(7, [&] { return int64_t(e.GetFullscreen()); });
    EXPECT_EQ(full, (std::vector<int64_t>{0, 1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(e.Key(BRISEL_KEY_RETURN), 1) << "Return without Alt is a plain key";
}

// ---- the window ------------------------------------------------------------------------------

// Guards against window states counted wrongly, and a minimised window that goes on drawing
// or sounding: nothing is made or shown while minimised, everything resumes on return.
TEST_F(EngineDesktop, MinimisedWindowDrawsNothingAndPausesSound) {
    SKIP_WHERE_NOTHING_CAN_BE_HEARD();
    Script("2 window focus-lost\n3 window minimised\n5 window restored\n6 window focus-gained\n");
    setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
    setenv("BRISEL_SHOT_FRAMES", "4,6", 1);
    setenv("BRISEL_TRACE", box.Path("trace.txt").c_str(), 1);
    box.Write("Data/tune.ogg", OggBytes(4.0));
    Heard heard(box);
    InitEngine();
    Api& e = Engine();
    BriselSnd* tune = e.LoadSnd("tune.ogg");
    e.PlaySnd(tune, 0, true, 0);
    std::vector<int64_t> unfocused, minimised;
    double whileMinimised = -1, afterwards = -1;
    for (int step = 1; step <= 6; ++step) {
        e.Act();
        unfocused.push_back(e.WindowState(BRISEL_WINDOW_UNFOCUSED));
        minimised.push_back(e.WindowState(BRISEL_WINDOW_MINIMISED));
        if (step == 4) whileMinimised = heard.Level();
        if (step == 6) afterwards = heard.Level();
        // Red while minimised (steps 3, 4), blue otherwise: shown at steps 4 and 6.
        if (step == 3) e.DrawRect(0, 0, 1600, 900, 1, 0, 0, 1);
        if (step == 5) e.DrawRect(0, 0, 1600, 900, 0, 0, 1, 1);
    }
    EXPECT_EQ(unfocused, (std::vector<int64_t>{0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(minimised, (std::vector<int64_t>{0, 0, 1, 2, 0, 0}));
    EXPECT_EQ(whileMinimised, 0.0) << "the mix faded out and held";
    EXPECT_GT(afterwards, 0.01) << "and came back";
    EXPECT_TRUE(e.ChkPlayingSnd(tune));
    EXPECT_EQ(ReadPng(box.Path("shots/frame-4.png")).At(800, 450), 0xFF000000u) << "drawn while minimised";
    EXPECT_EQ(ReadPng(box.Path("shots/frame-6.png")).At(800, 450), 0xFF0000FFu);
    e.Free();
    EXPECT_NE(ReadText(box.Path("trace.txt")).find("rect 0 0 1600 900 1 0 0 1"), std::string::npos)
        << "the trace keeps what the game asked for";
}

// Guards against a sound started while minimised being heard before the window returns, or
// not at all after it.
TEST_F(EngineDesktop, SoundStartedWhileMinimisedWaitsForTheWindow) {
    SKIP_WHERE_NOTHING_CAN_BE_HEARD();
    Script("2 window minimised\n4 window restored\n");
    box.Write("Data/beep.wav", WavBytes(4.0));
    Heard heard(box);
    InitEngine();
    Api& e = Engine();
    BriselSnd* beep = e.LoadSnd("beep.wav");
    e.Act();
    e.Act();
    e.PlaySnd(beep, 0, true, 0);
    EXPECT_EQ(heard.Level(), 0.0) << "heard while minimised";
    e.Act();
    e.Act();
    EXPECT_GT(heard.Level(), 0.05) << "silent after the window came back";
    EXPECT_TRUE(e.ChkPlayingSnd(beep));
}

// Guards against the window opening at the wrong size or mode when the game asked before
// Init, and sizes that do not round-trip.
TEST_F(EngineDesktop, WindowSizeAndFullscreenSetBeforeInitAreHowItOpens) {
    Api& e = Engine();
    int64_t w = 0, h = 0;
    e.GetWindowSize(&w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 900);
    e.SetWindowSize(1280, 720);
    e.SetFullscreen(true);
    InitEngine();
    EXPECT_TRUE(e.GetFullscreen());
    e.GetWindowSize(&w, &h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    e.SetFullscreen(false);
    EXPECT_FALSE(e.GetFullscreen());
    e.SetWindowSize(1000, 600);
    e.GetWindowSize(&w, &h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(Failure([&] { e.SetWindowSize(0, 600); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    e.Free();
    EXPECT_FALSE(e.GetFullscreen()) << "Free forgets what the last run set";
}

// Guards against the pointer left hidden for whoever uses the display next.
TEST_F(EngineDesktop, PointerHidesAndFreeShowsItAgain) {
    Api& e = Engine();
    InitEngine();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    e.ShowPointer(false);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    e.ShowPointer(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    e.ShowPointer(false);
    e.Free();
    InitEngine();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

// ---- sound groups --------------------------------------------------------------------------

// Guards against group volumes that do not reach what is heard, change what VolumeSnd means,
// or muting that loses the volumes.
TEST_F(EngineDesktop, GroupVolumeScalesEachSoundsVolumeAndMuteSilencesAll) {
    SKIP_WHERE_NOTHING_CAN_BE_HEARD();
    box.Write("Data/tone.wav", WavBytes(4.0));
    Heard heard(box);
    InitEngine();
    Api& e = Engine();
    BriselSnd* tone = e.LoadSnd("tone.wav");
    e.VolumeSnd(tone, 0.5);
    e.PlaySnd(tone, 0, true, 0);
    const double whole = heard.Level();
    ASSERT_GT(whole, 0.05);
    e.SetGroupVolume(BRISEL_SOUND_MUSIC, 0.5);
    EXPECT_NEAR(heard.Level() / whole, 1.0, 0.1) << "an effect does not follow the music's volume";
    e.SetSndGroup(tone, BRISEL_SOUND_MUSIC);
    // The effects sit kEffectsTrim under the music at the same volumes.
    EXPECT_NEAR(heard.Level() / whole * kEffectsTrim, 0.5, 0.1);
    e.VolumeSnd(tone, 1.0);  // a sound's own volume is still its own
    EXPECT_NEAR(heard.Level() / whole * kEffectsTrim, 1.0, 0.1);
    EXPECT_DOUBLE_EQ(e.GetGroupVolume(BRISEL_SOUND_MUSIC), 0.5);
    e.SetMute(true);
    EXPECT_TRUE(e.GetMute());
    EXPECT_EQ(heard.Level(), 0.0);
    EXPECT_TRUE(e.ChkPlayingSnd(tone)) << "muted sounds play on, unheard";
    e.SetMute(false);
    EXPECT_NEAR(heard.Level() / whole * kEffectsTrim, 1.0, 0.1);

    EXPECT_EQ(Failure([&] { e.SetGroupVolume(7, 1.0); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_EQ(Failure([&] { e.SetSndGroup(tone, -1); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_EQ(Failure([&] { e.SetSndGroup(nullptr, 0); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    e.SetGroupVolume(BRISEL_SOUND_MUSIC, std::nan(""));
    EXPECT_EQ(e.GetGroupVolume(BRISEL_SOUND_MUSIC), 0.0);
}

// Guards against volumes set before Init (from the player's settings) being lost when the
// sound device opens.
TEST_F(EngineDesktop, VolumesSetBeforeInitApplyToTheFirstSounds) {
    SKIP_WHERE_NOTHING_CAN_BE_HEARD();
    box.Write("Data/tone.wav", WavBytes(4.0));
    Heard heard(box);
    Api& e = Engine();
    e.SetGroupVolume(BRISEL_SOUND_EFFECTS, 0.5);
    e.SetMute(true);
    InitEngine();
    BriselSnd* tone = e.LoadSnd("tone.wav");
    e.PlaySnd(tone, 0, true, 0);
    EXPECT_EQ(heard.Level(), 0.0);
    e.SetMute(false);
    const double half = heard.Level();
    e.SetGroupVolume(BRISEL_SOUND_EFFECTS, 1.0);
    EXPECT_NEAR(half / heard.Level(), 0.5, 0.05);
}

// ---- the terminal and the version ------------------------------------------------------------

// Guards against the sound libraries' own error lines on a machine without a sound device,
// and against a run without sound that says nothing at all.
TEST_F(EngineDesktop, NoSoundDeviceSaysSoInOneLine) {
    setenv("SDL_AUDIODRIVER", "no-such-device", 1);
    ::testing::internal::CaptureStderr();
    InitEngine();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, std::string(program_invocation_short_name) + ": no sound device: playing silently\n");
    Engine().Free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // a driver the player chose: nothing to say
    ::testing::internal::CaptureStderr();
    InitEngine();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// Guards against a run with no display to show on that goes on invisibly, or fails with
// SDL's words instead of telling the player how to run without a window.
TEST_F(EngineDesktop, NoDisplayFailsAtInitSayingHowToRunWithoutAWindow) {
    for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
        unsetenv(name);
    setenv("XDG_RUNTIME_DIR", box.Path("").c_str(), 1);  // no compositor's socket there
    ::testing::internal::CaptureStderr();
    BriselFailure f = Failure([] { InitEngine(); });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_NO_DISPLAY));
    EXPECT_NE(MessageOf(f).find("no display"), std::string::npos) << MessageOf(f);
    EXPECT_NE(MessageOf(f).find("SDL_VIDEODRIVER=dummy"), std::string::npos) << MessageOf(f);
    EXPECT_EQ(MessageOf(f).find('\n'), std::string::npos);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);  // chosen by the player: runs without a window
    InitEngine();
    EXPECT_EQ(Engine().Act(), 1);
}

// Guards against a version line that does not say which engine and libraries these are.
TEST(EngineVersionTest, NamesTheEngineAndTheLibrariesBeforeInit) {
    std::string v = Engine().EngineVersion();
    EXPECT_EQ(v.rfind("Brisel 1.", 0), 0u) << v;
    EXPECT_NE(v.find("SDL 2."), std::string::npos) << v;
    EXPECT_NE(v.find("SDL_ttf 2."), std::string::npos) << v;
}
