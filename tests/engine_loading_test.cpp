// Loading without stalls, through the real library: pictures decoded on the worker and shared,
// kept across a scene change but never stale, damage named wherever it is found, text rendered
// ahead, and music checked whole although it is decoded only as it plays.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

class EngineLoading : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
        setenv("BRISEL_SHOT_FRAMES", "1,2,3", 1);
        InitEngine();
    }
    void TearDown() override { Engine().Free(); }

    // Shows the frame drawn so far and reads back its screenshot.
    Picture Shot() {
        int64_t step = Engine().Act();
        return ReadPng(box.Path("shots/frame-" + std::to_string(step) + ".png"));
    }

    Sandbox box;
};

// A PNG with correct checksums whose image data is not a deflate stream.
std::string PngWithGarbageData(const std::string& good) {
    std::string png = good;
    size_t at = png.find("IDAT") - 4;
    const uint32_t length = uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                            uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    for (uint32_t i = 2; i < length; ++i) png[at + 8 + i] = char(i * 37);
    // CRC-32 of type and data, as PNG defines it.
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < length + 4; ++i) {
        crc ^= uint8_t(png[at + 4 + i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) png[at + 8 + length + size_t(k)] = char(crc >> (24 - 8 * k));
    return png;
}

}  // namespace

// Guards against a picture whose data is damaged behind good checksums being drawn as garbage
// or half decoded, or failing without naming its file.
TEST_F(EngineLoading, DamagedImageDataIsNamedAtTheFirstDrawAndNeverDrawn) {
    WritePng(box.Data("good.vqtex"), Solid(40, 30, kRed));
    box.Write("Data/bad.vqtex", PngWithGarbageData(ReadText(box.Data("good.vqtex"))));
    Api& e = Engine();
    BriselTex* bad = e.LoadTex("bad.vqtex");  // every chunk is whole: taken at load
    EXPECT_EQ(e.GetTexW(bad), 40);            // its size is in its header
    for (int i = 0; i < 2; ++i) {             // and every draw says so again
        BriselFailure f = Failure([&] { e.DrawTex(bad, 0, 0, 40, 30, 0, 0, 40, 30, 1, 1, 1, 1); });
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD));
        EXPECT_EQ(MessageOf(f).rfind("Data/bad.vqtex: corrupt PNG image", 0), 0u) << MessageOf(f);
    }
    e.FreeMem(bad);
}

// Guards against textures of one file sharing a picture that the first release frees.
TEST_F(EngineLoading, ATextureOfAFileLoadedTwiceOutlivesTheOther) {
    WritePng(box.Data("red.vqtex"), Solid(64, 64, kRed));
    Api& e = Engine();
    BriselTex* first = e.LoadTex("red.vqtex");
    BriselTex* second = e.LoadTex("red.vqtex");
    e.DrawTex(first, 0, 0, 64, 64, 0, 0, 64, 64, 1, 1, 1, 1);
    e.FreeMem(first);
    e.Clear(0, 0, 0);
    e.DrawTex(second, 0, 0, 64, 64, 100, 100, 64, 64, 1, 1, 1, 1);
    Picture p = Shot();
    EXPECT_EQ(p.At(130, 130), kRed);
    EXPECT_EQ(p.At(30, 30), 0xFF000000u);
    e.FreeMem(second);
}

// Guards against a picture kept from the last scene being drawn after its file has changed,
// or a queued decoding outliving its released texture.
TEST_F(EngineLoading, APictureKeptAcrossAFrameStepIsNeverStale) {
    WritePng(box.Data("sheet.vqtex"), Solid(64, 64, kRed));
    Api& e = Engine();
    BriselTex* tex = e.LoadTex("sheet.vqtex");
    e.DrawTex(tex, 0, 0, 64, 64, 0, 0, 64, 64, 1, 1, 1, 1);
    e.FreeMem(tex);
    e.FreeMem(e.LoadTex("sheet.vqtex"));  // released before it was ever drawn
    WritePng(box.Data("sheet.vqtex"), Solid(64, 64, kBlue));
    tex = e.LoadTex("sheet.vqtex");
    e.Clear(0, 0, 0);
    e.DrawTex(tex, 0, 0, 64, 64, 10, 10, 64, 64, 1, 1, 1, 1);
    EXPECT_EQ(Shot().At(40, 40), kBlue);
    // The same file again after the frame step: decoded anew or kept, the same picture.
    e.FreeMem(tex);
    tex = e.LoadTex("sheet.vqtex");
    e.Clear(0, 0, 0);
    e.DrawTex(tex, 0, 0, 64, 64, 10, 10, 64, 64, 1, 1, 1, 1);
    EXPECT_EQ(Shot().At(40, 40), kBlue);
}

// Guards against a picture stored at its drawn size being drawn as if its texels were the
// texture's (the wrong part of it, or nothing) or reporting the stored size to the game.
TEST_F(EngineLoading, APictureStoredSmallerIsDrawnFromTheTexelsTheGameAddresses) {
    Picture halves = Solid(20, 10, kRed);  // stands for 80 x 40 texels: red left, blue right
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x) halves.argb[size_t(y) * 20 + x] = kBlue;
    WritePng(box.Data("plain.vqtex"), halves);
    box.Write("Data/small.vqtex",
              WithChunk(ReadText(box.Data("plain.vqtex")), 33, "vqSz", TextureSize(80, 40)));
    Api& e = Engine();
    BriselTex* tex = e.LoadTex("small.vqtex");
    EXPECT_EQ(e.GetTexW(tex), 80);
    EXPECT_EQ(e.GetTexH(tex), 40);
    e.Clear(0, 0, 0);
    e.DrawTex(tex, 0, 0, 80, 40, 0, 0, 20, 10, 1, 1, 1, 1);     // the whole, at its stored size
    e.DrawTex(tex, 40, 0, 40, 40, 100, 0, 30, 30, 1, 1, 1, 1);  // the right half, stretched
    e.DrawTexRot(tex, 0, 0, 40, 40, 200, 0, 30, 30, 15, 15, 0.3, 1, 1, 1, 1);  // the left, turned
    Picture p = Shot();
    EXPECT_EQ(p.At(2, 5), kRed);
    EXPECT_EQ(p.At(17, 5), kBlue);
    EXPECT_EQ(p.At(22, 5), 0xFF000000u);  // nothing past the whole's 20 pixels
    EXPECT_EQ(p.At(101, 1), kBlue);
    EXPECT_EQ(p.At(128, 28), kBlue);
    EXPECT_EQ(p.At(215, 15), kRed);
    e.FreeMem(tex);
}

// Guards against text rendered ahead reporting no size, or drawing before it is rendered.
TEST_F(EngineLoading, TextRenderedAheadHasItsSizeWhenAskedAndDrawsWhole) {
    const char* system = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!std::filesystem::exists(system)) GTEST_SKIP() << "no DejaVu Sans";
    box.Write("Data/font.ttf", ReadText(system));
    Api& e = Engine();
    BriselFont* font = e.LoadFont("font.ttf");
    std::vector<BriselTex*> lines;
    for (int i = 0; i < 12; ++i) lines.push_back(e.MakeFontTex(font, 48, "Graphics and Audio", 4));
    BriselTex* last = lines.back();
    EXPECT_GT(e.GetTexW(last), 200);
    EXPECT_GE(e.GetTexH(last), 48);
    e.FreeMem(font);  // the font goes; lines still queued keep what they need
    e.Clear(0, 0, 0);
    e.DrawTex(lines[5], 0, 0, e.GetTexW(lines[5]), e.GetTexH(lines[5]), 0, 0, e.GetTexW(lines[5]),
              e.GetTexH(lines[5]), 1, 1, 1, 1);
    Picture p = Shot();
    int white = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 400; ++x) white += p.At(x, y) == 0xFFFFFFFFu;
    EXPECT_GT(white, 200) << "the text is drawn";
    for (BriselTex* t : lines) e.FreeMem(t);
}

// Guards against music, decoded only as it plays, being taken with a damaged page and
// breaking off in the middle of a game.
TEST_F(EngineLoading, LongMusicIsCheckedWholeAtLoad) {
    std::string good = OggBytes(6.0, false, 44100);
    box.Write("Data/music.ogg", good);
    std::string damaged = good;
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x5A);
    box.Write("Data/damaged.ogg", damaged);
    Api& e = Engine();
    BriselSnd* music = e.LoadSnd("music.ogg");
    EXPECT_NEAR(e.LenSnd(music), 6.0, 0.05);
    e.PlaySnd(music, 0, true, 0);
    EXPECT_TRUE(e.ChkPlayingSnd(music));
    e.PlaySnd(music, 3.0, true, 0);  // from the middle
    EXPECT_TRUE(e.ChkPlayingSnd(music));
    e.StopSnd(music);
    EXPECT_FALSE(e.ChkPlayingSnd(music));
    BriselFailure f = Failure([&] { e.LoadSnd("damaged.ogg"); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD));
    EXPECT_EQ(MessageOf(f).rfind("Data/damaged.ogg: ", 0), 0u) << MessageOf(f);
}

// Guards against the pictures decoded ahead at Init being drawn after their files changed,
// a bad file on the list stopping Init, or the list's failures going unnamed at LoadTex.
TEST(EngineLoadingAhead, PicturesListedForTheFirstSceneAreDecodedAheadButNeverStale) {
    Sandbox box;
    WritePng(box.Data("early.vqtex"), Solid(64, 64, kRed));
    WritePng(box.Data("changed.vqtex"), Solid(64, 64, kRed));
    box.Write("Data/broken.vqtex", "not a picture at all");
    box.Write("Data/preload.txt",
              "# first scene\nearly.vqtex\nchanged.vqtex\nbroken.vqtex\nmissing.vqtex\n../x\n");
    setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
    setenv("BRISEL_SHOT_FRAMES", "1", 1);
    InitEngine();
    Api& e = Engine();
    WritePng(box.Data("changed.vqtex"), Solid(64, 64, kBlue));
    BriselTex* early = e.LoadTex("early.vqtex");
    BriselTex* changed = e.LoadTex("changed.vqtex");
    EXPECT_EQ(MessageOf(Failure([&] { e.LoadTex("broken.vqtex"); })).rfind("Data/broken.vqtex: ", 0), 0u);
    EXPECT_EQ(MessageOf(Failure([&] { e.LoadTex("missing.vqtex"); })).rfind("Data/missing.vqtex: ", 0), 0u);
    e.DrawTex(early, 0, 0, 64, 64, 0, 0, 64, 64, 1, 1, 1, 1);
    e.DrawTex(changed, 0, 0, 64, 64, 100, 0, 64, 64, 1, 1, 1, 1);
    e.Act();
    Picture p = ReadPng(box.Path("shots/frame-1.png"));
    EXPECT_EQ(p.At(30, 30), kRed);
    EXPECT_EQ(p.At(130, 30), kBlue);
    e.Free();
}
