// Short texts drawn from a sheet of fixed-size glyph cells: 16 cells a row in character-code
// order from code 32 (space). Also formats non-negative integers into fixed-width fields.
#pragma once

#include <cstdint>
#include <string>

#include "frame/media.hpp"

namespace grappix {

class BitmapFont {
public:
    void LoadDefault();  // the game's font sheet (sprite_layout.hpp)
    void Load(const std::string& path, double glyphW, double glyphH);
    static int64_t DigitCode(int64_t d);   // d + 48
    static int64_t CharCode(char16_t ch);  // the character's code
    double GlyphX(int64_t code) const;     // column * glyphW
    double GlyphY(int64_t code) const;     // row * glyphH
    static char DigitChar(int64_t d);      // '0'..'9', else a space
    // width characters, right-aligned; spaces (or zeros) fill; extra digits are cut
    static std::string FormatNumber(int64_t value, int64_t width, bool zeroPad);
    void DrawText(const std::string& text, double x, double y, double charW, double charH,
                  double alpha) const;
    // The same in a colour (r, g, b from 0 to 1) instead of the sheet's white.
    void DrawTextTinted(const std::string& text, double x, double y, double charW, double charH, double r,
                        double g, double b, double alpha) const;

private:
    Tex tex;
    double glyphW = 0;
    double glyphH = 0;
};

}  // namespace grappix
