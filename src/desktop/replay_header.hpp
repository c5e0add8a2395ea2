// What a replay says of itself before it is played: the game's version that recorded it and the
// step it ends at. The engine checks the rest of the file when it plays it.
#pragma once

#include <cstdint>
#include <string>

namespace grappix {

struct ReplayHeader {
    int format = 0;       // "# grappix replay <format>"
    std::string version;  // the game's version of the "version" line
    int64_t end = -1;     // the step of the "end" line
};

// Reads the header and the end line of the replay at path (at most the engine's 64 MiB).
// Returns "" or one line naming what is wrong ("not a replay", "no end line" ...).
std::string ReadReplayHeader(const std::string& path, ReplayHeader& header);

}  // namespace grappix
