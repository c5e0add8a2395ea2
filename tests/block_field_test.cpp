// BlockField: the shapes, the 800-pixel rhythm of the row, and when a block jumps ahead.
#include <gtest/gtest.h>

#include <algorithm>

#include "blocks/block_field.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

struct ShapeCase {
    int64_t roll;
    int64_t kind;
    double y, h;
    std::vector<double> src;
};

const ShapeCase kTop[] = {
    {0, 100, -900, 200, {0, 0, 256, 256}},
    {1, 200, -900, 400, {256, 0, 256, 512}},
    {2, 300, -900, 400, {512, 0, 256, 512}},
};
const ShapeCase kGround[] = {
    {0, 500, -200, 200, {768, 768, 256, 256}}, {1, 600, -400, 400, {512, 512, 256, 512}},
    {2, 700, -400, 400, {256, 512, 256, 512}}, {3, 800, -600, 600, {0, 258, 256, 768}},
    {4, 400, -600, 600, {768, 0, 256, 768}},
};

void ExpectDerived(const BlockField& field) {
    for (int64_t i = 0; i < field.GetCount(); ++i) {
        const Block& b = field.GetBlock(i);
        EXPECT_EQ(b.w, 200.0);
        EXPECT_EQ(b.halfW, 100.0);
        EXPECT_EQ(b.cx, b.x + 100);
        EXPECT_EQ(b.halfH, b.h / 2);
        EXPECT_EQ(b.cy, b.y + b.h / 2);
        if (i % 2 == 0) {
            EXPECT_EQ(b.y, -900.0) << i;  // hangs from the stage top
        } else {
            EXPECT_EQ(b.y + b.h, 0.0) << i;  // stands on the ground
        }
    }
}

TEST(BlockFieldTest, GenerateLaysOutTheRowAndRollsEachSide) {
    FakeEngine fake;
    for (int i = 0; i < 20; ++i) fake.QueueRnd(i % 3);
    BlockField field;
    field.Generate();
    ASSERT_EQ(field.GetCount(), 20);
    auto rolls = fake.Named("Rnd");
    ASSERT_EQ(rolls.size(), 20u);
    for (size_t i = 0; i < rolls.size(); ++i)
        EXPECT_EQ(rolls[i].args, (std::vector<double>{0, i % 2 == 0 ? 2.0 : 4.0})) << i;
    EXPECT_EQ(field.GetBlockX(0), 800.0);
    EXPECT_EQ(field.GetBlockX(0) + field.GetBlockW(0), 1000.0);
    EXPECT_EQ(field.GetBlockX(19), 16000.0);
    EXPECT_EQ(field.GetBlockX(19) + field.GetBlockW(19), 16200.0);
    for (int64_t i = 1; i < 20; ++i) EXPECT_EQ(field.GetBlockX(i) - field.GetBlockX(i - 1), 800.0);
    ExpectDerived(field);
}

TEST(BlockFieldTest, EveryShapeHasItsSizeAndPicture) {
    // Guards against a wrong constant in the shape table: a block drawn one size and
    // collided as another, or cut from the wrong part of the sheet.
    auto check = [](const ShapeCase* cases, size_t n, int64_t index) {
        for (size_t c = 0; c < n; ++c) {
            FakeEngine fake;
            for (int i = 0; i < 20; ++i) fake.QueueRnd(cases[c].roll);
            BlockField field;
            field.Generate();
            field.LoadSheet(0, -900, 1600, 900);
            const Block& b = field.GetBlock(index);
            EXPECT_EQ(b.kind, cases[c].kind);
            EXPECT_EQ(field.GetBlockY(index), cases[c].y);
            EXPECT_EQ(field.GetBlockH(index), cases[c].h);
            fake.ClearCalls();
            field.Draw(b.x - 100, -900);
            std::vector<test::Call> draws;
            for (const auto& d : fake.Named("DrawTexRot"))
                if (d.args[4] == 100.0) draws.push_back(d);  // this block, not its neighbours
            ASSERT_EQ(draws.size(), 1u) << cases[c].kind;
            EXPECT_EQ(draws[0].file, "block.vqtex");
            EXPECT_EQ(std::vector<double>(draws[0].args.begin(), draws[0].args.begin() + 4), cases[c].src)
                << cases[c].kind;
            // Stretched over the block's own rectangle, upright and opaque.
            EXPECT_EQ(draws[0].args[4], 100.0);
            EXPECT_EQ(draws[0].args[5], cases[c].y + 900);
            EXPECT_EQ(draws[0].args[6], 200.0);
            EXPECT_EQ(draws[0].args[7], cases[c].h);
            EXPECT_EQ(draws[0].args[10], 0.0);
            EXPECT_EQ(draws[0].args[14], 1.0);
        }
    };
    check(kTop, std::size(kTop), 4);
    check(kGround, std::size(kGround), 5);
}

TEST(BlockFieldTest, SheetRegistersEightLoopingShapes) {
    FakeEngine fake;
    BlockField field;
    field.Generate();
    fake.ClearCalls();
    field.LoadSheet(0, -900, 1600, 900);
    EXPECT_EQ(fake.Log(),
              (std::vector<std::string>{"Set Anime.100", "Set Anime.200", "Set Anime.300", "Set Anime.500",
                                        "Set Anime.600", "Set Anime.700", "Set Anime.800", "Set Anime.400"}));
}

TEST(BlockFieldTest, ABlockJumpsAheadOnlyWhenMoreThan8000Behind) {
    // Guards against a block recycled a frame early (popping out of view behind the player).
    FakeEngine fake;
    BlockField field;
    field.Generate();
    fake.ClearCalls();
    field.Recycle(8800);  // block 0 is exactly 8000 behind: it stays
    EXPECT_EQ(field.GetBlockX(0), 800.0);
    EXPECT_TRUE(fake.Named("Rnd").empty());
    fake.QueueRnd(1);
    field.Recycle(8800.5);
    EXPECT_EQ(field.GetBlockX(0), 16800.0);
    EXPECT_EQ(field.GetBlockX(1), 1600.0);
    auto rolls = fake.Named("Rnd");
    ASSERT_EQ(rolls.size(), 1u);
    EXPECT_EQ(rolls[0].args, (std::vector<double>{0, 2}));  // still a top block
    EXPECT_EQ(field.GetBlock(0).kind, 200);
    EXPECT_EQ(field.GetBlockH(0), 400.0);
    ExpectDerived(field);

    fake.ClearCalls();
    field.Recycle(-1e9);  // behind every block
    field.Recycle(0);
    EXPECT_TRUE(fake.Named("Rnd").empty());
}

TEST(BlockFieldTest, TheRowKeepsItsRhythmOverALongRun) {
    // Guards against blocks bunching up or leaving holes as the row leapfrogs forward.
    FakeEngine fake;
    BlockField field;
    field.Generate();
    std::vector<double> before(20);
    for (double x = 0; x < 400000; x += 61.7) {
        for (int64_t i = 0; i < 20; ++i) before[i] = field.GetBlockX(i);
        field.Recycle(x);
        std::vector<std::pair<double, int64_t>> row;
        for (int64_t i = 0; i < 20; ++i) {
            const double bx = field.GetBlockX(i);
            if (bx != before[i]) {
                EXPECT_GT(x - before[i], 8000.0);  // never early
                EXPECT_EQ(bx, before[i] + 16000);  // the length of the whole row
            }
            EXPECT_LE(x - bx, 8000.0);  // never late: nothing is left far behind
            row.push_back({bx, i});
        }
        std::sort(row.begin(), row.end());
        for (size_t k = 1; k < row.size(); ++k) {
            ASSERT_EQ(row[k].first - row[k - 1].first, 800.0) << "at x = " << x;
            ASSERT_NE(row[k].second % 2, row[k - 1].second % 2);  // top and ground alternate
        }
    }
    ExpectDerived(field);
}

TEST(BlockFieldTest, BadIndicesAndRollsStayInsideTheTables) {
    FakeEngine fake;
    BlockField field;
    field.Draw(0, -900);  // nothing generated or loaded yet
    field.Generate();
    field.Draw(0, -900);  // sheet not loaded
    EXPECT_TRUE(fake.Named("DrawTexRot").empty());
    EXPECT_EQ(field.GetBlockX(20), 0.0);
    EXPECT_EQ(field.GetBlockW(-1), 0.0);
    fake.ClearCalls();
    field.Roll(20);
    EXPECT_TRUE(fake.Named("Rnd").empty());
    fake.QueueRnd(9);   // a roll past the table takes its last shape
    fake.QueueRnd(-3);  // and one before it the first
    field.Roll(2);
    field.Roll(3);
    EXPECT_EQ(field.GetBlock(2).kind, 300);
    EXPECT_EQ(field.GetBlock(3).kind, 500);
}

}  // namespace
}  // namespace grappix
