// grappix --verify FILE: the replay fast-forwarded with no window, no sound, nothing drawn and
// no pacing, every check verified, and one JSON object printed of what it proves (verified or
// the fault and its step, the best speed of each mode as the replayed game showed it, the
// readout once a second of each mode's best game, the game's version).
//
// It writes nothing: no settings, records or replays (no home folder is used at all). It is
// bounded: a replay of another version is refused before it starts, so is one longer than
// kVerifyStepLimit, and the engine ends the run one step after the replay's end.
#pragma once

#include <cstdint>
#include <string>

#include "frame/program.hpp"

namespace grappix {

inline constexpr int64_t kVerifyStepLimit = int64_t{60} * 60 * 60;  // an hour of play

// Reads the replay's header and sets the engine's environment for a verification. Returns ""
// or the fault that refuses the replay before it plays; end is the step it ends at.
std::string PrepareVerify(const std::string& file, int64_t& end);

// What the run's end proves: "" (verified) when it quit at the replay's end or one step after,
// otherwise the fault (a check that differs, a replay the engine refused, a game that stopped
// short of the end ...).
std::string VerifyFault(const ExceptionRecord& record, int64_t step, int64_t end);

}  // namespace grappix
