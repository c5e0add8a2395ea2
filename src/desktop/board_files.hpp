// The files of the board of records on the player's disk: the player's key (a random token
// made once and kept, private), and the queue of runs waiting to be sent, each a whole replay
// closed at the end of the game that beat a record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace grappix {

// <config>/grappix/board-key and <state>/grappix/board-queue; "" without a home folder.
std::string BoardKeyPath();
std::string BoardQueueFolder();

// The key kept at path, made when there is none: 32 random bytes as 64 hex digits, written
// atomically into a file only the player may read (0600), never over one another game made
// meanwhile. "" when it cannot be read or made (error says why, naming the file).
std::string LoadOrMakeBoardKey(const std::string& path, std::string& error);

// A replay ended at step: the text of the replay being recorded (its .part, or the replay
// itself once finished) cut after the line of the check of that step, given "end <step>".
// Returns "" or one line naming the file and the fault (no check of that step, unreadable).
std::string CloseReplayAt(const std::string& recording, int64_t step, std::string& closed);

// Puts a closed replay into the queue folder as <name>.replay (made when missing, never over
// another file). Returns "" or why it could not.
std::string QueueReplay(const std::string& folder, const std::string& name, const std::string& text);

// The queued replays, oldest first (by name: they are named by the run's start and the step).
std::vector<std::string> QueuedReplays(const std::string& folder);

}  // namespace grappix
