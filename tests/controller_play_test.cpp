// Playing with a controller on the fake engine: the right stick's aim marker and how fast it
// reaches the screen's far corners, a stick shot against a mouse shot at the same point, the
// rumble of a catch, the controls card of the opening, the left stick in menus, and the pause
// screen with a controller alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "fake/fake_engine.hpp"
#include "frame/session.hpp"
#include "game/controls.hpp"
#include "game/game_scene.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

// ---- the aim marker ------------------------------------------------------------------------

TEST(AimCursorTest, WithTheMouseAloneTheAimIsTheCursorEveryFrame) {
    // Guards against play with the mouse changing: with the stick at rest the hook must be
    // aimed exactly where the pointer is, from the first frame on, wherever it moves.
    AimCursor aim;
    const std::array<std::pair<double, double>, 5> path = {
        {{12.5, 700}, {12.5, 700}, {1599, 0}, {-40, 950}, {800.25, 450.75}}};
    for (auto [x, y] : path) {
        aim.Update(x, y, 0, 0);
        EXPECT_EQ(aim.X(), x);
        EXPECT_EQ(aim.Y(), y);
    }
}

TEST(AimCursorTest, TheStickMovesTheMarkerAndAMouseMoveTakesItBack) {
    // Guards against a stick that moves nothing, a marker that jumps back to a still mouse,
    // a mouse that cannot take the aim back, and a marker pushed off the screen.
    AimCursor aim;
    aim.Update(800, 450, 0, 0);
    aim.Update(800, 450, 1, 0);
    EXPECT_EQ(aim.X(), 800 + kAimTopSpeed);
    EXPECT_EQ(aim.Y(), 450);
    aim.Update(800, 450, 0, 0);  // the stick let go, the mouse still: the marker stays
    EXPECT_EQ(aim.X(), 800 + kAimTopSpeed);
    aim.Update(801, 450, 0, 0);  // the mouse moved a pixel: the aim is the pointer again
    EXPECT_EQ(aim.X(), 801);
    for (int i = 0; i < 100; ++i) aim.Update(801, 450, -1, -1);
    EXPECT_EQ(aim.X(), 0);
    EXPECT_EQ(aim.Y(), 0);
    for (int i = 0; i < 100; ++i) aim.Update(801, 450, 0.9, 0.9);
    EXPECT_EQ(aim.X(), kAimScreenW);
    EXPECT_EQ(aim.Y(), kAimScreenH);
}

TEST(AimCursorTest, SmallPushesPlaceTheMarkerFinely) {
    // Guards against a stick too twitchy to aim with: a light push (a fifth of the travel past
    // the dead zone) moves the marker by a few pixels a frame, a full one by the top speed.
    EXPECT_LE(AimCursor::Speed(0.2), 3.0);
    EXPECT_EQ(AimCursor::Speed(1), kAimTopSpeed);
    EXPECT_LT(AimCursor::Speed(0.5), AimCursor::Speed(0.6));
    EXPECT_EQ(AimCursor::Speed(0), 0);
}

// Frames for a player to bring the marker from (fromX, fromY) onto (toX, toY): the stick held
// fully towards the point, then eased for the last step so the marker stops on it.
int FramesToReach(double fromX, double fromY, double toX, double toY) {
    AimCursor aim;
    aim.Update(fromX, fromY, 0, 0);
    for (int frame = 1; frame < 600; ++frame) {
        const double dx = toX - aim.X(), dy = toY - aim.Y();
        const double distance = std::hypot(dx, dy);
        if (distance < 0.5) return frame - 1;
        // The deflection that covers what is left in this frame, at most full travel.
        double deflection = 1;
        if (distance < kAimTopSpeed) deflection = std::sqrt(distance / kAimTopSpeed);
        aim.Update(fromX, fromY, dx / distance * deflection, dy / distance * deflection);
    }
    return 600;
}

TEST(AimCursorTest, EveryPointTheMouseCanAimAtIsReachedInUnderHalfASecond) {
    // Guards against a top speed tuned too low to play with: from anywhere on screen, every
    // point on screen is reachable with the stick in under half a second (30 frames at 60 Hz).
    int worst = 0;
    for (double fx = 0; fx <= kAimScreenW; fx += 400)
        for (double fy = 0; fy <= kAimScreenH; fy += 300)
            for (double tx = 0; tx <= kAimScreenW; tx += 100)
                for (double ty = 0; ty <= kAimScreenH; ty += 100)
                    worst = std::max(worst, FramesToReach(fx, fy, tx, ty));
    EXPECT_LT(worst, 30);
    EXPECT_EQ(worst, FramesToReach(0, 0, kAimScreenW, kAimScreenH)) << "the far corner is the worst case";
    RecordProperty("worst_frames_to_aim", worst);
    std::printf("aim: the farthest point on screen takes %d frames (%.3f s) with the stick\n", worst,
                worst / 60.0);
}

// ---- the scene with a controller ---------------------------------------------------------

constexpr int64_t kPadJump = 0, kPadShoot = 1, kPadB = 2, kPadStart = 3, kPadDown = 13;

// One game on the fake engine; button counts are set by hand between frames.
struct Game {
    FakeEngine fake;
    std::unique_ptr<GameScene> scene;
    explicit Game(GameMode mode) : scene(std::make_unique<GameScene>(mode)) { fake.ClearCalls(); }
    World& W() { return scene->GetWorld(); }
    // One frame of play with the pad's buttons held as given (a button not named is up).
    bool Frame(std::initializer_list<int64_t> held = {}) {
        for (int64_t b = 0; b < 16; ++b) {
            const bool down = std::find(held.begin(), held.end(), b) != held.end();
            counts[b] = down ? counts[b] + 1 : 0;
            fake.SetPadCount(b, counts[b]);
        }
        return scene->PlayFrame();
    }
    int64_t counts[16] = {};
};

TEST(ControllerPlayTest, AStickShotGoesExactlyWhereAMouseShotAtTheMarkerGoes) {
    // Guards against the stick's aim and the shot parting ways: the hook must fly along the
    // same line as a click on the point the marker shows, in the same frame of the same game.
    Game stick(GameMode::NoBlock);
    stick.fake.SetCursor(800, 450);
    stick.fake.SetLastDevice(BRISEL_DEVICE_CONTROLLER);
    stick.fake.SetAxis(BRISEL_AXIS_RIGHTX, 0.8);
    stick.fake.SetAxis(BRISEL_AXIS_RIGHTY, -0.6);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(stick.Frame());
    stick.fake.SetAxis(BRISEL_AXIS_RIGHTX, 0);
    stick.fake.SetAxis(BRISEL_AXIS_RIGHTY, 0);
    ASSERT_TRUE(stick.Frame({kPadShoot}));
    ASSERT_EQ(stick.W().GetWireState(), WireState::Flying);

    // Where the marker stood: five frames at full deflection from the pointer, up and right.
    AimCursor marker;
    marker.Update(800, 450, 0, 0);
    for (int i = 0; i < 5; ++i) marker.Update(800, 450, 0.8, -0.6);
    const double markerX = marker.X(), markerY = marker.Y();
    ASSERT_NEAR(markerX, 800 + 5 * 0.8 * kAimTopSpeed, 1e-6);
    ASSERT_NEAR(markerY, 450 - 5 * 0.6 * kAimTopSpeed, 1e-6);
    Game mouse(GameMode::NoBlock);
    mouse.fake.SetCursor(markerX, markerY);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(mouse.Frame());
    mouse.fake.SetMouseCount(0, 1);
    ASSERT_TRUE(mouse.Frame());
    ASSERT_EQ(mouse.W().GetWireState(), WireState::Flying);

    EXPECT_EQ(stick.W().GetWireAngle(), mouse.W().GetWireAngle());
    EXPECT_EQ(stick.W().GetHookVX(), mouse.W().GetHookVX());
    EXPECT_EQ(stick.W().GetHookVY(), mouse.W().GetHookVY());
    // The marker is drawn where the aim is: the hook point sprite centred on it.
    bool drawn = false;
    for (const test::Call& c : stick.fake.Named("DrawTexRot"))
        if (c.file == "hookpoint.vqtex" && std::abs(c.args[4] + c.args[6] * 0.5 - markerX) < 1e-6 &&
            std::abs(c.args[5] + c.args[7] * 0.5 - markerY) < 1e-6)
            drawn = true;
    EXPECT_TRUE(drawn) << "the aim marker at (" << markerX << ", " << markerY << ")";
}

// Runs frames until the hook has caught (or 120 frames), shooting up and to the right at the
// roof line, and returns how many Rumble calls were made.
size_t RumblesOfARoofCatch(Game& g) {
    g.fake.SetCursor(1000, 0);
    g.Frame({kPadShoot});
    for (int i = 0; i < 120 && g.W().GetWireState() == WireState::Flying; ++i) g.Frame({kPadShoot});
    EXPECT_EQ(g.W().GetWireState(), WireState::Caught);
    for (int i = 0; i < 30; ++i) g.Frame({kPadShoot});  // hanging on: no more shaking
    return g.fake.Named("Rumble").size();
}

TEST(ControllerPlayTest, ACatchRumblesOnceAndNotWhenTheOptionIsOff) {
    // Guards against a rumble that never comes, shakes every frame the wire holds, or ignores
    // the player's choice to turn it off.
    {
        Game g(GameMode::NoBlock);
        EXPECT_EQ(RumblesOfARoofCatch(g), 1u);
        ASSERT_FALSE(g.fake.Named("Rumble").empty());
        const test::Call c = g.fake.Named("Rumble").front();
        EXPECT_GT(c.args[0], 0);
        EXPECT_LE(c.args[0], 1);
        EXPECT_LE(c.args[1], 200) << "a short shake";
    }
    test::TempDir dir;
    Session session(dir / "settings.ini", CommandLine{});
    SetActiveSession(&session);
    session.SetRumble(false);
    {
        Game g(GameMode::NoBlock);
        EXPECT_EQ(RumblesOfARoofCatch(g), 0u);
    }
    SetActiveSession(nullptr);
}

// Whether a frame drew a text texture (the card's caps are text textures).
bool DrewText(const FakeEngine& fake, const std::string& text) {
    for (const char* name : {"DrawTex", "DrawTexRot"})
        for (const test::Call& c : fake.Named(name))
            if (c.file == "text:" + text) return true;
    return false;
}

TEST(ControlsCardTest, TheOpeningTeachesTheControlsOfTheDeviceInHand) {
    // Guards against a card that shows the wrong device's controls, never follows a change of
    // device, lingers into play, or covers the body when play begins.
    Game g(GameMode::Normal);
    g.fake.onAct = [&](int64_t step) {
        g.fake.SetLastDevice(step > 50 ? BRISEL_DEVICE_CONTROLLER : BRISEL_DEVICE_MOUSE_KEYBOARD);
        if (step == 2 || step == 52) g.fake.ClearCalls();
        if (step == 3) {
            EXPECT_TRUE(DrewText(g.fake, "Left button"));
            EXPECT_TRUE(DrewText(g.fake, "Space"));
            EXPECT_FALSE(DrewText(g.fake, "RT"));
        }
        if (step == 53) {
            EXPECT_TRUE(DrewText(g.fake, "RT"));
            EXPECT_TRUE(DrewText(g.fake, "Right stick"));
            EXPECT_FALSE(DrewText(g.fake, "Left button"));
        }
    };
    g.scene->Opening();
    g.fake.onAct = nullptr;
    g.fake.ClearCalls();
    ASSERT_TRUE(g.Frame());
    EXPECT_FALSE(DrewText(g.fake, "RT")) << "the card is gone once play starts";
    // The body, when play begins, is clear of the card.
    const double bx = g.W().GetBodyX() - g.scene->GetCamera().GetX();
    const double by = g.W().GetBodyY() - g.scene->GetCamera().GetY();
    const bool inside = bx > ControlsCard::kX - 100 && bx < ControlsCard::kX + ControlsCard::kW + 100 &&
                        by > ControlsCard::kY - 100 && by < ControlsCard::kY + ControlsCard::kH + 100;
    EXPECT_FALSE(inside) << "body at " << bx << ", " << by;
}

TEST(ControllerPauseTest, StartPausesTheDpadAndAChooseAndBResumes) {
    // Guards against a pause screen a controller cannot leave: B (or Start) resumes, the
    // d-pad moves the highlight from "Return Game" to "Return Title", and A picks it.
    Game g(GameMode::NoBlock);
    g.fake.SetLastDevice(BRISEL_DEVICE_CONTROLLER);
    int64_t step = 0;
    std::array<int64_t, 16> downAt{};  // the step each button goes down at; 0 never
    downAt[kPadStart] = 1;
    downAt[kPadB] = 5;
    g.fake.onAct = [&](int64_t s) {
        step = s;
        for (int64_t b = 0; b < 16; ++b) g.fake.SetPadCount(b, downAt[b] == s ? 1 : 0);
    };
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(step, 5) << "B resumed";

    downAt[kPadStart] = 7;
    downAt[kPadDown] = 9;
    downAt[kPadJump] = 11;  // A
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_FALSE(g.scene->PlayFrame()) << "A on \"Return Title\" leaves the game";
    EXPECT_EQ(step, 11);
}

}  // namespace
}  // namespace grappix
