// Replays on the player's disk: which run records one and where, what a new one is named, and
// how many are kept.
//
// A run with a window records itself into $XDG_STATE_HOME/grappix/replays/ (~/.local/state/...
// when unset), one file per run named by the time it started. Runs without a window, scripted
// runs (BRISEL_INPUT) and replays being watched record only when --record names a file.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "desktop/command_line.hpp"

namespace grappix {

inline constexpr size_t kReplaysKept = 20;  // the newest ones; a record's replay is kept besides

// <state>/grappix/replays; empty when there is no home folder to put it in.
std::string ReplayFolder();

// A new replay's path in folder, named by the run's start in local time
// (2026-12-07_15-40-12.replay), with -2, -3 ... added while a file of that name (or its
// unfinished .part) exists. The name is held by creating its .part, empty, exclusively: two
// games started in the same second never share one. "" when none could be made (error says
// why).
std::string NewReplayPath(const std::string& folder, std::time_t start, std::string* error = nullptr);

// What this run does about replays, decided before the engine starts from the command line
// and the environment (env returns a variable's value, or null).
struct ReplayPlan {
    std::string replay;      // BRISEL_REPLAY to set: the replay to play back ("" none)
    bool force = false;      // BRISEL_REPLAY_FORCE=1 to set
    std::string record;      // BRISEL_RECORD to set ("" leaves it as the environment has it)
    bool automatic = false;  // record is a new file in folder, pruned after the run
    std::string folder;      // the replay folder, when automatic
    std::string warning;     // no replay can be kept: this run plays unrecorded
    std::string error;       // --record names a file it may not write: the run ends (status 2)
    std::string reserved;    // the replay whose empty .part holds its name until the engine opens it
    std::vector<std::string> madeFolders;  // made for the replay, parents first
};
// --record never writes over anything: a file or a .part that exists, a symbolic link, a
// device, a folder, the replay being played, or a file in a folder that does not exist is
// refused in error. An automatic replay is held by NewReplayPath; a folder it cannot be made
// or written in gives a warning, and the run plays unrecorded.
ReplayPlan PlanReplays(const CommandLine& line, const std::function<const char*(const char*)>& env,
                       std::time_t start);
// After the run (or a failed start): an empty .part still holding a name goes, and so do the
// folders made for a replay that was never written.
void ReleaseReplayPlan(const ReplayPlan& plan);

// Deletes all but the newest `keep` replays of folder (by modification time), never one of
// protectedPaths (nor its .part; real paths compared), nor a recording that may still be going
// on (an unfinished .part changed in the last ten minutes, or one a running game's engine
// holds locked). Files that are not replays are left alone. Returns the problems met.
std::vector<std::string> PruneReplays(const std::string& folder, size_t keep,
                                      const std::vector<std::string>& protectedPaths, std::time_t now);

// The line a replay cut short by a crash ends with, followed by "<step>: it plays up to there".
inline constexpr const char* kCutShortNote = "# the recording was cut short at step ";

// A record names replay, but only its .part is there (the game was killed while recording it):
// unless a running game still holds the .part, it is cut after its last check line, ended at
// that check's step (with the kCutShortNote line) and put in place as replay. Nothing happens
// when the replay exists or the .part does not. Returns "" or one line saying why it could not.
std::string RecoverCutReplay(const std::string& replay);

}  // namespace grappix
