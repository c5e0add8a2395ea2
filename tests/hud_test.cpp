// The heads-up display: the speed figure over the last 299 frames, its grading into levels
// every 50 frames of the frame counter, the banner animation and the two sounds.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fake/fake_engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "game/hud.hpp"

namespace grappix {
namespace {

using test::Call;
using test::FakeEngine;

struct Rig {
    FakeEngine fake;
    Hud hud;
    Rig() {
        hud.Prepare();
        hud.Setup();
        fake.ClearCalls();
    }
    // One frame of play at the given frame count.
    void At(int64_t frame, double bodyX) {
        SetFrameCount(frame);
        hud.Update(bodyX);
    }
    std::vector<Call> Banners() {
        fake.ClearCalls();
        hud.Draw();
        return fake.Named("DrawTexRot");
    }
    int Plays(const std::string& file) const {
        int n = 0;
        for (const auto& c : fake.Named("PlaySnd")) n += c.file == file ? 1 : 0;
        return n;
    }
};

TEST(HudTest, SpeedIsTwiceTheProgressOver299Frames) {
    Rig r;
    r.At(1, -200);  // left of x = 0, where the empty history starts: no progress
    EXPECT_EQ(r.hud.GetSpeedValue(), 0);
    EXPECT_EQ(r.hud.GetSpeedText(), "     ");
    Rig g;
    for (int k = 1; k <= 300; ++k) g.At(k, 10.0 * k);
    EXPECT_EQ(g.hud.GetHistory(299), 10.0);
    EXPECT_EQ(g.hud.GetSpeedValue(), 2 * 2990);
    EXPECT_EQ(g.hud.GetSpeedText(), " 5980");
    g.At(301, 0);  // going back left leaves the figure as it was
    EXPECT_EQ(g.hud.GetSpeedValue(), 5980);
    g.At(302, 1000.75);  // truncated toward zero before doubling
    EXPECT_EQ(g.hud.GetSpeedValue(), 2 * (1000 - 30));
}

TEST(HudTest, ReadoutShowsTenCharactersAndOnlyTheLastFiveDigits) {
    Rig r;
    r.At(1, 61728);  // 123456
    EXPECT_EQ(r.hud.GetSpeedValue(), 123456);
    EXPECT_EQ(r.hud.GetSpeedText(), "23456");
    r.fake.ClearCalls();
    r.hud.Draw();
    auto glyphs = r.fake.Named("DrawTex");
    ASSERT_EQ(glyphs.size(), 10u);  // "SPEED23456"
    EXPECT_EQ(glyphs[0].file, "font_128_64.vqtex");
    EXPECT_EQ(glyphs[9].args[4], 50 + 9 * 30);  // x: 30 a character from 50
    EXPECT_EQ(glyphs[9].args[5], 50);
    EXPECT_EQ(glyphs[9].args[6], 30);
    EXPECT_EQ(glyphs[9].args[7], 60);
}

TEST(HudTest, GradingThresholdsAreStrict) {
    // Guards against >= in place of >: 6000 is no level at all, 11000 is level 1.
    struct Case {
        double x;
        int64_t level;
    };
    const Case cases[] = {{3000, 8}, {3000.9, 8}, {3001, 7}, {3500, 7}, {3501, 6},
                          {4750, 4}, {4751, 3},   {5500, 1}, {5501, 0}, {100000, 0}};
    for (const Case& c : cases) {
        Rig r;
        r.At(50, c.x);
        EXPECT_EQ(r.hud.GetLevel(), c.level) << c.x;
    }
}

TEST(HudTest, GradesOnlyEveryFiftyFramesOfTheFrameCounter) {
    Rig r;
    r.At(51, 5501);
    EXPECT_EQ(r.hud.GetLevel(), 8);
    r.At(99, 5501);
    EXPECT_EQ(r.hud.GetLevel(), 8);
    r.At(100, 5501);
    EXPECT_EQ(r.hud.GetLevel(), 0);
}

TEST(HudTest, FirstGradingIsAgainstNoLevel) {
    Rig still;
    still.At(50, 0);
    EXPECT_EQ(still.hud.GetLevel(), 8);
    EXPECT_EQ(still.hud.GetBannerMode(), BannerMode::Steady);
    EXPECT_EQ(still.fake.Named("PlaySnd").size(), 0u);
    EXPECT_TRUE(still.Banners().empty());

    Rig fast;
    fast.At(50, 3001);  // 6002: any level at all is a gain over the initial 8
    EXPECT_EQ(fast.hud.GetPrevLevel(), 8);
    EXPECT_EQ(fast.hud.GetLevel(), 7);
    EXPECT_EQ(fast.hud.GetBannerMode(), BannerMode::Gained);
    EXPECT_EQ(fast.Plays("power32.ogg"), 1);
    EXPECT_EQ(fast.Plays("down.ogg"), 0);
}

TEST(HudTest, GainSlidesTheNewBannerInOverTwentyFrames) {
    Rig r;
    for (int64_t frame = 50; frame < 100; ++frame) {
        r.At(frame, 4900);  // 9800: level 3
        auto banners = r.Banners();
        ASSERT_EQ(banners.size(), 1u) << frame;  // no old banner: level 8 draws nothing
        const auto& a = banners[0].args;
        EXPECT_EQ(banners[0].file, "combo.vqtex");
        EXPECT_EQ(std::vector<double>(a.begin(), a.begin() + 4), (std::vector<double>{0, 384, 1024, 128}));
        const int64_t k = std::min<int64_t>(frame - 49, 20);
        EXPECT_NEAR(a[4], -1536 + 76.8 * static_cast<double>(k), 1e-9) << frame;
        EXPECT_EQ(std::vector<double>(a.begin() + 5, a.end()),
                  (std::vector<double>{110, 1536, 192, 0, 0, 0, 1, 1, 1, 1}));
    }
    EXPECT_NEAR(r.hud.GetOldAlpha(), 0, 1e-9);
    EXPECT_NEAR(r.hud.GetNewAlpha(), 1, 1e-9);
    EXPECT_EQ(r.Plays("power32.ogg"), 0);  // played once, at frame 50 (calls cleared since)
    r.At(100, 4900);                       // same level: steady
    EXPECT_EQ(r.hud.GetBannerMode(), BannerMode::Steady);
    auto steady = r.Banners();
    ASSERT_EQ(steady.size(), 1u);
    EXPECT_EQ(steady[0].args[4], 0);
    EXPECT_EQ(steady[0].args[14], 1.0);
}

TEST(HudTest, LossToNoLevelDropsAndFadesTheOldBanner) {
    Rig r;
    for (int64_t frame = 50; frame < 100; ++frame) r.At(frame, 5501);  // level 0
    r.fake.ClearCalls();
    r.At(100, 1);  // 2: no level
    EXPECT_EQ(r.hud.GetLevel(), 8);
    EXPECT_EQ(r.hud.GetBannerMode(), BannerMode::Lost);
    EXPECT_EQ(r.Plays("down.ogg"), 1);
    EXPECT_EQ(r.Plays("power32.ogg"), 0);
    for (int64_t frame = 100; frame < 150; ++frame) {
        if (frame > 100) r.At(frame, 1);
        auto banners = r.Banners();
        ASSERT_EQ(banners.size(), 1u);
        const auto& a = banners[0].args;
        const double k = static_cast<double>(std::min<int64_t>(frame - 99, 20));
        EXPECT_EQ(a[1], 0);  // level 0's row
        EXPECT_EQ(a[4], 0);
        EXPECT_NEAR(a[5], 110 + 9.6 * k, 1e-9) << frame;
        EXPECT_NEAR(a[14], 1 - 0.05 * k, 1e-9) << frame;
    }
}

TEST(HudTest, LossBetweenLevelsFadesTheNewBannerIn) {
    Rig r;
    r.At(50, 5400);   // 10800: level 1
    r.At(100, 4900);  // measured against x = 0 still: 9800, level 3
    ASSERT_EQ(r.hud.GetLevel(), 3);
    for (int64_t frame = 101; frame <= 105; ++frame) r.At(frame, 4900);
    auto banners = r.Banners();
    ASSERT_EQ(banners.size(), 2u);
    EXPECT_EQ(banners[0].args[1], 128);  // old level 1, dropping, fading out
    EXPECT_NEAR(banners[0].args[5], 110 + 9.6 * 6, 1e-9);
    EXPECT_NEAR(banners[0].args[14], 1 - 0.05 * 6, 1e-9);
    EXPECT_EQ(banners[1].args[1], 384);  // new level 3 in place, fading in
    EXPECT_EQ(banners[1].args[5], 110);
    EXPECT_NEAR(banners[1].args[14], 0.05 * 6, 1e-9);
}

TEST(HudTest, FarFromTheStartTheFigureStaysInRange) {
    // Guards against a double beyond the 64-bit range being converted (an invalid operation
    // that ends the run) and against a doubling that overflows.
    Rig r;
    WriteMxcsr(0x7F00);
    r.At(1, 3.0e6 + 0.5);
    const int64_t millions = r.hud.GetSpeedValue();
    r.At(2, 1.0e30);
    const int64_t huge = r.hud.GetSpeedValue();
    r.At(3, std::nan(""));  // not a position: ignored
    const double kept = r.hud.GetHistory(0);
    WriteMxcsr(0x1F80);
    EXPECT_EQ(millions, 6000000);
    EXPECT_EQ(huge, 2000000000000000000);
    EXPECT_EQ(kept, 1.0e30);
    EXPECT_EQ(r.hud.GetSpeedValue(), huge);
}

}  // namespace
}  // namespace grappix
