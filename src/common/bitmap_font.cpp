#include "common/bitmap_font.hpp"

#include "common/sprite_layout.hpp"

namespace grappix {

namespace {

constexpr int64_t kFirstCode = layout::kFirstGlyph;  // the sheet starts with the space
constexpr int64_t kCellsPerRow = layout::kGlyphColumns;

}  // namespace

void BitmapFont::LoadDefault() { Load(layout::kFontSheet.file, layout::kGlyphW, layout::kGlyphH); }

void BitmapFont::Load(const std::string& path, double w, double h) {
    tex = LoadTex(path);
    glyphW = w;
    glyphH = h;
}

int64_t BitmapFont::DigitCode(int64_t d) { return d + 48; }

int64_t BitmapFont::CharCode(char16_t ch) { return static_cast<int64_t>(ch); }

double BitmapFont::GlyphX(int64_t code) const {
    return static_cast<double>((code - kFirstCode) % kCellsPerRow) * glyphW;
}

double BitmapFont::GlyphY(int64_t code) const {
    return static_cast<double>((code - kFirstCode) / kCellsPerRow) * glyphH;
}

char BitmapFont::DigitChar(int64_t d) {
    if (d < 0 || d > 9) return ' ';
    return static_cast<char>('0' + d);
}

std::string BitmapFont::FormatNumber(int64_t value, int64_t width, bool zeroPad) {
    if (width <= 0) return std::string();
    // Filled from the right, so the number ends flush with the field; digits that do not fit
    // fall off the left.
    std::string out(static_cast<size_t>(width), ' ');
    for (int64_t i = width - 1; i >= 0; --i) {
        char c;
        if (value > 0) {
            c = DigitChar(value % 10);
            value = (value - value % 10) / 10;
        } else {
            c = zeroPad ? '0' : ' ';
        }
        out[static_cast<size_t>(i)] = c;
    }
    return out;
}

void BitmapFont::DrawText(const std::string& text, double x, double y, double charW, double charH,
                          double alpha) const {
    DrawTextTinted(text, x, y, charW, charH, 1.0, 1.0, 1.0, alpha);
}

void BitmapFont::DrawTextTinted(const std::string& text, double x, double y, double charW, double charH,
                                double r, double g, double b, double alpha) const {
    if (!tex.IsLoaded()) return;  // no sheet: nothing to cut glyphs from
    // Monospaced: every glyph is stretched to charW x charH and the pen moves by charW.
    for (size_t i = 0; i < text.size(); ++i) {
        const int64_t code = CharCode(static_cast<unsigned char>(text[i]));
        // Control characters have no cell (the sheet starts at the space): they only
        // take their place, rather than asking for a rectangle left of the sheet.
        if (code < kFirstCode) continue;
        tex.DrawScale(GlyphX(code), GlyphY(code), glyphW, glyphH, x + charW * static_cast<double>(i), y,
                      charW, charH, r, g, b, alpha);
    }
}

}  // namespace grappix
