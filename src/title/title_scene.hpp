// The title scene: the scrolling title with its mode menu and credits screen.
#pragma once

#include "common/game_mode.hpp"

namespace grappix {

class BitmapFont;
class RecordBook;

// Runs the title until the player picks a mode, and returns it.
GameMode RunTitle();

// Right of each mode's button, for each mode that has a record: "Best 7288" on a dimmed strip.
// Buttons and captions stay where they are; the strip keeps clear of them.
inline constexpr double kRecordLabelX = 1225, kRecordCharW = 32, kRecordCharH = 64;
void DrawModeRecords(const BitmapFont& font, const RecordBook* records);

}  // namespace grappix
