// Every sheet the game loads, its size, and every source rectangle the game cuts from it, as
// the game's own layout gives them (src/common/sprite_layout.hpp), each cell with a label for
// the contact sheet. The drawing code places its pictures at these rectangles.
#pragma once

#include <string>
#include <vector>

#include "common/sprite_layout.hpp"

namespace gx {

namespace layout = grappix::layout;

struct Cell {
    int x, y, w, h;
    std::string label;
};

struct SheetLayout {
    std::string file;
    int width, height;              // texels, as the game's draws address them
    int storedWidth, storedHeight;  // the picture in the file: the same, or its drawn size
    std::vector<Cell> cells;
    bool StoredSmaller() const { return storedWidth != width || storedHeight != height; }
};

// Stage geometry the pictures are drawn to fit. A character cell of 256 texels is drawn
// 200 world pixels wide, so one world pixel is 1.28 texels.
namespace stage {
constexpr double kTexelsPerPixel = 256.0 / 200.0;
constexpr double kCellCentre = 128.0;  // body centre inside a character cell
// Feet line: 78 px (100 texels) below the body centre. A body on the ground rests 65 px
// above the ground strip's top and one on a block 80 px above the block, so the ground
// picture puts its walking surface 13 px (17 texels) into the strip, under the grass tips,
// and the soles come within 2 px of a block's top edge.
constexpr double kFeetBelowCentre = 100.0;
constexpr double kGroundSurfaceRow = 17.0;  // in ground.vqtex (128 rows for 100 px)
// Clinging: the body centre is 40 px (51 texels) from the wall.
constexpr double kWallFromCentre = 51.0;
// Under the roof the body centre is 40 px (51 texels) below the girder.
constexpr double kHeadroom = 51.0;
}  // namespace stage

// The sheets in the order the generator writes them.
const std::vector<SheetLayout>& Sheets();
const SheetLayout& SheetNamed(const std::string& file);

}  // namespace gx
