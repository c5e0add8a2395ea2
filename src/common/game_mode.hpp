// Which game follows the title: the title scene picks it, the game scene plays it.
#pragma once

#include <cstdint>

namespace grappix {

// 0 "Normal", 1 "No Block", 2 "Free Style".
using GameMode = int64_t;

}  // namespace grappix
