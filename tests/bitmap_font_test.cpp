// BitmapFont: which glyph is cut from the sheet, where it lands, and how numbers are laid out.
#include <gtest/gtest.h>

#include "common/bitmap_font.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

TEST(BitmapFontTest, FormatNumberRightAlignsAndCuts) {
    // Guards against a speed readout that shifts, pads wrongly or shows the wrong digits.
    EXPECT_EQ(BitmapFont::FormatNumber(42, 5, false), "   42");
    EXPECT_EQ(BitmapFont::FormatNumber(42, 5, true), "00042");
    EXPECT_EQ(BitmapFont::FormatNumber(0, 3, false), "   ");
    EXPECT_EQ(BitmapFont::FormatNumber(0, 3, true), "000");
    EXPECT_EQ(BitmapFont::FormatNumber(-7, 2, true), "00");
    EXPECT_EQ(BitmapFont::FormatNumber(12345, 3, false), "345");
    EXPECT_EQ(BitmapFont::FormatNumber(1005, 4, false), "1005");  // inner zeros are digits
    EXPECT_EQ(BitmapFont::FormatNumber(9, 1, false), "9");
    EXPECT_EQ(BitmapFont::FormatNumber(9, 0, false), "");
    EXPECT_EQ(BitmapFont::FormatNumber(9, -2, false), "");
}

TEST(BitmapFontTest, CharacterCodesAndDigits) {
    EXPECT_EQ(BitmapFont::DigitCode(7), 55);
    EXPECT_EQ(BitmapFont::CharCode(u'A'), 65);
    EXPECT_EQ(BitmapFont::DigitChar(0), '0');
    EXPECT_EQ(BitmapFont::DigitChar(9), '9');
    EXPECT_EQ(BitmapFont::DigitChar(10), ' ');
    EXPECT_EQ(BitmapFont::DigitChar(-1), ' ');
}

TEST(BitmapFontTest, GlyphCellsOfTheStandardSheet) {
    FakeEngine fake;
    BitmapFont font;
    font.LoadDefault();
    EXPECT_EQ(fake.Named("LoadTex").at(0).text, "font_128_64.vqtex");
    EXPECT_EQ(font.GlyphX(32), 0.0);
    EXPECT_EQ(font.GlyphY(32), 0.0);
    EXPECT_EQ(font.GlyphX('0'), 0.0);
    EXPECT_EQ(font.GlyphY('0'), 128.0);
    EXPECT_EQ(font.GlyphX('A'), 64.0);
    EXPECT_EQ(font.GlyphY('A'), 256.0);
    EXPECT_EQ(font.GlyphX('~'), 14 * 64.0);
    EXPECT_EQ(font.GlyphY('~'), 5 * 128.0);
}

TEST(BitmapFontTest, DrawTextStretchesEachGlyphAndAdvancesByItsWidth) {
    // Guards against overlapping or gapped captions, and glyphs cut from the wrong cell.
    FakeEngine fake;
    BitmapFont font;
    font.Load("glyphs.vqtex", 32, 48);
    font.DrawText("A0 ", 100, 200, 40, 80, 0.5);
    auto draws = fake.Named("DrawTex");
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].file, "glyphs.vqtex");
    EXPECT_EQ(draws[0].args, (std::vector<double>{32, 96, 32, 48, 100, 200, 40, 80, 1, 1, 1, 0.5}));
    EXPECT_EQ(draws[1].args, (std::vector<double>{0, 48, 32, 48, 140, 200, 40, 80, 1, 1, 1, 0.5}));
    EXPECT_EQ(draws[2].args[0], 0.0);  // the space is a cell like any other
    EXPECT_EQ(draws[2].args[4], 180.0);

    fake.ClearCalls();
    font.DrawText("", 0, 0, 40, 80, 1);
    EXPECT_TRUE(fake.Named("DrawTex").empty());
}

TEST(BitmapFontTest, ControlCharactersAndAMissingSheetDrawNothing) {
    FakeEngine fake;
    BitmapFont font;
    font.DrawText("PAUSE", 0, 0, 40, 80, 1);  // nothing loaded yet
    EXPECT_TRUE(fake.Named("DrawTex").empty());
    font.LoadDefault();
    font.DrawText("a\tb", 0, 0, 10, 20, 1);
    auto draws = fake.Named("DrawTex");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1].args[4], 20.0);  // the tab still takes its place
}

}  // namespace
}  // namespace grappix
