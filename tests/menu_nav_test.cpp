// Moving through a menu with the mouse, the keyboard and a controller.
#include <gtest/gtest.h>

#include <array>

#include "common/menu_nav.hpp"
#include "common/mouse_input.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using Action = MenuNav::Action;
using test::FakeEngine;

// Three entries stacked at y = 100, 200, 300, each 80 high and 400 wide at x = 100.
struct Menu {
    std::array<Button, 3> entries;
    MenuNav nav;
    Menu() {
        for (int i = 0; i < 3; ++i) {
            entries[i].InitColors();
            entries[i].SetRect(100, 100 + 100 * i, 400, 80);
        }
        nav.Reset();
    }
    MenuNav::Result Frame(MenuInput in) { return nav.Update(in, entries); }
    int Lit() const {  // the one entry drawn lit, -1 for none; -2 when more than one is
        int lit = -1;
        for (int i = 0; i < 3; ++i)
            if (entries[i].GetState() == ButtonState::Hover) lit = lit == -1 ? i : -2;
        return lit;
    }
};

MenuInput At(double x, double y) {
    MenuInput in;
    in.pointerX = x;
    in.pointerY = y;
    return in;
}

TEST(MenuNavTest, ArrowsMoveTheHighlightRoundAndEnterChoosesIt) {
    // Guards against a highlight that sticks at an end, lights two entries, or chooses
    // nothing (or something) without being on an entry.
    Menu m;
    MenuInput in = At(0, 0);
    in.choose = true;
    EXPECT_EQ(m.Frame(in).action, Action::None) << "nothing highlighted: nothing to choose";
    EXPECT_EQ(m.Lit(), -1);
    in = At(0, 0);
    in.down = true;
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 0) << "down starts at the top";
    m.Frame(in);
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 2);
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 0) << "and wraps round";
    in = At(0, 0);
    in.up = true;
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 2);
    in = At(0, 0);
    in.choose = true;
    MenuNav::Result r = m.Frame(in);
    EXPECT_EQ(r.action, Action::Choose);
    EXPECT_EQ(r.entry, 2);
    EXPECT_FALSE(r.byPointer);

    Menu fresh;
    in = At(0, 0);
    in.up = true;
    fresh.Frame(in);
    EXPECT_EQ(fresh.Lit(), 2) << "up starts at the bottom";
}

TEST(MenuNavTest, TheMouseTakesTheHighlightBackWhenItMovesAndClicksPickWhatItPoints) {
    // Guards against a keyboard highlight that a still mouse steals every frame, or that a
    // moving mouse cannot take back.
    Menu m;
    m.Frame(At(300, 230));  // the first frame only notes where the pointer is
    EXPECT_EQ(m.Lit(), -1);
    MenuInput in = At(300, 230);
    in.down = true;
    m.Frame(in);
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 1);
    m.Frame(At(300, 230));
    EXPECT_EQ(m.Lit(), 1) << "a pointer that did not move leaves the highlight alone";
    m.Frame(At(300, 330));
    EXPECT_EQ(m.Lit(), 2) << "moving onto an entry lights it";
    m.Frame(At(700, 330));
    EXPECT_EQ(m.Lit(), -1) << "moving off every entry lights none";

    in = At(700, 330);
    in.click = true;
    EXPECT_EQ(m.Frame(in).action, Action::None) << "a click beside the menu picks nothing";
    in = At(120, 110);
    in.click = true;
    MenuNav::Result r = m.Frame(in);
    EXPECT_EQ(r.action, Action::Choose);
    EXPECT_EQ(r.entry, 0);
    EXPECT_TRUE(r.byPointer);
}

TEST(MenuNavTest, BackAndSidewaysNeedNoHighlightAndAHighlightRespectively) {
    // Guards against Escape doing nothing until an entry is lit, and left/right changing an
    // entry nobody chose.
    Menu m;
    MenuInput in = At(0, 0);
    in.back = true;
    EXPECT_EQ(m.Frame(in).action, Action::Back);
    in = At(0, 0);
    in.right = true;
    EXPECT_EQ(m.Frame(in).action, Action::None);
    m.nav.Reset(1);
    MenuNav::Result r = m.Frame(in);
    EXPECT_EQ(r.action, Action::Right);
    EXPECT_EQ(r.entry, 1);
    in.right = false;
    in.left = true;
    EXPECT_EQ(m.Frame(in).action, Action::Left);
    in.back = true;  // back wins over everything else in its frame
    EXPECT_EQ(m.Frame(in).action, Action::Back);
}

TEST(MenuNavTest, MenuInputReadsTheKeyboardPadAndController) {
    // Guards against a device left out: arrows and d-pad (pad 12 to 15), Enter and A, Escape,
    // B, Start and Back, and the mouse's release.
    FakeEngine fake;
    MouseInput mouse;
    auto read = [&] {
        mouse.Update();
        return ReadMenuInput(mouse);
    };
    EXPECT_FALSE(read().down);
    fake.SetPadCount(13, 1);
    EXPECT_TRUE(read().down);
    fake.SetPadCount(13, 2);
    EXPECT_FALSE(read().down) << "only the step it went down";
    fake.SetPadCount(12, 1);
    fake.SetPadCount(14, 1);
    fake.SetPadCount(15, 1);
    MenuInput in = read();
    EXPECT_TRUE(in.up && in.left && in.right);
    for (int64_t key : {BRISEL_KEY_RETURN, BRISEL_KEY_KP_ENTER}) {
        fake.SetKeyCount(key, 1);
        EXPECT_TRUE(read().choose);
        fake.SetKeyCount(key, 0);
    }
    fake.SetPadCount(0, 1);
    EXPECT_TRUE(read().choose);
    fake.SetKeyCount(BRISEL_KEY_ESCAPE, 1);
    EXPECT_TRUE(read().back);
    fake.SetKeyCount(BRISEL_KEY_ESCAPE, 0);
    for (int64_t pad : {2, 3, 4}) {
        fake.SetPadCount(pad, 1);
        EXPECT_TRUE(read().back) << "pad " << pad;
        fake.SetPadCount(pad, 0);
    }
    EXPECT_FALSE(read().back);
    fake.SetCursor(40, 50);
    fake.SetMouseCount(0, 1);
    EXPECT_FALSE(read().click);
    fake.SetMouseCount(0, 0);
    in = read();
    EXPECT_TRUE(in.click);
    EXPECT_EQ(in.pointerX, 40);
    EXPECT_EQ(in.pointerY, 50);
    // The left stick and the device in hand come through for MenuNav.
    fake.SetAxis(BRISEL_AXIS_LEFTX, -0.75);
    fake.SetAxis(BRISEL_AXIS_LEFTY, 0.5);
    fake.SetLastDevice(BRISEL_DEVICE_CONTROLLER);
    in = read();
    EXPECT_EQ(in.stickX, -0.75);
    EXPECT_EQ(in.stickY, 0.5);
    EXPECT_TRUE(in.controller);
}

MenuInput Stick(double x, double y) {
    MenuInput in;
    in.stickX = x;
    in.stickY = y;
    return in;
}

TEST(MenuNavStickTest, OnePushIsOneStepAndHoldingRepeatsSlowly) {
    // Guards against a stick that races through a menu (a step every frame it is held), one
    // that steps back as it springs home past the centre, and one that cannot repeat.
    Menu m;
    m.Frame(Stick(0, 0.3));
    EXPECT_EQ(m.Lit(), -1) << "a light touch is no push";
    m.Frame(Stick(0, 0.9));
    EXPECT_EQ(m.Lit(), 0);
    for (int i = 0; i < 10; ++i) m.Frame(Stick(0, 0.9));
    EXPECT_EQ(m.Lit(), 0) << "held: no step before the repeat delay";
    m.Frame(Stick(0, 0.4));  // easing off, still outside the rest zone: not a new push
    m.Frame(Stick(0, 0.9));
    EXPECT_EQ(m.Lit(), 0);
    m.Frame(Stick(0, 0.1));   // home
    m.Frame(Stick(0, -0.2));  // springing a little past the centre
    m.Frame(Stick(0, 0));
    EXPECT_EQ(m.Lit(), 0);
    m.Frame(Stick(0.1, 0.8));
    EXPECT_EQ(m.Lit(), 1) << "a new push, mostly down";

    // Held down: the next step after the repeat delay, then one every kRepeatEvery frames.
    int steps = 0, lit = m.Lit();
    for (int64_t i = 1; i <= StickSteps::kRepeatDelay + 2 * StickSteps::kRepeatEvery; ++i) {
        m.Frame(Stick(0, 1));
        if (m.Lit() != lit) ++steps, lit = m.Lit();
    }
    EXPECT_EQ(steps, 3);
    m.Frame(Stick(0, 0));
    m.Frame(Stick(0, -1));
    EXPECT_EQ(m.Lit(), (lit + 2) % 3) << "up steps back";
}

TEST(MenuNavStickTest, AControllerInHandLightsTheFirstEntryForA) {
    // Guards against a menu that a controller alone cannot start in: with nothing lit, A
    // would have nothing to choose, so the first entry lights as soon as a controller is used.
    Menu m;
    MenuInput in;
    in.controller = true;
    in.choose = true;
    EXPECT_EQ(m.Frame(in).action, Action::Choose);
    EXPECT_EQ(m.Lit(), 0);
    in.choose = false;
    in.down = true;
    m.Frame(in);
    EXPECT_EQ(m.Lit(), 1);
    in.down = false;
    in.controller = false;  // the mouse, moved off the menu, takes it back: nothing lit
    in.pointerX = 900;
    m.Frame(in);
    EXPECT_EQ(m.Lit(), -1);
}

}  // namespace
}  // namespace grappix
