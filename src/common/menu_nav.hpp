// Moving through a menu with any device. The mouse points at an entry and a left-button
// release picks it; the arrow keys, the d-pad or the left stick move a highlight from entry to
// entry (the stick one step a push, repeating while it is held over), Enter,
// Space or the controller's A choose the highlighted one, and Escape or the controller's B go
// back. Whichever device was used last holds the highlight: moving the mouse hands it back to
// the pointer. A menu owns one MenuNav over its buttons and asks it once a frame what to do.
#pragma once

#include <cstdint>
#include <span>

#include "common/button.hpp"

namespace grappix {

class MouseInput;

// What moves a menu in one frame.
struct MenuInput {
    bool up = false, down = false, left = false, right = false;  // arrows or d-pad went down
    double stickX = 0, stickY = 0;      // the left stick, -1..1 (MenuNav turns it into steps)
    bool controller = false;            // a controller was used last: something must be lit
    bool choose = false;                // Enter, Space or controller A went down
    bool back = false;                  // Escape, P, controller B, Start or Back went down
    bool click = false;                 // the left mouse button came up
    double pointerX = 0, pointerY = 0;  // the mouse, screen pixels
};

// This frame's menu input: pad 0 (keyboard and controllers), the keys, the left stick, and a
// mouse reader updated in this frame.
MenuInput ReadMenuInput(const MouseInput& mouse);

// The left stick as arrow presses: a push past kPush towards one side is one step that way;
// held there, it steps again after kRepeatDelay frames and then every kRepeatEvery frames; it
// must come back inside kRest before the next push counts (so a stick springing back through
// the centre and a little past it does not step back).
class StickSteps {
public:
    static constexpr double kPush = 0.5, kRest = 0.3;
    static constexpr int64_t kRepeatDelay = 24, kRepeatEvery = 8;

    // One frame of the stick; sets in's up, down, left or right for a step (and leaves the
    // arrows already set alone).
    void Step(MenuInput& in);

private:
    int direction = -1;  // 0 up, 1 down, 2 left, 3 right; -1 at rest
    int64_t heldFrames = 0;
};

class MenuNav {
public:
    enum class Action {
        None,
        Choose,  // the entry was picked: a click on it, or Enter / A on the highlight
        Back,    // leave the menu
        Left,    // the highlighted entry asked to go down (a volume, say)
        Right    // ... or up
    };
    struct Result {
        Action action = Action::None;
        int entry = -1;          // the entry concerned, -1 for none (always -1 for Back)
        bool byPointer = false;  // Choose: by a click, at the pointer (not by a key)
    };

    // Starts over with no highlight (or the given entry highlighted, for a menu opened by
    // keyboard or controller).
    void Reset(int highlighted = -1);

    // Reads one frame's input against the menu's entries, lights the highlighted one (and
    // only it), and says what the player did.
    Result Update(const MenuInput& in, std::span<Button> entries);

    int Highlighted() const { return highlighted; }  // -1: none

private:
    int highlighted = -1;
    StickSteps stick;
    bool havePointer = false;
    double lastX = 0, lastY = 0;
};

}  // namespace grappix
