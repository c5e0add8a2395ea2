// The World's physics as a player notices it: the opening flight, friction, the swing, reeling,
// the hook's flight and catch, landings, clinging, wall kicks, and the sounds that go with them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "actors/moving_actor.hpp"
#include "fake/fake_engine.hpp"
#include "frame/media.hpp"
#include "game/world.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

constexpr double kFar = 1.0e6;  // ground and roof lines out of the way

// One World on the fake engine, set up as the game scene does.
struct Stage {
    FakeEngine fake;
    World world;

    explicit Stage(double groundY = -100, double roofY = -850) {
        world.Configure(10, groundY, roofY);
        world.Setup(0, -900, 1600, 900);
        fake.ClearCalls();
    }
    MovingActor& Body() { return world.Body(); }
    void Place(double x, double y, double mx, double my) {
        Body().SetPos(x, y);
        Body().SetMove(mx, my);
    }
    // One frame of the "No Block" mode.
    void Frame() {
        world.Update(10);
        world.CollideGroundRoof();
        world.ClearReelHeld();
    }
    int Plays(const std::string& file) const {
        int n = 0;
        for (const auto& c : fake.Named("PlaySnd")) n += c.file == file ? 1 : 0;
        return n;
    }
};

TEST(WorldTest, OpeningFlightRisesThenFallsAndLandsRunning) {
    // Guards against a wrong start, gravity or landing line: the body enters from the left,
    // tops out in frame 20 and lands r above the ground line in frame 63.
    Stage s;
    EXPECT_EQ(s.world.GetBodyX(), -200);
    EXPECT_EQ(s.world.GetBodyY(), -500);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);
    EXPECT_EQ(s.world.GetWireState(), WireState::Stowed);
    s.Frame();
    EXPECT_DOUBLE_EQ(s.world.GetBodyX(), -190);
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -509.5);
    EXPECT_DOUBLE_EQ(s.world.GetMoveY(), -9.5);
    EXPECT_EQ(s.world.GetHookX(), -200);  // the hook rides with the body, before its step
    for (int frame = 2; frame <= 62; ++frame) {
        s.Frame();
        EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping) << frame;  // a jump stays a jump until it lands
        if (frame == 20) {
            EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -595);
            EXPECT_DOUBLE_EQ(s.world.GetMoveY(), 0);
        }
    }
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -143.5);
    s.Frame();
    EXPECT_DOUBLE_EQ(s.world.GetBodyX(), 430);
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -140);
    EXPECT_EQ(s.world.GetMoveY(), 0);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Running);
}

TEST(WorldTest, FrictionSlowsARunnerAndStopsIt) {
    // Guards against friction of the wrong size or sign, and a stop that leaves a creep.
    Stage s;
    s.Place(0, -140, 3, 0);
    s.world.CollideGroundRoof();
    ASSERT_EQ(s.world.GetMoveState(), MoveState::Running);
    s.Frame();
    EXPECT_DOUBLE_EQ(s.world.GetMoveX(), 2.5);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Running);

    s.Body().SetMove(-3, 0);
    s.Frame();
    EXPECT_DOUBLE_EQ(s.world.GetMoveX(), -2.5);

    s.Body().SetMove(0.9, 0);
    s.fake.ClearCalls();
    s.Frame();  // 0.4 is at most the stop speed
    EXPECT_EQ(s.world.GetMoveX(), 0);
    EXPECT_EQ(s.world.GetMoveY(), 0);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);
    EXPECT_EQ(s.world.GetClock(), 10);      // reset by the stop, then this frame's ticks
    EXPECT_EQ(s.Plays("attack00.ogg"), 1);  // the stop sounds a step

    // A runner with no motion at all is pushed to 0.5 and stops at once.
    s.world.Jump();
    s.Place(0, -140, 0, 0);
    s.world.CollideGroundRoof();
    s.Body().SetMove(0, 0);
    s.Frame();
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);
}

TEST(WorldTest, RunningSoundEveryThirtyFramesAndAtTheStop) {
    Stage s;
    s.Place(0, -140, 20, 0);
    s.world.CollideGroundRoof();
    std::vector<int> frames;
    for (int frame = 1; frame <= 100; ++frame) {
        s.fake.ClearCalls();
        s.Frame();
        if (s.Plays("attack00.ogg") > 0) frames.push_back(frame);
    }
    // Clock 0 and 300 while running; the stop in frame 39 (20 - 39 x 0.5 = 0.5); then silence.
    EXPECT_EQ(frames, (std::vector<int>{1, 31, 39}));
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);
}

TEST(WorldTest, TautWireCorrectsXFirstThenYWithTheCorrectedX) {
    // Guards against an exact projection (which gives (5, -5)) replacing the game's swing.
    // The body stands (no gravity) on a ground line placed under it.
    Stage s(212.13 + 40, -kFar);
    s.Place(0, 300, 0, 0);
    s.world.Attach(0, 0);
    ASSERT_DOUBLE_EQ(s.world.GetWireLen(), 300);
    s.Place(212.13, 212.13, 0, 0);
    s.world.CollideGroundRoof();
    ASSERT_EQ(s.world.GetMoveState(), MoveState::Standing);
    s.Body().SetMove(10, 0);
    s.world.Update(10);
    EXPECT_NEAR(s.world.GetMoveX(), 5, 1e-9);
    EXPECT_NEAR(s.world.GetMoveY(), -2.5, 1e-9);
    EXPECT_TRUE(s.world.IsTaut());
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Swinging);
    // The position steps with the corrected motion and is not pulled back onto the circle.
    EXPECT_NEAR(s.world.GetBodyX(), 217.13, 1e-9);
    EXPECT_NEAR(s.world.GetBodyY(), 209.63, 1e-9);
}

TEST(WorldTest, TautWireStopsABodyMovingStraightAway) {
    Stage s(40, -kFar);  // the body rests at y = 0
    s.Place(300, 0, 0, 0);
    s.world.Attach(0, 0);
    s.world.CollideGroundRoof();
    ASSERT_EQ(s.world.GetMoveState(), MoveState::Standing);
    s.Body().SetMove(10, 0);
    s.world.Update(10);
    EXPECT_NEAR(s.world.GetMoveX(), 0, 1e-9);
    EXPECT_NEAR(s.world.GetMoveY(), 0, 1e-9);

    // A slack wire leaves the motion alone, and a standing body is airborne after Update.
    s.Place(100, 0, 0, 0);
    s.world.CollideGroundRoof();
    s.Body().SetMove(10, 0);
    s.world.Update(10);
    EXPECT_EQ(s.world.GetMoveX(), 10);
    EXPECT_FALSE(s.world.IsTaut());
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Airborne);
}

TEST(WorldTest, ReelingFrom500PixelsLetsGoInThe23rdFrameAt60) {
    // Guards against testing the distance after the step (release a frame early) or a
    // release that cancels the last step.
    Stage s(kFar, -kFar);
    s.Place(0, 0, 0, 0);
    s.world.Attach(500, 0);
    s.world.Reel();
    ASSERT_EQ(s.world.GetWireState(), WireState::Reeling);
    ASSERT_EQ(s.world.GetMoveState(), MoveState::Reeling);
    std::vector<int> ticks;
    for (int frame = 1; frame <= 22; ++frame) {
        s.fake.ClearCalls();
        s.Frame();
        ASSERT_EQ(s.world.GetWireState(), WireState::Reeling) << frame;
        EXPECT_EQ(s.world.GetMoveState(), MoveState::Reeling);
        EXPECT_NEAR(s.world.GetBodyX(), 20.0 * frame, 1e-9);
        if (s.Plays("hit_p13_a.ogg") > 0) ticks.push_back(frame);
    }
    EXPECT_EQ(ticks, (std::vector<int>{1, 6, 11, 16, 21}));  // every 5 frames
    s.Frame();
    EXPECT_EQ(s.world.GetWireState(), WireState::Stowed);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Airborne);
    EXPECT_NEAR(s.world.GetHookX(), 440, 1e-9);  // released 60 pixels short of the hook
    EXPECT_NEAR(s.world.GetBodyX(), 460, 1e-9);  // and still made this frame's step
    EXPECT_NEAR(s.world.GetMoveX(), 20, 1e-9);   // flying on with the last reel speed
    s.Frame();
    EXPECT_NEAR(s.world.GetMoveY(), 0.5, 1e-9);  // gravity again
}

TEST(WorldTest, ReelAndDropOnlyActOnACaughtWire) {
    Stage s;
    s.world.Fire(0, -500);
    s.world.Reel();  // still flying: nothing
    EXPECT_EQ(s.world.GetWireState(), WireState::Flying);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);
    s.world.Drop();
    EXPECT_EQ(s.world.GetWireState(), WireState::Stowed);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Airborne);
    // A release with no wire out still makes the body airborne for a frame.
    s.Place(0, -140, 0, 0);
    s.world.CollideGroundRoof();
    s.world.Release();
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Airborne);
    s.Frame();
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);  // one frame of gravity, put back on the ground
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -140);
}

TEST(WorldTest, HookShotStraightUpIsFixedAtTheRoofAfterSixFrames) {
    Stage s;
    s.world.Fire(-200, -1000);
    EXPECT_EQ(s.Plays("arrow01.ogg"), 1);
    EXPECT_NEAR(s.world.GetShotAngle(), 3 * 3.14159265358979 / 2, 1e-12);
    for (int frame = 1; frame <= 5; ++frame) {
        s.Frame();
        ASSERT_EQ(s.world.GetWireState(), WireState::Flying) << frame;
        EXPECT_NEAR(s.world.GetHookY(), -500 - 60.0 * frame, 1e-9);
    }
    EXPECT_EQ(s.Plays("hit_p13_a.ogg"), 0);
    s.Frame();  // the hook reaches y = -860, past the roof line
    EXPECT_EQ(s.world.GetWireState(), WireState::Caught);
    EXPECT_NEAR(s.world.GetHookX(), -200, 1e-9);
    EXPECT_EQ(s.world.GetHookY(), -850);
    EXPECT_EQ(s.world.GetHookVX(), 0);
    EXPECT_EQ(s.world.GetHookVY(), 0);
    EXPECT_EQ(s.Plays("hit_p13_a.ogg"), 1);
    // The body is at (-140, -549.5) after six frames.
    EXPECT_NEAR(s.world.GetWireLen(), std::hypot(60.0, 300.5), 1e-9);
}

TEST(WorldTest, HookIntoTheGroundLodgesBelowItsLine) {
    Stage s;
    s.Place(0, -500, 0, 0);
    s.world.Fire(0, 0);
    for (int frame = 1; frame <= 8; ++frame) s.Frame();  // hook at y = -20 after 8 frames
    EXPECT_EQ(s.world.GetWireState(), WireState::Caught);
    EXPECT_NEAR(s.world.GetHookY(), -60, 1e-9);

    // Without a roof (free style) it is fixed r above the ground line instead.
    Stage f;
    f.Place(0, -500, 0, 0);
    f.world.Fire(0, 0);
    for (int frame = 1; frame <= 8; ++frame) {
        f.world.Update(10);
        f.world.CollideGround();
    }
    EXPECT_EQ(f.world.GetWireState(), WireState::Caught);
    EXPECT_NEAR(f.world.GetHookY(), -140, 1e-9);
}

TEST(WorldTest, CatchWhileTheReelButtonIsHeldReelsInTheSameFrame) {
    for (bool held : {false, true}) {
        Stage s(kFar, -kFar);
        s.world.Fire(300, -500);  // straight right from (-200, -500)
        for (int frame = 1; frame <= 3; ++frame) {
            if (held) s.world.SetReelHeld();
            s.world.Update(10);
            const bool caught = s.world.CatchBlock(-50, -560, 100, 120);
            EXPECT_EQ(caught, frame == 3) << frame;  // hook at -140, -80, then -20
            s.world.ClearReelHeld();
        }
        ASSERT_NEAR(s.world.GetHookX(), -20, 1e-9);
        if (!held) {
            EXPECT_EQ(s.world.GetWireState(), WireState::Caught);
            EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);
            continue;
        }
        EXPECT_EQ(s.world.GetWireState(), WireState::Reeling);
        EXPECT_EQ(s.world.GetMoveState(), MoveState::Reeling);
        // Body at (-170, -527): 20 pixels a frame toward the hook at (-20, -500).
        const double len = std::hypot(150.0, 27.0);
        EXPECT_NEAR(s.world.GetMoveX(), 20 * 150 / len, 1e-9);
        EXPECT_NEAR(s.world.GetMoveY(), 20 * 27 / len, 1e-9);
    }
}

TEST(WorldTest, HookIsCaughtOnlyWhileFlyingAndCanPassAThinBlock) {
    // Thin: x 130..170 lies between the hook's positions 120 and 180. Thick: 130..190.
    for (double width : {40.0, 60.0}) {
        Stage s(kFar, -kFar);
        s.Place(0, -500, 0, 0);
        s.world.Fire(1000, -500);
        bool caught = false;
        for (int frame = 1; frame <= 5; ++frame) {
            s.world.Update(10);
            caught = s.world.CatchBlock(130, -550, width, 100) || caught;
        }
        EXPECT_EQ(caught, width > 50) << width;
        EXPECT_EQ(s.world.GetWireState(), width > 50 ? WireState::Caught : WireState::Flying);
    }
    // A caught or reeling hook lying in a block is not caught again.
    Stage s(kFar, -kFar);
    s.Place(0, 0, 0, 0);
    s.world.Attach(100, 0);
    s.fake.ClearCalls();
    EXPECT_FALSE(s.world.CatchBlock(50, -50, 100, 100));
    s.world.Reel();
    EXPECT_FALSE(s.world.CatchBlock(50, -50, 100, 100));
    EXPECT_EQ(s.world.GetWireState(), WireState::Reeling);
    EXPECT_EQ(s.Plays("hit_p13_a.ogg"), 0);
}

// A block whose top is at y = 0, spanning x 0..200 and y 0..300.
constexpr double kBx = 0, kBy = 0, kBw = 200, kBh = 300;

void BlockFrame(Stage& s) {
    s.world.Update(10);
    s.world.CollideBlock(kBx, kBy, kBw, kBh);
    s.world.ClearReelHeld();
}

TEST(WorldCollideTest, SlowLandingStandsAtOnce) {
    Stage s(kFar, -kFar);
    s.Place(100, -85, 0, 5);
    BlockFrame(s);  // falls 5.5 to -79.5: a top contact
    EXPECT_TRUE(s.world.HitTop());
    EXPECT_TRUE(s.world.HitAny());
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -85.5);  // 2r above the top, less the fall step
    EXPECT_EQ(s.world.GetMoveY(), 0);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);
}

TEST(WorldCollideTest, FastLandingBouncesUpAndSettlesLater) {
    // Guards against the top contact's margin: a fall step of 8 or more puts the body above
    // the standing band (2.2r = 88), so it is airborne again.
    Stage s(kFar, -kFar);
    s.Place(100, -87.5, 0, 7.5);
    BlockFrame(s);  // a fall of exactly 8: put at -88, which the strict test excludes
    EXPECT_DOUBLE_EQ(s.world.GetBodyY(), -88);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);

    Stage f(kFar, -kFar);
    f.Place(100, -90, 0, 11.5);
    BlockFrame(f);  // falls 12: put at -92
    EXPECT_TRUE(f.world.HitTop());
    EXPECT_DOUBLE_EQ(f.world.GetBodyY(), -92);
    EXPECT_EQ(f.world.GetMoveState(), MoveState::Jumping);
    for (int frame = 2; frame <= 4; ++frame) {
        BlockFrame(f);
        EXPECT_EQ(f.world.GetMoveState(), MoveState::Jumping) << frame;
    }
    for (int frame = 5; frame <= 12; ++frame) BlockFrame(f);
    EXPECT_EQ(f.world.GetMoveState(), MoveState::Standing);
    EXPECT_EQ(f.world.GetMoveY(), 0);
    EXPECT_GT(f.world.GetBodyY(), -88);
    EXPECT_LE(f.world.GetBodyY(), -80);
}

TEST(WorldCollideTest, BodyOnTheOverlapBoundaryIsNotTouched) {
    Stage s(kFar, -kFar);
    s.Place(kBx - 40, 100, 0, 0);  // x = bx - r exactly
    s.world.CollideBlock(kBx, kBy, kBw, kBh);
    EXPECT_FALSE(s.world.HitAny());
    EXPECT_EQ(s.world.GetBodyX(), -40);
    // ... but it is within the left clinging band.
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Clinging);
    EXPECT_EQ(s.world.GetWallSide(), 1);
}

TEST(WorldCollideTest, ClingingToARightSideSlidesDownEverFaster) {
    Stage s(kFar, -kFar);
    s.Place(245, 100, -10, 0);
    BlockFrame(s);  // into the block from the right: pushed back to bx + bw + r
    EXPECT_TRUE(s.world.HitRight());
    EXPECT_EQ(s.world.GetBodyX(), 240);
    EXPECT_EQ(s.world.GetMoveX(), 0);
    EXPECT_DOUBLE_EQ(s.world.GetMoveY(), 0.5);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Clinging);
    EXPECT_EQ(s.world.GetWallSide(), 0);
    s.world.Draw(0, 0, 0, -900);
    EXPECT_EQ(s.world.GetAnimId(), 730);

    double lastStep = 0.5;
    int frames = 1;
    while (s.world.GetMoveState() == MoveState::Clinging && frames < 100) {
        const double y = s.world.GetBodyY();
        BlockFrame(s);
        ++frames;
        EXPECT_EQ(s.world.GetBodyX(), 240);
        if (s.world.GetMoveState() == MoveState::Clinging) {
            EXPECT_DOUBLE_EQ(s.world.GetBodyY() - y, lastStep + 0.5);  // gravity keeps acting
            lastStep += 0.5;
        }
    }
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Airborne);  // slid off the bottom of the side band
    EXPECT_GE(s.world.GetBodyY(), kBy + kBh + 40);
}

TEST(WorldCollideTest, ClingingToALeftSideFacesTheOtherWay) {
    Stage s(kFar, -kFar);
    s.Place(-45, 100, 10, 0);
    BlockFrame(s);
    EXPECT_TRUE(s.world.HitLeft());
    EXPECT_EQ(s.world.GetBodyX(), -40);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Clinging);
    EXPECT_EQ(s.world.GetWallSide(), 1);
    s.world.Draw(0, 0, 0, -900);
    EXPECT_EQ(s.world.GetAnimId(), 740);
}

TEST(WorldCollideTest, BottomContactStopsARisingBody) {
    Stage s(kFar, -kFar);
    s.Place(100, 345, 3, -10);
    BlockFrame(s);  // rises to 335.5, under the block's bottom band
    EXPECT_TRUE(s.world.HitBottom());
    EXPECT_EQ(s.world.GetBodyY(), 340);
    EXPECT_EQ(s.world.GetMoveX(), 3);
    EXPECT_EQ(s.world.GetMoveY(), 0);
}

TEST(WorldCollideTest, GroundOverridesAClingFoundOnABlockInTheSameFrame) {
    Stage s;  // ground line -100: the body rests at -140
    s.Place(245, -145, -10, 6);
    s.world.Update(10);
    s.world.CollideBlock(0, -400, 200, 400);
    ASSERT_EQ(s.world.GetMoveState(), MoveState::Clinging);
    s.world.CollideGroundRoof();
    EXPECT_EQ(s.world.GetBodyY(), -140);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Standing);
}

TEST(WorldCollideTest, RoofHoldsTheBodyBelowIt) {
    Stage s;
    s.Place(0, -800, 4, -20);
    s.Frame();
    EXPECT_EQ(s.world.GetBodyY(), -810);
    EXPECT_EQ(s.world.GetMoveX(), 4);
    EXPECT_EQ(s.world.GetMoveY(), 0);
    // No roof in free style.
    Stage f;
    f.Place(0, -800, 4, -20);
    f.world.Update(10);
    f.world.CollideGround();
    EXPECT_DOUBLE_EQ(f.world.GetBodyY(), -819.5);
}

TEST(WorldKickTest, KickNearABlockOncePerPress) {
    // Guards against two kicks from one press (two blocks near) or a kick plus a jump.
    Stage s(kFar, -kFar);
    s.Place(250, 100, 3, 5);
    s.world.WallKick(0, 0, 200, 300);
    s.world.WallKick(150, 0, 200, 300);
    s.world.Jump();
    EXPECT_EQ(s.world.GetMoveX(), 11);  // pushed right, away from the block's middle
    EXPECT_EQ(s.world.GetMoveY(), -8);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);
    EXPECT_EQ(s.world.GetJumpWait(), 60);
    for (int frame = 1; frame <= 59; ++frame) s.world.Update(10);
    s.Place(250, 100, 3, 5);
    s.world.WallKick(0, 0, 200, 300);
    EXPECT_EQ(s.world.GetMoveX(), 3);  // one frame to wait
    s.world.Update(10);
    s.Place(-50, 100, 3, 5);
    s.world.WallKick(0, 0, 200, 300);
    EXPECT_EQ(s.world.GetMoveX(), -5);  // left of the middle: pushed left
}

TEST(WorldKickTest, KickReachIsStrict) {
    struct Case {
        double x, y;
        bool kicks;
    };
    // Reach: 46.4 beyond r at the sides, 2r + 46.4 above the top, none below the bottom.
    const Case cases[] = {{286.4, 100, false},  {286.3, 100, true},  {-86.4, 100, false}, {-86.3, 100, true},
                          {100, -126.4, false}, {100, -126.3, true}, {100, 300, false},   {100, 299.9, true}};
    for (const Case& c : cases) {
        Stage s(kFar, -kFar);
        s.Place(c.x, c.y, 0, 0);
        s.world.WallKick(0, 0, 200, 300);
        EXPECT_EQ(s.world.GetJumpWait() == 60, c.kicks) << c.x << ", " << c.y;
    }
}

TEST(WorldKickTest, JumpOnlyFromStandingOrRunning) {
    Stage s;
    s.world.Jump();  // airborne at the start: nothing
    EXPECT_EQ(s.world.GetMoveY(), -10);
    s.Place(0, -140, 2, 0);
    s.world.CollideGroundRoof();
    s.world.Jump();
    EXPECT_EQ(s.world.GetMoveX(), 2);
    EXPECT_EQ(s.world.GetMoveY(), -8);
    EXPECT_EQ(s.world.GetMoveState(), MoveState::Jumping);
    EXPECT_EQ(s.world.GetJumpWait(), 60);
}

// ---- drawing ----

std::vector<std::string> DrawnFiles(const FakeEngine& fake) {
    std::vector<std::string> files;
    for (const auto& c : fake.Named("DrawTexRot")) files.push_back(c.file);
    return files;
}

TEST(WorldDrawTest, DrawsRingMarkerWireBodyInOrderAndPicksTheIds) {
    Stage s;
    s.Place(800, -450, 0, 0);
    s.world.Draw(900, -450, 0, -900);
    // No wire out: ring, marker, after-image of the opening (id 0), body.
    EXPECT_EQ(DrawnFiles(s.fake),
              (std::vector<std::string>{"ring.vqtex", "hookpoint.vqtex", "ese_raf.vqtex", "ese_raf.vqtex"}));
    EXPECT_EQ(s.world.GetAnimId(), 330);
    EXPECT_EQ(s.world.GetMarkerId(), 100);

    s.world.Fire(900, -450);
    s.fake.ClearCalls();
    s.world.Draw(900, -450, 0, -900);
    auto files = DrawnFiles(s.fake);
    ASSERT_GE(files.size(), 4u);
    EXPECT_EQ(files[2], "wire.vqtex");
    EXPECT_EQ(files[3], "anchor.vqtex");
    EXPECT_EQ(s.world.GetMarkerId(), 100);

    s.world.Attach(900, -450);
    s.world.Draw(900, -450, 0, -900);
    EXPECT_EQ(s.world.GetMarkerId(), 200);
    s.world.Reel();
    s.world.Draw(900, -450, 0, -900);
    EXPECT_EQ(s.world.GetMarkerId(), 300);
    EXPECT_EQ(s.world.GetAnimId(), 530);

    // Running: the facing follows the motion, not the wall side.
    s.world.Drop();
    s.Place(800, -140, 5, 0);
    s.world.CollideGroundRoof();
    s.world.Draw(0, 0, 0, -900);
    EXPECT_EQ(s.world.GetAnimId(), 230);
    s.Body().SetMove(-5, 0);
    s.world.Draw(0, 0, 0, -900);
    EXPECT_EQ(s.world.GetAnimId(), 240);
}

}  // namespace
}  // namespace grappix
