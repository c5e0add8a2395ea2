#include "game/best_line.hpp"

#include "common/bitmap_font.hpp"

namespace grappix {

void BestLine::Begin(int64_t record) {
    before = record > 0 ? record : 0;
    gameBest = 0;
}

void BestLine::Update(int64_t figure) {
    if (figure > gameBest) gameBest = figure;
}

std::string BestLine::Text() const { return Shown() > 0 ? "BEST " + std::to_string(Shown()) : std::string(); }

void BestLine::Draw(const BitmapFont& font) const {
    const std::string text = Text();
    if (text.empty()) return;
    if (Beaten())
        font.DrawTextTinted(text, kX, kY, kCharW, kCharH, kGoldR, kGoldG, kGoldB, 1.0);
    else
        font.DrawText(text, kX, kY, kCharW, kCharH, 1.0);
}

}  // namespace grappix
