// The body may fly off without bound. Far along x, under the game's floating-point setting
// (round toward zero, invalid operation trapped: a trap here kills the test binary), the world
// and the heads-up display keep working and the speed figure stays exact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <deque>

#include "actors/moving_actor.hpp"
#include "fake/fake_engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "game/hud.hpp"
#include "game/world.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

// Runs a block of code under the game's setting and restores the default afterwards, even
// when an assertion leaves early.
struct GameFloatingPoint {
    GameFloatingPoint() { SetGameFloatingPoint(); }
    ~GameFloatingPoint() { WriteMxcsr(0x1F80); }
};

// A "Normal" game with the body placed at startX: scripted shots, reels, releases, kicks and
// jumps among twenty blocks that follow the body, for `frames` frames. Returns the speed
// figure the test expects from the x positions it saw.
void Play(double startX, int frames) {
    FakeEngine fake;
    World world;
    world.Configure(10, -100, -850);
    world.Setup(0, -900, 1600, 900);
    Hud hud;
    hud.Prepare();
    hud.Setup();
    world.Body().SetPos(startX, -500);

    std::deque<double> seen(300, 0.0);  // the display's own history, kept here by hand
    int64_t expectSpeed = 0;
    {
        GameFloatingPoint fp;
        for (int f = 1; f <= frames; ++f) {
            NextFrame();
            const double x = world.GetBodyX();
            const double viewX = x - 700;
            const double aimX = x + 300 + 37 * (f % 11);
            const double aimY = -900 + 61 * (f % 13);
            // Twenty blocks on a 400-pixel grid round the body, hanging and standing.
            double bx[20], by[20], bw[20], bh[20];
            const double base = std::floor(x / 400) * 400 - 4000;
            for (int i = 0; i < 20; ++i) {
                bx[i] = base + 400.0 * i;
                bw[i] = 100 + 20 * (i % 5);
                bh[i] = 150 + 50 * (i % 4);
                by[i] = i % 2 == 0 ? -850 : -100 - bh[i];
            }
            const int phase = f % 120;
            if (phase == 30) world.Reel();
            if (phase >= 30 && phase < 50) world.SetReelHeld();
            if (phase == 1 || phase == 70) world.Fire(aimX, aimY);
            if (phase == 50) world.Drop();
            if (phase == 60 || phase == 110) world.Release();
            if (phase == 90 || phase == 100) {
                for (int i = 0; i < 20; ++i) world.WallKick(bx[i], by[i], bw[i], bh[i]);
                world.Jump();
            }
            world.Update(10);
            hud.Update(world.GetBodyX());
            for (int i = 0; i < 20; ++i) {
                world.CollideBlock(bx[i], by[i], bw[i], bh[i]);
                world.CatchBlock(bx[i], by[i], bw[i], bh[i]);
            }
            world.CollideGroundRoof();
            world.ClearReelHeld();
            world.Draw(aimX, aimY, viewX, -900);
            hud.Draw();

            seen.pop_back();
            seen.push_front(hud.GetHistory(0));
            const double progress = seen.front() - seen.back();
            if (progress > 0) expectSpeed = 2 * static_cast<int64_t>(progress);
            if (f % 97 == 0) {  // the body stays somewhere real
                ASSERT_TRUE(std::isfinite(world.GetBodyX()));
                ASSERT_TRUE(std::isfinite(world.GetBodyY()));
            }
        }
    }
    EXPECT_GT(world.GetBodyX(), startX);  // it got somewhere
    EXPECT_EQ(hud.GetSpeedValue(), expectSpeed);
    EXPECT_GE(world.GetBodyY(), -810);
    EXPECT_LE(world.GetBodyY(), -140);
}

TEST(WorldFarTest, MillionsOfPixelsAlongUnderTheGameSetting) { Play(5.0e6, 3000); }

TEST(WorldFarTest, FarBeyondAnyRealGameUnderTheGameSetting) { Play(4.0e13, 1500); }

}  // namespace
}  // namespace grappix
