#include "game/game_scene.hpp"

namespace grappix {

void RunGame(GameMode) {}

}  // namespace grappix
