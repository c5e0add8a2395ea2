// The records as the player sees them, on the fake engine: "BEST" under the speed readout (gold
// once beaten, never over the banner or the runner), "Best" beside the title's mode buttons, and
// a game that saves a beaten record however it is left, or ends a --watch-best run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "actors/moving_actor.hpp"
#include "fake/fake_engine.hpp"
#include "frame/replay_link.hpp"
#include "game/game_scene.hpp"
#include "records/record_book.hpp"
#include "support/process.hpp"
#include "title/title_scene.hpp"

namespace grappix {
namespace {

using test::Call;
using test::FakeEngine;
using test::TempDir;

// The banner's ribbon: its sheet row (drawn at y = 110, one and a half times its size) is
// clear above texel row 16.5, where the ribbon's outline begins.
constexpr double kRibbonTop = 110 + 16.5 * 1.5;

// A book from notes (as while a replay plays: nothing written), made the run's book.
using Notes = std::map<std::string, std::string>;

struct ActiveBook {
    RecordBook book;
    explicit ActiveBook(Notes notes)
        : book(
              [notes](const std::string& key) -> std::optional<std::string> {
                  auto it = notes.find(key);
                  return it == notes.end() ? std::nullopt : std::optional<std::string>(it->second);
              },
              nullptr) {
        SetActiveRecords(&book);
    }
    ~ActiveBook() { SetActiveRecords(nullptr); }
};

// The glyphs of the record line: bitmap-font draws at its place.
std::vector<Call> BestGlyphs(const FakeEngine& fake) {
    std::vector<Call> out;
    for (const Call& c : fake.Named("DrawTex"))
        if (c.file == "font_128_64.vqtex" && c.args[5] == BestLine::kY) out.push_back(c);
    return out;
}

TEST(BestLineTest, GoldOnlyPastARecordAndTheGamesBestShownOnceAhead) {
    // Guards against gold at a tie or with no record to beat, and the old record still shown
    // (or the figure of this frame instead of the game's best) once it has fallen.
    BestLine line, first;
    line.Begin(7288);
    line.Update(7288);
    EXPECT_FALSE(line.Beaten());
    line.Update(7290);
    line.Update(7000);
    EXPECT_TRUE(line.Beaten());
    EXPECT_EQ(line.Text(), "BEST 7290");
    first.Begin(0);
    EXPECT_EQ(first.Text(), "") << "nothing to show yet";
    first.Update(350);
    EXPECT_EQ(first.Text(), "BEST 350");
    EXPECT_FALSE(first.Beaten());
}

// One game on the fake engine, with the body placed for the speed the display will show.
struct Play {
    FakeEngine fake;
    std::unique_ptr<GameScene> scene;
    explicit Play(GameMode mode) : scene(std::make_unique<GameScene>(mode)) {}
    // A frame with the body at x: the first frames of a game measure progress from x = 0, so
    // the figure is about twice x.
    void Frame(double x) {
        scene->GetWorld().Body().SetPos(x, 450);
        fake.ClearCalls();
        ASSERT_TRUE(scene->PlayFrame());
    }
};

TEST(GameRecordTest, TheLineTurnsGoldTheFrameTheRecordFallsAndTheBookTakesTheFigure) {
    // Guards against the record compared with anything but the figure the readout shows, a
    // line that turns gold late, and a book that does not hear of the new record.
    ActiveBook active(Notes{{"best.no-block", "3000"}});
    active.book.BeginGame(1, "", 0);
    Play p(GameMode::NoBlock);
    p.Frame(1000);
    const int64_t first = p.scene->GetHud().GetShownSpeed();
    ASSERT_GT(first, 1000);
    ASSERT_LT(first, 3000);
    EXPECT_EQ(p.scene->GetBestLine().Text(), "BEST 3000");
    EXPECT_FALSE(p.scene->GetBestLine().Beaten());
    std::vector<Call> white = BestGlyphs(p.fake);
    ASSERT_EQ(white.size(), 9u);
    EXPECT_EQ(std::vector<double>(white[0].args.begin() + 8, white[0].args.end()),
              (std::vector<double>{1, 1, 1, 1}));

    p.Frame(2500);
    const int64_t shown = p.scene->GetHud().GetShownSpeed();
    ASSERT_GT(shown, 3000);
    EXPECT_EQ(p.scene->GetBestLine().Text(), "BEST " + std::to_string(shown));
    std::vector<Call> gold = BestGlyphs(p.fake);
    ASSERT_EQ(gold.size(), p.scene->GetBestLine().Text().size());
    EXPECT_EQ(std::vector<double>(gold[0].args.begin() + 8, gold[0].args.end()),
              (std::vector<double>{BestLine::kGoldR, BestLine::kGoldG, BestLine::kGoldB, 1}))
        << "gold in the same frame";
    EXPECT_EQ(active.book.Get(1).best, shown);
    EXPECT_EQ(active.book.Get(0).best, 0);
}

TEST(GameRecordTest, TheLineKeepsClearOfTheBannerAndPassesUnderTheRunner) {
    // Guards against the record line moved where it covers the banner, or drawn after the
    // runner (it would hide the body wherever the body flies past it).
    ActiveBook active(Notes{{"best.normal", "99999"}});
    Play p(GameMode::Normal);
    p.Frame(120);
    std::vector<Call> glyphs = BestGlyphs(p.fake);
    ASSERT_EQ(glyphs.size(), 10u);
    for (const Call& g : glyphs) {
        EXPECT_LE(g.args[5] + g.args[7], kRibbonTop);
        EXPECT_GE(g.args[5], 50 + 60 * 0.9) << "under the readout's letters";
    }
    size_t firstGlyph = p.fake.calls.size(), firstRunner = p.fake.calls.size();
    for (size_t i = 0; i < p.fake.calls.size(); ++i) {
        const Call& c = p.fake.calls[i];
        if (c.file == "font_128_64.vqtex" && c.args.size() > 5 && c.args[5] == BestLine::kY)
            firstGlyph = std::min(firstGlyph, i);
        if (c.file == "ese_raf.vqtex") firstRunner = std::min(firstRunner, i);
    }
    ASSERT_LT(firstRunner, p.fake.calls.size()) << "the runner is drawn";
    EXPECT_LT(firstGlyph, firstRunner);
}

TEST(TitleRecordTest, EachModeWithARecordShowsItRightOfItsButton) {
    // Guards against a label over a button or its caption, a label for a mode with no record,
    // and labels that the title loop never draws.
    FakeEngine fake;
    ActiveBook active(Notes{{"best.normal", "7288"}, {"best.free-style", "12034"}});
    fake.SetCursor(800, 430);  // over "Normal", released at step 3
    fake.onAct = [&](int64_t step) { fake.SetMouseCount(0, step == 2 ? 1 : 0); };
    EXPECT_EQ(RunTitle(), GameMode::Normal);

    std::map<double, std::string> rows;  // y -> the glyph count of the label there
    std::vector<Call> labels;
    for (const Call& c : fake.Named("DrawTex"))
        if (c.file == "font_128_64.vqtex" && c.args[6] == kRecordCharW) labels.push_back(c);
    ASSERT_FALSE(labels.empty()) << "drawn by the title";
    for (const Call& c : labels) {
        EXPECT_GE(c.args[4], 1200 + 20) << "right of the buttons (400 to 1200)";
        EXPECT_LE(c.args[4] + c.args[6], 1600);
        rows[c.args[5]] += "x";
    }
    // Two frames drawn before the pick: "Best 7288" beside Normal (380 to 480), "Best 12034"
    // beside Free Style (620 to 720), nothing beside No Block.
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.begin()->first, 380 + 18);
    EXPECT_EQ(rows.begin()->second.size(), 2 * 9u);
    EXPECT_EQ(rows.rbegin()->first, 620 + 18);
    EXPECT_EQ(rows.rbegin()->second.size(), 2 * 10u);
    int strips = 0;
    for (const Call& r : fake.Named("DrawRect"))
        // A dark strip among the buttons' rows (the controls line has its own at the bottom).
        if (r.args[4] == 0 && r.args[5] == 0 && r.args[6] == 0 && r.args[7] < 1 && r.args[1] < 800) {
            ++strips;
            EXPECT_GT(r.args[0], 1200) << "the dim strip stays off the buttons";
        }
    EXPECT_EQ(strips, 2 * 2);
}

// A whole game through RunGame: "Start!", play, then the pause screen's "Return Title" (or the
// window closed at closeAt).
struct WholeGame {
    FakeEngine fake;
    int64_t pauseAt = 200, closeAt = 0;
    WholeGame() {
        fake.onAct = [this](int64_t step) {
            if (step == closeAt) throw BriselFailure(BRISEL_FAIL_QUIT, "closed");
            fake.SetPadCount(3, step == pauseAt ? 1 : 0);
            if (step == pauseAt + 5) fake.SetCursor(800, 670);
            fake.SetMouseCount(0, step == pauseAt + 6 ? 1 : 0);
        };
    }
};

TEST(GameRecordTest, ARecordBeatenInAGameIsSavedWhenTheGameIsLeftEitherWay) {
    // Guards against a record lost because the player left for the title, or closed the window
    // in play (the failure that ends the run passes through the game).
    for (bool close : {false, true}) {
        TempDir dir;
        WholeGame g;
        if (close) g.closeAt = 180;
        RecordBook book(std::make_unique<RecordsFile>(dir / "records.ini"), nullptr);
        SetActiveRecords(&book);
        if (close) {
            EXPECT_THROW(RunGame(GameMode::NoBlock), BriselFailure);
        } else {
            RunGame(GameMode::NoBlock);
        }
        SetActiveRecords(nullptr);
        ASSERT_GT(book.Get(1).best, 0) << "the runner enters moving right";
        EXPECT_NE(test::ReadFile(dir / "records.ini").find("best = " + std::to_string(book.Get(1).best)),
                  std::string::npos)
            << (close ? "window closed" : "left for the title");
    }
}

TEST(GameRecordTest, WatchingEndsTheRunWhenTheWatchedGameIsLeft) {
    // Guards against --watch-best going back to the title (and on into the rest of the replay)
    // after the record's game, or ending after an earlier game of the same run.
    ActiveBook active(Notes{});
    {
        WholeGame g;
        active.book.WatchFrom(1000);  // a later game holds the record
        EXPECT_NO_THROW(RunGame(GameMode::Normal));
    }
    WholeGame g;
    active.book.WatchFrom(0);
    try {
        RunGame(GameMode::Normal);
        ADD_FAILURE() << "the run goes on";
    } catch (const BriselFailure& f) {
        EXPECT_EQ(f.Code(), static_cast<uint32_t>(BRISEL_FAIL_QUIT)) << "ends as a quit: status 0";
    }
}

TEST(RunRecordsTest, ARecordedRunNotesItsRecordsAndAReplayShowsThoseOfItsNotes) {
    // Guards against a replay that cannot show what its run showed (no notes written), a
    // replay that reads the player's file instead of its notes or notes them again, and a
    // record pointing at a replay path that only works from the game's folder.
    TempDir dir;
    test::WriteFile(dir / "records.ini", "[normal]\nbest = 7288\n");
    FakeEngine fake;
    fake.recordingFile = "replays/run.replay";
    std::unique_ptr<RecordBook> recorded = OpenRunRecords(dir / "records.ini", nullptr);
    EXPECT_EQ(fake.notes, (Notes{{"best.normal", "7288"}, {"best.no-block", "0"}, {"best.free-style", "0"}}));
    EXPECT_FALSE(recorded->ReadOnly());
    EXPECT_EQ(RecordingPath(), std::filesystem::current_path().string() + "/replays/run.replay");

    fake.notes.clear();
    fake.replaying = true;
    fake.replayNotes = {{"best.normal", "100"}};
    std::unique_ptr<RecordBook> replayed = OpenRunRecords(dir / "records.ini", nullptr);
    EXPECT_TRUE(replayed->ReadOnly());
    EXPECT_EQ(replayed->Get(0).best, 100);
    EXPECT_TRUE(fake.notes.empty());
}

}  // namespace
}  // namespace grappix
