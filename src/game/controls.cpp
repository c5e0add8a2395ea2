#include "game/controls.hpp"

#include <algorithm>
#include <cmath>

#include "brisel.h"
#include "common/mouse_input.hpp"
#include "frame/input.hpp"
#include "game/pad_input.hpp"
#include "portable_maths.hpp"

namespace grappix {

void AimCursor::Update(double newMouseX, double newMouseY, double stickX, double stickY) {
    if (!started || newMouseX != mouseX || newMouseY != mouseY) {
        x = newMouseX;
        y = newMouseY;
    }
    started = true;
    mouseX = newMouseX;
    mouseY = newMouseY;
    const double deflection = std::min(1.0, portable::Hypot(stickX, stickY));
    if (!(deflection > 0)) return;  // at rest (or no number): the marker stays
    const double step = Speed(deflection) / portable::Hypot(stickX, stickY);
    x = std::clamp(x + stickX * step, 0.0, kAimScreenW);
    y = std::clamp(y + stickY * step, 0.0, kAimScreenH);
}

double AimCursor::Speed(double deflection) {
    const double d = std::clamp(deflection, 0.0, 1.0);
    return kAimTopSpeed * d * d;
}

Controls ReadControls(const MouseInput& mouse, const PadInput& pad, AimCursor& aim) {
    Controls c;
    aim.Update(mouse.GetX(), mouse.GetY(), PadAxisValue(BRISEL_AXIS_RIGHTX),
               PadAxisValue(BRISEL_AXIS_RIGHTY));
    c.cursorX = aim.X();
    c.cursorY = aim.Y();
    c.moveX = PadAxisValue(BRISEL_AXIS_LEFTX);
    c.moveY = PadAxisValue(BRISEL_AXIS_LEFTY);
    c.controller = ControllerInUse();
    c.shoot = mouse.LeftPressed() || pad.Pressed(kPadShoot);
    c.takeBack = mouse.LeftReleased() || pad.Released(kPadShoot);
    c.reel = mouse.RightPressed() || pad.Pressed(kPadReel);
    c.reelHeld = mouse.RightHeld() || pad.Held(kPadReel);
    c.letGo = mouse.RightReleased() || pad.Released(kPadReel);
    // A jump is the middle button's release but the pad button's press.
    c.jump = mouse.MiddleReleased() || pad.Pressed(kPadJump);
    c.pause = pad.Pressed(kPadPause);
    c.away = WentAway();
    return c;
}

bool WentAway() {
    return IsPressed(WindowStateCount(BRISEL_WINDOW_UNFOCUSED)) ||
           IsPressed(WindowStateCount(BRISEL_WINDOW_MINIMISED));
}

}  // namespace grappix
