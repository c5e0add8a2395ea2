// The title scene: the scrolling title with its mode menu and credits screen.
#pragma once

#include "common/game_mode.hpp"

namespace grappix {

// Runs the title until the player picks a mode, and returns it.
GameMode RunTitle();

}  // namespace grappix
