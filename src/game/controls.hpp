// What the player asks of the game in one frame: read once from the mouse, pad 0 and the
// controller's sticks, right after the frame step, and then acted on by the play loop, which
// never asks a device itself. Another way of giving a command is one more source in
// ReadControls and, where it needs one, one more field here. The triggers need none: the engine
// makes the right one hold pad 1 (shoot) and the left one pad 2 (reel), as X and B do.
#pragma once

#include <cstdint>

namespace grappix {

class MouseInput;
class PadInput;

// Pad 0's buttons in play (the engine feeds them from the keyboard and game controllers).
inline constexpr int64_t kPadJump = 0;
inline constexpr int64_t kPadShoot = 1;
inline constexpr int64_t kPadReel = 2;
inline constexpr int64_t kPadPause = 3;

// How the right stick moves the aim marker: at a speed that grows with the square of the
// stick's deflection, up to kAimTopSpeed screen pixels a frame at full deflection, so a small
// push places the marker to the pixel and a full one crosses the screen in under half a second.
inline constexpr double kAimTopSpeed = 72;
inline constexpr double kAimScreenW = 1600, kAimScreenH = 900;  // the marker stays on screen

// Where the hook is aimed, in screen pixels: the mouse's cursor, or the marker the right stick
// moves from wherever the cursor last was. A move of the mouse puts it back on the cursor; with
// the stick at rest it stays where it is, so with the mouse alone it is always the cursor.
class AimCursor {
public:
    // One frame: the mouse's cursor and the right stick's deflection (-1..1 each axis).
    void Update(double mouseX, double mouseY, double stickX, double stickY);
    double X() const { return x; }
    double Y() const { return y; }

    // The marker's speed, screen pixels a frame, at a deflection of 0..1.
    static double Speed(double deflection);

private:
    bool started = false;
    double x = 0, y = 0;
    double mouseX = 0, mouseY = 0;  // the cursor at the last Update
};

struct Controls {
    double cursorX = 0, cursorY = 0;  // where the hook is aimed (AimCursor), screen pixels
    double moveX = 0, moveY = 0;      // the left stick, -1..1 (menus step with it)
    bool controller = false;          // the player last used a controller, not mouse or keys

    // Play. Every device is an alternative way of giving a command: given once, however many
    // of them give it in the same frame.
    bool shoot = false;     // shoot the hook at the cursor: left button or pad 1 went down
    bool takeBack = false;  // take the wire back: left button or pad 1 came up
    bool reel = false;      // start reeling in: right button or pad 2 went down
    bool reelHeld = false;  // right button or pad 2 is down
    bool letGo = false;     // let go of the wire: right button or pad 2 came up
    bool jump = false;      // jump or kick: middle button came up, or pad 0 went down
    bool pause = false;     // pause, or resume from the pause screen: pad 3 went down
    bool away = false;      // the window lost the focus or was minimised: play pauses
};

// This frame's controls, from readers already updated in this frame (and the window's state,
// which the engine counts like a button, and the sticks). The aim cursor takes this frame's
// mouse and right stick.
Controls ReadControls(const MouseInput& mouse, const PadInput& pad, AimCursor& aim);

// Whether the window lost the focus or was minimised in this frame step.
bool WentAway();

}  // namespace grappix
