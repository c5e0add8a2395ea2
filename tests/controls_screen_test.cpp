// The controls page on the fake engine: binding keys and controller buttons through the page
// as a player does, the swaps, refusals and cancels, what the engine is told, and the file.
#include <gtest/gtest.h>

#include <vector>

#include "fake/fake_engine.hpp"
#include "frame/session.hpp"
#include "options/controls_screen.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;
using test::ReadFile;
using test::TempDir;

struct Press {
    bool button;  // a controller button (BRISEL_BUTTON_*), else a key (BRISEL_KEY_*)
    int64_t code;
};
constexpr Press KeyPress(int64_t k) { return {false, k}; }
constexpr Press ButtonPress(int64_t b) { return {true, b}; }

int64_t Bound(FakeEngine& fake, int64_t device, int64_t button) { return fake.bound[{device, button}]; }

// The entries of the page: a device's first, plus an action.
constexpr int Entry(int first, BoundAction action) { return first + static_cast<int>(action); }

struct Step {
    int entry;                   // chosen with a click; -1 goes on waiting
    std::vector<Press> presses;  // one a frame, after the click
    BindingNames keys, buttons;  // then in force
    bool waiting;                // still waiting for a key or button
};

TEST(ControlsScreenTest, BindingsSwapNeverLoseAnActionRefuseFixedKeysAndSurviveARestart) {
    // Guards against a key bound to two actions (one of them lost), a fixed key (Escape, M,
    // Ctrl, Back, a trigger) taken as a binding, a cancel that binds, the engine left on the
    // old keys, and bindings forgotten at the next run or not reset.
    FakeEngine fake;
    TempDir dir;
    const std::string path = dir / "settings.ini";
    Session session(path, CommandLine{});
    SetActiveSession(&session);
    session.ApplyAfterInit();
    ControlsScreen screen;
    screen.Frame();
    constexpr int kKeyJump = Entry(ControlsScreen::kKeyFirst, kBindJump),
                  kKeyReel = Entry(ControlsScreen::kKeyFirst, kBindReel);
    constexpr int kKeyPause = Entry(ControlsScreen::kKeyFirst, kBindPause);
    constexpr int kPadJump = Entry(ControlsScreen::kButtonFirst, kBindJump);
    constexpr int kPadShoot = Entry(ControlsScreen::kButtonFirst, kBindShoot);
    constexpr int kPadReel = Entry(ControlsScreen::kButtonFirst, kBindReel);
    const BindingNames keys1 = {"Space", "X", "Z", "P"}, keys2 = {"Space", "Left Shift", "Z", "P"};
    const BindingNames pads1 = {"X", "B", "Y", "Start"}, pads2 = {"Y", "B", "X", "Start"};
    const Step steps[] = {
        {kKeyJump, {KeyPress(BRISEL_KEY_Z)}, keys1, kDefaultButtons, false},       // swapped with shoot
        {kKeyReel, {KeyPress(BRISEL_KEY_ESCAPE)}, keys1, kDefaultButtons, false},  // cancelled
        {kKeyReel, {KeyPress(BRISEL_KEY_M)}, keys1, kDefaultButtons, true},        // refused, waits on
        {-1, {KeyPress(BRISEL_KEY_LSHIFT)}, keys2, kDefaultButtons, false},        // bound
        {kKeyPause, {KeyPress(BRISEL_KEY_LCTRL), KeyPress(BRISEL_KEY_ESCAPE)}, keys2, kDefaultButtons, false},
        {kPadJump,
         {KeyPress(BRISEL_KEY_Q), ButtonPress(BRISEL_BUTTON_Y)},
         keys2,
         pads1,
         false},                                                           // a key is no button
        {kPadShoot, {ButtonPress(BRISEL_BUTTON_Y)}, keys2, pads2, false},  // swapped with jump
        {kPadReel, {ButtonPress(BRISEL_BUTTON_RT), ButtonPress(BRISEL_BUTTON_DPAD_UP)}, keys2, pads2, true},
        {-1, {ButtonPress(BRISEL_BUTTON_BACK)}, keys2, pads2, false},  // Back cancels
    };
    auto click = [&](int entry) {
        const Button& b = screen.EntryButton(entry);
        fake.SetCursor(b.GetX() + 10, b.GetY() + 10);
        fake.SetMouseCount(0, 1);
        screen.Frame();
        fake.SetMouseCount(0, 0);
        screen.Frame();
    };
    for (const Step& step : steps) {
        if (step.entry >= 0) click(step.entry);  // now waiting
        for (const Press& p : step.presses) {
            if (p.button)
                fake.SetButtonCount(p.code, 1);
            else
                fake.SetKeyCount(p.code, 1);
            screen.Frame();
            fake.SetButtonCount(p.code, 0);
            fake.SetKeyCount(p.code, 0);
        }
        EXPECT_EQ(session.Current().keys, step.keys) << "entry " << step.entry;
        EXPECT_EQ(session.Current().buttons, step.buttons) << "entry " << step.entry;
        EXPECT_EQ(screen.Waiting() >= 0, step.waiting) << "entry " << step.entry;
        if (step.waiting) {
            EXPECT_NE(screen.Note().find("stay as they are"), std::string::npos) << screen.Note();
        }
    }
    // The engine holds the same: keys by their names, a default as -1.
    EXPECT_EQ(Bound(fake, BRISEL_DEVICE_MOUSE_KEYBOARD, 0), BRISEL_KEY_Z);
    EXPECT_EQ(Bound(fake, BRISEL_DEVICE_MOUSE_KEYBOARD, 1), BRISEL_KEY_SPACE);
    EXPECT_EQ(Bound(fake, BRISEL_DEVICE_MOUSE_KEYBOARD, 3), -1);
    EXPECT_EQ(Bound(fake, BRISEL_DEVICE_CONTROLLER, 1), BRISEL_BUTTON_Y);

    Session restarted(path, CommandLine{});
    EXPECT_EQ(restarted.Current().keys, keys2);
    EXPECT_EQ(restarted.Current().buttons, pads2);

    click(ControlsScreen::kReset);
    EXPECT_EQ(Session(path, CommandLine{}).Current(), Settings{}) << ReadFile(path);
    EXPECT_EQ(Bound(fake, BRISEL_DEVICE_CONTROLLER, 1), -1);
    SetActiveSession(nullptr);
}

}  // namespace
}  // namespace grappix
