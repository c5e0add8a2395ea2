#include "game/controls.hpp"

#include "common/mouse_input.hpp"
#include "game/pad_input.hpp"

namespace grappix {

Controls ReadControls(const MouseInput& mouse, const PadInput& pad) {
    Controls c;
    c.cursorX = mouse.GetX();
    c.cursorY = mouse.GetY();
    c.shoot = mouse.LeftPressed() || pad.Pressed(kPadShoot);
    c.takeBack = mouse.LeftReleased() || pad.Released(kPadShoot);
    c.reel = mouse.RightPressed() || pad.Pressed(kPadReel);
    c.reelHeld = mouse.RightHeld() || pad.Held(kPadReel);
    c.letGo = mouse.RightReleased() || pad.Released(kPadReel);
    // A jump is the middle button's release but the pad button's press.
    c.jump = mouse.MiddleReleased() || pad.Pressed(kPadJump);
    c.pause = pad.Pressed(kPadPause);
    c.pick = mouse.LeftReleased();
    return c;
}

}  // namespace grappix
