// What the player asks of the game in one frame: read once from the mouse and pad 0, right
// after the frame step, and then acted on by the play loop and the pause screen, which never
// ask a device themselves. Another way of giving a command (a stick, a trigger, a key) is one
// more source in ReadControls and, where it needs one, one more field here.
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

struct Controls {
    double cursorX = 0, cursorY = 0;  // the cursor, screen pixels

    // Play. Every device is an alternative way of giving a command: given once, however many
    // of them give it in the same frame.
    bool shoot = false;     // shoot the hook at the cursor: left button or pad 1 went down
    bool takeBack = false;  // take the wire back: left button or pad 1 came up
    bool reel = false;      // start reeling in: right button or pad 2 went down
    bool reelHeld = false;  // right button or pad 2 is down
    bool letGo = false;     // let go of the wire: right button or pad 2 came up
    bool jump = false;      // jump or kick: middle button came up, or pad 0 went down
    bool pause = false;     // pause, or resume from the pause screen: pad 3 went down

    // Menus.
    bool pick = false;  // the left button came up: picks the entry under the cursor
};

// This frame's controls, from readers already updated in this frame.
Controls ReadControls(const MouseInput& mouse, const PadInput& pad);

}  // namespace grappix
