// The card that teaches the controls while "Start!" shows: shoot, reel in, jump and pause (and
// aim, for a controller), each with the keys or buttons that give it, drawn as key caps. It
// follows the device the player used last, and sits below "Start!", where the body never is
// during the opening (it waits off the left edge until play begins).
#pragma once

#include <array>
#include <cstddef>

#include "common/bitmap_font.hpp"
#include "frame/media.hpp"

namespace grappix {

class ControlsCard {
public:
    // Where the card is drawn, screen pixels.
    static constexpr double kX = 400, kY = 476, kW = 800, kH = 340;

    void Prepare();  // the lettering and the caps' labels of both cards
    // The card for a controller or for the mouse and keyboard, at the given opacity (0..1).
    void Draw(bool controller, double alpha) const;

private:
    struct Cap {  // one key cap: its label and its face's colour
        Tex label;
        double r = 0.25, g = 0.27, b = 0.35;
    };
    struct Row {
        const char* action = "";
        std::array<Cap, 2> caps;
        std::size_t capCount = 0;
    };
    struct Card {
        std::array<Row, 5> rows;
        std::size_t rowCount = 0;
    };
    void Make(Card& card, bool controller);
    // Draws a cap with its left edge at x, centred on the row at y; returns its width.
    static double DrawCap(const Cap& cap, double x, double y, double alpha);

    BitmapFont text;
    Font capFont;
    Tex orWord;
    std::array<Card, 2> cards;  // mouse and keyboard, controller
};

}  // namespace grappix
