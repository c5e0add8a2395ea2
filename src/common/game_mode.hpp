// Which game follows the title: the title scene picks it, the game scene plays it.
#pragma once

#include <cstdint>

namespace grappix {

enum class GameMode : int64_t {
    Normal = 0,     // "Normal": the row of blocks under the roof
    NoBlock = 1,    // "No Block": ground and roof only
    FreeStyle = 2,  // "Free Style": no roof; the hook catches in a square at the cursor
};

}  // namespace grappix
