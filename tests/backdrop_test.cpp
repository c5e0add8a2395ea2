// Backdrop: the scenery rows must cover the screen wherever the camera is, and the far
// layers must drift at their own rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/backdrop.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

constexpr double kViewY = -900;

// One drawn tile, in screen pixels.
struct Tile {
    double left, top, width, height;
};

// The layers as drawn: the file, and for the distant view which half (the reflection reads
// the sheet from y = 512 upwards).
struct LayerInfo {
    const char* file;
    int reflection;  // -1 any, 0 upright, 1 reflection
    double tileW;
    double factor;
    double top, height;  // on screen for the view at y = -900
};

const LayerInfo kLayers[] = {
    {"distant_view.vqtex", 0, 2200, 0.1, -900 + 900, 600},
    {"distant_view.vqtex", 1, 2200, 0.1, -300 + 900, 600},
    {"lake.vqtex", -1, 4400, 0.3, -300 + 900, 600},
    {"ground.vqtex", -1, 2000, 1.0, -75 + 900, 100},
    {"roof.vqtex", -1, 2000, 1.0, -950 + 900, 100},
};

struct BackdropFixture : ::testing::Test {
    FakeEngine fake;
    Backdrop backdrop;

    void SetUp() override {
        backdrop.Configure(0, -900, -100, -850, true);
        backdrop.LoadSheets(0, kViewY, 1600, 900);
        fake.ClearCalls();
    }

    std::vector<Tile> Drawn(double camX, const LayerInfo& layer) {
        fake.ClearCalls();
        backdrop.Draw(camX, kViewY);
        std::vector<Tile> tiles;
        for (const auto& c : fake.Named("DrawTexRot")) {
            if (c.file != layer.file) continue;
            if (layer.reflection >= 0 && (c.args[3] < 0) != (layer.reflection == 1)) continue;
            tiles.push_back({c.args[4], c.args[5], c.args[6], c.args[7]});
        }
        std::sort(tiles.begin(), tiles.end(), [](const Tile& a, const Tile& b) { return a.left < b.left; });
        return tiles;
    }
};

// Where the row's tiles fall on screen, reduced modulo the tile width.
double Phase(const std::vector<Tile>& tiles, double tileW) {
    double p = std::fmod(tiles.at(0).left, tileW);
    return p < 0 ? p + tileW : p;
}

double ModDistance(double a, double b, double period) {
    double d = std::fmod(std::fabs(a - b), period);
    return std::min(d, period - d);
}

TEST_F(BackdropFixture, EveryLayerCoversTheScreenWithoutGapsAnywhere) {
    // Guards against a strip of bare background opening between tiles, near the start or far
    // along the stage.
    // Cameras just short of a wrap put each row's anchor furthest left of the screen.
    for (double camX : {0.0, 2500.0, 1000.0, -500.0, -200.0, -123456.7, 999.999, 1999.0, 14600.0, 14666.6667,
                        21900.0, 3e6, 3e6 + 777.3, 3e6 + 1950.5, 2.5e7 + 0.25}) {
        for (const LayerInfo& layer : kLayers) {
            auto tiles = Drawn(camX, layer);
            ASSERT_FALSE(tiles.empty()) << layer.file << " at " << camX;
            EXPECT_LE(tiles.front().left, 0.0) << layer.file << " at " << camX;
            EXPECT_GE(tiles.back().left + tiles.back().width, 1600.0) << layer.file << " at " << camX;
            for (size_t i = 0; i < tiles.size(); ++i) {
                EXPECT_EQ(tiles[i].width, layer.tileW);
                EXPECT_EQ(tiles[i].top, layer.top) << layer.file;
                EXPECT_EQ(tiles[i].height, layer.height) << layer.file;
                if (i > 0) {
                    EXPECT_NEAR(tiles[i].left, tiles[i - 1].left + layer.tileW, 1e-6)
                        << layer.file << " at " << camX;
                }
            }
        }
    }
}

TEST_F(BackdropFixture, FarLayersDriftAtTheirOwnRate) {
    // Guards against the lake or the distant view scrolling with the ground (no depth) or at
    // the wrong speed, near the start or far along the stage.
    for (double from : {0.0, -5000.0, 123456.5, 3e6}) {
        for (double step : {1000.0, 37.5, 20000.0}) {
            for (const LayerInfo& layer : kLayers) {
                const double before = Phase(Drawn(from, layer), layer.tileW);
                const double after = Phase(Drawn(from + step, layer), layer.tileW);
                EXPECT_NEAR(ModDistance(before - layer.factor * step, after, layer.tileW), 0.0, 1e-6)
                    << layer.file << " from " << from << " by " << step;
            }
        }
    }
}

TEST_F(BackdropFixture, TileAnchorsNearTheStart) {
    backdrop.Draw(0, kViewY);
    EXPECT_EQ(backdrop.Ground().x, 0.0);
    auto ground = Drawn(0, kLayers[3]);
    ASSERT_EQ(ground.size(), 2u);  // tiles at 0 and 2000; -2000 and 4000 are off screen
    EXPECT_EQ(ground[0].left, -1000.0);
    EXPECT_EQ(ground[1].left, 1000.0);

    backdrop.Draw(2500, kViewY);
    EXPECT_EQ(backdrop.Ground().x, 2000.0);
    backdrop.Draw(1000, kViewY);
    EXPECT_DOUBLE_EQ(backdrop.Lake().x, 700.0);
    EXPECT_DOUBLE_EQ(backdrop.Distant().x, 900.0);
}

TEST_F(BackdropFixture, DrawsFarToNearWithTheirSources) {
    backdrop.Draw(0, kViewY);
    std::vector<std::string> order;
    for (const auto& c : fake.Named("DrawTexRot")) {
        std::string name = c.file + (c.args[3] < 0 ? " reflected" : "");
        if (order.empty() || order.back() != name) order.push_back(name);
        EXPECT_EQ(c.args[10], 0.0);  // no rotation
        EXPECT_EQ(c.args[14], 1.0);  // opaque
    }
    EXPECT_EQ(order, (std::vector<std::string>{"distant_view.vqtex", "distant_view.vqtex reflected",
                                               "lake.vqtex", "ground.vqtex", "roof.vqtex"}));
    auto draws = fake.Named("DrawTexRot");
    auto src = [&](const std::string& file, bool flipped) {
        for (const auto& c : draws)
            if (c.file == file && (c.args[3] < 0) == flipped)
                return std::vector<double>(c.args.begin(), c.args.begin() + 4);
        return std::vector<double>{};
    };
    EXPECT_EQ(src("distant_view.vqtex", false), (std::vector<double>{0, 0, 2048, 512}));
    EXPECT_EQ(src("distant_view.vqtex", true), (std::vector<double>{0, 512, 2048, -512}));
    EXPECT_EQ(src("lake.vqtex", false), (std::vector<double>{0, 0, 2048, 512}));
    EXPECT_EQ(src("ground.vqtex", false), (std::vector<double>{0, 0, 1024, 128}));
    EXPECT_EQ(src("roof.vqtex", false), (std::vector<double>{0, 0, 1024, 128}));
}

TEST(BackdropTest, NoRoofWhenSwitchedOffAndNothingBeforeTheSheets) {
    FakeEngine fake;
    Backdrop backdrop;
    backdrop.Configure(0, -900, -100, -850, false);
    backdrop.Draw(0, kViewY);  // sheets not loaded: nothing to draw, nothing breaks
    EXPECT_TRUE(fake.Named("DrawTexRot").empty());
    backdrop.LoadSheets(0, kViewY, 1600, 900);
    for (double camX : {0.0, 1234.5, -8000.0, 3e6}) {
        backdrop.Draw(camX, kViewY);
        for (const auto& c : fake.Named("DrawTexRot")) EXPECT_NE(c.file, "roof.vqtex");
    }
    EXPECT_FALSE(fake.Named("DrawTexRot").empty());
}

}  // namespace
}  // namespace grappix
