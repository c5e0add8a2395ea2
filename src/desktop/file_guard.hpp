// What every file the game keeps for the player needs beside an atomic write: reading a small
// file without hanging on a FIFO or filling memory with a device, a lock shared by every game
// running at once, a damaged file moved aside without covering an older one, and the leftovers
// of a save cut short by a kill.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace grappix {

// Settings and records files are a few hundred bytes: 64 KiB is far more than either holds.
inline constexpr size_t kSmallFileCap = 64 * 1024;

enum class ReadStatus { Ok, Missing, Unreadable, TooLarge };

// Reads the whole of a regular file of at most cap bytes, without blocking on whatever else
// stands at path (a FIFO, a device, a folder), and drops a UTF-8 byte-order mark at its start.
// Ok with text; Missing when there is no such file or folder; otherwise why is the fault
// ("a FIFO, not a regular file", "larger than 64 KiB", ...).
ReadStatus ReadSmallFile(const std::string& path, size_t cap, std::string& text, std::string& why);

// An advisory lock on <path>.lock, shared by every game running at once on the same folders,
// held from construction to destruction. Waits at most waitMs for a game that holds it; a
// lock that cannot be had is reported in Error() and the caller goes on without it.
class FileLock {
public:
    explicit FileLock(const std::string& path, int waitMs = 3000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    const std::string& Error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// Renames path to the first free name of <path>.bad, <path>.bad.1, <path>.bad.2 ..., never over
// an existing file. "" and the name in aside, or why it could not.
std::string MoveAside(const std::string& path, std::string& aside);

// Removes the temporary files a save of path killed halfway left (<path>.XXXXXX, as
// WriteFileAtomically names them) once they are older than a minute.
void RemoveStaleTemporaries(const std::string& path, std::time_t now);

// At most five warnings of one file, then "<file>: and N more".
void CapWarnings(std::vector<std::string>& warnings, size_t from, const std::string& file);

}  // namespace grappix
