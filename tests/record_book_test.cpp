// The run's records: beaten only by a larger figure, stamped with the game that beat them,
// warned about once when they cannot be saved, read from the notes and never written while a
// replay plays, and looked up for --watch-best.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "desktop/replay_files.hpp"
#include "records/record_book.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(RecordBookTest, OnlyALargerFigureBeatsARecordAndItKeepsTheGameThatSetIt) {
    // Guards against >= in place of > (a tie rewriting date and replay), a record stamped with
    // another game's replay or step, figures the readout cannot show, and a replay path that
    // would not come back from the file as it went in.
    TempDir dir;
    WriteFile(dir / "records.ini", "[normal]\nbest = 5000\ndate = old\nreplay = /r/old\nstep = 7\n");
    RecordBook b(std::make_unique<RecordsFile>(dir / "records.ini"), nullptr);
    b.now = [] { return std::string("2026-12-07T15:04:05Z"); };
    EXPECT_FALSE(b.Offer(9000)) << "no game begun: nothing to beat";
    b.BeginGame(0, "/r/new", 120);
    EXPECT_FALSE(b.Offer(5000));
    EXPECT_FALSE(b.Offer(100000));
    EXPECT_EQ(b.Get(0), (Record{5000, "old", "/r/old", 7}));
    EXPECT_TRUE(b.Offer(5001));
    EXPECT_FALSE(b.Offer(4000));
    EXPECT_EQ(b.Get(0), (Record{5001, "2026-12-07T15:04:05Z", "/r/new", 120}));
    b.BeginGame(2, "/r/two\nlines", 5);
    EXPECT_TRUE(b.Offer(10));
    EXPECT_EQ(b.Get(2), (Record{10, "2026-12-07T15:04:05Z", "", 0}));
    EXPECT_EQ(b.ReplayFiles(), std::vector<std::string>{"/r/new"});
    b.Save();
    EXPECT_EQ(RecordBook(std::make_unique<RecordsFile>(dir / "records.ini"), nullptr).Get(0), b.Get(0));
}

TEST(RecordBookTest, TheRecordingIsSealedBeforeTheFileNamesItsReplay) {
    // Guards against a record naming a replay whose .part lags behind (a crash would lose it).
    TempDir dir;
    RecordBook b(std::make_unique<RecordsFile>(dir / "records.ini"), nullptr);
    std::vector<std::string> fileAtSeal;
    b.seal = [&] { fileAtSeal.push_back(ReadFile(dir / "records.ini")); };
    b.BeginGame(0, "/r/run.replay", 5);
    b.Offer(100);
    b.Save();
    ASSERT_EQ(fileAtSeal.size(), 1u);
    EXPECT_EQ(fileAtSeal[0].find("/r/run.replay"), std::string::npos) << "sealed before it is named";
    EXPECT_NE(ReadFile(dir / "records.ini").find("/r/run.replay"), std::string::npos);
    b.BeginGame(1, "", 0);  // a game not recorded has nothing to seal
    b.Offer(50);
    b.Save();
    EXPECT_EQ(fileAtSeal.size(), 1u);
}

TEST(RecordBookTest, AnUnwritableFolderIsWarnedAboutOnceAndTriedAgainLater) {
    // Guards against a warning every time a game is left, and a failed save taken as done (the
    // record would never reach the file once the folder can be written again).
    TempDir dir;
    WriteFile(dir / "data", "a file where the folder should be");
    std::vector<std::string> warnings;
    RecordBook b(std::make_unique<RecordsFile>(dir / "data/grappix/records.ini"),
                 [&](const std::string& w) { warnings.push_back(w); });
    b.BeginGame(1, "", 0);
    for (int64_t figure : {100, 200}) {
        b.Offer(figure);
        b.Save();
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("cannot save the records"), std::string::npos) << warnings[0];
    std::filesystem::remove(dir / "data");
    b.Save();
    EXPECT_NE(ReadFile(dir / "data/grappix/records.ini").find("best = 200"), std::string::npos);
}

TEST(RecordBookTest, AReplayShowsTheRecordsOfItsNotesAndNeverWrites) {
    // Guards against a replay showing the player's records of today (its drawing would differ
    // from the recorded run's), a bad note read as a record, and a replay writing the file.
    RecordBook b(
        [](const std::string& key) -> std::optional<std::string> {
            if (key == "best.normal") return "7288";
            if (key == "best.no-block") return "fast";
            return std::nullopt;
        },
        nullptr);
    EXPECT_TRUE(b.ReadOnly());
    EXPECT_EQ(b.Get(0).best, 7288);
    EXPECT_EQ(b.Get(1).best, 0);
    b.BeginGame(0, "/r/x", 3);
    EXPECT_TRUE(b.Offer(8000)) << "the replayed game beats it as the recorded one did";
    EXPECT_EQ(b.Notes()[0], (std::pair<std::string, std::string>{"best.normal", "8000"}));
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "(unset)";
}

TEST(WatchBestTest, TheLookupSetsTheReplayOrSaysInOneLineWhatIsMissing) {
    // Guards against --watch-best starting a replay of nothing, a crash on a damaged file, a
    // message that does not say what is missing, and the wrong replay or step handed on.
    TempDir dir;
    WriteFile(dir / "run.replay", "# grappix replay 1\n");
    const std::pair<const char*, const char*> faults[] = {
        {"[normal]\nbest = 10\n", "no no-block record to watch yet"},
        {"[no-block]\nbest = 10\n", "the no-block record (10) has no replay"},
        {"[no-block]\nbest = 10\nreplay = /nowhere/r\n",
         "the replay of the no-block record (10) is gone: /nowhere/r"},
        {"[no-block]\nbest = ten\n", "cannot read the records: "},
    };
    int64_t step = -1;
    EXPECT_NE(PrepareWatch(dir / "records.ini", "no-block", step).find("no records are kept yet"),
              std::string::npos);
    for (const auto& [file, says] : faults) {
        WriteFile(dir / "records.ini", file);
        std::string why = PrepareWatch(dir / "records.ini", "no-block", step);
        EXPECT_NE(why.find(says), std::string::npos) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos);
    }
    EXPECT_EQ(step, -1);
    EXPECT_EQ(Env("BRISEL_REPLAY"), "(unset)");

    WriteFile(dir / "records.ini",
              "[no-block]\nbest = 9\nreplay = " + dir / "run.replay" + "\nstep = 4321\n");
    EXPECT_EQ(PrepareWatch(dir / "records.ini", "no-block", step), "");
    EXPECT_EQ(step, 4321);
    EXPECT_EQ(Env("BRISEL_REPLAY"), dir / "run.replay");
    EXPECT_EQ(Env("BRISEL_REPLAY_FROM"), "4321");
    // A replay a crash cut short plays up to where it was cut, and says so.
    WriteFile(dir / "run.replay", "# grappix replay 1\ncheck 60 0a\nend 60\n" + std::string(kCutShortNote) +
                                      "60: it plays up to there\n");
    std::string note;
    EXPECT_EQ(PrepareWatch(dir / "records.ini", "no-block", step, &note), "");
    EXPECT_EQ(note,
              "the replay of the no-block record (9): the recording was cut short at step 60: it plays up to "
              "there");
    unsetenv("BRISEL_REPLAY");
    unsetenv("BRISEL_REPLAY_FROM");
}

}  // namespace
}  // namespace grappix
