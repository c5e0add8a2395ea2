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

std::unique_ptr<RecordBook> OpenRunRecords(const std::string& recordsPath, const RecordBook::Warn& warn) {
    if (ReplayingBack()) return std::make_unique<RecordBook>(&ReplayNote, warn);
    auto book = std::make_unique<RecordBook>(std::make_unique<RecordsFile>(recordsPath), warn);
    for (const auto& [key, value] : book->Notes()) AddReplayNote(key, value);
    return book;
}

}  // namespace grappix
