#include "frame/replay_link.hpp"

#include <climits>
#include <filesystem>

#include "desktop/utf8_path.hpp"
#include "frame/engine.hpp"
#include "frame/media.hpp"

namespace grappix {

bool ReplayingBack() { return Engine().Replaying != nullptr && Engine().Replaying(); }

std::optional<std::string> ReplayNote(const std::string& key) {
    if (Engine().GetReplayNote == nullptr) return std::nullopt;
    const char* value = Engine().GetReplayNote(key.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void AddReplayNote(const std::string& key, const std::string& value) {
    if (Engine().SetReplayNote != nullptr) Engine().SetReplayNote(key.c_str(), value.c_str());
}

std::string RecordingPath() {
    const char* file = Engine().RecordingFile != nullptr ? Engine().RecordingFile() : nullptr;
    if (file == nullptr || file[0] == '\0') return {};
    std::string path = file;
    // The engine opened it from the game's folder; a record must find it from anywhere.
    if (!IsAbsolutePath(path)) {
        std::error_code ec;
        const std::filesystem::path here = std::filesystem::current_path(ec);
        if (ec) return {};
        path = PathText(here) + "/" + path;
    }
    return path;
}

// An engine without replays counts no steps of its own: the frame counter, one frame step per
// Act since start-up, is the same count.
int64_t EngineStep() { return Engine().StepNumber != nullptr ? Engine().StepNumber() : FrameCount(); }

std::unique_ptr<RecordBook> OpenRunRecords(const std::string& recordsPath, const RecordBook::Warn& warn) {
    if (ReplayingBack()) return std::make_unique<RecordBook>(&ReplayNote, warn);
    auto book = std::make_unique<RecordBook>(std::make_unique<RecordsFile>(recordsPath), warn);
    book->seal = [] {
        if (Engine().SealReplay != nullptr) Engine().SealReplay();
    };
    for (const auto& [key, value] : book->Notes()) AddReplayNote(key, value);
    return book;
}

}  // namespace grappix
