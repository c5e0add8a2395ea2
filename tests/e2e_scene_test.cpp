// The whole game, end to end: the real grappix with the real engine and assets, headless,
// driven by input scripts and checked through the engine's trace of what was drawn and played.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <sstream>

#include "support/process.hpp"
#include "support/trace.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

using test::ParseTrace;
using test::ProcessResult;
using test::RunProcess;
using test::TempDir;
using test::TexDraw;
using test::TraceFrame;

struct GameRun {
    ProcessResult result;
    std::vector<TraceFrame> frames;
};

// Runs the game with the script until `frames` steps have passed, with a trace; drawing nothing
// (BRISEL_NODRAW: every call still made and traced) when the pixels are not what is tested.
GameRun Play(const std::string& script, int frames, bool trace = true, bool draw = true) {
    TempDir dir;
    test::WriteFile(dir / "input.txt", script);
    std::vector<std::pair<std::string, std::string>> env = {{"SDL_VIDEODRIVER", "dummy"},
                                                            {"SDL_AUDIODRIVER", "dummy"},
                                                            {"BRISEL_INPUT", dir / "input.txt"},
                                                            {"BRISEL_FRAMES", std::to_string(frames)},
                                                            {"BRISEL_SEED", "7"},
                                                            {"BRISEL_NOPACE", "1"}};
    if (trace) env.emplace_back("BRISEL_TRACE", dir / "trace.txt");
    if (!draw) env.emplace_back("BRISEL_NODRAW", "1");
    GameRun run;
    run.result = RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 600.0);
    if (trace) run.frames = ParseTrace(test::ReadFile(dir / "trace.txt"));
    return run;
}

// A script line helper: "<n> <event>".
std::string At(int n, const std::string& event) { return std::to_string(n) + " " + event + "\n"; }
std::string Click(int n, double x, double y) {
    std::ostringstream s;
    s << n << " mouse " << x << " " << y << "\n" << n << " down left\n" << n + 2 << " up left\n";
    return s.str();
}

// Menu and pause positions (screen pixels).
constexpr double kMenuX = 800;
constexpr double kNormalY = 430, kNoBlockY = 550, kFreeStyleY = 670, kCreditY = 790;
constexpr double kReturnGameY = 550, kReturnTitleY = 670;

// Where the camera stood in a frame, from the ground strip's tiles: they sit on multiples of
// 2000 world pixels, so they give the camera's x modulo 2000; `previous` unwraps it.
double CameraX(const TraceFrame& f, double previous) {
    std::vector<TexDraw> ground = f.TexOf("ground.vqtex");
    EXPECT_FALSE(ground.empty()) << "frame " << f.step;
    if (ground.empty()) return previous;
    double phase = std::fmod(-ground[0].dx - 1000, 2000);
    if (phase < 0) phase += 2000;
    double base = previous - std::fmod(previous, 2000);
    double best = base + phase;
    for (double c : {base + phase - 2000, base + phase + 2000})
        if (std::fabs(c - previous) < std::fabs(best - previous)) best = c;
    return best;
}

// The character as drawn in a frame (the opaque draw, not the after-image): screen centre x.
bool BodyScreenX(const TraceFrame& f, double* x) {
    for (const TexDraw& t : f.TexOf("ese_raf.vqtex"))
        if (t.a == 1.0) {
            *x = t.dx + t.dw * 0.5;
            return true;
        }
    return false;
}

int FirstFramePlaying(const std::vector<TraceFrame>& frames, const std::string& file) {
    for (const TraceFrame& f : frames)
        if (f.Plays(file)) return static_cast<int>(f.step);
    return -1;
}

bool HasPanel(const TraceFrame& f, double x, double y, double w, double h) {
    for (const auto& r : f.rects)
        if (r.x == x && r.y == y && r.w == w && r.h == h && r.a == 0.5 && r.r == 0) return true;
    return false;
}

bool DrawsBigText(const TraceFrame& f, double x, double y) {  // a 100 x 200 glyph at (x, y)
    for (const TexDraw& t : f.TexOf("font_128_64.vqtex"))
        if (t.dx == x && t.dy == y && t.dw == 100 && t.dh == 200) return true;
    return false;
}

TEST(TitleSceneTest, MenuCreditsAndScrollBehaveAsAPlayerExpects) {
    std::string script = At(1, "mouse 800 430") +
                         // pressed on "Normal", released elsewhere: nothing is chosen
                         At(10, "down left") + At(12, "mouse 100 100") + At(14, "up left") +
                         // right and middle buttons over "No Block" do nothing
                         At(20, "mouse 800 550") + At(21, "down right") + At(23, "up right") +
                         At(25, "down middle") + At(27, "up middle") +
                         // credits open, then any release closes them
                         Click(32, kMenuX, kCreditY) + At(50, "mouse 100 880") + At(50, "down left") +
                         At(52, "up left") +
                         // a release over "Normal" starts the game
                         Click(70, kMenuX, kNormalY);
    GameRun run = Play(script, 80);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    ASSERT_GE(run.frames.size(), 81u);

    EXPECT_TRUE(run.frames[0].Plays("chaser.ogg"));  // the music starts before the first frame
    EXPECT_EQ(FirstFramePlaying(run.frames, "chaser3.ogg"), 72);

    // Credits: opened by the release of step 34, drawn from step 35 until the release of 52.
    for (int f = 1; f <= 72; ++f) {
        bool panel = HasPanel(run.frames[f], 14, 14, 1572, 872);
        bool logo = !run.frames[f].TexOf("title03.vqtex").empty();
        if (f == 34) {
            EXPECT_TRUE(run.frames[f].tex.empty()) << "the frame that opens the credits draws nothing";
        } else if (f >= 35 && f <= 51) {
            EXPECT_TRUE(panel && !logo) << "frame " << f;
            EXPECT_EQ(run.frames[f].TexOf("text: English").size(), 1u) << "frame " << f;
        } else if (f != 72) {
            EXPECT_TRUE(logo && !panel) << "frame " << f;
        }
    }

    // The camera scrolls 5 pixels in every frame that draws, menu and credits alike.
    double cam = 0;
    int drawn = 0;
    for (int f = 1; f < 72; ++f) {
        if (run.frames[f].tex.empty()) continue;
        double now = CameraX(run.frames[f], cam);
        EXPECT_DOUBLE_EQ(now - cam, 5.0) << "frame " << f;
        cam = now;
        ++drawn;
    }
    EXPECT_EQ(drawn, 70);
}

// Starts a mode from the title at step 10; play begins after the 101-frame opening.
constexpr int kChoose = 12;                // the release that picks the mode
constexpr int kPlayStart = kChoose + 102;  // first step whose drawing is play

std::string ChooseMode(double y) { return At(1, "mouse 800 " + std::to_string(y)) + Click(10, kMenuX, y); }

// What a few seconds of play in one mode looks like: shots at the roof and ahead, reeling,
// letting go, a jump.
std::string PlayScript(double modeY) {
    std::string s = ChooseMode(modeY);
    s += Click(40, 900, 300);  // a click during "Start!" is lost
    int t = kPlayStart + 5;
    for (int i = 0; i < 6; ++i, t += 90) {
        s += At(t, "mouse 1100 " + std::to_string(120 + 20 * i));
        s += At(t, "down left");
        s += At(t + 20, "down right");
        s += At(t + 45, "up right");
        s += At(t + 50, "up left");
        s += At(t + 70, "down pad0") + At(t + 72, "up pad0");
    }
    return s;
}

struct ModeLook {
    bool blocks = false, roof = false, bigMarker = false, shot = false;
    bool shotInOpening = false;
};

ModeLook LookAt(const GameRun& run, int from, int to) {
    ModeLook look;
    for (int f = from; f <= to && f < static_cast<int>(run.frames.size()); ++f) {
        const TraceFrame& fr = run.frames[f];
        if (!fr.TexOf("block.vqtex").empty()) look.blocks = true;
        if (!fr.TexOf("roof.vqtex").empty()) look.roof = true;
        for (const TexDraw& t : fr.TexOf("hookpoint.vqtex"))
            if (t.dw == 100) look.bigMarker = true;
        if (fr.Plays("arrow01.ogg")) look.shot = true;
    }
    for (int f = kChoose; f < kPlayStart; ++f)
        if (run.frames[f].Plays("arrow01.ogg")) look.shotInOpening = true;
    return look;
}

// The camera follows the body 700 pixels behind, never left, never vertically.
void ExpectCameraFollows(const GameRun& run, int from, int to) {
    double cam = CameraX(run.frames[from], 0);
    double bodyPrev = 0;
    bool haveBody = BodyScreenX(run.frames[from], &bodyPrev);
    for (int f = from + 1; f <= to; ++f) {
        double now = CameraX(run.frames[f], cam);
        for (const TexDraw& t : run.frames[f].TexOf("ground.vqtex"))
            EXPECT_EQ(t.dy, 825) << "the view never moves vertically; frame " << f;
        if (haveBody) {
            double expected = bodyPrev > 700 ? cam + (bodyPrev - 700) : cam;
            EXPECT_NEAR(now, expected, 1e-3) << "frame " << f;  // the trace keeps 9 digits
        }
        EXPECT_GE(now, cam) << "frame " << f;
        cam = now;
        haveBody = BodyScreenX(run.frames[f], &bodyPrev);
    }
}

TEST(GameSceneTest, NormalDrawsAndCollidesBlocksUnderTheRoof) {
    GameRun run = Play(PlayScript(kNormalY), kPlayStart + 561);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_TRUE(DrawsBigText(run.frames[kChoose + 1], 500, 250)) << "\"Start!\" opens the game";
    EXPECT_TRUE(DrawsBigText(run.frames[kPlayStart - 1], 500, 250));
    EXPECT_FALSE(DrawsBigText(run.frames[kPlayStart], 500, 250));
    ModeLook look = LookAt(run, kPlayStart, kPlayStart + 560);
    EXPECT_TRUE(look.blocks);
    EXPECT_TRUE(look.roof);
    EXPECT_FALSE(look.bigMarker);
    EXPECT_TRUE(look.shot);
    EXPECT_FALSE(look.shotInOpening);
    ExpectCameraFollows(run, kPlayStart, kPlayStart + 560);
}

TEST(GameSceneTest, NoBlockHasGroundAndRoofOnly) {
    GameRun run = Play(PlayScript(kNoBlockY), kPlayStart + 561);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    ModeLook look = LookAt(run, kChoose + 1, kPlayStart + 560);
    EXPECT_FALSE(look.blocks);
    EXPECT_TRUE(look.roof);
    EXPECT_FALSE(look.bigMarker);
    EXPECT_TRUE(look.shot);
    EXPECT_FALSE(look.shotInOpening);
    ExpectCameraFollows(run, kPlayStart, kPlayStart + 560);
}

TEST(GameSceneTest, FreeStyleHasNoRoofAndTheCatchSquareFollowsTheShots) {
    GameRun run = Play(PlayScript(kFreeStyleY), kPlayStart + 561);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    ModeLook look = LookAt(run, kChoose + 1, kPlayStart + 560);
    EXPECT_FALSE(look.blocks);
    EXPECT_FALSE(look.roof);
    EXPECT_TRUE(look.bigMarker);
    EXPECT_FALSE(look.shotInOpening);
    // Right after the first shot the square sits centred on the cursor; before it, it waits
    // below the ground, out of sight.
    int shot = kPlayStart + 5;
    for (int f = kPlayStart; f < shot; ++f)
        for (const TexDraw& t : run.frames[f].TexOf("hookpoint.vqtex")) EXPECT_NE(t.dw, 100);
    bool found = false;
    for (const TexDraw& t : run.frames[shot].TexOf("hookpoint.vqtex"))
        if (t.dw == 100) {
            found = true;
            EXPECT_DOUBLE_EQ(t.dx, 1100 - 50);
            EXPECT_DOUBLE_EQ(t.dy, 120 - 50);
        }
    EXPECT_TRUE(found);
    ExpectCameraFollows(run, kPlayStart, kPlayStart + 560);
}

TEST(PauseScreenTest, PauseFreezesTheWorldBlinksAndLeadsBackToAFreshTitle) {
    const int pause1 = kPlayStart + 40;  // pad button 3 pauses ...
    const int resume1 = pause1 + 70;     // ... and resumes
    const int pause2 = resume1 + 20;     // paused again, left with "Return Game"
    const int resume2 = pause2 + 30;
    const int pause3 = resume2 + 20;  // and again, left with "Return Title"
    const int leave = pause3 + 30;
    std::string script = ChooseMode(kNormalY) + At(pause1, "down pad3") + At(pause1 + 2, "up pad3") +
                         At(resume1, "down pad3") + At(resume1 + 2, "up pad3") + At(pause2, "down pad3") +
                         At(pause2 + 2, "up pad3") + Click(resume2 - 2, kMenuX, kReturnGameY) +
                         At(pause3, "down pad3") + At(pause3 + 2, "up pad3") +
                         Click(leave - 2, kMenuX, kReturnTitleY);
    GameRun run = Play(script, leave + 20);
    ASSERT_EQ(run.result.status, 0) << run.result.err;

    auto dimmed = [&](int f) { return HasPanel(run.frames[f], 0, 0, 1600, 900); };
    for (auto [from, to] :
         {std::pair{pause1, resume1}, std::pair{pause2, resume2}, std::pair{pause3, leave}}) {
        EXPECT_FALSE(dimmed(from)) << "the frozen game is drawn once before the pause screen";
        for (int f = from + 1; f < to; ++f) EXPECT_TRUE(dimmed(f)) << "frame " << f;
        // Nothing of the world moves while paused.
        double x0 = 0, x = 0;
        ASSERT_TRUE(BodyScreenX(run.frames[from], &x0));
        for (int f = from + 1; f < to; ++f) {
            ASSERT_TRUE(BodyScreenX(run.frames[f], &x));
            EXPECT_EQ(x, x0) << "frame " << f;
            EXPECT_EQ(run.frames[f].TexOf("ground.vqtex")[0].dx,
                      run.frames[from].TexOf("ground.vqtex")[0].dx);
        }
    }
    EXPECT_FALSE(dimmed(resume1));
    EXPECT_FALSE(dimmed(resume2));

    // "PAUSE" blinks: it changes exactly at the frames that are multiples of 30, and its phase
    // carries over from one pause to the next.
    bool on = true;
    for (auto [from, to] :
         {std::pair{pause1, resume1}, std::pair{pause2, resume2}, std::pair{pause3, leave}}) {
        for (int f = from + 1; f < to; ++f) {
            if (f % 30 == 0) on = !on;
            EXPECT_EQ(DrawsBigText(run.frames[f], 550, 250), on) << "frame " << f;
        }
    }

    // "Return Title": a fresh title, the camera back at 0 and its music from the start.
    EXPECT_TRUE(run.frames[leave].Plays("chaser.ogg"));
    EXPECT_EQ(run.frames[leave + 1].TexOf("ground.vqtex")[0].dx, -1005) << "camera at 5 after one frame";
    EXPECT_FALSE(run.frames[leave + 1].TexOf("title03.vqtex").empty());
}

// A long game of random input, from a seeded generator, in one mode.
std::string RandomPlay(double modeY, int frames, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s = ChooseMode(modeY);
    const char* buttons[] = {"left", "right", "middle", "pad0", "pad1", "pad2"};
    std::map<std::string, bool> down;
    for (int t = kPlayStart; t < frames; t += 1 + static_cast<int>(rng() % 12)) {
        s += At(t, "mouse " + std::to_string(rng() % 1600) + " " + std::to_string(rng() % 900));
        std::string b = buttons[rng() % 6];
        s += At(t, std::string(down[b] ? "up " : "down ") + b);
        down[b] = !down[b];
    }
    return s;
}

TEST(LongRunTest, ThousandsOfFramesOfRandomPlayInEveryModeEndCleanly) {
    const int frames = 3000;
    uint32_t seed = 11;
    for (double modeY : {kNormalY, kNoBlockY, kFreeStyleY}) {
        GameRun run =
            Play(RandomPlay(modeY, frames, seed++) + At(frames, "quit"), frames + 100, false, false);
        EXPECT_EQ(run.result.status, 0) << "mode at y " << modeY << ": " << run.result.err;
        EXPECT_EQ(run.result.signal, 0);
        EXPECT_FALSE(run.result.timedOut);
    }
}

TEST(LongRunTest, TitleAndGameManyTimesOver) {
    std::string s;
    int t = 1;
    const double modes[] = {kNormalY, kNoBlockY, kFreeStyleY};
    for (int trip = 0; trip < 12; ++trip) {
        s += Click(t + 5, kMenuX, modes[trip % 3]);
        int play = t + 7 + 102;
        s += At(play + 10, "down pad3") + At(play + 12, "up pad3");
        s += Click(play + 20, kMenuX, kReturnTitleY);
        t = play + 22;
    }
    GameRun run = Play(s + At(t + 10, "quit"), t + 100, true, false);
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    int titles = 0;
    for (const TraceFrame& f : run.frames)
        if (f.Plays("chaser.ogg")) ++titles;
    EXPECT_EQ(titles, 13);
}

}  // namespace
}  // namespace grappix

#endif
