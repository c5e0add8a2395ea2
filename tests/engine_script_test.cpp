// Runs without a player: the input script format, button counts fed by it, the trace, the
// frame limit and the seed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "engine_support.hpp"
#include "input_script.hpp"

using namespace engine_test;
using brisel::ParseInputScript;
using brisel::ScriptEvent;

// ---- the parser ----------------------------------------------------------------------------

// Guards against a script line read wrongly (wrong step, button, order or coordinates).
TEST(InputScriptParser, ReadsEveryKindOfLine) {
    auto parsed = ParseInputScript(
        "# a comment line\n"
        "\n"
        "12 mouse 800.5 -20   # cursor\n"
        "  3 down left\n"
        "3 up pad15\n"
        "7\tdown\tmiddle\r\n"
        "5 down pad0\n"
        "40 quit\n",
        "run.txt");
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.events.size(), 6u);
    const auto& ev = parsed.events;
    EXPECT_EQ(ev[0].step, 3);  // sorted by step, lines of one step in file order
    EXPECT_EQ(ev[0].type, ScriptEvent::Type::Down);
    EXPECT_EQ(ev[0].source, ScriptEvent::Source::Mouse);
    EXPECT_EQ(ev[0].button, 0);
    EXPECT_EQ(ev[1].type, ScriptEvent::Type::Up);
    EXPECT_EQ(ev[1].source, ScriptEvent::Source::Pad);
    EXPECT_EQ(ev[1].button, 15);
    EXPECT_EQ(ev[2].step, 5);
    EXPECT_EQ(ev[2].button, 0);
    EXPECT_EQ(ev[2].source, ScriptEvent::Source::Pad);
    EXPECT_EQ(ev[3].step, 7);
    EXPECT_EQ(ev[3].button, 2);
    EXPECT_EQ(ev[4].type, ScriptEvent::Type::Mouse);
    EXPECT_DOUBLE_EQ(ev[4].x, 800.5);
    EXPECT_DOUBLE_EQ(ev[4].y, -20);
    EXPECT_EQ(ev[4].line, 3);
    EXPECT_EQ(ev[5].type, ScriptEvent::Type::Quit);
    EXPECT_EQ(ev[5].step, 40);
    EXPECT_TRUE(ParseInputScript("", "empty.txt").events.empty());
    EXPECT_EQ(ParseInputScript("1 quit", "no-newline.txt").events.size(), 1u);
}

// Guards against a malformed line accepted silently or reported without file and line.
TEST(InputScriptParser, MalformedLinesNameFileAndLine) {
    struct Case {
        const char* line;
        const char* what;
    };
    const Case cases[] = {
        {"x down left", "frame step must be a whole number from 1, not 'x'"},
        {"0 down left", "frame step must be a whole number from 1, not '0'"},
        {"-3 quit", "frame step must be a whole number from 1, not '-3'"},
        {"4", "missing event after the frame step"},
        {"4 jump", "unknown event 'jump' (mouse, down, up, window, axis, device, wheel, fullscreen or quit)"},
        {"4 wheel 0", "wheel needs its notches, a whole number from -1000 to 1000 but 0"},
        {"4 wheel -1001", "wheel needs its notches, a whole number from -1000 to 1000 but 0"},
        {"4 wheel 2 3", "unexpected '3' at end of line"},
        {"4 mouse 10", "mouse needs x and y"},
        {"4 mouse ten 10", "mouse x is not a number: 'ten'"},
        {"4 mouse 10 nan", "mouse y is not a number: 'nan'"},
        {"4 down", "down needs a button"},
        {"4 up pad16", "unknown button 'pad16' (left, right, middle, pad0 ... pad15, key or button)"},
        {"4 down pad01", "unknown button 'pad01' (left, right, middle, pad0 ... pad15, key or button)"},
        {"4 down Left", "unknown button 'Left' (left, right, middle, pad0 ... pad15, key or button)"},
        {"4 quit now", "unexpected 'now' at end of line"},
        {"4 down left right", "unexpected 'right' at end of line"},
    };
    for (const Case& c : cases) {
        auto parsed = ParseInputScript(std::string("1 quit\n# fine\n") + c.line + "\n2 quit\n", "play.txt");
        EXPECT_EQ(parsed.error, std::string("play.txt:3: ") + c.what) << c.line;
        EXPECT_TRUE(parsed.events.empty());
    }
}

// ---- scripted runs through the engine -----------------------------------------------------------

namespace {

class EngineScripted : public ::testing::Test {
protected:
    void TearDown() override { Engine().Free(); }
    void Script(const std::string& text) {
        box.Write("input.txt", text);
        setenv("BRISEL_INPUT", box.Path("input.txt").c_str(), 1);
    }
    Sandbox box;
};

}  // namespace

// Guards against counts that start a step late, skip a value or linger after release.
TEST_F(EngineScripted, ButtonCountsFollowTheScript) {
    Script("10 down left\n13 up left\n2 down pad3\n4 up pad3\n5 mouse 400 300\n6 down right\n6 up right\n");
    InitEngine();
    Api& e = Engine();
    std::vector<int64_t> left, pad3, right;
    for (int step = 1; step <= 14; ++step) {
        e.Act();
        left.push_back(e.Mouse(0));
        pad3.push_back(e.Pad(0, 3));
        right.push_back(e.Mouse(1));
        if (step == 4) {
            EXPECT_EQ(e.MouseX(), 0);
        }
        if (step == 5) {
            EXPECT_EQ(e.MouseX(), 400);
            EXPECT_EQ(e.MouseY(), 300);
        }
    }
    EXPECT_EQ(left, (std::vector<int64_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0}));
    EXPECT_EQ(pad3, (std::vector<int64_t>{0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // A press and release within one step is still seen once.
    EXPECT_EQ(right, (std::vector<int64_t>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(e.Pad(1, 3), 0);
    EXPECT_EQ(e.Pad(0, 99), 0);
}

// Guards against a broken script being ignored instead of stopping the run with file:line.
TEST_F(EngineScripted, MalformedOrUnreadableScriptStopsInit) {
    Script("1 down left\n2 down sideways\n");
    BriselFailure f = Failure([] { InitEngine(); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_SCRIPT));
    EXPECT_EQ(MessageOf(f),
              box.Path("input.txt") +
                  ":2: unknown button 'sideways' (left, right, middle, pad0 ... pad15, key or button)");

    setenv("BRISEL_INPUT", box.Path("nowhere.txt").c_str(), 1);
    f = Failure([] { InitEngine(); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_SCRIPT));
    EXPECT_EQ(MessageOf(f).rfind(box.Path("nowhere.txt") + ": ", 0), 0u) << MessageOf(f);

    // Never waited on or read whole: a FIFO, a folder, 8 GB.
    box.Write("huge", "");
#if !defined(_WIN32)  // no FIFOs in a Windows file system
    ASSERT_EQ(mkfifo(box.Path("fifo").c_str(), 0600), 0);
#endif
    ASSERT_EQ(truncate(box.Path("huge").c_str(), int64_t(8) << 30), 0);
    std::filesystem::create_directory(box.Path("folder"));
    const std::pair<std::string, std::string> files[] = {{"fifo", "a FIFO, not a regular file"},
                                                         {"folder", "a folder, not a regular file"},
                                                         {"huge", "larger than 64 MiB"}};
    for (const auto& [name, fault] : files) {
#if defined(_WIN32)
        if (name == "fifo") continue;
#endif
        setenv("BRISEL_INPUT", box.Path(name).c_str(), 1);
        EXPECT_EQ(MessageOf(Failure([] { InitEngine(); })),
                  box.Path(name) + ": " + fault + ": not an input script");
    }
    // A byte-order mark does not hide the first line.
    Script(std::string("\xEF\xBB\xBF") + "1 quit\n");
    InitEngine();
    EXPECT_EQ(Failure([] { Engine().Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
}

// Guards against trace lines in the wrong format, order or precision.
TEST_F(EngineScripted, TraceRecordsFramesDrawsAndSounds) {
    WritePng(box.Data("halves.vqtex"), Solid(64, 64, 0xFFFF0000));
    box.Write("Data/beep.wav", WavBytes(0.5));
    setenv("BRISEL_TRACE", box.Path("trace.txt").c_str(), 1);
    Script("1 mouse 5 5\n3 quit\n");
    InitEngine();
    Api& e = Engine();
    BriselTex* tex = e.LoadTex("halves.vqtex");
    BriselSnd* beep = e.LoadSnd("beep.wav");
    e.DrawTex(tex, 0, 0, 64, 64, 10, 20, 64, 64, 1, 1, 1, 1);
    e.DrawRect(1.5, 2, 3, 4, 0.25, 0.5, 0.75, 1);
    e.PlaySnd(beep, 0, true, 0);
    e.StopSnd(beep);
    e.Act();
    e.DrawTexRot(tex, 0, 64, 64, -64, 1, 2, 3, 4, 5, 6, M_PI / 4, 1, 1, 1, 0.5);
    e.PlaySnd(beep, 0, false, 0);
    e.Act();
    e.DrawRect(0, 0, 1600, 900, 0, 0, 0, 0.125);
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
    e.Free();
    EXPECT_EQ(ReadText(box.Path("trace.txt")),
              "tex halves.vqtex 0 0 64 64 10 20 64 64 0 0 0 1 1 1 1\n"
              "rect 1.5 2 3 4 0.25 0.5 0.75 1\n"
              "play beep.wav 1\n"
              "stop beep.wav\n"
              "frame 1\n"
              "tex halves.vqtex 0 64 64 -64 1 2 3 4 5 6 0.785398163 1 1 1 0.5\n"
              "play beep.wav 0\n"
              "frame 2\n"
              "rect 0 0 1600 900 0 0 0 0.125\n"
              "frame 3\n");
}

// Guards against a frame limit that quits early, late, without its last frame, or only once.
TEST_F(EngineScripted, FrameLimitQuitsAfterTheLastFrameIsShown) {
    setenv("BRISEL_FRAMES", "3", 1);
    setenv("BRISEL_TRACE", box.Path("trace.txt").c_str(), 1);
    setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
    setenv("BRISEL_SHOT_FRAMES", "3", 1);
    InitEngine();
    Api& e = Engine();
    e.Act();
    e.Act();
    BriselFailure f = Failure([&] { e.Act(); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_QUIT));
    EXPECT_TRUE(std::filesystem::exists(box.Path("shots/frame-3.png")));
    EXPECT_NE(ReadText(box.Path("trace.txt")).find("frame 3\n"), std::string::npos);
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));  // and every later one
}

// Guards against frame times that miss a shown frame, go backwards, lose their precision or
// count from somewhere else than Init (the scene-change benchmark reads gaps from them).
TEST_F(EngineScripted, TimesGiveEveryShownFrameInMillisecondsSinceInit) {
    setenv("BRISEL_TIMES", box.Path("times.txt").c_str(), 1);
    setenv("BRISEL_FRAMES", "3", 1);
    const auto before = std::chrono::steady_clock::now();
    InitEngine();
    Api& e = Engine();
    e.Act();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    e.Act();
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));  // the last is shown too
    const double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    e.Free();
    unsetenv("BRISEL_TIMES");
    std::istringstream in(ReadText(box.Path("times.txt")));
    std::string line;
    std::vector<double> ms;
    while (std::getline(in, line)) {
        // "<frame> <milliseconds with three decimals>"
        const size_t space = line.find(' '), dot = line.find('.');
        ASSERT_TRUE(space != std::string::npos && space > 0 && dot != std::string::npos && dot > space + 1 &&
                    dot + 4 == line.size() && line.find_first_not_of("0123456789", 0) == space &&
                    line.find_first_not_of("0123456789", space + 1) == dot &&
                    line.find_first_not_of("0123456789", dot + 1) == std::string::npos)
            << line;
        EXPECT_EQ(std::stoll(line), int64_t(ms.size()) + 1) << line;
        ms.push_back(std::stod(line.substr(line.find(' ') + 1)));
    }
    ASSERT_EQ(ms.size(), 3u);
    EXPECT_GE(ms[0], 0.0);
    EXPECT_LE(ms[2], elapsed);
    EXPECT_GE(ms[1] - ms[0], 29.0) << "the stall between frames 1 and 2 shows as a gap";
    EXPECT_LE(ms[1], ms[2]);
}

// Guards against a late loop that slows the game down, skips too many frames in a row, keeps
// racing after a stall, or skips when told not to; and against skipped steps that lose their
// calls (the trace, hence replays, must not depend on which frames were shown).
TEST_F(EngineScripted, FrameSkipKeepsTimeAndEveryCall) {
    struct Case {
        const char *name, *frameSkip;
        int stepMs, steps;  // what each step of the game costs, in the test's thread
        bool skips;
    } const cases[] = {{"a frame slower than a step", "1", 40, 20, true},
                       {"frame skip off", "0", 40, 12, false},
                       {"a stall of more than a quarter second", "1", 300, 5, false}};
    auto run = [&](const char* trace, int stepMs, int steps) {
        setenv("BRISEL_TRACE", box.Path(trace).c_str(), 1);
        InitEngine();
        for (int step = 1; step <= steps; ++step) {
            Engine().DrawRect(step, 0, 10, 10, 1, 1, 1, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
            Engine().Act();
        }
        Engine().Free();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        run("unpaced.trace", 0, c.steps);
        unsetenv("BRISEL_NOPACE");
        setenv("BRISEL_FRAMESKIP", c.frameSkip, 1);
        setenv("BRISEL_TIMES", box.Path("times.txt").c_str(), 1);
        run("paced.trace", c.stepMs, c.steps);
        setenv("BRISEL_NOPACE", "1", 1);
        unsetenv("BRISEL_TIMES");
        EXPECT_EQ(ReadText(box.Path("paced.trace")), ReadText(box.Path("unpaced.trace")));
        std::istringstream in(ReadText(box.Path("times.txt")));
        int lines = 0, skipped = 0, inRow = 0, mostInRow = 0;
        for (std::string line; std::getline(in, line);) {
            EXPECT_EQ(std::stoll(line), ++lines) << line;  // every step has its line, shown or not
            const bool skip = line.size() > 8 && line.compare(line.size() - 8, 8, " skipped") == 0;
            skipped += skip;
            mostInRow = std::max(mostInRow, inRow = skip ? inRow + 1 : 0);
        }
        EXPECT_EQ(lines, c.steps);
        EXPECT_EQ(skipped > 0, c.skips) << skipped << " skipped";
        EXPECT_LE(mostInRow, 3);
    }
}

// Guards against a script's quit line or Exit being ignored by later frame steps.
TEST_F(EngineScripted, ScriptQuitAndExitEndTheRun) {
    Script("2 quit\n");
    InitEngine();
    Api& e = Engine();
    e.Act();
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
    e.Free();
    unsetenv("BRISEL_INPUT");
    InitEngine();
    EXPECT_EQ(Failure([&] { e.Exit(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
}

// Guards against runs that do not repeat under BRISEL_SEED, and a bad setting taken silently.
TEST_F(EngineScripted, SeedMakesRandomNumbersRepeat) {
    setenv("BRISEL_SEED", "42", 1);
    Api& e = Engine();
    auto draw = [&] {
        InitEngine();
        std::vector<int64_t> v;
        for (int i = 0; i < 20; ++i) v.push_back(e.Rnd(1, 6));
        e.Free();
        return v;
    };
    std::vector<int64_t> first = draw();
    EXPECT_EQ(draw(), first);
    for (int64_t v : first) {
        EXPECT_GE(v, 1);
        EXPECT_LE(v, 6);
    }
    setenv("BRISEL_FRAMES", "soon", 1);
    BriselFailure f = Failure([] { InitEngine(); });
    EXPECT_EQ(MessageOf(f), "BRISEL_FRAMES=soon: not a whole number from 1");
}
