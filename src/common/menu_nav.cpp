#include "common/menu_nav.hpp"

#include <algorithm>
#include <cmath>

#include "brisel.h"
#include "common/mouse_input.hpp"
#include "frame/input.hpp"

namespace grappix {

namespace {

// Pad 0's buttons as the menus read them: the arrows and the d-pad, A (or Space), B (or X),
// Start (or Escape, P) and the controller's Back.
constexpr int64_t kPadA = 0, kPadB = 2, kPadStart = 3, kPadBack = 4;
constexpr int64_t kPadUp = 12, kPadDown = 13, kPadLeft = 14, kPadRight = 15;

bool PadPressed(int64_t button) { return IsPressed(PadCount(0, button)); }
bool KeyPressed(int64_t key) { return IsPressed(KeyCount(key)); }

int EntryAt(std::span<Button> entries, double x, double y) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Contains(x, y)) return static_cast<int>(i);
    return -1;
}

}  // namespace

MenuInput ReadMenuInput(const MouseInput& mouse) {
    MenuInput in;
    in.up = PadPressed(kPadUp);
    in.down = PadPressed(kPadDown);
    in.left = PadPressed(kPadLeft);
    in.right = PadPressed(kPadRight);
    in.choose = PadPressed(kPadA) || KeyPressed(BRISEL_KEY_RETURN) || KeyPressed(BRISEL_KEY_KP_ENTER);
    in.back =
        PadPressed(kPadB) || PadPressed(kPadStart) || PadPressed(kPadBack) || KeyPressed(BRISEL_KEY_ESCAPE);
    in.stickX = PadAxisValue(BRISEL_AXIS_LEFTX);
    in.stickY = PadAxisValue(BRISEL_AXIS_LEFTY);
    in.controller = ControllerInUse();
    in.click = mouse.LeftReleased();
    in.pointerX = mouse.GetX();
    in.pointerY = mouse.GetY();
    return in;
}

void StickSteps::Step(MenuInput& in) {
    const double ax = std::abs(in.stickX), ay = std::abs(in.stickY);
    const double reach = std::max(ax, ay);
    if (!(reach >= kRest)) {  // back near the centre: the next push counts
        direction = -1;
        heldFrames = 0;
        return;
    }
    if (direction < 0 && reach < kPush) return;  // not pushed far enough yet
    // The axis pushed furthest picks the direction.
    const int now = ay >= ax ? (in.stickY < 0 ? 0 : 1) : (in.stickX < 0 ? 2 : 3);
    if (direction < 0 || now != direction) {
        if (reach < kPush) return;  // turning round the rim without pushing: wait
        direction = now;
        heldFrames = 0;
    } else {
        ++heldFrames;
        if (heldFrames < kRepeatDelay || (heldFrames - kRepeatDelay) % kRepeatEvery != 0) return;
    }
    bool* flags[4] = {&in.up, &in.down, &in.left, &in.right};
    *flags[direction] = true;
}

void MenuNav::Reset(int entry) {
    highlighted = entry;
    havePointer = false;
    stick = StickSteps{};
}

MenuNav::Result MenuNav::Update(const MenuInput& input, std::span<Button> entries) {
    MenuInput in = input;
    stick.Step(in);
    const int count = static_cast<int>(entries.size());
    if (highlighted >= count) highlighted = -1;
    // The first frame only notes where the pointer is: it has not moved yet.
    const bool moved = havePointer && (in.pointerX != lastX || in.pointerY != lastY);
    havePointer = true;
    lastX = in.pointerX;
    lastY = in.pointerY;
    if (moved) highlighted = EntryAt(entries, in.pointerX, in.pointerY);
    // A controller has no pointer: with one in hand, the first entry lights at once, so A
    // always has something to choose.
    const bool lightFirst = in.controller && highlighted < 0 && count > 0;
    if (lightFirst) highlighted = 0;

    Result r;
    if (count > 0 && (in.up || in.down) && !lightFirst) {
        // From no highlight, down starts at the top and up at the bottom; both wrap round.
        if (highlighted < 0)
            highlighted = in.down ? 0 : count - 1;
        else
            highlighted = (highlighted + (in.down ? 1 : count - 1)) % count;
    }
    if (in.back) {
        r.action = Action::Back;
    } else if (in.click && EntryAt(entries, in.pointerX, in.pointerY) >= 0) {
        highlighted = EntryAt(entries, in.pointerX, in.pointerY);
        r = {Action::Choose, highlighted, true};
    } else if (in.choose && highlighted >= 0) {
        r = {Action::Choose, highlighted, false};
    } else if ((in.left || in.right) && highlighted >= 0) {
        r = {in.left ? Action::Left : Action::Right, highlighted, false};
    }
    for (int i = 0; i < count; ++i) entries[i].SetHover(i == highlighted);
    return r;
}

}  // namespace grappix
