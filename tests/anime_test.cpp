// Anime: which frame shows when, where a sprite lands on screen, and what a bad set-up does.
#include <gtest/gtest.h>

#include "common/anime.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::Call;
using test::FakeEngine;

// A sheet on a 1600 x 900 view at (0, -900), with one animation whose frame j reads the
// source rectangle at x = 100 * j, so the drawn frame can be told from the record.
Anime MakeAnime(int64_t entries = 4) {
    Anime a;
    a.LoadTexture("sheet.vqtex");
    a.Setup(entries, 0, -900, 1600, 900);
    return a;
}

void AddFrames(Anime& a, int64_t id, bool loop, std::initializer_list<int64_t> durations) {
    a.SetAnime(id, loop, static_cast<int64_t>(durations.size()));
    double x = 0;
    for (int64_t d : durations) {
        a.AddFrame(id, x, 0, 100, 50, 0, d);
        x += 100;
    }
}

int FrameAt(Anime& a, int64_t id, int64_t time) { return static_cast<int>(a.GetFrame(id, time).srcX / 100); }

TEST(AnimeFrameTest, LoopingAnimationWrapsAroundItsLength) {
    // Guards against a walk cycle that stops, skips or shows a frame one tick early or late.
    FakeEngine fake;
    Anime a = MakeAnime();
    AddFrames(a, 1, true, {10, 10, 10, 10});
    EXPECT_EQ(a.GetLength(1), 40);
    EXPECT_EQ(FrameAt(a, 1, 0), 0);
    EXPECT_EQ(FrameAt(a, 1, 9), 0);
    EXPECT_EQ(FrameAt(a, 1, 10), 1);
    EXPECT_EQ(FrameAt(a, 1, 39), 3);
    EXPECT_EQ(FrameAt(a, 1, 40), 0);
    EXPECT_EQ(FrameAt(a, 1, 125), 0);  // 125 mod 40 = 5
    EXPECT_EQ(FrameAt(a, 1, 135), 1);
    EXPECT_EQ(FrameAt(a, 1, -1), 0);  // the remainder keeps the sign of the time
}

TEST(AnimeFrameTest, HeldAnimationKeepsItsLastFrame) {
    FakeEngine fake;
    Anime a = MakeAnime();
    AddFrames(a, 2, false, {10, 10, 10, 10});
    EXPECT_EQ(FrameAt(a, 2, 29), 2);
    EXPECT_EQ(FrameAt(a, 2, 30), 3);
    EXPECT_EQ(FrameAt(a, 2, 1000), 3);
    EXPECT_EQ(FrameAt(a, 2, -50), 0);
}

TEST(AnimeFrameTest, ZeroDurationFrameIsSkippedUnlessLast) {
    FakeEngine fake;
    Anime a = MakeAnime();
    AddFrames(a, 3, false, {5, 0, 5});
    EXPECT_EQ(FrameAt(a, 3, 4), 0);
    EXPECT_EQ(FrameAt(a, 3, 5), 2);
    AddFrames(a, 4, true, {5, 0});
    EXPECT_EQ(FrameAt(a, 4, 4), 0);
    EXPECT_EQ(FrameAt(a, 4, 9), 0);  // wrapped; the zero frame never shows
}

TEST(AnimeSetupTest, RegistrationMessagesAndDuplicates) {
    // Guards against lost or altered log texts and a second registration taking over.
    FakeEngine fake;
    Anime a = MakeAnime(3);
    AddFrames(a, 100, false, {1});
    a.SetAnime(100, true, 1);
    a.AddFrame(100, 900, 900, 1, 1, 0, 7);  // the first registration is full: dropped
    EXPECT_EQ(a.EntryAt(1).id, 100);        // the duplicate still took entry 1
    EXPECT_EQ(FrameAt(a, 100, 0), 0);
    EXPECT_EQ(a.GetLength(100), 1);
    auto log = fake.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "Set Anime.100");
    EXPECT_EQ(log[1], "err00:アニメIDが重複しました。");
    EXPECT_EQ(log[2], "Set Anime.100");
    EXPECT_EQ(log[3], "err07:AnimeFrame Overflow.100");
    auto itos = fake.Named("IToS");
    ASSERT_FALSE(itos.empty());
    EXPECT_EQ(itos[0].args, (std::vector<double>{100, 0}));

    fake.ClearCalls();
    a.SetAnime(7, false, 1);  // entry 2, the last free one
    a.SetAnime(8, false, 1);  // no room
    a.AddFrame(9, 0, 0, 1, 1, 0, 1);
    EXPECT_EQ(a.GetLength(9), 0);
    EXPECT_EQ(fake.Log(), (std::vector<std::string>{"Set Anime.7", "err01:アニメの配列が不足しています。",
                                                    "err03:AnimeID Not Found."}));
    EXPECT_EQ(a.GetLength(8), 0);
    EXPECT_EQ(fake.Log().size(), 3u);  // GetLength of an unknown id says nothing
}

TEST(AnimeSetupTest, NoTableAndUnknownIds) {
    FakeEngine fake;
    Anime none;
    none.SetAnime(1, false, 1);
    none.AddFrame(1, 0, 0, 1, 1, 0, 1);
    const AnimeFrame& f = none.GetFrame(1, 0);  // no table: the empty frame
    EXPECT_EQ(f.srcW, 0.0);
    none.GetFrameAt(1, 0);
    EXPECT_EQ(fake.Log(), (std::vector<std::string>{"err02:アニメの領域が存在しません。",
                                                    "err04:アニメの領域が存在しません。",
                                                    "err05:AnimeID Not Found.", "err06:AnimeID Not Found."}));

    fake.ClearCalls();
    Anime a = MakeAnime();
    AddFrames(a, 5, false, {3, 3});
    a.SetAnime(6, false, 2);  // registered, no frames yet: passed over
    fake.ClearCalls();
    EXPECT_EQ(&a.GetFrame(6, 0), &a.EntryAt(0).frames[0]);  // falls back to entry 0, frame 0
    EXPECT_EQ(&a.GetFrameAt(42, 1), &a.EntryAt(0).frames[0]);
    EXPECT_EQ(fake.Log(), (std::vector<std::string>{"err05:AnimeID Not Found.", "err06:AnimeID Not Found."}));
    EXPECT_EQ(a.GetFrameAt(5, 1).srcX, 100.0);
}

TEST(AnimeSafetyTest, LimitsGiveDefinedResults) {
    // Calls past the table's limits must never read or write outside it.
    FakeEngine fake;
    Anime a = MakeAnime();
    a.SetAnime(1, true, 2);
    a.AddFrame(1, 100, 0, 10, 10, 0, 0);
    a.AddFrame(1, 200, 0, 10, 10, 0, 0);
    EXPECT_EQ(a.GetLength(1), 0);
    EXPECT_EQ(a.GetFrame(1, 17).srcX, 100.0);  // a loop without length rests on frame 0
    a.AddFrame(1, 300, 0, 10, 10, 0, 5);       // one too many: dropped
    EXPECT_EQ(a.GetLength(1), 0);
    EXPECT_EQ(a.EntryAt(0).filled, 2);

    EXPECT_EQ(a.GetFrameAt(1, 1).srcX, 200.0);
    const AnimeFrame& past = a.GetFrameAt(1, 2);
    EXPECT_EQ(past.srcW, 0.0);
    EXPECT_EQ(past.duration, 0);
    EXPECT_EQ(a.GetFrameAt(1, -1).srcW, 0.0);

    a.SetAnime(2, false, -3);  // a negative frame count makes an animation with no frames
    a.AddFrame(2, 0, 0, 1, 1, 0, 1);
    EXPECT_EQ(a.GetLength(2), 0);

    Anime empty0 = MakeAnime();
    empty0.SetAnime(1, false, 0);  // entry 0 holds no frame to fall back on
    const AnimeFrame& fb = empty0.GetFrame(99, 0);
    EXPECT_EQ(fb.srcW, 0.0);
    EXPECT_EQ(fb.srcH, 0.0);
    EXPECT_EQ(empty0.GetFrameAt(99, 0).srcW, 0.0);
    Anime negative;
    negative.Setup(-2, 0, 0, 1, 1);
    EXPECT_EQ(negative.EntryCount(), 0);
    EXPECT_EQ(negative.GetFrame(1, 0).srcW, 0.0);
}

TEST(AnimeDrawTest, DrawsTheFrameCentredAndTurnedAboutItsMiddle) {
    // Guards against a wrong rotation centre, a lost frame angle or a flipped source lost.
    FakeEngine fake;
    Anime a = MakeAnime();
    a.SetAnime(200, false, 1);
    a.AddFrame(200, 0, 512, 2048, -512, 0.25, 1);
    a.Draw(200, 0, 1000, -600, 1100, 300, 0.5, 0.75, 100, -900);
    auto draws = fake.Named("DrawTexRot");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].file, "sheet.vqtex");
    EXPECT_EQ(draws[0].args, (std::vector<double>{0, 512, 2048, -512,                   // source
                                                  1000 - 1100 - 100, -600 - 300 + 900,  // top-left
                                                  2200, 600,                            // size
                                                  1100, 300,                            // centre
                                                  0.75, 1, 1, 1, 0.75}));
    ASSERT_NE(a.Current(), nullptr);
    EXPECT_EQ(a.Current()->srcY, 512.0);
}

TEST(AnimeDrawTest, CullsExactlyWhenTheBoxOnlyTouchesTheView) {
    // Guards against sprites vanishing at the screen edge or being drawn far off it.
    FakeEngine fake;
    Anime a = MakeAnime();
    AddFrames(a, 1, false, {1});
    const double vx = 0, vy = -900, hw = 50, hh = 20;
    struct Case {
        double x, y;
        bool drawn;
    } cases[] = {
        {vx - hw, -450, false},        {vx - hw + 0.001, -450, true},
        {vx + 1600 + hw, -450, false}, {vx + 1600 + hw - 0.001, -450, true},
        {800, vy - hh, false},         {800, vy - hh + 0.001, true},
        {800, vy + 900 + hh, false},   {800, vy + 900 + hh - 0.001, true},
    };
    for (const Case& c : cases) {
        fake.ClearCalls();
        a.Draw(1, 0, c.x, c.y, hw, hh, 0, 1, vx, vy);
        EXPECT_EQ(fake.Named("DrawTexRot").size(), c.drawn ? 1u : 0u) << c.x << "," << c.y;
    }
    a.DisableCulling();
    fake.ClearCalls();
    a.Draw(1, 0, -99999, 99999, hw, hh, 0, 1, vx, vy);
    EXPECT_EQ(fake.Named("DrawTexRot").size(), 1u);
}

TEST(AnimeDrawTest, CulledDrawFollowsTheViewButKeepsTheLastFrame) {
    FakeEngine fake;
    Anime a = MakeAnime();
    AddFrames(a, 1, false, {5, 5});
    a.Draw(1, 7, 800, -450, 10, 10, 0, 1, 0, -900);
    ASSERT_NE(a.Current(), nullptr);
    EXPECT_EQ(a.Current()->srcX, 100.0);
    // Off screen now, at a time that would show the other frame: the last frame drawn stays.
    a.Draw(1, 0, 800, -450, 10, 10, 0, 1, 5000, 300);
    ASSERT_NE(a.Current(), nullptr);
    EXPECT_EQ(a.Current()->srcX, 100.0);
    EXPECT_EQ(a.ViewX(), 5000.0);
    EXPECT_EQ(a.ViewY(), 300.0);
    EXPECT_EQ(a.ViewW(), 1600.0);  // the view's size is the set-up's
}

TEST(AnimeDrawTest, NoSheetDrawsNothingAndNewSetupForgetsTheLastFrame) {
    FakeEngine fake;
    Anime a;
    a.Setup(1, 0, 0, 1600, 900);
    AddFrames(a, 1, false, {1});
    a.Draw(1, 0, 800, 450, 10, 10, 0, 1, 0, 0);
    EXPECT_TRUE(fake.Named("DrawTexRot").empty());
    ASSERT_NE(a.Current(), nullptr);
    {
        Anime copy = a;  // a copy keeps its own last frame, not one inside the original
        a.Setup(1, 0, 0, 1600, 900);
        EXPECT_EQ(a.Current(), nullptr);  // a new table: nothing of it drawn yet
        ASSERT_NE(copy.Current(), nullptr);
        EXPECT_EQ(copy.Current()->srcW, 100.0);
    }
    EXPECT_FALSE(a.CullingDisabled());
}

}  // namespace
}  // namespace grappix
