// The game scene's play loop and pause screen on the fake engine, driven frame by frame: which
// commands reach the world, in which order, and what the pause screen does with a click.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "actors/moving_actor.hpp"
#include "fake/fake_engine.hpp"
#include "game/game_scene.hpp"
#include "records/record_book.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

// Mouse buttons are 0 to 2; pad 0's buttons are told apart by this offset.
constexpr int64_t kLeft = 0, kRight = 1, kMiddle = 2;
constexpr int64_t kPad = 100;

// Scripted hands on the fake devices: buttons go down and up at given frame steps, and the
// counts follow as the engine keeps them (1, 2, 3 ... while down, 0 when up). As with the
// engine's input scripts, what happens at step n is seen by the game right after that step.
class Hands {
public:
    explicit Hands(FakeEngine& fake) : fake_(fake) {
        fake_.onAct = [this](int64_t step) { Step(step); };
    }
    void Down(int64_t step, int64_t key) { events_[step].emplace_back(key, true); }
    void Up(int64_t step, int64_t key) { events_[step].emplace_back(key, false); }
    void Cursor(int64_t step, double x, double y) { cursors_[step] = {x, y}; }

private:
    void Step(int64_t step) {
        for (auto [key, down] : events_[step]) down_[key] = down;
        if (auto it = cursors_.find(step); it != cursors_.end())
            fake_.SetCursor(it->second.first, it->second.second);
        for (auto& [key, down] : down_) {
            int64_t& count = counts_[key];
            count = down ? count + 1 : 0;
            if (key >= kPad)
                fake_.SetPadCount(key - kPad, count);
            else
                fake_.SetMouseCount(key, count);
        }
    }

    FakeEngine& fake_;
    std::map<int64_t, std::vector<std::pair<int64_t, bool>>> events_;
    std::map<int64_t, std::pair<double, double>> cursors_;
    std::map<int64_t, bool> down_;
    std::map<int64_t, int64_t> counts_;
};

// One game on the fake engine, at frame step 0 (before the opening).
struct Game {
    FakeEngine fake;
    Hands hands{fake};
    std::unique_ptr<GameScene> scene;

    explicit Game(GameMode mode) : scene(std::make_unique<GameScene>(mode)) { fake.ClearCalls(); }
    World& W() { return scene->GetWorld(); }
    int64_t Step() const { return fake.actCount; }
    int Plays(const std::string& file) const {
        int n = 0;
        for (const auto& c : fake.Named("PlaySnd")) n += c.file == file ? 1 : 0;
        return n;
    }
};

// Screen positions of the pause screen's two buttons, and of the gap between them.
constexpr double kButtonX = 800, kReturnTitleY = 670, kGapY = 610;

TEST(GameScenePauseTest, AReleaseOverNeitherButtonKeepsThePause) {
    // Guards against a click anywhere on the pause screen (here in the gap between the two
    // buttons, and far from both) resuming the game or leaving it.
    Game g(GameMode::Normal);
    g.hands.Down(1, kPad + 3);
    g.hands.Up(2, kPad + 3);
    g.hands.Cursor(3, kButtonX, kGapY);
    g.hands.Down(3, kLeft);
    g.hands.Up(5, kLeft);
    g.hands.Cursor(7, 100, 100);
    g.hands.Down(7, kLeft);
    g.hands.Up(9, kLeft);
    g.hands.Down(20, kPad + 3);
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.Step(), 20) << "the pause lasts until the pause button";
}

TEST(GameScenePauseTest, PauseButtonInTheFrameOfAReturnTitlePickResumes) {
    // Guards against the order of the pause screen's tests: the pause button is asked first,
    // so it wins over a release on "Return Title" in the same frame.
    Game g(GameMode::Normal);
    g.hands.Down(1, kPad + 3);
    g.hands.Up(2, kPad + 3);
    g.hands.Cursor(3, kButtonX, kReturnTitleY);
    g.hands.Down(3, kLeft);
    g.hands.Up(6, kLeft);
    g.hands.Down(6, kPad + 3);
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.Step(), 6);

    // The same release without the pause button leaves for the title.
    g.hands.Up(7, kPad + 3);
    g.hands.Down(9, kPad + 3);
    g.hands.Down(11, kLeft);
    g.hands.Up(13, kLeft);
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_TRUE(g.scene->PlayFrame());
    EXPECT_FALSE(g.scene->PlayFrame());
    EXPECT_EQ(g.Step(), 13);
}

TEST(GameScenePauseTest, ARecordBeatenBeforeThePauseIsOnDiskWhileThePauseScreenIsUp) {
    // Guards against a beaten record waiting for the game to be left (lost if killed paused).
    test::TempDir dir;
    RecordBook book(std::make_unique<RecordsFile>(dir / "records.ini"), nullptr);
    SetActiveRecords(&book);
    book.BeginGame(0, "", 0);
    Game g(GameMode::Normal);
    std::string onDisk;
    g.fake.onAct = [&, hands = g.fake.onAct](int64_t step) {
        hands(step);
        if (step == 170) onDisk = test::ReadFile(dir / "records.ini");
    };
    g.hands.Down(150, kPad + 3);
    g.hands.Up(151, kPad + 3);
    g.hands.Down(180, kPad + 3);
    while (g.Step() < 180) g.scene->PlayFrame();
    SetActiveRecords(nullptr);
    const int64_t best = book.Get(0).best;
    ASSERT_GT(best, 0) << "no record was beaten before the pause";
    EXPECT_NE(onDisk.find("best = " + std::to_string(best) + "\n"), std::string::npos) << onDisk;
}

TEST(GameSceneCommandTest, LeftButtonAndPadShootInOneFrameFireOnce) {
    // Guards against a command given twice when two devices give it in the same frame: one
    // shot sound, one hook.
    Game g(GameMode::NoBlock);
    g.hands.Cursor(1, 1200, 300);
    g.hands.Down(1, kLeft);
    g.hands.Down(1, kPad + 1);
    ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.Plays("arrow01.ogg"), 1);
    EXPECT_EQ(g.W().GetWireState(), WireState::Flying);

    // Letting both go in one frame takes the wire back; letting go of one of them is enough.
    g.hands.Up(2, kLeft);
    g.hands.Up(2, kPad + 1);
    ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.W().GetWireState(), WireState::Stowed);
    g.hands.Down(3, kLeft);
    g.hands.Down(3, kPad + 1);
    g.hands.Up(4, kPad + 1);
    ASSERT_TRUE(g.scene->PlayFrame());
    ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.W().GetWireState(), WireState::Stowed);
    EXPECT_EQ(g.Plays("arrow01.ogg"), 2);
}

TEST(GameSceneCommandTest, AReelButtonHeldWhenPlayStartsCountsAsHeld) {
    // Guards against a button that went down before play began (during "Start!", when the pad
    // is not yet read) being ignored until pressed again: the hook that catches must reel the
    // body in at once, as it does with the button pressed during play.
    for (int64_t reel : {kRight, kPad + 2}) {
        SCOPED_TRACE(reel == kRight ? "right button" : "pad button 2");
        Game g(GameMode::NoBlock);
        g.hands.Cursor(40, 1000, 0);  // at the roof line, up and to the right
        g.hands.Down(50, reel);
        g.scene->Opening();
        ASSERT_EQ(g.Step(), 101);
        g.hands.Down(102, kLeft);
        ASSERT_TRUE(g.scene->PlayFrame());
        ASSERT_EQ(g.W().GetWireState(), WireState::Flying);
        for (int i = 0; i < 60 && g.W().GetWireState() == WireState::Flying; ++i)
            ASSERT_TRUE(g.scene->PlayFrame());
        EXPECT_EQ(g.W().GetWireState(), WireState::Reeling);
        EXPECT_EQ(g.W().GetMoveState(), MoveState::Reeling);
    }
}

TEST(GameSceneFreeStyleTest, TheSquareCatchesTheHookInTheFirstFrameItLiesInside) {
    // Guards against the square being tested before the hook's step, or placed after the test:
    // a flying hook must never end a frame inside the square, and the hook lodges where it
    // entered it.
    const std::pair<double, double> targets[] = {{1500, 100}, {300, 700}, {1000, 450}, {100, 200}};
    for (auto [tx, ty] : targets) {
        SCOPED_TRACE("cursor " + std::to_string(tx) + ", " + std::to_string(ty));
        Game g(GameMode::FreeStyle);
        g.hands.Cursor(1, tx, ty);
        g.hands.Down(1, kLeft);
        int frames = 0;
        bool caughtInside = false;
        for (; frames < 100; ++frames) {
            ASSERT_TRUE(g.scene->PlayFrame());
            const GameScene::CatchRect& r = g.scene->GetCatchRect();
            const double hx = g.W().GetHookX(), hy = g.W().GetHookY();
            const bool inside = r.x < hx && hx < r.x + r.w && r.y < hy && hy < r.y + r.h;
            if (g.W().GetWireState() == WireState::Flying) {
                EXPECT_FALSE(inside) << "a flying hook inside the square after frame " << frames;
                continue;
            }
            caughtInside = inside;
            break;
        }
        EXPECT_EQ(g.W().GetWireState(), WireState::Caught);
        EXPECT_TRUE(caughtInside);
        EXPECT_EQ(g.Plays("hit_p13_a.ogg"), 1);
    }
}

TEST(GameSceneKickTest, KicksOffBlocksThatAreNotShownInNoBlockAndFreeStyle) {
    // Guards against kicks being tried only where the blocks are drawn: the row exists in
    // every mode, and a body beside one of its blocks kicks off it.
    for (GameMode mode : {GameMode::NoBlock, GameMode::FreeStyle}) {
        SCOPED_TRACE(mode == GameMode::NoBlock ? "No Block" : "Free Style");
        Game g(mode);
        const BlockField& blocks = g.scene->Blocks();
        // Just left of block 0 (hanging from the stage top), in the air.
        g.W().Body().SetPos(blocks.GetBlockX(0) - 50, blocks.GetBlockY(0) + 100);
        g.W().Body().SetMove(0, 0);
        g.hands.Down(1, kMiddle);
        g.hands.Up(2, kMiddle);
        ASSERT_TRUE(g.scene->PlayFrame());
        ASSERT_EQ(g.W().GetJumpWait(), 0);
        ASSERT_TRUE(g.scene->PlayFrame());
        EXPECT_EQ(g.W().GetJumpWait(), 59) << "kicked in the frame of the release";
        EXPECT_EQ(g.W().GetMoveX(), -8) << "away from the block";
        EXPECT_EQ(g.W().GetMoveState(), MoveState::Jumping);
    }
}

}  // namespace
}  // namespace grappix
