// Drawing as the player sees it: headless screenshots checked pixel by pixel, text rendering,
// and textures and fonts that are missing or damaged.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000;

// Channel-wise comparison with a small tolerance for rounding.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 2) {
    for (int shift : {16, 8, 0}) {
        int a = int((actual >> shift) & 255), b = int((expected >> shift) & 255);
        if (std::abs(a - b) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "got 0x%08X, expected 0x%08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

class EngineDraw : public ::testing::Test {
protected:
    void SetUp() override {
        // A 64 x 64 texture: red top half, green bottom half.
        Picture halves = Solid(64, 64, kRed);
        for (int y = 32; y < 64; ++y)
            for (int x = 0; x < 64; ++x) halves.argb[size_t(y) * 64 + x] = kGreen;
        WritePng(box.Data("halves.vqtex"), halves);
        WritePng(box.Data("glass.vqtex"), Solid(16, 16, 0x80FFFFFF));  // white, half transparent
        setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
        setenv("BRISEL_SHOT_FRAMES", "1", 1);
        InitEngine();
    }
    void TearDown() override { Engine().Free(); }

    // Shows the frame drawn so far (step 1) and reads back its screenshot.
    Picture Shot() {
        Engine().Act();
        return ReadPng(box.Path("shots/frame-1.png"));
    }

    Sandbox box;
};

}  // namespace

// Guards against a misplaced, mis-scaled or upside-down texture and a wrong rotation sense.
TEST_F(EngineDraw, TexturesLandWhereTheGameDrawsThem) {
    Api& e = Engine();
    BriselTex* tex = e.LoadTex("halves.vqtex");
    EXPECT_EQ(e.GetTexW(tex), 64);
    EXPECT_EQ(e.GetTexH(tex), 64);
    e.Clear(0, 0, 0);
    e.DrawTex(tex, 0, 0, 64, 64, 100, 200, 64, 64, 1, 1, 1, 1);                       // 1:1
    e.DrawTex(tex, 0, 0, 64, 64, 300, 200, 128, 128, 1, 1, 1, 1);                     // stretched twice
    e.DrawTexRot(tex, 0, 64, 64, -64, 500, 200, 64, 64, 0, 0, 0, 1, 1, 1, 1);         // upside down
    e.DrawTexRot(tex, 0, 0, 64, 64, 700, 200, 64, 64, 32, 32, M_PI / 2, 1, 1, 1, 1);  // quarter turn
    e.DrawTexRot(tex, 0, 0, 64, 64, 900, 200, 64, 64, 0, 0, M_PI, 1, 1, 1, 1);  // half turn about top-left
    e.DrawTex(tex, 0, 0, 64, 64, 1100, 200, 64, 64, 1, 0, 0, 1);                // tinted: green goes black

    Picture p = Shot();
    ASSERT_EQ(p.width, 1600);
    ASSERT_EQ(p.height, 900);
    EXPECT_TRUE(Near(p.At(100, 200), kRed));
    EXPECT_TRUE(Near(p.At(163, 231), kRed));
    EXPECT_TRUE(Near(p.At(163, 232), kGreen));
    EXPECT_TRUE(Near(p.At(100, 263), kGreen));
    EXPECT_TRUE(Near(p.At(99, 210), kBlack));
    EXPECT_TRUE(Near(p.At(164, 210), kBlack));
    EXPECT_TRUE(Near(p.At(110, 264), kBlack));

    EXPECT_TRUE(Near(p.At(427, 263), kRed));
    EXPECT_TRUE(Near(p.At(427, 264), kGreen));
    EXPECT_TRUE(Near(p.At(300, 327), kGreen));
    EXPECT_TRUE(Near(p.At(428, 300), kBlack));

    EXPECT_TRUE(Near(p.At(510, 205), kGreen));  // the source's bottom now on top
    EXPECT_TRUE(Near(p.At(510, 258), kRed));

    // Turned clockwise on screen: the red top half now faces right.
    EXPECT_TRUE(Near(p.At(756, 232), kRed));
    EXPECT_TRUE(Near(p.At(708, 232), kGreen));

    // Turned half-way about its top-left corner: it now lies up and to the left of it.
    EXPECT_TRUE(Near(p.At(850, 190), kRed));    // source row 10
    EXPECT_TRUE(Near(p.At(850, 150), kGreen));  // source row 50
    EXPECT_TRUE(Near(p.At(899, 199), kRed));
    EXPECT_TRUE(Near(p.At(910, 210), kBlack));

    EXPECT_TRUE(Near(p.At(1110, 210), kRed));
    EXPECT_TRUE(Near(p.At(1110, 250), kBlack));
}

// Guards against a repeated draw (served from a copy scaled once) looking different from the
// first one, and against a mirrored source drawn the wrong way round.
TEST_F(EngineDraw, RepeatedDrawsLookTheSameAsTheFirst) {
    Picture sides = Solid(400, 200, kRed);
    for (int y = 0; y < 200; ++y)
        for (int x = 200; x < 400; ++x)
            sides.argb[size_t(y) * 400 + x] = 0x800000FF;  // right half translucent blue
    WritePng(box.Data("sides.vqtex"), sides);
    setenv("BRISEL_SHOT_FRAMES", "1,4", 1);
    Engine().Free();
    InitEngine();
    Api& e = Engine();
    BriselTex* tex = e.LoadTex("sides.vqtex");
    for (int frame = 1; frame <= 4; ++frame) {
        e.Clear(0, 0, 0);
        // Shrunk and large enough for the engine to keep a copy at the drawn size.
        e.DrawTex(tex, 0, 0, 400, 200, 100, 100, 240, 120, 1, 1, 1, 1);                   // shrunk
        e.DrawTex(tex, 400, 0, -400, 200, 400, 100, 240, 120, 1, 1, 1, 1);                // mirrored
        e.DrawTexRot(tex, 0, 200, 400, -200, 700, 100, 197, 133, 0, 0, 0, 1, 1, 1, 0.5);  // flipped, faded
        e.DrawTex(tex, 0, 0, 400, 200, 100.5, 300, 1000, 500, 1, 1, 1, 1);                // stretched
        e.Act();
    }
    Picture first = ReadPng(box.Path("shots/frame-1.png"));
    Picture later = ReadPng(box.Path("shots/frame-4.png"));
    EXPECT_TRUE(first.argb == later.argb);
    EXPECT_TRUE(Near(later.At(110, 110), kRed));
    EXPECT_TRUE(Near(later.At(330, 110), 0xFF000080));
    EXPECT_TRUE(Near(later.At(410, 110), 0xFF000080));  // mirrored: blue on the left
    EXPECT_TRUE(Near(later.At(630, 110), kRed));
    EXPECT_TRUE(Near(later.At(110, 310), kRed));
    EXPECT_TRUE(Near(later.At(1090, 790), 0xFF000080));
}

// Guards against blending that ignores alpha or covers the wrong pixels.
TEST_F(EngineDraw, TranslucentRectanglesAndTexelsBlend) {
    Api& e = Engine();
    BriselTex* glass = e.LoadTex("glass.vqtex");
    e.Clear(0, 0, 1);
    e.DrawRect(200, 100, 100, 50, 1, 0, 0, 0.5);
    e.DrawTex(glass, 0, 0, 16, 16, 400, 100, 32, 32, 1, 1, 1, 1);
    e.DrawTex(glass, 0, 0, 16, 16, 500, 100, 32, 32, 1, 1, 1, 0);  // fully transparent: nothing
    e.SetViewport(600, 100, 10, 10);
    e.DrawRect(590, 90, 100, 100, 0, 1, 0, 1);
    e.ResetViewport();
    e.SetBlend(1);  // additive
    e.DrawRect(700, 100, 10, 10, 1, 0, 0, 1);
    e.SetBlend(0);

    Picture p = Shot();
    EXPECT_TRUE(Near(p.At(200, 100), 0xFF800080));
    EXPECT_TRUE(Near(p.At(299, 149), 0xFF800080));
    EXPECT_TRUE(Near(p.At(300, 149), kBlue));
    EXPECT_TRUE(Near(p.At(199, 120), kBlue));
    EXPECT_TRUE(Near(p.At(410, 110), 0xFF8080FF));
    EXPECT_TRUE(Near(p.At(510, 110), kBlue));
    EXPECT_TRUE(Near(p.At(605, 105), kGreen));
    EXPECT_TRUE(Near(p.At(611, 105), kBlue));
    EXPECT_TRUE(Near(p.At(595, 105), kBlue));
    EXPECT_TRUE(Near(p.At(705, 105), 0xFFFF00FF));
    EXPECT_EQ(Failure([&] { e.SetBlend(7); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
}

// Guards against text rendered without its outline, or not at all.
TEST_F(EngineDraw, FontTextureIsWhiteTextWithADarkOutline) {
    const char* system = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!std::filesystem::exists(system)) GTEST_SKIP() << "DejaVu Sans is not installed";
    std::filesystem::copy_file(system, box.Data("font.ttf"));
    setenv("BRISEL_TRACE", box.Path("trace.txt").c_str(), 1);
    Engine().Free();
    InitEngine();
    Api& e = Engine();
    BriselFont* font = e.LoadFont("font.ttf");
    BriselTex* text = e.MakeFontTex(font, 72, "Credits", 4);
    double w = e.GetTexW(text), h = e.GetTexH(text);
    EXPECT_GT(w, 150);
    EXPECT_GE(h, 72);
    EXPECT_LE(h, 72 + 2 * 4);  // the line fits its size, plus the outline: credits lines never overlap
    e.Clear(0, 0, 1);
    e.DrawTex(text, 0, 0, w, h, 0, 0, w, h, 1, 1, 1, 1);
    Picture p = Shot();
    int white = 0, dark = 0, blue = 0;
    for (int y = 0; y < int(h); ++y)
        for (int x = 0; x < int(w); ++x) {
            uint32_t c = p.At(x, y);
            if (Near(c, 0xFFFFFFFF, 8))
                ++white;
            else if (Near(c, 0xFF101018, 8))
                ++dark;
            else if (Near(c, kBlue, 8))
                ++blue;
        }
    EXPECT_GT(white, 500);
    EXPECT_GT(dark, 500);
    EXPECT_GT(blue, 1000);  // the background shows through around the letters
    EXPECT_EQ(ReadText(box.Path("trace.txt")).rfind("tex text:Credits 0 0 ", 0), 0u);
    e.FreeMem(text);
    e.FreeMem(font);
}

// Guards against a crash or an anonymous message on a bad texture or font file.
TEST_F(EngineDraw, BadTextureAndFontFilesRaiseLoadNamingTheFile) {
    Api& e = Engine();
    Picture good = Solid(64, 64, kRed);
    WritePng(box.Data("good.vqtex"), good);
    std::string png = ReadText(box.Data("good.vqtex"));
    box.Write("Data/empty.vqtex", "");
    box.Write("Data/cut.vqtex", png.substr(0, png.size() / 2));
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919u + 13u) >> 3);
    box.Write("Data/noise.vqtex", noise);
    box.Write("Data/empty.ttf", "");
    box.Write("Data/noise.ttf", noise);

    for (const char* name : {"missing.vqtex", "empty.vqtex", "cut.vqtex", "noise.vqtex"}) {
        BriselFailure f = Failure([&] { e.LoadTex(name); });
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD)) << name;
        EXPECT_EQ(MessageOf(f).rfind(std::string("Data/") + name + ": ", 0), 0u) << MessageOf(f);
    }
    EXPECT_NE(MessageOf(Failure([&] { e.LoadTex("empty.vqtex"); })).find("empty"), std::string::npos);

    std::vector<std::string> fonts = {"missing.ttf", "empty.ttf", "noise.ttf"};
    const char* system = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (std::filesystem::exists(system)) {
        std::string ttf = ReadText(system);
        box.Write("Data/cut.ttf", ttf.substr(0, 2000));
        fonts.push_back("cut.ttf");
    }
    for (const std::string& name : fonts) {
        BriselFailure f = Failure([&] { e.LoadFont(name.c_str()); });
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD)) << name;
        EXPECT_EQ(MessageOf(f).rfind("Data/" + name + ": ", 0), 0u) << MessageOf(f);
    }
    EXPECT_NO_THROW(e.LoadTex("good.vqtex"));  // and the engine still works
}
