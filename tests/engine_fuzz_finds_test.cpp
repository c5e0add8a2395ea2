// Inputs the fuzzers (fuzz/) found, kept as regression tests of the real library.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

class EngineFuzzFinds : public ::testing::Test {
protected:
    void TearDown() override { Engine().Free(); }
    Sandbox box;
};

std::string Le32(uint32_t v) {
    return {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
}

// A WAV file of a few hundred bytes whose data chunk claims nearly 4 GiB.
std::string WavClaiming(uint32_t dataBytes, size_t present) {
    std::string fmt = Le32(16) + std::string("\x01\x00\x02\x00", 4) + Le32(22050) + Le32(88200) +
                      std::string("\x04\x00\x10\x00", 4);
    std::string body = "WAVEfmt " + fmt + "data" + Le32(dataBytes) + std::string(present, '\xff');
    return "RIFF" + Le32(uint32_t(body.size())) + body;
}

}  // namespace

// Found by fuzz_sound: SDL sized its buffer from the data chunk's header and allocated 4 GiB
// for a 1.7 KB file. A chunk that runs past the end of the file is refused before decoding.
TEST_F(EngineFuzzFinds, AWavWhoseChunksRunPastItsEndIsRefusedBeforeDecoding) {
    box.Write("Data/huge-claim.wav", WavClaiming(0xffffff40u, 1600));
    box.Write("Data/cut.wav", WavBytes(1.0).substr(0, 2000));
    box.Write("Data/good.wav", WavBytes(0.5));
    InitEngine();
    Api& e = Engine();
    for (const char* name : {"huge-claim.wav", "cut.wav"}) {
        BriselFailure f = Failure([&] { e.LoadSnd(name); });
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD)) << name;
        EXPECT_EQ(MessageOf(f), std::string("Data/") + name + ": the WAV file is cut short or damaged");
    }
    EXPECT_NEAR(e.LenSnd(e.LoadSnd("good.wav")), 0.5, 0.01);
}

// Found with the bad-file runs of the game: an Ogg cut in the middle of its audio decoded to
// the part that was there, and the game played it cut off. Bytes that are neither Ogg nor
// WAV are refused whatever SDL_mixer might make of them (here a MIDI header).
TEST_F(EngineFuzzFinds, AnOggCutShortAndOtherFormatsAreRefused) {
    const std::string tune = OggBytes(2.0);
    box.Write("Data/half.ogg", tune.substr(0, tune.size() / 2));
    box.Write("Data/song.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14) + std::string(64, '\0'));
    box.Write("Data/tune.ogg", tune + "trailing bytes after the stream are harmless");
    InitEngine();
    Api& e = Engine();
    EXPECT_EQ(MessageOf(Failure([&] { e.LoadSnd("half.ogg"); })),
              "Data/half.ogg: the Ogg stream is cut short or damaged");
    EXPECT_EQ(MessageOf(Failure([&] { e.LoadSnd("song.mid"); })), "Data/song.mid: not an Ogg or WAV sound");
    EXPECT_NEAR(e.LenSnd(e.LoadSnd("tune.ogg")), 2.0, 0.05);
}

// Found by fuzz_font: a font whose em square was damaged to a fraction of its size rendered
// every text hundreds of times too big (15326 x 3456 pixels for ten letters at size 30,
// a second each). Such a font is refused when it is loaded, and text that would come out
// far larger than its size is refused rather than rendered.
TEST_F(EngineFuzzFinds, AFontWhoseGlyphsAreFarLargerThanTheirSizeIsRefused) {
    const std::string dejavu = ReadText("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    if (dejavu.size() < 12) GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
    // The 'head' table's units per em (offset 18) from 2048 down to 16: glyphs 128 times larger.
    std::string damaged = dejavu;
    const size_t tables = (uint8_t(dejavu[4]) << 8) | uint8_t(dejavu[5]);
    size_t head = 0;
    for (size_t i = 0; i < tables; ++i) {
        const size_t entry = 12 + 16 * i;
        if (dejavu.compare(entry, 4, "head") == 0)
            head = (uint32_t(uint8_t(dejavu[entry + 8])) << 24) |
                   (uint32_t(uint8_t(dejavu[entry + 9])) << 16) |
                   (uint32_t(uint8_t(dejavu[entry + 10])) << 8) | uint8_t(dejavu[entry + 11]);
    }
    ASSERT_NE(head, 0u);
    damaged[head + 18] = 0;
    damaged[head + 19] = 16;
    box.Write("Data/huge.ttf", damaged);
    box.Write("Data/good.ttf", dejavu);
    InitEngine();
    Api& e = Engine();
    BriselFailure f = Failure([&] { e.LoadFont("huge.ttf"); });
    EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD));
    EXPECT_EQ(MessageOf(f), "Data/huge.ttf: the font is damaged (its glyphs are far larger than their size)");
    BriselFont* good = e.LoadFont("good.ttf");
    BriselTex* text = e.MakeFontTex(good, 72, "Grappix", 4);  // the game's sizes still render
    EXPECT_GT(e.GetTexW(text), 100);
    EXPECT_LE(e.GetTexH(text), 72 + 2 * 4);
}
