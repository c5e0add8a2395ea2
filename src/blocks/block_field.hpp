// The endless row of obstacles: 20 blocks, one every 800 pixels, alternately hanging from
// the top of the stage (even indices) and standing on the ground (odd indices), each of a
// random shape. Blocks left far behind the player jump to the front of the row and take a
// new shape, so twenty blocks serve a stage of any length.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/anime.hpp"

namespace grappix {

// One obstacle, in world pixels (the ground line is y = 0, the stage top y = -900).
struct Block {
    double x = 0, y = 0;    // top-left corner
    double cx = 0, cy = 0;  // centre
    double w = 0, h = 0;    // size; w is always 200
    double halfW = 0, halfH = 0;
    int64_t kind = 0;  // the shape, and the animation id of its sprite
};

class BlockField {
public:
    void Generate();       // lays out the 20 blocks from x = 800 on, each with a random shape
    void Roll(int64_t i);  // a new shape for block i's side; x and the centre are left alone
    void LoadSheet(double viewX, double viewY, double viewW, double viewH);
    double GetBlockX(int64_t i) const;
    double GetBlockY(int64_t i) const;
    double GetBlockW(int64_t i) const;
    double GetBlockH(int64_t i) const;
    int64_t GetCount() const { return count; }
    void Recycle(double x);  // blocks more than 10 spacings behind x move 20 spacings ahead
    void Draw(double camX, double camY);

    const Block& GetBlock(int64_t i) const;  // index outside the row: an empty block
    double GetSpacing() const;

private:
    static void Derive(Block& b);  // centre and half-extents from x, y, w, h
    bool InRange(int64_t i) const { return i >= 0 && i < count; }

    std::vector<Block> blocks;
    int64_t count = 0;
    std::unique_ptr<Anime> sprite;
};

}  // namespace grappix
