// replay.hpp -- every run may be recorded as a replay, and a replay played back bit for bit.
//
// A replay is an input script (input_script.hpp) in a fixed order:
//     # grappix replay 1
//     version <game's version> engine <engine's version>
//     seed <n>
//     fullscreen <on|off>               the state at Init
//     note <key> <value>                what the game read from its own files, one per note
//     <n> ...                           what changed in the input the game saw at frame step n
//     check <n> <hash>                  every 60 steps: the hash of that step's draw and sound calls
//     end <n>                           the last frame step; a file without it was cut short
// The recorder writes only changes: a button that goes down and up between two steps is written
// as a down at the step that saw it and an up at the next, which gives the game the same counts.
#ifndef BRISEL_REPLAY_HPP
#define BRISEL_REPLAY_HPP

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "brisel.h"
#include "input_script.hpp"

namespace brisel {

struct InputState;

constexpr int64_t kCheckEvery = 60;                          // steps between two desync checks
constexpr const char* kReplayHeader = "# grappix replay 1";  // the first line of every replay

using Notes = std::vector<std::pair<std::string, std::string>>;

// 64-bit FNV-1a: what a check line carries.
constexpr uint64_t kHashStart = 0xCBF29CE484222325ull;
inline uint64_t HashBytes(uint64_t hash, const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
    return hash;
}

// Writes the run to a temporary file beside the replay's name (<file>.part), through a buffer
// flushed every two seconds, and renames it into place at the end. A run that dies leaves the
// .part file: everything up to the last flush, without the end line, so it reads as cut short.
class Recorder {
public:
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder();

    bool Active() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }  // "" when not recording

    void Open(const std::string& path);  // raises BRISEL_FAIL_SYSTEM naming the file
    // The header; the state of the input at Init is all up, the pointer at (0, 0).
    void Start(const std::string& versionLine, uint64_t seed, bool fullscreen, const Notes& notes);
    bool Started() const { return started_; }
    // What the game sees after frame step `step` read the input.
    void Step(int64_t step, const InputState& in, bool fullscreen);
    void GameSetFullscreen(bool on) { fullscreen_ = on; }  // the game's own call: no line needed
    void Quit(int64_t step);
    void Check(int64_t step, uint64_t hash);
    // The end line and the rename; false with `error` set when the file could not be finished.
    bool Finish(int64_t lastStep, std::string& error);
    void Abandon();  // a run that never stepped: nothing worth keeping
    // Everything recorded so far written out and synced to the disk; false when it could not be.
    bool Seal();

private:
    void Write(const std::string& line);
    void Flush(bool force);
    void Fail(const char* what);

    std::string path_, part_;
    std::FILE* file_ = nullptr;
    std::string buffer_;
    int64_t lastFlushNs_ = 0;
    bool started_ = false;
    bool failed_ = false;  // a write failed: recording stopped, the .part file stays
    // What a replay's script holds at this point, so that only changes are written.
    std::vector<bool> pad_, mouse_, key_, window_;
    double x_ = 0, y_ = 0;
    double axis_[BRISEL_AXIS_COUNT] = {};
    // The device used last as the replay will have it: the lines written so far imply it (a
    // mouse line or a key press is the mouse and keyboard, a pushed stick the controller).
    int64_t device_ = BRISEL_DEVICE_MOUSE_KEYBOARD;
    bool fullscreen_ = false;
};

// A replay being played back (BRISEL_REPLAY).
struct Playback {
    bool active = false;
    std::string path;
    ParsedScript script;
    size_t nextCheck = 0;     // the first check not verified yet
    int64_t from = 0;         // BRISEL_REPLAY_FROM: steps before it are fast-forwarded
    bool force = false;       // BRISEL_REPLAY_FORCE=1
    bool paused = false;      // the viewer's pause key
    bool fullscreen = false;  // what GetFullscreen reports: the recorded game's state
    std::string gameVersion;  // the first word of the version line
};

// Reads a replay file whole and checks it. Raises BRISEL_FAIL_REPLAY with one line naming the
// file and the fault: missing, empty, not a replay, a newer format, a bad line, cut short.
ParsedScript LoadReplay(const std::string& path);

// This build's version line: "<game> engine <engine>".
std::string VersionLine(const Notes& notes);

}  // namespace brisel

#endif
