// MouseInput and Camera: the per-frame mouse flags and the view position.
#include <gtest/gtest.h>

#include "common/camera.hpp"
#include "common/mouse_input.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

struct Flags {
    bool held, pressed, released;
    bool operator==(const Flags&) const = default;
};

Flags Left(const MouseInput& m) { return {m.LeftHeld(), m.LeftPressed(), m.LeftReleased()}; }
Flags Right(const MouseInput& m) { return {m.RightHeld(), m.RightPressed(), m.RightReleased()}; }
Flags Middle(const MouseInput& m) { return {m.MiddleHeld(), m.MiddlePressed(), m.MiddleReleased()}; }

TEST(MouseInputTest, PressHoldAndASingleRelease) {
    // Guards against a missed or doubled release (a shot that never ends, a double jump).
    FakeEngine fake;
    MouseInput m;
    m.Init();
    const int64_t counts[] = {0, 1, 2, 0, 0};
    const Flags want[] = {{false, false, false},
                          {true, true, false},
                          {true, false, false},
                          {false, false, true},
                          {false, false, false}};
    for (int f = 0; f < 5; ++f) {
        fake.SetMouseCount(0, counts[f]);
        m.Update();
        EXPECT_EQ(Left(m), want[f]) << "frame " << f;
        EXPECT_EQ(Right(m), (Flags{false, false, false}));
    }
}

TEST(MouseInputTest, ButtonsAreIndependentAndAHeldStartIsNotAPress) {
    FakeEngine fake;
    MouseInput m;
    fake.SetMouseCount(1, 5);  // already down when the scene starts
    fake.SetMouseCount(2, 1);
    m.Update();
    EXPECT_EQ(Right(m), (Flags{true, false, false}));
    EXPECT_EQ(Middle(m), (Flags{true, true, false}));
    EXPECT_EQ(Left(m), (Flags{false, false, false}));

    fake.SetMouseCount(1, 0);
    fake.SetMouseCount(2, 2);
    m.Update();
    EXPECT_EQ(Right(m), (Flags{false, false, true}));
    EXPECT_EQ(Middle(m), (Flags{true, false, false}));
    m.Update();
    EXPECT_EQ(Right(m), (Flags{false, false, false}));

    fake.SetMouseCount(2, 0);  // up and down again between two frames: both are seen
    m.Update();
    fake.SetMouseCount(2, 1);
    m.Update();
    EXPECT_EQ(Middle(m), (Flags{true, true, false}));
}

TEST(MouseInputTest, ReadsEachButtonOnceThenTheCursor) {
    FakeEngine fake;
    MouseInput m;
    fake.SetCursor(812.5, 33);
    m.Update();
    EXPECT_EQ(m.GetX(), 812.5);
    EXPECT_EQ(m.GetY(), 33.0);
    ASSERT_EQ(fake.calls.size(), 5u);
    for (int b = 0; b < 3; ++b) {
        EXPECT_EQ(fake.calls[b].name, "Mouse");
        EXPECT_EQ(fake.calls[b].args[0], b);
    }
    EXPECT_EQ(fake.calls[3].name, "MouseX");
    EXPECT_EQ(fake.calls[4].name, "MouseY");
    fake.SetCursor(0, 0);
    EXPECT_EQ(m.GetX(), 812.5);  // the frame's reading holds until the next Update
}

TEST(CameraTest, InitAndSetPos) {
    Camera c;
    c.Init(0, -900);
    EXPECT_EQ(c.GetX(), 0.0);
    EXPECT_EQ(c.GetY(), -900.0);
    c.SetPos(5, -900);
    EXPECT_EQ(c.GetX(), 5.0);
    EXPECT_EQ(c.GetY(), -900.0);
}

}  // namespace
}  // namespace grappix
