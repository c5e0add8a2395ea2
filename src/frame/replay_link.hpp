// What the engine tells the game about replays: whether this run is a replay playing back, the
// notes the replay carries, the file this run is being recorded to, and how many frame steps
// the engine has made. On an engine without replays each answers as for a plain run.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "records/record_book.hpp"

namespace grappix {

bool ReplayingBack();
// While a replay plays back: the note recorded under key, if there is one.
std::optional<std::string> ReplayNote(const std::string& key);
// A note for the header of the replay being recorded (after Init, before the first frame step).
void AddReplayNote(const std::string& key, const std::string& value);
// The file this run is recorded to, as an absolute path; "" when it is not recorded.
std::string RecordingPath();
// Frame steps the engine has made since Init: the step numbers of a replay's lines.
int64_t EngineStep();

// The run's records, once the engine knows whether this run plays a replay back (after Init):
// the replay's notes give them then, and nothing is written; otherwise the file at recordsPath
// does, and a recorded run notes them in its replay.
std::unique_ptr<RecordBook> OpenRunRecords(const std::string& recordsPath, const RecordBook::Warn& warn);

}  // namespace grappix
