// The game scene: one game in the chosen mode, from "Start!" until the player returns to
// the title from the pause screen.
#pragma once

#include "common/game_mode.hpp"

namespace grappix {

void RunGame(GameMode mode);

}  // namespace grappix
