// The stage every scene shows, in world pixels (x to the right, y downward): the screen's size,
// where the view stands when a scene starts, the lines the body meets, and the world's clock.
#pragma once

#include <cstdint>

namespace grappix::stage {

inline constexpr double kScreenW = 1600, kScreenH = 900;

// The world point at the screen's top-left when a scene starts: the view spans y -900 to 0,
// the stage top to just below the ground strip.
inline constexpr double kViewX = 0, kViewY = -900;

// The body stands r above the ground line and stops r below the roof line.
inline constexpr double kGroundLine = -100;
inline constexpr double kRoofLine = -850;

// Ticks of the world's clock per frame (animation and sound rhythms count ticks).
inline constexpr int64_t kTimeScale = 10;

}  // namespace grappix::stage
