// A game left running for days, or a body flown millions of pixels: the frame counter past
// 2^31, the row of blocks and the scenery far along x. Everything runs under the game's
// floating-point setting (round toward zero, invalid operation trapped: a trap kills the test
// binary), restored to the default afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "actors/player.hpp"
#include "blocks/block_field.hpp"
#include "common/backdrop.hpp"
#include "fake/fake_engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "game/hud.hpp"

namespace grappix {
namespace {

using test::Call;
using test::FakeEngine;

constexpr double kPi = 3.14159265358979;
constexpr int64_t kTwo31 = int64_t{1} << 31;

struct GameFloatingPoint {
    GameFloatingPoint() { SetGameFloatingPoint(); }
    ~GameFloatingPoint() { WriteMxcsr(0x1F80); }
};

std::vector<Call> DrawsOf(const FakeEngine& fake, const std::string& file) {
    std::vector<Call> out;
    for (const auto& c : fake.Named("DrawTexRot"))
        if (c.file == file) out.push_back(c);
    return out;
}

TEST(LongPlayTest, GradingKeepsItsFiftyFrameRhythmPastTwoToThe31) {
    // Guards against the frame counter being cut to 32 bits anywhere on its way to the
    // grading: past 2^31 a cut counter goes negative and the rhythm breaks (or never grades).
    for (int64_t first :
         {kTwo31 - 200, kTwo31 - 7, int64_t{4294967296} - 120, int64_t{1000000000000000} - 60}) {
        FakeEngine fake;
        Hud hud;
        hud.Prepare();
        hud.Setup();
        std::vector<int64_t> graded;
        {
            GameFloatingPoint fp;
            // A body going 20 pixels a frame: level 0 from the first grading on, then steady.
            // Every grading restarts the banner's fade: the old banner's alpha jumps back up.
            double alpha = hud.GetOldAlpha();
            for (int64_t f = first; f < first + 400; ++f) {
                SetFrameCount(f);
                hud.Update(20.0 * static_cast<double>(f - first));
                if (f >= first + 60 && hud.GetOldAlpha() > alpha) graded.push_back(f);
                alpha = hud.GetOldAlpha();
            }
        }
        ASSERT_FALSE(graded.empty()) << first;
        for (int64_t f : graded) EXPECT_EQ(f % 50, 0) << "graded at frame " << f;
        // From 60 frames in (past the first grading, which starts from full alpha and so does
        // not show), every 50th frame grades: none is skipped.
        size_t multiples = 0;
        for (int64_t f = first + 60; f < first + 400; ++f) multiples += f % 50 == 0 ? 1 : 0;
        EXPECT_EQ(graded.size(), multiples) << first;
        EXPECT_EQ(hud.GetLevel(), 0);
        EXPECT_EQ(hud.GetSpeedValue(), 2 * 20 * 299);
    }
}

TEST(LongPlayTest, AGainPastTwoToThe31SlidesItsBannerInAndPlaysOnce) {
    // Guards against the banner's twenty-frame animation (counted from the grading frame)
    // stalling or running on when the counter is huge.
    FakeEngine fake;
    Hud hud;
    hud.Prepare();
    hud.Setup();
    fake.ClearCalls();
    const int64_t grading = 2147483650;  // the first multiple of 50 past 2^31
    std::vector<double> slide;
    int gains = 0;
    {
        GameFloatingPoint fp;
        for (int64_t f = grading - 3; f < grading + 25; ++f) {
            SetFrameCount(f);
            hud.Update(f >= grading ? 4900 : 0);  // 9800: level 3
            for (const Call& c : fake.Named("PlaySnd")) gains += c.file == "power32.ogg" ? 1 : 0;
            fake.ClearCalls();
            hud.Draw();
            auto banners = DrawsOf(fake, "combo.vqtex");
            slide.push_back(banners.empty() ? -1 : banners.back().args[4]);
        }
    }
    EXPECT_EQ(hud.GetLevel(), 3);
    EXPECT_EQ(gains, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(slide[k], -1) << "no banner before the gain";
    for (int k = 0; k < 20; ++k) EXPECT_NEAR(slide[3 + k], -1536 + 76.8 * (k + 1), 1e-6) << k;
    for (int k = 20; k < 25; ++k) EXPECT_NEAR(slide[3 + k], 0, 1e-6) << k;
}

TEST(LongPlayTest, TheMarkerKeepsSpinningThreeDegreesAFramePastTwoToThe31) {
    // Guards against the spin angle losing its precision or its sign when the counter is huge.
    FakeEngine fake;
    Player player;
    player.Configure(10);
    player.LoadSheets(0, -900, 1600, 900);
    for (int64_t first : {kTwo31 - 2, int64_t{1} << 33}) {
        std::vector<double> angles;
        {
            GameFloatingPoint fp;
            for (int64_t f = first; f < first + 130; ++f) {
                SetFrameCount(f);
                fake.ClearCalls();
                player.DrawFreeMarker(50, 400, -300, 0, -900);
                auto marker = DrawsOf(fake, "hookpoint.vqtex");
                ASSERT_EQ(marker.size(), 1u);
                angles.push_back(marker[0].args[10]);
            }
        }
        for (size_t k = 0; k < angles.size(); ++k) {
            ASSERT_TRUE(std::isfinite(angles[k]));
            EXPECT_GT(angles[k], 0);
            // A full turn every 120 frames: the angle, taken round the circle, follows the
            // counter modulo 120.
            const int64_t f = first + static_cast<int64_t>(k);
            double turn = std::fmod(angles[k], 2 * kPi);
            double expected = static_cast<double>(f % 120) * 2 * kPi / 120;
            double gap = std::fabs(turn - expected);
            EXPECT_LT(std::min(gap, 2 * kPi - gap), 1e-4) << "frame " << f;
            if (k > 0) {
                EXPECT_NEAR(angles[k] - angles[k - 1], 2 * kPi / 120, 1e-5) << "frame " << f;
            }
        }
    }
}

TEST(LongPlayTest, TheRowOfBlocksKeepsItsRhythmMillionsOfPixelsAlong) {
    // Guards against blocks bunching, leaving holes or falling behind when the row has
    // leapfrogged hundreds of times under the game's rounding.
    FakeEngine fake;
    BlockField field;
    field.Generate();
    field.LoadSheet(0, -900, 1600, 900);
    GameFloatingPoint fp;
    double x = 0;
    for (; x < 6.0e6; x += 97.3) field.Recycle(x);
    std::vector<std::pair<double, int64_t>> row;
    for (int64_t i = 0; i < field.GetCount(); ++i) {
        const Block& b = field.GetBlock(i);
        ASSERT_LE(x - b.x, 8000.0 + 97.3);  // nothing left far behind
        ASSERT_LT(b.x - x, 12000.0);        // nor far ahead
        EXPECT_EQ(b.cx, b.x + 100);
        if (i % 2 == 0) {
            EXPECT_EQ(b.y, -900.0);
        } else {
            EXPECT_EQ(b.y + b.h, 0.0);
        }
        row.push_back({b.x, i});
    }
    std::sort(row.begin(), row.end());
    for (size_t k = 1; k < row.size(); ++k) {
        EXPECT_EQ(row[k].first - row[k - 1].first, 800.0);
        EXPECT_NE(row[k].second % 2, row[k - 1].second % 2);
    }
    // Drawn where they stand, relative to a camera 700 pixels behind the body.
    const double camX = x - 700;
    fake.ClearCalls();
    field.Draw(camX, -900);
    int inView = 0;
    for (const Call& c : DrawsOf(fake, "block.vqtex")) {
        const double left = c.args[4];
        const double phase = std::fmod(left + camX, 800.0);  // on the 800-pixel grid
        EXPECT_LT(std::min(phase, 800 - phase), 1e-6) << left;
        if (left + 200 > 0 && left < 1600) ++inView;
    }
    EXPECT_GE(inView, 2);  // 1600 pixels of screen hold two or three blocks
}

// Tiles of one scenery file drawn for a camera, as (left, width) on screen, sorted.
std::vector<std::pair<double, double>> Tiles(FakeEngine& fake, Backdrop& backdrop, double camX,
                                             const std::string& file, bool reflection) {
    fake.ClearCalls();
    backdrop.Draw(camX, -900);
    std::vector<std::pair<double, double>> tiles;
    for (const Call& c : DrawsOf(fake, file))
        if ((c.args[3] < 0) == reflection) tiles.push_back({c.args[4], c.args[6]});
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}

TEST(LongPlayTest, TheSceneryCoversTheScreenAndScrollsFarAlong) {
    // Guards against a strip of bare background, or a jumping row, when the camera is
    // millions (or tens of trillions) of pixels along and the game rounds toward zero.
    FakeEngine fake;
    Backdrop backdrop;
    backdrop.Configure(0, -900, -100, -850, true);
    backdrop.LoadSheets(0, -900, 1600, 900);
    struct Row {
        const char* file;
        bool reflection;
        double tileW, factor;
    };
    const Row rows[] = {{"distant_view.vqtex", false, 2200, 0.1},
                        {"distant_view.vqtex", true, 2200, 0.1},
                        {"lake.vqtex", false, 4400, 0.3},
                        {"ground.vqtex", false, 2000, 1.0},
                        {"roof.vqtex", false, 2000, 1.0}};
    GameFloatingPoint fp;
    for (double base : {5.0e6, 123456789.0, 4.0e13}) {
        for (double step : {0.0, 0.5, 999.75, 1999.0, 10999.5, 21999.9}) {
            const double camX = base + step;
            for (const Row& row : rows) {
                auto now = Tiles(fake, backdrop, camX, row.file, row.reflection);
                auto next = Tiles(fake, backdrop, camX + 5, row.file, row.reflection);
                SCOPED_TRACE(std::string(row.file) + " at " + std::to_string(camX));
                ASSERT_FALSE(now.empty());
                EXPECT_LE(now.front().first, 0.0);
                EXPECT_GE(now.back().first + now.back().second, 1600.0);
                for (size_t i = 1; i < now.size(); ++i)
                    EXPECT_NEAR(now[i].first, now[i - 1].first + row.tileW, 0.05);
                // Five pixels of camera move the row by five times its factor, modulo a tile.
                double drift = std::fmod(now.front().first - next.front().first + 3 * row.tileW, row.tileW);
                drift = std::min(drift, row.tileW - drift);
                EXPECT_NEAR(drift, 5 * row.factor, 0.05);
            }
        }
    }
}

}  // namespace
}  // namespace grappix
