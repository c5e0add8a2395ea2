// The records file: what it reads and writes, what it keeps that it does not know, and how it
// takes a damaged file, one it cannot read, or a folder it may not write to.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "records/records_file.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

RecordTable Load(RecordsFile& file, std::vector<std::string>& warnings) {
    warnings.clear();
    return file.Load(warnings);
}

TEST(RecordsFileTest, RecordsRoundTripAndKeepWhatTheyDoNotKnowInPlace) {
    // Guards against a record written but not read back (a replay path with spaces and '='),
    // a folder open to other users, and a newer version's keys or the player's notes lost
    // when a record is beaten.
    TempDir dir;
    RecordTable t;
    t[0] = {7288, "2026-12-07T15:04:05Z", "/home/ada/replays/a b=c.replay", 5190};
    RecordsFile file(dir / "share/grappix/records.ini");
    std::vector<std::string> warnings;
    EXPECT_EQ(Load(file, warnings), RecordTable{});
    EXPECT_TRUE(warnings.empty()) << "a first run says nothing";
    ASSERT_EQ(file.Save(t), "");
    RecordsFile again(dir / "share/grappix/records.ini");
    EXPECT_EQ(Load(again, warnings), t);
#if !defined(_WIN32)  // no modes of this kind on Windows
    struct stat st {};
    ASSERT_EQ(stat((dir / "share").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif

    WriteFile(dir / "records.ini", "# mine\n[normal]\nbest = 100\nmedal = gold\n[speedrun]\nbest = 5\n");
    RecordsFile kept(dir / "records.ini");
    t = Load(kept, warnings);
    t[0].best = 150;
    t[1] = {200, "d", "", 0};
    ASSERT_EQ(kept.Save(t), "");
    EXPECT_EQ(
        ReadFile(dir / "records.ini"),
        "# mine\n[normal]\nbest = 150\nmedal = gold\ndate = \nreplay = \nstep = 0\n[speedrun]\nbest = 5\n"
        "\n[no-block]\nbest = 200\ndate = d\nreplay = \nstep = 0\n");
}

TEST(RecordsFileTest, ADamagedFileIsMovedAsideWithOneWarningAndNeverWrittenOver) {
    // Guards against a damaged file replaced silently (the player's history lost), a warning
    // per line, and records half-read from a damaged file.
    const std::pair<std::string, std::string> cases[] = {
        {"[normal]\nbest = 7288\ngarbage\n", "line 3: not a '[mode]' or 'key = value' line"},
        {"[no-block]\nbest = 100000\n", "line 2: best must be a whole number from 0 to 99999"},
        {"[normal]\nstep = -1\n", "line 2: step must be"},
        {std::string("[normal]\nbest = 7\0\n", 19), "not a text file"},
    };
    for (const auto& [text, fault] : cases) {
        TempDir dir;
        WriteFile(dir / "records.ini", text);
        RecordsFile file(dir / "records.ini");
        std::vector<std::string> warnings;
        EXPECT_EQ(Load(file, warnings), RecordTable{}) << fault;
        ASSERT_EQ(warnings.size(), 1u) << fault;
        EXPECT_EQ(warnings[0].rfind(dir / "records.ini: " + fault, 0), 0u) << warnings[0];
        EXPECT_NE(warnings[0].find("moved aside to " + dir / "records.ini.bad"), std::string::npos);
        EXPECT_EQ(ReadFile(dir / "records.ini.bad"), text) << "kept as it was";
        ASSERT_EQ(file.Save(RecordTable{{{1, "", "", 0}}}), "") << "a new file beside the damaged one";
        EXPECT_EQ(ReadFile(dir / "records.ini.bad"), text);
        // A file damaged again never covers the one kept aside before.
        WriteFile(dir / "records.ini", "[normal]\nbest = ?\n");
        Load(file, warnings);
        EXPECT_EQ(ReadFile(dir / "records.ini.bad"), text);
        EXPECT_EQ(ReadFile(dir / "records.ini.bad.1"), "[normal]\nbest = ?\n");
    }
}

TEST(RecordsFileTest, ADuplicatedRecordKeepsTheHighestAndAByteOrderMarkIsSkipped) {
    // Guards against a section or key given twice lowering a record (7000 became 6000), and an
    // editor's byte-order mark moving the records aside.
    for (const std::string text :
         {"[normal]\nbest = 7000\nreplay = a.replay\n[normal]\nbest = 6000\nreplay = b\n",
          "[normal]\nbest = 7000\nreplay = a.replay\nbest = 6000\nreplay = b\n",
          "\xEF\xBB\xBF[normal]\nbest = 7000\nreplay = a.replay\n"}) {
        TempDir dir;
        WriteFile(dir / "records.ini", text);
        RecordsFile file(dir / "records.ini");
        std::vector<std::string> warnings;
        EXPECT_EQ(Load(file, warnings)[0], (Record{7000, "", "a.replay", 0})) << text;
        EXPECT_TRUE(warnings.empty()) << warnings.front();
    }
}

TEST(RecordsFileTest, EveryReplayARecordHoldsIsKnownOrNoneIs) {
    // Guards against pruning a record's replay when records.ini cannot be read, or kept aside.
    TempDir dir;
    const std::string path = dir / "records.ini";
    WriteFile(path, "[normal]\nbest = 9\nreplay = /r/c.replay\n");
    WriteFile(path + ".bad", "[normal]\nbest = 7\nreplay = /r/a.replay\ngarbage\n");
    WriteFile(path + ".bad.1", std::string("replay = /r/b.replay\n\0", 22));
    std::vector<std::string> replays;
    EXPECT_TRUE(ReplaysNamedByRecords(path, replays));
    std::sort(replays.begin(), replays.end());
    EXPECT_EQ(replays, (std::vector<std::string>{"/r/a.replay", "/r/b.replay", "/r/c.replay"}));
    WriteFile(path, "[normal]\nbest = nine\n");
    EXPECT_FALSE(ReplaysNamedByRecords(path, replays));
}

TEST(RecordsFileTest, TwoGamesSavingAtOnceKeepTheHigherRecordOfEachMode) {
    // Guards against the last game to save erasing another game's record of another mode, or
    // lowering one of the same mode (5130 became 962).
    TempDir dir;
    RecordsFile one(dir / "records.ini"), other(dir / "records.ini");
    std::vector<std::string> warnings;
    RecordTable a = Load(one, warnings), b = Load(other, warnings), written;
    a[0] = {5130, "d1", "/r/1.replay", 10};
    a[2] = {300, "d1", "/r/1.replay", 900};
    ASSERT_EQ(one.Save(a), "");
    b[0] = {962, "d2", "/r/2.replay", 20};
    b[1] = {800, "d2", "/r/2.replay", 20};
    ASSERT_EQ(other.Save(b, &written), "");
    EXPECT_EQ(written, (RecordTable{a[0], b[1], a[2]}));
    EXPECT_EQ(Load(one, warnings), written);
}

TEST(RecordsFileTest, WhatCannotBeReadIsNeverReplacedAndAFailedSaveSaysWhy) {
    // Guards against records.ini being something the game cannot read (a folder) and written
    // over anyway, and against a save reported as done when its folder cannot be made.
    TempDir dir;
    std::filesystem::create_directories(dir / "records.ini/inside");
    RecordsFile folder(dir / "records.ini");
    std::vector<std::string> warnings;
    Load(folder, warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("a folder, not a regular file"), std::string::npos) << warnings[0];
    EXPECT_NE(folder.Save(RecordTable{{{1, "", "", 0}}}).find("not replaced"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "records.ini/inside"));

    WriteFile(dir / "share", "a file where the folder should be");
    RecordsFile blocked(dir / "share/grappix/records.ini");
    EXPECT_NE(blocked.Save(RecordTable{{{1, "", "", 0}}}).find("is not a folder"), std::string::npos);
    EXPECT_NE(RecordsFile("").Save(RecordTable{}), "");
}

}  // namespace
}  // namespace grappix
