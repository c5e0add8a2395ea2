// The best speed of each mode, and the file that keeps them between runs.
//
// records.ini lives in $XDG_DATA_HOME/grappix (what the player made is data, not settings). One
// section a mode, one "key = value" a line; '#' or ';' starts a comment line:
//
//     [normal]
//     best = 7288                          the largest speed figure the display showed, 1 to 99999
//     date = 2026-12-07T15:04:05Z          when it was set (UTC)
//     replay = /home/ada/.local/state/grappix/replays/2026-12-07T15-00-00.replay
//     step = 5190                          the frame step of that replay where the game began
//
// Reading keeps every line; writing changes only the values of these keys in these sections
// (adding the missing ones), so comments and what another version wrote survive. A file that
// is not of this form is corrupt: it is never written over, but moved aside.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace grappix {

// The modes in the order of the title's buttons: "normal", "no-block", "free-style".
inline constexpr int kRecordModes = 3;
const char* RecordModeName(int mode);          // null outside 0..2
int RecordModeIndex(const std::string& name);  // -1 for a name that is no mode

// The most the speed readout can show (five digits).
inline constexpr int64_t kMaxRecordSpeed = 99999;

struct Record {
    int64_t best = 0;    // 0: no record in this mode
    std::string date;    // "" when unknown
    std::string replay;  // the replay file holding the game; "" when none was recorded
    int64_t step = 0;    // the replay's frame step at which the game began

    bool operator==(const Record&) const = default;
};

using RecordTable = std::array<Record, kRecordModes>;

// Reads a records file's text. Returns "" and fills table, or the first fault found
// ("line 3: ..."), leaving table as far as it got.
std::string ParseRecords(const std::string& text, RecordTable& table);

// <XDG_DATA_HOME>/grappix/records.ini; empty when there is no home folder to put it in.
std::string RecordsPath();

// Adds to replays every replay the records file names, and every one named in a damaged copy
// kept beside it (<path>.bad...). False when the file exists but could not be read whole: which
// replays hold a record is then not known.
bool ReplaysNamedByRecords(const std::string& recordsPath, std::vector<std::string>& replays);

class RecordsFile {
public:
    explicit RecordsFile(std::string path) : path_(std::move(path)) {}

    // Reads the file. A missing file gives no records, silently. A corrupt one is renamed to
    // <path>.bad (or .bad.1, .bad.2 ... : a file kept aside before is never covered), with one
    // warning, and gives no records; one that cannot be read gives no records with one warning.
    // A mode's section or key given twice reads as one more record of it: the highest stands.
    // Temporary files an interrupted save left are removed once a minute old.
    RecordTable Load(std::vector<std::string>& warnings);

    // Writes the table over the file atomically, creating the folder if needed. Under a lock
    // shared with every game running at once, the file is read again first and, mode by mode,
    // the higher record of the file's and the table's is written (and given in written), with
    // the lines of the file kept. A file damaged since is moved aside as Load does (said in
    // warnings); one that cannot be read is not replaced. Returns "" or why it could not.
    std::string Save(const RecordTable& table, RecordTable* written = nullptr,
                     std::vector<std::string>* warnings = nullptr);

    // Reads the file and touches nothing: "" and the table, or one line saying what is wrong
    // (missing, unreadable or corrupt), naming the file.
    static std::string Peek(const std::string& path, RecordTable& table);

    const std::string& Path() const { return path_; }

private:
    bool MoveDamagedAside(const std::string& fault, std::vector<std::string>& warnings);

    std::string path_;
};

}  // namespace grappix
