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
// unfinished .part) exists.
std::string NewReplayPath(const std::string& folder, std::time_t start);

// What this run does about replays, decided before the engine starts from the command line
// and the environment (env returns a variable's value, or null).
struct ReplayPlan {
    std::string replay;      // BRISEL_REPLAY to set: the replay to play back ("" none)
    bool force = false;      // BRISEL_REPLAY_FORCE=1 to set
    std::string record;      // BRISEL_RECORD to set ("" leaves it as the environment has it)
    bool automatic = false;  // record is a new file in folder, pruned after the run
    std::string folder;      // the replay folder, when automatic
    std::string warning;     // the folder could not be made: this run is not recorded
};
ReplayPlan PlanReplays(const CommandLine& line, const std::function<const char*(const char*)>& env,
                       std::time_t start);

// Deletes all but the newest `keep` replays of folder (by modification time), never one of
// protectedPaths, nor a recording that may still be going on (an unfinished .part changed in
// the last ten minutes). Files that are not replays are left alone. Returns the problems met.
std::vector<std::string> PruneReplays(const std::string& folder, size_t keep,
                                      const std::vector<std::string>& protectedPaths, std::time_t now);

}  // namespace grappix
