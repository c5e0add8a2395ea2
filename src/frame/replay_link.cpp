#include "frame/replay_link.hpp"

#include "frame/media.hpp"

namespace grappix {

// The engine this game is built against does not record or play replays yet: every run is a
// plain one, and the frame counter (one frame step per Act since start-up) stands in for the
// engine's own count.
bool ReplayingBack() { return false; }

std::optional<std::string> ReplayNote(const std::string&) { return std::nullopt; }

void AddReplayNote(const std::string&, const std::string&) {}

std::string RecordingPath() { return {}; }

int64_t EngineStep() { return FrameCount(); }

}  // namespace grappix
