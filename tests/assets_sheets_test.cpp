// The generated texture sheets, read back from the build's Data/ folder: every rectangle
// the game cuts lies inside its sheet and shows something, and the pictures meet the
// stage where the game's collisions put the bodies.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/sprite_layout.hpp"

namespace {

const std::string kData = GX_DATA_DIR;

struct Px {
    int r, g, b, a;
};

// A PNG read back as straight (not premultiplied) RGBA.
class Image {
public:
    explicit Image(const std::string& file) : path_(kData + "/" + file) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(path_.c_str());
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(s);
            ADD_FAILURE() << path_ << " cannot be read as PNG";
            return;
        }
        w_ = cairo_image_surface_get_width(s);
        h_ = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* d = cairo_image_surface_get_data(s);
        px_.resize(static_cast<size_t>(w_) * h_);
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                uint32_t v = reinterpret_cast<const uint32_t*>(d + y * stride)[x];
                int a = v >> 24, r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
                if (a > 0 && a < 255) {
                    r = r * 255 / a;
                    g = g * 255 / a;
                    b = b * 255 / a;
                }
                px_[static_cast<size_t>(y) * w_ + x] = {r, g, b, a};
            }
        cairo_surface_destroy(s);
    }
    int w() const { return w_; }
    int h() const { return h_; }
    Px at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
    bool ok() const { return w_ > 0; }

    // Share of the rectangle's texels that are clearly visible (alpha above 32).
    double Coverage(int x0, int y0, int w, int h) const {
        long n = 0, vis = 0;
        for (int y = y0; y < std::min(y0 + h, h_); ++y)
            for (int x = x0; x < std::min(x0 + w, w_); ++x, ++n) vis += at(x, y).a > 32;
        return n ? static_cast<double>(vis) / n : 0;
    }
    // Bounding box of the visible texels of a cell: x0, y0, x1, y1 (inclusive).
    std::vector<int> Ink(int cx, int cy, int w, int h, int alpha = 128) const {
        std::vector<int> b = {1 << 30, 1 << 30, -1, -1};
        for (int y = cy; y < cy + h; ++y)
            for (int x = cx; x < cx + w; ++x)
                if (at(x, y).a > alpha) {
                    b[0] = std::min(b[0], x - cx);
                    b[1] = std::min(b[1], y - cy);
                    b[2] = std::max(b[2], x - cx);
                    b[3] = std::max(b[3], y - cy);
                }
        return b;
    }
    // Mean absolute RGBA difference between two same-sized cells.
    double CellDifference(int ax, int ay, int bx, int by, int w, int h) const {
        double sum = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Px p = at(ax + x, ay + y), q = at(bx + x, by + y);
                sum +=
                    std::abs(p.a - q.a) + (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b)) *
                                              std::min(p.a, q.a) / 255.0;
            }
        return sum / (static_cast<double>(w) * h);
    }
    // Mean absolute difference between two columns, colour weighted by alpha.
    double ColumnDifference(int xa, int xb) const {
        double sum = 0;
        for (int y = 0; y < h_; ++y) {
            Px p = at(xa, y), q = at(xb, y);
            sum +=
                std::abs(p.a - q.a) + (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b)) / 3.0;
        }
        return sum / h_;
    }

private:
    std::string path_;
    int w_ = 0, h_ = 0;
    std::vector<Px> px_;
};

// The texture size a sheet's file declares for a picture stored smaller (its `vqSz` chunk,
// before the image data), or (0, 0) when it declares none.
std::pair<int, int> TextureSizeIn(const std::string& file) {
    std::ifstream in(kData + "/" + file, std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto be32 = [&](size_t at) {
        return int(uint8_t(png[at]) << 24 | uint8_t(png[at + 1]) << 16 | uint8_t(png[at + 2]) << 8 |
                   uint8_t(png[at + 3]));
    };
    for (size_t at = 8; at + 12 <= png.size(); at += size_t(be32(at)) + 12) {
        const std::string type = png.substr(at + 4, 4);
        if (type == "IDAT") break;
        if (type == "vqSz" && be32(at) == 8) return {be32(at + 8), be32(at + 12)};
    }
    return {0, 0};
}

using grappix::layout::Cell;
using grappix::layout::Sheet;

// Every rectangle the game cuts from each sheet, from the layout the game's objects read.
struct Use {
    Sheet sheet;
    std::vector<Cell> cells;
};

std::vector<Cell> BlockCells() {
    using namespace grappix::layout;
    return {kHanging200,   kHanging400A,  kHanging400B,  kStanding200,
            kStanding400A, kStanding400B, kStanding600A, kStanding600B};
}

std::vector<Use> GameUses() {
    using namespace grappix::layout;
    std::vector<Cell> glyphs, banners, runner;
    for (int code = kFirstGlyph + 1; code <= kLastGlyph; ++code) glyphs.push_back(GlyphCell(code));
    for (int i = 0; i < kBannerLevels; ++i) banners.push_back(BannerCell(i));
    for (const Cell& c : kStand) runner.push_back(c);
    for (const auto* cycle : {&kReel, &kAir, &kRunLeft, &kRunRight, &kJump})
        for (const Cell& c : *cycle) runner.push_back(c);
    runner.push_back(kClingWallLeft);
    runner.push_back(kClingWallRight);
    return {
        {kLogoSheet, {kLogo}},       {kFontSheet, glyphs},
        {kDistantSheet, {kDistant}}, {kLakeSheet, {kLake}},
        {kGroundSheet, {kGround}},   {kRoofSheet, {kRoof}},
        {kBlockSheet, BlockCells()}, {kBannerSheet, banners},
        {kWireSheet, {kWire}},       {kAnchorSheet, {kAnchor}},
        {kRingSheet, {kRing}},       {kHookPointSheet, {kMarkerAiming, kMarkerCaught, kMarkerReeling}},
        {kRunnerSheet, runner},      {kSmogSheet, {kSmog}},
    };
}

TEST(AssetSheets, EveryRectangleTheGameCutsLiesInsideItsSheetAndShowsSomething) {
    // Guards against a sheet drawn too small or a cell left blank at a place the game reads.
    for (const Use& use : GameUses()) {
        const std::string file = use.sheet.file;
        Image img(file);
        ASSERT_TRUE(img.ok()) << file;
        // A sheet stored at its drawn size: its cells, given in texels, are read at that size.
        const bool smaller = use.sheet.storedWidth != 0;
        EXPECT_EQ(img.w(), smaller ? use.sheet.storedWidth : use.sheet.width) << file;
        EXPECT_EQ(img.h(), smaller ? use.sheet.storedHeight : use.sheet.height) << file;
        EXPECT_EQ(TextureSizeIn(file),
                  smaller ? std::make_pair(use.sheet.width, use.sheet.height) : std::make_pair(0, 0))
            << file;
        for (Cell r : use.cells) {
            if (smaller) {
                const double kx = double(img.w()) / use.sheet.width, ky = double(img.h()) / use.sheet.height;
                r = {int(r.x * kx), int(r.y * ky), int(r.w * kx), int(r.h * ky)};
            }
            SCOPED_TRACE(file + " (" + std::to_string(r.x) + ", " + std::to_string(r.y) + ", " +
                         std::to_string(r.w) + ", " + std::to_string(r.h) + ")");
            EXPECT_GE(r.x, 0);
            EXPECT_GE(r.y, 0);
            EXPECT_LE(r.x + r.w, img.w());
            // The tall block is read from row 258, two rows past the sheet's end on purpose.
            if (file == "block.vqtex" && r.x == 0 && r.y == 258)
                EXPECT_EQ(r.y + r.h, img.h() + 2);
            else
                EXPECT_LE(r.y + r.h, img.h());
            EXPECT_GT(img.Coverage(r.x, r.y, r.w, r.h), file == "font_128_64.vqtex" ? 0.01 : 0.03);
        }
    }
}

// Guards against a sheet's finer copy (for large windows) that is not the same picture twice
// as fine: drawn at the wrong scale or place, at another size, or standing for another
// texture (every draw of it would then read the wrong texels). Averaged back down, each
// differs from its sheet only where edges are smoothed: 0.01 to 0.2 levels a channel.
TEST(AssetSheets, EachSheetDrawnTwiceAsFineIsTheSamePictureForTheSameTexture) {
    for (const Use& use : GameUses()) {
        const std::string file = use.sheet.file;
        const std::string finer = file.substr(0, file.rfind('.')) + "@2x.vqtex";
        Image img(file), fine(finer);
        ASSERT_TRUE(img.ok() && fine.ok()) << finer;
        ASSERT_EQ(fine.w(), 2 * img.w()) << finer;
        ASSERT_EQ(fine.h(), 2 * img.h()) << finer;
        EXPECT_EQ(TextureSizeIn(finer), std::make_pair(use.sheet.width, use.sheet.height)) << finer;
        double diff = 0;  // premultiplied, per channel
        for (int y = 0; y < img.h(); ++y)
            for (int x = 0; x < img.w(); ++x) {
                const Px p = img.at(x, y);
                int sum[4] = {};
                for (int j = 0; j < 4; ++j) {
                    const Px q = fine.at(2 * x + j % 2, 2 * y + j / 2);
                    sum[0] += q.r * q.a / 255, sum[1] += q.g * q.a / 255, sum[2] += q.b * q.a / 255,
                        sum[3] += q.a;
                }
                diff += std::abs(sum[0] / 4.0 - p.r * p.a / 255) + std::abs(sum[1] / 4.0 - p.g * p.a / 255) +
                        std::abs(sum[2] / 4.0 - p.b * p.a / 255) + std::abs(sum[3] / 4.0 - p.a);
            }
        diff /= 4.0 * img.w() * img.h();
        std::printf("%-22s finer copy, averaged down: %.2f levels apart\n", file.c_str(), diff);
        EXPECT_LT(diff, 1.0) << finer;
    }
}

TEST(AssetSheets, TheTwoSheetsNothingDrawsAreNotWritten) {
    // The game never loads these; generating them would only cost build time.
    EXPECT_FALSE(std::filesystem::exists(kData + "/onimotu4dir.vqtex"));
    EXPECT_FALSE(std::filesystem::exists(kData + "/raf.vqtex"));
}

TEST(AssetSheets, GlyphsAreWhiteWithADarkOutlineAndAllDifferent) {
    // A wrong cell order or a blank glyph shows the wrong letters in every menu.
    Image img("font_128_64.vqtex");
    ASSERT_TRUE(img.ok());
    EXPECT_LT(img.Coverage(0, 0, 64, 128), 0.001) << "space must be empty";
    // 'H' has a white stem on the left and an outline around it.
    const int hx = (('H' - 32) % 16) * 64, hy = (('H' - 32) / 16) * 128;
    int white = 0, dark = 0;
    for (int y = hy; y < hy + 128; ++y)
        for (int x = hx; x < hx + 64; ++x) {
            Px p = img.at(x, y);
            if (p.a > 200 && p.r > 230 && p.g > 230 && p.b > 230) ++white;
            if (p.a > 200 && p.r < 60 && p.g < 60 && p.b < 60) ++dark;
        }
    EXPECT_GT(white, 400);
    EXPECT_GT(dark, 400);
    for (int a = 33; a <= 126; ++a)
        for (int b = a + 1; b <= 126; ++b) {
            double d = img.CellDifference(((a - 32) % 16) * 64, ((a - 32) / 16) * 128, ((b - 32) % 16) * 64,
                                          ((b - 32) / 16) * 128, 64, 128);
            EXPECT_GT(d, 3.0) << "glyphs " << char(a) << " and " << char(b) << " look the same";
        }
}

TEST(AssetSheets, BackdropTilesJoinWithoutASeam) {
    // Tiles are laid side by side: the last column must lead into the first one as smoothly
    // as any two neighbouring columns inside the picture.
    for (const char* file : {"distant_view.vqtex", "lake.vqtex", "ground.vqtex", "roof.vqtex"}) {
        Image img(file);
        ASSERT_TRUE(img.ok()) << file;
        double inner = 0;
        for (int x = 1; x < img.w(); ++x) inner += img.ColumnDifference(x - 1, x);
        inner /= img.w() - 1;
        EXPECT_LE(img.ColumnDifference(img.w() - 1, 0), 3 * inner + 2.0) << file;
    }
}

TEST(AssetSheets, LakeLetsTheReflectionShowThrough) {
    // The reflection is drawn before the lake: an opaque lake would hide it.
    Image img("lake.vqtex");
    ASSERT_TRUE(img.ok());
    // The part above the ground strip (the lake spans -300..300, the ground starts at -75).
    const int visibleRows = static_cast<int>(512 * 225 / 600.0);
    double alpha = 0;
    int minA = 255, maxA = 0;
    for (int y = 0; y < visibleRows; ++y)
        for (int x = 0; x < img.w(); x += 8) {
            int a = img.at(x, y).a;
            alpha += a;
            minA = std::min(minA, a);
            maxA = std::max(maxA, a);
        }
    alpha /= visibleRows * (img.w() / 8) * 255.0;
    EXPECT_GT(alpha, 0.25);
    EXPECT_LT(alpha, 0.8);
    EXPECT_LT(maxA, 250);
    EXPECT_GT(minA, 20);
}

TEST(AssetSheets, GroundSurfaceSitsWhereStandingFeetAre) {
    // A body resting on the ground has its centre 65 px above the strip's top; the feet are
    // drawn 78 px below the centre, so the walking surface is 13 px (about 17 rows) down.
    Image img("ground.vqtex");
    ASSERT_TRUE(img.ok());
    auto rowAlpha = [&](int y) {
        double a = 0;
        for (int x = 0; x < img.w(); ++x) a += img.at(x, y).a;
        return a / (255.0 * img.w());
    };
    EXPECT_LT(rowAlpha(2), 0.3) << "sky must show above the grass tips";
    for (int y = 19; y < 128; ++y) EXPECT_GT(rowAlpha(y), 0.99) << "row " << y;
    Px surface = img.at(500, 17);
    EXPECT_LT(surface.r + surface.g + surface.b, 150) << "the surface line is outlined";
}

TEST(AssetSheets, RoofAndBlocksAreSolidAndOutlinedWhereBodiesTouchThem) {
    // The body stops at a block's edges and under the roof's bottom edge; those edges must
    // be drawn there, opaque and outlined, not inset.
    Image roof("roof.vqtex");
    ASSERT_TRUE(roof.ok());
    for (int x = 0; x < 1024; x += 64) {
        Px p = roof.at(x, 126);
        EXPECT_EQ(p.a, 255);
        EXPECT_LT(p.r + p.g + p.b, 150);
    }
    Image block("block.vqtex");
    ASSERT_TRUE(block.ok());
    for (const Cell& cell : BlockCells()) {
        // The picture ends at the sheet's edge (the tall block's last rows lie past it).
        const Cell r{cell.x, cell.y, cell.w, std::min(cell.h, block.h() - cell.y)};
        for (Px p : {block.at(r.x + 2, r.y + r.h / 2), block.at(r.x + r.w - 3, r.y + r.h / 2),
                     block.at(r.x + r.w / 2, r.y + 2), block.at(r.x + r.w / 2, r.y + r.h - 3)}) {
            EXPECT_EQ(p.a, 255) << r.x << "," << r.y;
            EXPECT_LT(p.r + p.g + p.b, 150) << r.x << "," << r.y;
        }
        EXPECT_GT(block.Coverage(r.x, r.y, r.w, r.h), 0.999);
    }
}

TEST(AssetSheets, TallBlocksAreBuiltOfTheSameBricksNotStretched) {
    // A 600 px block drawn from a squashed 200 px picture would show bricks three times as
    // tall. Count the mortar courses down the middle: they scale with the block's height.
    Image img("block.vqtex");
    ASSERT_TRUE(img.ok());
    auto courses = [&](const Cell& r) {
        int n = 0;
        bool inMortar = false;
        for (int y = r.y + 30; y < r.y + r.h - 30; ++y) {
            Px p = img.at(r.x + 100, y);
            bool dark = p.r + p.g + p.b < 260;
            if (dark && !inMortar) ++n;
            inMortar = dark;
        }
        return n;
    };
    int shortOne = courses(grappix::layout::kStanding200), tallOne = courses(grappix::layout::kStanding600B);
    EXPECT_GE(shortOne, 3);
    EXPECT_GE(tallOne, 3 * shortOne - 2);
}

TEST(AssetSheets, StandingCharacterFeetMeetTheGroundAndTheBlocks) {
    // Feet 100 texels (78 px) under the body centre: on the ground surface, and within 2 px
    // of a block's top (the body centre rests 80 px above it).
    Image img("ese_raf.vqtex");
    ASSERT_TRUE(img.ok());
    for (int x : {1280, 1536, 1792}) {
        std::vector<int> ink = img.Ink(x, 0, 256, 256);
        EXPECT_NEAR(ink[3], 228, 3) << "standing frame at " << x;
        EXPECT_GE(ink[1], 56) << "head of the standing frame at " << x;
        EXPECT_LE(ink[1], 80) << "head of the standing frame at " << x;
    }
    for (int x = 1024; x <= 1792; x += 256) EXPECT_NEAR(img.Ink(x, 512, 256, 256)[3], 228, 3) << "run " << x;
}

TEST(AssetSheets, AirborneBodiesFitUnderTheRoof) {
    // Under the roof the body centre is 51 texels below the girder: reeling, airborne and
    // jumping frames must not reach much higher than that.
    Image img("ese_raf.vqtex");
    ASSERT_TRUE(img.ok());
    for (int y : {256, 768})
        for (int x = 0; x < 2048; x += 256) {
            if (y == 768 && x < 1024) continue;  // clinging frames
            std::vector<int> ink = img.Ink(x, y, 256, 256);
            EXPECT_GE(ink[1], 128 - 51 - 4) << x << "," << y;
            EXPECT_LE(ink[1], 128 - 51 + 8) << x << "," << y;
        }
}

TEST(AssetSheets, ClingingFramesTouchTheWallOnTheirSide) {
    // Clinging bodies are 40 px (51 texels) from the wall. Wall on the left: cell (0, 768).
    // Wall on the right: cell (512, 768), which the game turns by -pi/20 about its centre.
    Image img("ese_raf.vqtex");
    ASSERT_TRUE(img.ok());
    std::vector<int> left = img.Ink(0, 768, 256, 256);
    EXPECT_NEAR(left[0], 128 - 51, 4);
    double maxX = -1e9, minX = 1e9;
    const double a = -3.14159265358979 / 20;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (img.at(512 + x, 768 + y).a > 128) {
                double dx = x + 0.5 - 128, dy = y + 0.5 - 128;
                double rx = dx * std::cos(a) - dy * std::sin(a);
                maxX = std::max(maxX, rx);
                minX = std::min(minX, rx);
            }
    EXPECT_NEAR(maxX, 51, 4);
    EXPECT_GT(minX, -60) << "the body stays on its own side";
}

TEST(AssetSheets, RunningCyclesAreRealCyclesAndLeftIsTheMirrorDirection) {
    // Four frames that differ from each other (not one picture repeated), and the running
    // left frames face the other way from the running right ones.
    Image img("ese_raf.vqtex");
    ASSERT_TRUE(img.ok());
    for (int row : {0, 1024})
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_GT(img.CellDifference(row + 256 * a, 512, row + 256 * b, 512, 256, 256), 2.0)
                    << "run frames " << a << " and " << b << " at x " << row;
    // The face (skin colour) is on the right of the head when running right, left otherwise.
    auto skinX = [&](int cx, int cy) {
        double sx = 0, n = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                Px p = img.at(cx + x, cy + y);
                if (p.a > 200 && p.r > 220 && p.g > 170 && p.g < 215 && p.b > 130 && p.b < 180) {
                    sx += x;
                    ++n;
                }
            }
        return n > 0 ? sx / n : -1.0;
    };
    for (int i = 0; i < 4; ++i) {
        double right = skinX(1024 + 256 * i, 512), leftward = skinX(256 * i, 512);
        ASSERT_GT(right, 0);
        ASSERT_GT(leftward, 0);
        EXPECT_GT(right, 128) << "running right faces right";
        EXPECT_LT(leftward, 128) << "running left faces left";
    }
}

TEST(AssetSheets, RotatedMarkersPointAlongPlusX) {
    // The ring, the anchor and the markers are turned by the game; at angle 0 the ring and
    // the anchor must point to +x, or every aim is shown in a wrong direction.
    Image ring("ring.vqtex");
    ASSERT_TRUE(ring.ok());
    std::vector<int> rb = ring.Ink(0, 0, 512, 512);
    EXPECT_GT(rb[2], 500);
    int tipRow = -1;
    for (int y = 0; y < 512; ++y)
        if (ring.at(rb[2], y).a > 128) {
            tipRow = y;
            break;
        }
    EXPECT_NEAR(tipRow, 256, 12) << "the furthest point on the right is on the +x axis";
    auto gold = [&](int x0, int x1) {
        int n = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = x0; x < x1; ++x) {
                Px p = ring.at(x, y);
                n += p.a > 128 && p.r > 200 && p.g > 150 && p.b < 120;
            }
        return n;
    };
    EXPECT_GT(gold(384, 512), 500) << "the gold aim mark is on the +x side";
    EXPECT_EQ(gold(0, 384), 0);

    Image anchor("anchor.vqtex");
    ASSERT_TRUE(anchor.ok());
    std::vector<int> ab = anchor.Ink(0, 0, 1024, 1024);
    EXPECT_GT(ab[2], 950);
    int tip = -1;
    for (int y = 0; y < 1024; ++y)
        if (anchor.at(ab[2], y).a > 128) {
            tip = y;
            break;
        }
    EXPECT_NEAR(tip, 512, 20);
    EXPECT_GT(ab[0], 100) << "the eye at the back, where the wire is tied";

    Image marks("hookpoint.vqtex");
    ASSERT_TRUE(marks.ok());
    EXPECT_GT(marks.CellDifference(0, 0, 64, 0, 64, 64), 10);
    EXPECT_GT(marks.CellDifference(0, 0, 0, 64, 64, 64), 10);
    EXPECT_GT(marks.CellDifference(64, 0, 0, 64, 64, 64), 10);
}

TEST(AssetSheets, BannersRunFromHotAtLevelZeroToCoolAtLevelSeven) {
    // Row 0 is the fastest level. A reversed sheet would greet a crawl with the hottest
    // banner. Each banner starts at the left edge, where it slides in.
    Image img("combo.vqtex");
    ASSERT_TRUE(img.ok());
    auto warmth = [&](int row) {
        double warm = 0;
        int n = 0;
        // Below the lettering, on the ribbon itself (white streaks and outlines left out).
        for (int y = row * 128 + 98; y < row * 128 + 106; ++y)
            for (int x = 100; x < 700; x += 2) {
                Px p = img.at(x, y);
                bool ink = std::max({p.r, p.g, p.b})<90, streak = std::min({p.r, p.g, p.b})> 200;
                if (p.a > 128 && !ink && !streak) {
                    warm += p.r - p.b;
                    ++n;
                }
            }
        return n ? warm / n : 0.0;
    };
    EXPECT_GT(warmth(0), 60);
    EXPECT_LT(warmth(7), -60);
    EXPECT_GT(warmth(1), warmth(6));
    for (int i = 0; i < 8; ++i) EXPECT_GT(img.Coverage(0, 128 * i + 20, 20, 80), 0.95) << "row " << i;
}

TEST(AssetSheets, LogoSmogAndWireAreTranslucentWhereTheyShouldBe) {
    Image logo("title03.vqtex");
    ASSERT_TRUE(logo.ok());
    EXPECT_EQ(logo.at(0, 0).a, 0);
    EXPECT_EQ(logo.at(logo.w() - 1, logo.h() - 1).a, 0);
    EXPECT_EQ(logo.at(logo.w() - 1, 0).a, 0);
    Image smog("smog.vqtex");
    ASSERT_TRUE(smog.ok());
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(smog.at(i, 0).a, 0);
        EXPECT_EQ(smog.at(0, i).a, 0);
        EXPECT_EQ(smog.at(127, i).a, 0);
    }
    EXPECT_GT(smog.at(64, 64).a, 40);
    EXPECT_LT(smog.at(64, 64).a, 230);
    Image wire("wire.vqtex");
    ASSERT_TRUE(wire.ok());
    Px core = wire.at(128, 128);
    EXPECT_GT(core.r + core.g + core.b, 600) << "off-white core";
    Px edge = wire.at(40, 128);
    EXPECT_LT(edge.r + edge.g + edge.b, 150) << "dark edge";
}

}  // namespace
