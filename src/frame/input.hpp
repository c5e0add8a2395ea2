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

inline bool IsHeld(int64_t count) { return count > 0; }
inline bool IsPressed(int64_t count) { return count == 1; }
inline bool IsReleased(int64_t count, int64_t previous) { return count < previous; }

}  // namespace grappix
