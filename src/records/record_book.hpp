// The run's records: what the title and the game show, beaten as the game goes, and saved to
// records.ini when a game is left and when the run ends.
//
// A run that plays a replay back shows the records the recorded run showed (carried in the
// replay's notes) and never writes the file: the player's own records stay as they were, and
// what is drawn stays what was drawn when the replay was recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/records_file.hpp"
#include "records/run_proof.hpp"

namespace grappix {

// The note of the replay being recorded that carries a mode's record at the start of the run.
std::string RecordNoteKey(int mode);  // "best.normal" ...

class RecordBook {
public:
    using Warn = std::function<void(const std::string&)>;

    // Keeps its records in file: loads them now (each problem warned about), saves them later.
    RecordBook(std::unique_ptr<RecordsFile> file, Warn warn);
    // Plays a replay back: the records are those the notes give (a missing or bad note is no
    // record), and nothing is ever written. note(key) is the note recorded under key, if any.
    RecordBook(const std::function<std::optional<std::string>(const std::string&)>& note, Warn warn);

    // The notes a recorded run carries: one per mode, its record as this run starts.
    std::vector<std::pair<std::string, std::string>> Notes() const;

    // A game of mode begins at the given frame step of the replay file being recorded ("" for none).
    void BeginGame(int mode, const std::string& replayFile, int64_t step);
    // The speed figure the display shows this frame, in the game begun last. True when it sets
    // a new record.
    bool Offer(int64_t figure);
    // Whether the game begun last set a new record.
    bool BeatenInGame() const { return beaten_; }
    // Saves the records if a game beat one since the last save; warns once a run when it cannot.
    void Save();

    const Record& Get(int mode) const;
    // Whether the file was read whole at the start (a damaged or unreadable one was not).
    bool LoadedWhole() const { return loadedWhole_; }
    bool ReadOnly() const { return file_ == nullptr; }
    // The replay files that hold a record, for pruning old replays: these must be kept.
    std::vector<std::string> ReplayFiles() const;

    // --watch-best: the run ends when the game begun at or after this step is left.
    void WatchFrom(int64_t step) { watchFrom_ = step; }
    bool EndsWatch(int64_t gameStartStep) const { return watchFrom_ && gameStartStep >= *watchFrom_; }

    // Writes out and syncs the replay being recorded, before the file names it (the engine's
    // SealReplay); unset where there is none.
    std::function<void()> seal;

    // Told of every game begun and every figure offered (--verify's proof); unset in play.
    RunWatcher* watcher = nullptr;

    // The clock stamping a new record (UTC, "2026-12-07T15:04:05Z"); tests set their own.
    std::function<std::string()> now;

private:
    std::unique_ptr<RecordsFile> file_;  // null while a replay plays back
    Warn warn_;
    RecordTable table_;
    bool dirty_ = false;
    bool saveWarned_ = false;
    bool loadedWhole_ = true;
    int mode_ = -1;  // the game being played
    std::string gameReplay_;
    int64_t gameStep_ = 0;
    bool beaten_ = false;
    std::optional<int64_t> watchFrom_;
};

// The run's book, for the title and the game; null when there is none (a test of one object).
RecordBook* ActiveRecords();
void SetActiveRecords(RecordBook* book);

// Adds the replay files holding a record: those records.ini and the damaged copies kept beside
// it name, and the active book's. False when which ones do is not known (records.ini, or the
// file the active book started from, could not be read whole): nothing may be pruned then.
bool ReplayFilesOfRecords(std::vector<std::string>& files);

// --watch-best: finds mode's record in the file at recordsPath and, when its replay file is
// there, sets BRISEL_REPLAY and BRISEL_REPLAY_FROM for the engine and gives the step its game
// began. Returns "" or one line saying why it cannot be watched. A replay cut short by a crash
// plays up to where it was cut: note then says so in one line.
std::string PrepareWatch(const std::string& recordsPath, const std::string& modeName, int64_t& step,
                         std::string* note = nullptr);

}  // namespace grappix
