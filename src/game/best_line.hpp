// The record line of play: "BEST 7288" in small characters under the speed readout, the mode's
// record with this game's best counted in. It turns from the readout's white to the gold of
// the banners the moment the game beats the record it began with.
//
// It sits in the strip between the readout's letters and the banner's ribbon, and is drawn
// before the world, so the runner passes over it: it never covers the banner or the body.
#pragma once

#include <cstdint>
#include <string>

namespace grappix {

class BitmapFont;

class BestLine {
public:
    static constexpr double kX = 50, kY = 104, kCharW = 15, kCharH = 30;
    // The gold of the banners' TURBO ribbon.
    static constexpr double kGoldR = 1.0, kGoldG = 196.0 / 255.0, kGoldB = 30.0 / 255.0;

    void Begin(int64_t record);   // the mode's record as the game begins (0: none yet)
    void Update(int64_t figure);  // the figure the readout shows this frame

    int64_t Shown() const { return gameBest > before ? gameBest : before; }
    bool Beaten() const { return before > 0 && gameBest > before; }
    std::string Text() const;  // "" while there is nothing to show
    void Draw(const BitmapFont& font) const;

private:
    int64_t before = 0;
    int64_t gameBest = 0;
};

}  // namespace grappix
