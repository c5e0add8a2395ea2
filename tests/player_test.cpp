// The player's sprites: which sheets are loaded, where the wire, anchor, ring and marker are
// drawn, and the after-image shown when the character's animation changes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "actors/player.hpp"
#include "fake/fake_engine.hpp"
#include "frame/media.hpp"

namespace grappix {
namespace {

using test::Call;
using test::FakeEngine;

constexpr double kPi = 3.14159265358979;

// DrawTexRot arguments: src x, y, w, h, dst x, y, w, h, centre x, y, angle, r, g, b, a.
enum { kSrcX, kSrcY, kSrcW, kSrcH, kDstX, kDstY, kDstW, kDstH, kCx, kCy, kAngle, kR, kG, kB, kA };

std::vector<Call> DrawsOf(const FakeEngine& fake, const std::string& file) {
    std::vector<Call> out;
    for (const auto& c : fake.Named("DrawTexRot"))
        if (c.file == file) out.push_back(c);
    return out;
}

struct Sprites {
    FakeEngine fake;
    Player player;
    Sprites() {
        player.Configure(10);
        player.LoadSheets(0, -900, 1600, 900);
        fake.ClearCalls();
    }
};

TEST(PlayerTest, LoadsOnlyTheDrawnSheetsInOrder) {
    // The two character sheets nothing draws are not loaded (a missing one would end the run).
    FakeEngine fake;
    Player player;
    player.Configure(10);
    player.LoadSheets(0, -900, 1600, 900);
    std::vector<std::string> files;
    for (const auto& c : fake.Named("LoadTex")) files.push_back(c.text);
    EXPECT_EQ(files, (std::vector<std::string>{"wire.vqtex", "anchor.vqtex", "ring.vqtex", "hookpoint.vqtex",
                                               "ese_raf.vqtex"}));
    // Every id the World can ask for exists, with durations in ticks of the time scale.
    const Anime& sheet = player.BodySheet();
    for (int64_t id : {130, 140, 230, 240, 330, 340, 430, 440, 530, 540, 630, 640, 730, 740}) {
        bool found = false;
        for (int64_t i = 0; i < sheet.EntryCount(); ++i) found = found || sheet.EntryAt(i).id == id;
        EXPECT_TRUE(found) << id;
    }
    EXPECT_EQ(sheet.GetLength(130), (8 + 8 + 25 + 8) * 10);
    EXPECT_EQ(sheet.GetLength(230), 20 * 10);
    EXPECT_EQ(sheet.GetLength(740), 300 * 10);
    for (const auto& log : fake.Log()) EXPECT_EQ(log.rfind("err", 0), std::string::npos) << log;
}

TEST(PlayerTest, WireStretchesFromBodyToHookAndAnchorSitsPastTheHook) {
    Sprites s;
    // Hook 300 pixels straight above the body; shot straight up.
    s.player.DrawWire(5, -kPi / 2, 10, 800, -200, 800, -500, 0, -900);
    auto wire = DrawsOf(s.fake, "wire.vqtex");
    ASSERT_EQ(wire.size(), 1u);
    EXPECT_EQ(wire[0].args[kSrcW], 256);
    EXPECT_DOUBLE_EQ(wire[0].args[kDstX], 800 - 5);           // centre x 800, half-width 5
    EXPECT_DOUBLE_EQ(wire[0].args[kDstY], -350 - 150 + 900);  // midpoint y -350, half-length 150
    EXPECT_DOUBLE_EQ(wire[0].args[kDstW], 10);
    EXPECT_DOUBLE_EQ(wire[0].args[kDstH], 300);
    EXPECT_NEAR(wire[0].args[kAngle], 0, 1e-12);  // the strip's length is the sprite's height
    EXPECT_DOUBLE_EQ(s.player.WireHalfLen(), 150);

    auto anchor = DrawsOf(s.fake, "anchor.vqtex");
    ASSERT_EQ(anchor.size(), 1u);
    EXPECT_EQ(anchor[0].args[kSrcW], 1024);
    EXPECT_DOUBLE_EQ(anchor[0].args[kDstW], 50);  // half-size 5 x 5
    EXPECT_NEAR(anchor[0].args[kDstX], 800 - 25, 1e-9);
    EXPECT_NEAR(anchor[0].args[kDstY], -510 - 25 + 900, 1e-9);  // 10 past the hook
    EXPECT_DOUBLE_EQ(anchor[0].args[kAngle], -kPi / 2);
}

TEST(PlayerTest, WireIsDrawnWhereverItLies) {
    // The wire's centre may be far off screen while the body is on it: never culled.
    Sprites s;
    s.player.DrawWire(5, 0, 10, 800, -450, 100000, -450, 0, -900);
    EXPECT_EQ(DrawsOf(s.fake, "wire.vqtex").size(), 1u);
    // A wire of length 0 is a strip of length 0; the anchor is still drawn.
    s.fake.ClearCalls();
    s.player.DrawWire(5, 0, 10, 800, -450, 800, -450, 0, -900);
    auto wire = DrawsOf(s.fake, "wire.vqtex");
    ASSERT_EQ(wire.size(), 1u);
    EXPECT_EQ(wire[0].args[kDstH], 0);
    EXPECT_EQ(DrawsOf(s.fake, "anchor.vqtex").size(), 1u);
}

TEST(PlayerTest, RingTurnsTowardTheAimAndMarkerSpinsWithTheFrameCounter) {
    Sprites s;
    SetFrameCount(30);
    s.player.DrawAim(200, 25, 800, -450, 300, 800, -250, 0, -900);
    auto ring = DrawsOf(s.fake, "ring.vqtex");
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_DOUBLE_EQ(ring[0].args[kDstW], 400);
    EXPECT_NEAR(ring[0].args[kAngle], kPi / 2, 1e-12);  // aim straight below the body
    auto marker = DrawsOf(s.fake, "hookpoint.vqtex");
    ASSERT_EQ(marker.size(), 1u);
    EXPECT_EQ(marker[0].args[kSrcX], 0);  // id 300: the reeling marker
    EXPECT_EQ(marker[0].args[kSrcY], 64);
    EXPECT_DOUBLE_EQ(marker[0].args[kDstX], 800 - 25);
    EXPECT_DOUBLE_EQ(marker[0].args[kDstY], -250 - 25 + 900);
    EXPECT_NEAR(marker[0].args[kAngle], kPi / 2, 1e-12);  // 30 frames: a quarter turn

    s.fake.ClearCalls();
    SetFrameCount(120);
    s.player.DrawFreeMarker(50, 400, -300, 0, -900);
    marker = DrawsOf(s.fake, "hookpoint.vqtex");
    ASSERT_EQ(marker.size(), 1u);
    EXPECT_EQ(marker[0].args[kSrcX], 64);  // id 200
    EXPECT_DOUBLE_EQ(marker[0].args[kDstW], 100);
    EXPECT_NEAR(marker[0].args[kAngle], 2 * kPi, 1e-12);  // a full turn every 120 frames
}

// The alphas of the character draws of one DrawBody.
std::vector<double> BodyAlphas(Sprites& s, int64_t id) {
    s.fake.ClearCalls();
    s.player.DrawBody(id, 0, 800, -450, 100, 100, 0, -900);
    std::vector<double> alphas;
    for (const auto& c : DrawsOf(s.fake, "ese_raf.vqtex")) alphas.push_back(c.args[kA]);
    return alphas;
}

TEST(PlayerTest, AfterImageShowsSevenFramesBehindTheNewAnimation) {
    Sprites s;
    // The first draw changes from id 0 (no such animation): the sheet's first frame is shown.
    s.fake.ClearCalls();
    s.player.DrawBody(230, 0, 800, -450, 100, 100, 0, -900);
    auto first = DrawsOf(s.fake, "ese_raf.vqtex");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].args[kSrcX], 1280);
    EXPECT_EQ(first[0].args[kSrcY], 0);
    EXPECT_EQ(first[0].args[kA], 0.5);
    EXPECT_EQ(first[1].args[kSrcX], 1024);  // id 230 over it
    EXPECT_EQ(first[1].args[kA], 1.0);
    for (int frame = 2; frame <= 7; ++frame)
        EXPECT_EQ(BodyAlphas(s, 230), (std::vector<double>{0.5, 1.0})) << frame;
    EXPECT_EQ(BodyAlphas(s, 230), (std::vector<double>{1.0}));
    EXPECT_FALSE(s.player.GhostOn());
}

TEST(PlayerTest, NewChangeRestartsTheAfterImageWithTheAnimationJustLeft) {
    Sprites s;
    for (int i = 0; i < 10; ++i) BodyAlphas(s, 230);  // settled on 230
    BodyAlphas(s, 240);
    BodyAlphas(s, 240);
    BodyAlphas(s, 240);
    EXPECT_EQ(s.player.GhostId(), 230);
    s.fake.ClearCalls();
    s.player.DrawBody(230, 0, 800, -450, 100, 100, 0, -900);  // back within 7 frames
    auto draws = DrawsOf(s.fake, "ese_raf.vqtex");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].args[kSrcX], 0);  // the after-image is now 240's first frame
    EXPECT_EQ(draws[0].args[kSrcY], 512);
    EXPECT_EQ(s.player.GhostId(), 240);
    for (int frame = 2; frame <= 7; ++frame)
        EXPECT_EQ(BodyAlphas(s, 230).size(), 2u) << frame;  // a full 7 frames again
    EXPECT_EQ(BodyAlphas(s, 230).size(), 1u);
}

TEST(PlayerTest, AfterImageKeepsMovingWithTheClock) {
    Sprites s;
    for (int i = 0; i < 10; ++i) BodyAlphas(s, 230);
    s.fake.ClearCalls();
    s.player.DrawBody(240, 60, 800, -450, 100, 100, 0, -900);  // 6 frames into the cycle
    auto draws = DrawsOf(s.fake, "ese_raf.vqtex");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].args[kSrcX], 1280);  // 230's second frame, lean included
    EXPECT_DOUBLE_EQ(draws[0].args[kAngle], 0.314159265358979);
    EXPECT_EQ(draws[1].args[kSrcX], 256);  // 240's second frame
}

}  // namespace
}  // namespace grappix
