// The records file: what it reads and writes, what it keeps that it does not know, and how it
// takes a damaged file, one it cannot read, or a folder it may not write to.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
    struct stat st {};
    ASSERT_EQ(stat((dir / "share").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

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
    }
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
    EXPECT_NE(warnings[0].find("not a plain file"), std::string::npos) << warnings[0];
    EXPECT_NE(folder.Save(RecordTable{{{1, "", "", 0}}}).find("not replaced"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "records.ini/inside"));

    WriteFile(dir / "share", "a file where the folder should be");
    RecordsFile blocked(dir / "share/grappix/records.ini");
    EXPECT_NE(blocked.Save(RecordTable{{{1, "", "", 0}}}).find("is not a folder"), std::string::npos);
    EXPECT_NE(RecordsFile("").Save(RecordTable{}), "");
}

}  // namespace
}  // namespace grappix
