// A game controller as the game sees it: SDL's virtual joystick, mapped as a game controller,
// moved and pressed the way a player's hands would, and read back through Pad, PadAxis and
// LastDevice; and the same axes and device from an input script.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>

#include "engine_support.hpp"
#include "input_script.hpp"

using namespace engine_test;
using brisel::AxisFromName;
using brisel::AxisName;
using brisel::DeviceFromName;
using brisel::DeviceName;
using brisel::ParseInputScript;
using brisel::ScriptEvent;

namespace {

// The virtual device's buttons and axes, numbered as the mapping below names them (SDL's own
// order of a game controller's buttons and axes).
enum VirtualButton {
    kA = SDL_CONTROLLER_BUTTON_A,
    kB = SDL_CONTROLLER_BUTTON_B,
    kX = SDL_CONTROLLER_BUTTON_X,
    kY = SDL_CONTROLLER_BUTTON_Y,
    kBack = SDL_CONTROLLER_BUTTON_BACK,
    kStart = SDL_CONTROLLER_BUTTON_START,
    kDpadUp = SDL_CONTROLLER_BUTTON_DPAD_UP,
    kButtonCount = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1
};
enum VirtualAxis { kLeftX, kLeftY, kRightX, kRightY, kLeftTrigger, kRightTrigger, kAxisCount };

// A controller plugged in while the engine runs: attached, given a mapping of its own (so the
// test does not lean on SDL's defaults), and opened for the test to move.
class VirtualPad {
public:
    VirtualPad() {
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, kAxisCount, kButtonCount, 0);
        if (index_ < 0) return;
        char guid[64];
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index_), guid, sizeof guid);
        const std::string mapping = std::string(guid) +
                                    ",Test pad,a:b0,b:b1,x:b2,y:b3,back:b4,guide:b5,start:b6,leftstick:b7,"
                                    "rightstick:b8,leftshoulder:b9,rightshoulder:b10,dpup:b11,dpdown:b12,"
                                    "dpleft:b13,dpright:b14,"
                                    "leftx:a0,lefty:a1,rightx:a2,righty:a3,lefttrigger:a4,righttrigger:a5,";
        SDL_GameControllerAddMapping(mapping.c_str());
        joystick_ = SDL_JoystickOpen(index_);
        // Triggers rest at the bottom of their range as SDL's joystick reports it.
        Axis(kLeftTrigger, -32768);
        Axis(kRightTrigger, -32768);
    }
    ~VirtualPad() { Unplug(); }
    bool Ready() const { return joystick_ != nullptr; }
    void Button(int b, bool down) { SDL_JoystickSetVirtualButton(joystick_, b, down ? 1 : 0); }
    void Axis(int a, int16_t v) { SDL_JoystickSetVirtualAxis(joystick_, a, v); }
    void Unplug() {
        if (joystick_ == nullptr) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }

private:
    int index_ = -1;
    SDL_Joystick* joystick_ = nullptr;
};

class EngineController : public ::testing::Test {
protected:
    void SetUp() override {
        // The headless window never has the keyboard focus, and SDL keeps controllers quiet
        // for a program without it.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        InitEngine();
        pad = std::make_unique<VirtualPad>();
        ASSERT_TRUE(pad->Ready()) << SDL_GetError();
        Engine().Act();  // the engine opens the controller as it is reported
    }
    void TearDown() override {
        pad.reset();
        Engine().Free();
    }
    std::unique_ptr<VirtualPad> pad;
};

// SDL's trigger range is 0..32767 once mapped; from the joystick's full range it maps
// -32768 .. 32767 onto that.
constexpr int16_t kTriggerHalf = 0;  // the middle of the joystick's range: half pulled

// Guards against controller buttons missing pad 0, or the mapping of pad 0 moving: A jumps,
// X shoots, B reels, Start pauses, Back goes back, the d-pad moves menus.
TEST_F(EngineController, ButtonsOfARealControllerReachPad0) {
    Api& e = Engine();
    const struct {
        int virtualButton;
        int padButton;
    } map[] = {{kA, 0}, {kX, 1}, {kB, 2}, {kStart, 3}, {kBack, 4}, {kDpadUp, 12}};
    for (auto [vb, pb] : map) {
        pad->Button(vb, true);
        e.Act();
        EXPECT_EQ(e.Pad(0, pb), 1) << "virtual button " << vb;
        e.Act();
        EXPECT_EQ(e.Pad(0, pb), 2) << "virtual button " << vb;
        pad->Button(vb, false);
        e.Act();
        EXPECT_EQ(e.Pad(0, pb), 0) << "virtual button " << vb;
    }
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_CONTROLLER);
}

// Guards against a rebound controller button missing its pad button or still holding its old
// one, and ControllerButton not naming the button pressed whatever it holds.
TEST_F(EngineController, BoundButtonsHoldTheirPadButtonsAndAreCountedByName) {
    Api& e = Engine();
    e.BindPadButton(BRISEL_DEVICE_CONTROLLER, 0, BRISEL_BUTTON_Y);  // jump on Y
    e.BindPadButton(BRISEL_DEVICE_CONTROLLER, 1, BRISEL_BUTTON_A);  // shoot on A
    const struct {
        int virtualButton;
        int64_t button;             // BRISEL_BUTTON_*
        std::vector<int64_t> pads;  // pad buttons 0 to 3 it holds
    } cases[] = {{kY, BRISEL_BUTTON_Y, {0}},
                 {kA, BRISEL_BUTTON_A, {1}},
                 {kX, BRISEL_BUTTON_X, {}},
                 {kB, BRISEL_BUTTON_B, {2}}};
    for (const auto& c : cases) {
        pad->Button(c.virtualButton, true);
        e.Act();
        EXPECT_EQ(e.ControllerButton(c.button), 1) << c.button;
        for (int64_t p = 0; p < 4; ++p)
            EXPECT_EQ(e.Pad(0, p), std::count(c.pads.begin(), c.pads.end(), p)) << c.button << " pad " << p;
        pad->Button(c.virtualButton, false);
        e.Act();
    }
    e.BindPadButton(BRISEL_DEVICE_CONTROLLER, 0, -1);
    e.BindPadButton(BRISEL_DEVICE_CONTROLLER, 1, -1);
    pad->Button(kA, true);
    e.Act();
    EXPECT_EQ(e.Pad(0, 0), 1) << "A jumps again";
    EXPECT_EQ(e.Pad(0, 1), 0) << "and no longer shoots";
}

// Guards against sticks that do not reach PadAxis, a lost sign or direction, a dead zone not
// applied (a resting stick drifting the aim), or values outside -1..1.
TEST_F(EngineController, SticksReachPadAxisPastTheDeadZone) {
    Api& e = Engine();
    pad->Axis(kRightX, 32767);
    pad->Axis(kRightY, -32768);
    pad->Axis(kLeftX, -32768);
    e.Act();
    EXPECT_NEAR(e.PadAxis(BRISEL_AXIS_RIGHTX), 0.7071, 1e-3) << "full travel diagonally: length 1";
    EXPECT_NEAR(e.PadAxis(BRISEL_AXIS_RIGHTY), -0.7071, 1e-3);
    EXPECT_DOUBLE_EQ(e.PadAxis(BRISEL_AXIS_LEFTX), -1.0);
    EXPECT_DOUBLE_EQ(e.PadAxis(BRISEL_AXIS_LEFTY), 0.0);
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_CONTROLLER);

    // A stick resting a little off centre (worn springs) reads 0 on both axes.
    pad->Axis(kRightX, 3000);
    pad->Axis(kRightY, -3000);
    pad->Axis(kLeftX, 0);
    e.Act();
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_RIGHTX), 0.0);
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_RIGHTY), 0.0);
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_LEFTX), 0.0);
    // Halfway between the zone's edge and the rim reads one half.
    pad->Axis(kLeftY, int16_t(std::lround(32767 * 0.6)));
    e.Act();
    EXPECT_NEAR(e.PadAxis(BRISEL_AXIS_LEFTY), 0.5, 1e-3);
    EXPECT_EQ(e.PadAxis(-1), 0.0);
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_COUNT), 0.0);
}

// Guards against the triggers missing their pad buttons: the right one shoots (pad 1) and the
// left one reels (pad 2) while held, as X and B do, and a trigger resting near the line does
// not flicker the button.
TEST_F(EngineController, TriggersHoldShootAndReelWhilePulled) {
    Api& e = Engine();
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_RIGHTTRIGGER), 0.0) << "a trigger at rest";
    pad->Axis(kRightTrigger, 32767);
    e.Act();
    EXPECT_DOUBLE_EQ(e.PadAxis(BRISEL_AXIS_RIGHTTRIGGER), 1.0);
    EXPECT_EQ(e.Pad(0, 1), 1);
    EXPECT_EQ(e.Pad(0, 2), 0);
    e.Act();
    EXPECT_EQ(e.Pad(0, 1), 2);
    // Let off to just under the press line: still held (it lets go lower down).
    pad->Axis(kRightTrigger, kTriggerHalf);
    e.Act();
    EXPECT_GT(e.PadAxis(BRISEL_AXIS_RIGHTTRIGGER), 0.3);
    EXPECT_LT(e.PadAxis(BRISEL_AXIS_RIGHTTRIGGER), 0.5);
    EXPECT_EQ(e.Pad(0, 1), 3);
    pad->Axis(kRightTrigger, -32768);
    e.Act();
    EXPECT_EQ(e.Pad(0, 1), 0);

    pad->Axis(kLeftTrigger, 32767);
    e.Act();
    EXPECT_EQ(e.Pad(0, 2), 1);
    EXPECT_EQ(e.Pad(0, 1), 0);
    // The button X holds pad 1 as well; letting the trigger go leaves X's hold alone.
    pad->Button(kX, true);
    pad->Axis(kLeftTrigger, -32768);
    e.Act();
    EXPECT_EQ(e.Pad(0, 2), 0);
    EXPECT_EQ(e.Pad(0, 1), 1);
}

// Guards against a controller's sticks and buttons staying held after it is unplugged.
TEST_F(EngineController, UnpluggingLetsEverythingGo) {
    Api& e = Engine();
    pad->Axis(kRightX, 32767);
    pad->Axis(kRightTrigger, 32767);
    pad->Button(kA, true);
    e.Act();
    ASSERT_EQ(e.PadAxis(BRISEL_AXIS_RIGHTX), 1.0);
    ASSERT_EQ(e.Pad(0, 0), 1);
    pad->Unplug();
    e.Act();
    EXPECT_EQ(e.PadAxis(BRISEL_AXIS_RIGHTX), 0.0);
    EXPECT_EQ(e.Pad(0, 0), 0);
    EXPECT_EQ(e.Pad(0, 1), 0);
}

// Guards against LastDevice not following the hands: the mouse or a key after the controller
// makes it the mouse and keyboard again, a stick inside its dead zone changes nothing.
TEST_F(EngineController, LastDeviceFollowsTheDeviceUsed) {
    Api& e = Engine();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_MOUSE_KEYBOARD);
    pad->Button(kA, true);
    e.Act();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_CONTROLLER);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 10;
    motion.motion.y = 20;
    SDL_PushEvent(&motion);
    e.Act();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_MOUSE_KEYBOARD);
    pad->Axis(kLeftX, 2000);  // drift
    e.Act();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_MOUSE_KEYBOARD);
    pad->Axis(kLeftX, 20000);
    e.Act();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_CONTROLLER);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_z;
    key.key.keysym.scancode = SDL_SCANCODE_Z;
    SDL_PushEvent(&key);
    e.Act();
    EXPECT_EQ(e.LastDevice(), BRISEL_DEVICE_MOUSE_KEYBOARD);
}

// Guards against Rumble failing on a controller without motors, on no controller, or on
// strengths and durations out of range (it is output only and never raises).
TEST_F(EngineController, RumbleAsksNothingOfTheGame) {
    Api& e = Engine();
    EXPECT_NO_THROW(e.Rumble(0.5, 120));
    EXPECT_NO_THROW(e.Rumble(std::nan(""), 120));
    EXPECT_NO_THROW(e.Rumble(7, -5));
    pad->Unplug();
    e.Act();
    EXPECT_NO_THROW(e.Rumble(1, 100000));
}

class EngineAxisScript : public ::testing::Test {
protected:
    void TearDown() override { Engine().Free(); }
    void Script(const std::string& text) {
        box.Write("input.txt", text);
        setenv("BRISEL_INPUT", box.Path("input.txt").c_str(), 1);
    }
    Sandbox box;
};

// Guards against scripted axes not reaching the game as written (they are the game's view,
// so no dead zone), triggers in a script not holding their buttons, or the device used last
// not being replayable: a device line sets it, axis and mouse lines imply it.
TEST_F(EngineAxisScript, AxisAndDeviceLinesReplayWhatTheGameRead) {
    Script(
        "2 axis rightx -0.25\n"
        "2 axis righttrigger 1\n"
        "3 axis righttrigger 0.4\n"  // above the letting-go line: still held
        "4 axis righttrigger 0\n"
        "5 mouse 100 100\n"
        "6 device controller\n"
        "7 down pad0\n"
        "8 device mouse-keyboard\n"
        "8 axis leftx 0.05\n"  // a stick written as the game read it: past the zone already
        "9 device mouse-keyboard\n");
    InitEngine();
    Api& e = Engine();
    std::vector<double> rightx, trigger, leftx;
    std::vector<int64_t> shoot, device;
    for (int i = 0; i < 9; ++i) {
        e.Act();
        rightx.push_back(e.PadAxis(BRISEL_AXIS_RIGHTX));
        trigger.push_back(e.PadAxis(BRISEL_AXIS_RIGHTTRIGGER));
        leftx.push_back(e.PadAxis(BRISEL_AXIS_LEFTX));
        shoot.push_back(e.Pad(0, 1));
        device.push_back(e.LastDevice());
    }
    EXPECT_EQ(rightx, (std::vector<double>{0, -0.25, -0.25, -0.25, -0.25, -0.25, -0.25, -0.25, -0.25}));
    EXPECT_EQ(trigger, (std::vector<double>{0, 1, 0.4, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(leftx, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0.05, 0.05}));
    EXPECT_EQ(shoot, (std::vector<int64_t>{0, 1, 2, 0, 0, 0, 0, 0, 0}));
    const int64_t M = BRISEL_DEVICE_MOUSE_KEYBOARD, C = BRISEL_DEVICE_CONTROLLER;
    // An axis line moved off 0 is a controller; a pad line could be either and changes
    // nothing; lines of one step apply in order.
    EXPECT_EQ(device, (std::vector<int64_t>{M, C, C, C, M, C, C, C, M}));
}

// Guards against malformed axis and device lines being taken, or their messages not naming
// the line and what is wrong.
TEST(InputScriptAxes, AxisAndDeviceLinesParseAndBadOnesNameTheLine) {
    auto parsed = ParseInputScript("3 axis lefty -1\n4 axis lefttrigger 0.5\n5 device controller\n", "s.txt");
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.events.size(), 3u);
    EXPECT_EQ(parsed.events[0].type, ScriptEvent::Type::Axis);
    EXPECT_EQ(parsed.events[0].button, BRISEL_AXIS_LEFTY);
    EXPECT_EQ(parsed.events[0].x, -1.0);
    EXPECT_EQ(parsed.events[1].button, BRISEL_AXIS_LEFTTRIGGER);
    EXPECT_EQ(parsed.events[2].type, ScriptEvent::Type::Device);
    EXPECT_EQ(parsed.events[2].button, BRISEL_DEVICE_CONTROLLER);

    const std::pair<const char*, const char*> bad[] = {
        {"1 axis", "s.txt:1: axis needs an axis and a value"},
        {"1 axis leftz 0",
         "s.txt:1: unknown axis 'leftz' (leftx, lefty, rightx, righty, lefttrigger or righttrigger)"},
        {"1 axis leftx 1.5", "s.txt:1: a stick's value runs from -1 to 1, not '1.5'"},
        {"1 axis leftx nan", "s.txt:1: axis value is not a number: 'nan'"},
        {"1 axis righttrigger -0.5", "s.txt:1: a trigger's value runs from 0 to 1, not '-0.5'"},
        {"1 axis rightx 0.5 0.5", "s.txt:1: unexpected '0.5' at end of line"},
        {"1 device", "s.txt:1: device needs controller or mouse-keyboard"},
        {"1 device joystick", "s.txt:1: unknown device 'joystick' (controller or mouse-keyboard)"},
    };
    for (auto [text, message] : bad) EXPECT_EQ(ParseInputScript(text, "s.txt").error, message) << text;

    // The names a recorder writes read back as the same axis and device.
    for (int a = 0; a < BRISEL_AXIS_COUNT; ++a) EXPECT_EQ(AxisFromName(AxisName(a)), a);
    for (int d : {BRISEL_DEVICE_MOUSE_KEYBOARD, BRISEL_DEVICE_CONTROLLER})
        EXPECT_EQ(DeviceFromName(DeviceName(d)), d);
    EXPECT_EQ(AxisName(BRISEL_AXIS_COUNT), nullptr);
    EXPECT_EQ(DeviceName(2), nullptr);
}

}  // namespace
