// The records end to end: the real grappix keeps a best speed across runs in its own data
// folder, shows it on the title, takes a damaged or unwritable records file with one line, and
// refuses --watch-best without a record to watch.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "records/records_file.hpp"
#include "support/process.hpp"
#include "support/trace.hpp"

namespace grappix {
namespace {

using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;
using test::WriteFile;

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// The lines of standard error about the records (a machine without a sound device says so too).
int RecordLines(const std::string& err) {
    int n = 0;
    for (size_t start = 0, end; (end = err.find('\n', start)) != std::string::npos; start = end + 1)
        n += err.substr(start, end - start).find("records") != std::string::npos ? 1 : 0;
    return n;
}

TEST(WatchBestRunTest, NoRecordOrNoReplayEndsAtOnceWithOneLine) {
    // Guards against --watch-best opening a window (or a replay of nothing) when there is
    // nothing to watch, and against a message that does not say what is missing.
    TempDir dir;
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), GRAPPIX_EXE);
        // No Data/ here and no display: the lookup must come before either is needed.
        return RunProcess(args, dir.Path(), {{"XDG_DATA_HOME", dir / "data"}}, 30.0,
                          {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"});
    };
    ProcessResult none = run({"--watch-best", "normal"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(Lines(none.err), 1) << none.err;
    EXPECT_NE(none.err.find("grappix: no normal record to watch"), std::string::npos) << none.err;

    std::filesystem::create_directories(dir / "data/grappix");
    WriteFile(dir / "data/grappix/records.ini", "[no-block]\nbest = 8000\nreplay = " + dir / "gone.replay\n");
    ProcessResult gone = run({"--watch-best=no-block"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(Lines(gone.err), 1) << gone.err;
    EXPECT_NE(gone.err.find("is gone: " + dir / "gone.replay"), std::string::npos) << gone.err;
}

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

// A No Block game picked from the title, played until the run stops at step `frames`; the
// records under `data`.
ProcessResult PlayNoBlock(const TempDir& dir, const std::string& data, int frames, bool trace = false) {
    WriteFile(dir / "input.txt",
              "5 mouse 800 550\n5 down left\n7 up left\n"
              "150 mouse 1500 100\n150 down left\n160 down right\n");
    std::vector<std::pair<std::string, std::string>> env = {{"BRISEL_INPUT", dir / "input.txt"},
                                                            {"BRISEL_FRAMES", std::to_string(frames)},
                                                            {"BRISEL_SEED", "5"},
                                                            {"BRISEL_NOPACE", "1"},
                                                            {"XDG_CONFIG_HOME", dir / "config"},
                                                            {"XDG_DATA_HOME", data}};
    if (trace) env.emplace_back("BRISEL_TRACE", dir / "trace.txt");
    return RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 300.0);
}

TEST(RecordsRunTest, ARecordSetInOneRunIsKeptAndShownOnTheNextRunsTitle) {
    // Guards against a record lost when the run ends in play (the frame limit ends it as the
    // window's close button does), and against a title that does not show what the file holds.
    TempDir dir;
    ProcessResult first = PlayNoBlock(dir, dir / "data", 400);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(RecordLines(first.err), 0) << first.err;
    RecordTable table;
    ASSERT_EQ(RecordsFile::Peek(dir / "data/grappix/records.ini", table), "");
    const int64_t best = table[1].best;
    EXPECT_GT(best, 0);
    EXPECT_EQ(table[0].best, 0);
    EXPECT_EQ(table[1].date.size(), 20u) << table[1].date;

    ProcessResult second = PlayNoBlock(dir, dir / "data", 6, true);
    ASSERT_EQ(second.status, 0) << second.err;
    std::vector<test::TraceFrame> frames = test::ParseTrace(ReadFile(dir / "trace.txt"));
    ASSERT_GT(frames.size(), 3u);
    int glyphs = 0;
    for (const test::TexDraw& t : frames[3].tex)
        glyphs += t.file.find("font_128_64") != std::string::npos && t.dx >= 1225 && t.dw == 32 ? 1 : 0;
    EXPECT_EQ(glyphs, static_cast<int>(("Best " + std::to_string(best)).size())) << "beside No Block only";
    RecordTable after;
    ASSERT_EQ(RecordsFile::Peek(dir / "data/grappix/records.ini", after), "");
    EXPECT_EQ(after, table) << "a run that beats nothing changes nothing";
}

TEST(RecordsRunTest, ADamagedFileIsMovedAsideAndAnUnwritableFolderWarnedAboutInOneLineEach) {
    // Guards against a damaged file written over, a warning per frame or per save, and a run
    // that fails because its records cannot be kept.
    TempDir dir;
    std::filesystem::create_directories(dir / "data/grappix");
    WriteFile(dir / "data/grappix/records.ini", "[normal]\nbest = lots\n");
    ProcessResult damaged = PlayNoBlock(dir, dir / "data", 300);
    ASSERT_EQ(damaged.status, 0) << damaged.err;
    EXPECT_EQ(RecordLines(damaged.err), 1) << damaged.err;
    EXPECT_NE(damaged.err.find("moved aside to " + dir / "data/grappix/records.ini.bad"), std::string::npos)
        << damaged.err;
    EXPECT_EQ(ReadFile(dir / "data/grappix/records.ini.bad"), "[normal]\nbest = lots\n");
    RecordTable table;
    ASSERT_EQ(RecordsFile::Peek(dir / "data/grappix/records.ini", table), "");
    EXPECT_EQ(table[0].best, 0) << "started without records";
    EXPECT_GT(table[1].best, 0);

    WriteFile(dir / "blocked", "a file where the data folder should be");
    ProcessResult blocked = PlayNoBlock(dir, dir / "blocked", 300);
    ASSERT_EQ(blocked.status, 0) << blocked.err;
    EXPECT_EQ(RecordLines(blocked.err), 1) << blocked.err;
    EXPECT_NE(blocked.err.find("cannot save the records"), std::string::npos) << blocked.err;
}

TEST(WatchBestRunTest, TheRecordsReplayPlaysUntilItsGameIsLeftAndTheRunEnds) {
    // Guards against a record that forgets its replay or the step its game began at, and a
    // watch that plays on past the record's game (here into a game of Normal) or writes records.
    TempDir dir;
    WriteFile(dir / "input.txt",
              "5 mouse 800 550\n5 down left\n7 up left\n150 mouse 1500 100\n150 down left\n160 down right\n"
              "290 up left\n291 up right\n300 down pad3\n302 up pad3\n310 mouse 800 670\n312 down left\n"
              "314 up left\n340 mouse 800 430\n342 down left\n344 up left\n");
    std::vector<std::pair<std::string, std::string>> env = {
        {"BRISEL_NOPACE", "1"}, {"XDG_CONFIG_HOME", dir / "config"}, {"XDG_DATA_HOME", dir / "data"}};
    auto recordEnv = env;
    recordEnv.insert(recordEnv.end(), {{"BRISEL_INPUT", dir / "input.txt"},
                                       {"BRISEL_FRAMES", "600"},
                                       {"BRISEL_SEED", "5"},
                                       {"BRISEL_RECORD", dir / "run.replay"}});
    ProcessResult recorded = RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, recordEnv, 300.0);
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    RecordTable table;
    ASSERT_EQ(RecordsFile::Peek(dir / "data/grappix/records.ini", table), "");
    EXPECT_GT(table[1].best, 0);
    EXPECT_EQ(table[1].replay, dir / "run.replay");
    EXPECT_EQ(table[1].step, 7) << "the step \"No Block\" was picked";
    const std::string before = ReadFile(dir / "data/grappix/records.ini");

    env.emplace_back("BRISEL_TRACE", dir / "watch.trace");
    ProcessResult watched =
        RunProcess({GRAPPIX_EXE, "--watch-best", "no-block"}, GRAPPIX_RUN_DIR, env, 300.0);
    ASSERT_EQ(watched.status, 0) << watched.err;
    std::vector<test::TraceFrame> frames = test::ParseTrace(ReadFile(dir / "watch.trace"));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().step, 314) << "ends with the pick of \"Return Title\"";
    EXPECT_EQ(ReadFile(dir / "data/grappix/records.ini"), before);
}

#endif

}  // namespace
}  // namespace grappix
