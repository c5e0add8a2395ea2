// The game scene and the desktop around it, on the fake engine: a window that loses the focus
// or is minimised pauses play, the pointer hides during play only, and the options open from
// the pause screen over a game that stays frozen.
#include <gtest/gtest.h>

#include <memory>

#include "fake/fake_engine.hpp"
#include "frame/session.hpp"
#include "game/game_scene.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

// A game with the window's state scripted by frame step (as the engine counts it: 1 in the
// step the state began, then 2, 3 ...) and keys or pad buttons pressed for one step.
struct Game {
    FakeEngine fake;
    std::map<int64_t, int64_t> awayFrom;  // step -> BRISEL_WINDOW_*
    std::map<int64_t, int64_t> padAt, keyAt;
    std::map<int64_t, std::pair<double, double>> clickAt;
    std::unique_ptr<GameScene> scene;
    explicit Game(GameMode mode) {
        scene = std::make_unique<GameScene>(mode);
        fake.onAct = [this](int64_t step) {
            fake.window.clear();
            for (auto [from, which] : awayFrom)
                if (step >= from) fake.window[which] = step - from + 1;
            fake.pad.clear();
            fake.keys.clear();
            if (padAt.count(step)) fake.pad[padAt[step]] = 1;
            if (keyAt.count(step)) fake.keys[keyAt[step]] = 1;
            fake.mouse[0] = 0;
            if (clickAt.count(step)) fake.SetCursor(clickAt[step].first, clickAt[step].second);
            if (clickAt.count(step - 1)) fake.mouse[0] = 1;  // down a step before: released at `step`
        };
        fake.ClearCalls();
    }
    bool PauseShown() const {  // "PAUSE" drawn since the calls were last cleared
        for (const auto& c : fake.Named("DrawTex"))
            if (c.args.size() >= 8 && c.args[4] == 550 && c.args[5] == 250 && c.args[6] == 100) return true;
        return false;
    }
    std::vector<double> Pointer() const {
        std::vector<double> shown;
        for (const auto& c : fake.Named("ShowPointer")) shown.push_back(c.args[0]);
        return shown;
    }
};

TEST(GameSceneWindowTest, LosingTheFocusOrMinimisingPausesPlay) {
    // Guards against a game that plays on unattended when the player switches window or
    // minimises it: both open the pause screen, as the pause button does.
    for (int64_t which : {int64_t(BRISEL_WINDOW_UNFOCUSED), int64_t(BRISEL_WINDOW_MINIMISED)}) {
        SCOPED_TRACE(which == BRISEL_WINDOW_UNFOCUSED ? "focus lost" : "minimised");
        Game g(GameMode::NoBlock);
        g.awayFrom[5] = which;
        g.padAt[30] = 3;  // the pause button resumes
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(g.scene->PlayFrame());
        EXPECT_FALSE(g.PauseShown());
        const int64_t clock = g.scene->GetWorld().GetClock();
        ASSERT_TRUE(g.scene->PlayFrame());  // step 5: paused until step 30
        EXPECT_EQ(g.fake.actCount, 30);
        EXPECT_TRUE(g.PauseShown());
        // The world took the one step of the frame the pause interrupted, no more.
        EXPECT_EQ(g.scene->GetWorld().GetClock(), clock + 10) << "the world moved while paused";
        ASSERT_TRUE(g.scene->PlayFrame());  // still away: no second pause
        EXPECT_EQ(g.fake.actCount, 31);
    }
}

TEST(GameSceneWindowTest, GoingAwayDuringTheOpeningPausesTheFirstFrameOfPlay) {
    // Guards against the player coming back to a game that began without them.
    Game g(GameMode::Normal);
    g.awayFrom[40] = BRISEL_WINDOW_UNFOCUSED;
    g.scene->Opening();
    EXPECT_EQ(g.fake.actCount, 101);
    g.padAt[120] = 3;
    ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.fake.actCount, 120) << "paused from the first frame of play";
    EXPECT_TRUE(g.PauseShown());
    ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.fake.actCount, 121) << "and only once";
}

TEST(GameSceneWindowTest, ThePointerHidesForPlayAndShowsForThePauseScreen) {
    // Guards against the system's arrow covering the aim marker in play, or a menu without a
    // pointer to click it with.
    Game g(GameMode::NoBlock);
    g.padAt[103] = 3;
    g.padAt[110] = 3;
    g.scene->Opening();
    EXPECT_EQ(g.Pointer(), std::vector<double>{0});
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(g.scene->PlayFrame());
    EXPECT_EQ(g.Pointer(), (std::vector<double>{0, 1, 0}));
}

TEST(GameSceneWindowTest, OptionsFromThePauseScreenKeepTheGameFrozenAndReturnThere) {
    // Guards against play moving on behind the options, or the options returning to play
    // instead of the pause screen they were opened from.
    Game g(GameMode::Normal);
    test::TempDir dir;
    Session session(dir / "settings.ini", CommandLine{});
    SetActiveSession(&session);
    g.padAt[2] = 3;                   // pause
    g.clickAt[6] = {1400, 810};       // the pause screen's Options entry
    g.padAt[10] = 13;                 // down: Music
    g.padAt[11] = 14;                 // left: 90
    g.keyAt[14] = BRISEL_KEY_ESCAPE;  // leave the options
    g.padAt[20] = 3;                  // resume
    ASSERT_TRUE(g.scene->PlayFrame());
    const int64_t clock = g.scene->GetWorld().GetClock();
    ASSERT_TRUE(g.scene->PlayFrame());
    SetActiveSession(nullptr);
    EXPECT_EQ(g.fake.actCount, 20) << "back on the pause screen after the options, until resumed";
    EXPECT_EQ(session.Current().musicVolume, 90);
    EXPECT_EQ(g.scene->GetWorld().GetClock(), clock + 10) << "the world moved behind the options";
}

}  // namespace
}  // namespace grappix
