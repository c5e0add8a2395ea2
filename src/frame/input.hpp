// Button counts and the flags derived from them, and the cursor.
//
// The engine reports each mouse or pad button as a count: 0 while up, then 1, 2, 3 ... for
// each frame it has been down. Held is a count above 0, pressed a count of exactly 1, and
// released a count below the one read the frame before.
#pragma once

#include <cstdint>

namespace grappix {

int64_t ButtonCount(int64_t button);            // mouse: 0 left, 1 right, 2 middle
int64_t PadCount(int64_t pad, int64_t button);  // pad buttons as the engine numbers them
double MouseX();                                // cursor, screen pixels
double MouseY();

// Keys (BRISEL_KEY_*) and the window's state (BRISEL_WINDOW_*), counted as the buttons are.
// An engine without these extensions reports 0: nothing pressed, the window always there.
int64_t KeyCount(int64_t key);
// A controller's own button (BRISEL_BUTTON_*), whatever action it is bound to.
int64_t ControllerButtonCount(int64_t button);
int64_t WheelSteps();  // the mouse wheel's notches this frame: away from the player more than 0
int64_t WindowStateCount(int64_t which);

// A controller axis (BRISEL_AXIS_*): sticks -1..1, triggers 0..1, past the engine's dead zone;
// 0 from an engine without them.
double PadAxisValue(int64_t axis);
// Whether the player last used a controller (not the mouse or keyboard); false from an engine
// that cannot tell.
bool ControllerInUse();
// Shakes the controllers that can, at strength 0..1 for the given milliseconds; nothing from
// an engine without it.
void RumblePads(double strength, int64_t milliseconds);

inline bool IsHeld(int64_t count) { return count > 0; }
inline bool IsPressed(int64_t count) { return count == 1; }
inline bool IsReleased(int64_t count, int64_t previous) { return count < previous; }

}  // namespace grappix
