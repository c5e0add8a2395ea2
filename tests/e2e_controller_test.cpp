// Whole runs of the real game with one device alone: a controller (buttons, sticks and
// triggers) and the keyboard, each choosing "Normal", shooting the hook onto the roof,
// pausing, going back to the title and quitting, read back from the trace.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "support/process.hpp"
#include "support/trace.hpp"

namespace grappix {
namespace {

using test::Env;
using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;
using test::TraceFrame;

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

// Runs the real game headless with a script, its settings in a folder of its own.
struct OneDeviceRun {
    TempDir dir;
    ProcessResult result;
    std::vector<TraceFrame> frames;
    explicit OneDeviceRun(const std::string& script) {
        test::WriteFile(dir / "input.txt", script);
        Env env = test::HeadlessGameEnv(dir);
        env.insert(env.end(), {{"BRISEL_INPUT", dir / "input.txt"}, {"BRISEL_SEED", "5"}});
        result = RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 120.0);
        frames = test::ParseTrace(ReadFile(dir / "trace.txt"));
    }
    // The first step at or after `from` whose frame plays the sound; -1 if none.
    int64_t FirstPlay(const std::string& file, size_t from = 0) const {
        for (size_t i = from; i < frames.size(); ++i)
            if (frames[i].Plays(file)) return static_cast<int64_t>(i);
        return -1;
    }
    template <class Pred>
    int64_t First(Pred pred, size_t from = 0) const {
        for (size_t i = from; i < frames.size(); ++i)
            if (pred(frames[i])) return static_cast<int64_t>(i);
        return -1;
    }
};

bool Title(const TraceFrame& f) { return !f.TexOf("title03.vqtex").empty(); }
bool Paused(const TraceFrame& f) {  // "PAUSE" in 100 x 200 glyphs at (550, 250)
    for (const test::TexDraw& t : f.TexOf("font_128_64.vqtex"))
        if (t.dx == 550 && t.dy == 250 && t.dw == 100) return true;
    return false;
}
// In a game of "Normal": the stage's roof is drawn (the title's scenery has none).
bool Playing(const TraceFrame& f) { return !f.TexOf("roof.vqtex").empty() && !Title(f); }

// The aim marker's centre in a frame (the hook point sprite), or (-1e9, -1e9) if not drawn.
std::pair<double, double> Marker(const TraceFrame& f) {
    for (const test::TexDraw& t : f.TexOf("hookpoint.vqtex")) return {t.dx + t.dw * 0.5, t.dy + t.dh * 0.5};
    return {-1e9, -1e9};
}

TEST(ControllerRunTest, AControllerAlonePlaysFromTheTitleBackToQuitting) {
    // Guards against any step a player with only a controller could not take: the title's
    // first entry lit and chosen with A, the hook aimed with the right stick and shot with the
    // right trigger onto the roof, Start to pause, the d-pad and A to "Return Title", Back twice
    // to quit. Nothing of the mouse or keyboard is in the script.
    OneDeviceRun run(
        "1 device controller\n"
        "10 down pad0\n11 up pad0\n"              // A: "Normal"
        "130 axis rightx 1\n140 axis rightx 0\n"  // the marker 720 pixels right of the corner
        "150 axis righttrigger 1\n"               // shoot, held
        "200 axis righttrigger 0\n"
        "210 down pad3\n211 up pad3\n"    // Start: pause
        "220 down pad13\n221 up pad13\n"  // d-pad down: "Return Title"
        "230 down pad0\n231 up pad0\n"    // A
        "250 down pad4\n251 up pad4\n"    // Back on the title: asked
        "260 down pad4\n");               // and again: quit
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    ASSERT_EQ(run.frames.size(), 261u) << "quit at step 260";
    EXPECT_TRUE(Playing(run.frames[120])) << "A chose a mode";

    // The right stick moved the marker, 72 pixels a frame at full deflection, and left it.
    EXPECT_EQ(Marker(run.frames[129]), std::make_pair(0.0, 0.0));
    EXPECT_EQ(Marker(run.frames[139]), std::make_pair(720.0, 0.0));
    EXPECT_EQ(Marker(run.frames[149]), std::make_pair(720.0, 0.0));

    // The trigger shot the hook, which caught the roof.
    EXPECT_EQ(run.FirstPlay("arrow01.ogg"), 150);
    const int64_t caught = run.FirstPlay("hit_p13_a.ogg", 150);
    EXPECT_GT(caught, 150);
    EXPECT_LT(caught, 200);

    EXPECT_EQ(run.First(Paused), 211) << "Start paused";
    EXPECT_EQ(run.First(Title, 150), 231) << "A on \"Return Title\"";
}

TEST(ControllerRunTest, TheKeyboardAlonePlaysFromTheTitleBackToQuitting) {
    // Guards against the same for a player with only a keyboard: the arrows light "Normal"
    // and Enter chooses it, Z shoots at the pointer's resting place, Escape pauses, the arrows
    // and Enter leave for the title and Escape quits. A key makes the lines the real keyboard
    // makes: its key count, and the pad button it stands for.
    OneDeviceRun run(
        "10 down key Down\n10 down pad13\n11 up key Down\n11 up pad13\n"  // "Normal" lit
        "15 down key Return\n16 up key Return\n"                          // chosen
        "150 down key Z\n150 down pad1\n"                                 // shoot, held
        "200 up key Z\n200 up pad1\n"
        "210 down key Escape\n210 down pad3\n211 up key Escape\n211 up pad3\n"  // pause
        "220 down key Down\n220 down pad13\n221 up key Down\n221 up pad13\n"    // "Return Game"
        "222 down key Down\n222 down pad13\n223 up key Down\n223 up pad13\n"    // "Return Title"
        "230 down key Return\n231 up key Return\n"
        "250 down key Escape\n250 down pad3\n251 up key Escape\n251 up pad3\n"  // on the title: asked
        "260 down key Escape\n260 down pad3\n");                                // and again: quit
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    ASSERT_EQ(run.frames.size(), 261u) << "quit at step 260";
    EXPECT_TRUE(Playing(run.frames[120])) << "Enter chose a mode";
    EXPECT_EQ(run.FirstPlay("arrow01.ogg"), 150);
    const int64_t caught = run.FirstPlay("hit_p13_a.ogg", 150);
    EXPECT_GT(caught, 150);
    EXPECT_LT(caught, 200);
    EXPECT_EQ(run.First(Paused), 211);
    EXPECT_EQ(run.First(Title, 150), 231);
}

#endif

}  // namespace
}  // namespace grappix
