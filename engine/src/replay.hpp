// replay.hpp -- every run may be recorded as a replay, and a replay played back bit for bit.
//
// A replay is an input script (input_script.hpp) in a fixed order:
//     # grappix replay 2
//     version <game's version> engine <engine's version>
//     seed <n>
//     fullscreen <on|off>               the state at Init
//     note <key> <value>                what the game read from its own files, one per note
//     <n> ...                           what changed in the input the game saw at frame step n
//     check <n> <hash>                  the running hash after frame step n (below)
//     end <n>                           the last frame step; a file without it was cut short
// The recorder writes only changes: a button that goes down and up between two steps is written
// as a down at the step that saw it and an up at the next, which gives the game the same counts.
//
// The checks prove the replay: each is a running hash, started from the header (the version
// line, seed, fullscreen and every note) and carried through every draw and sound call of every
// step since the game began, so a change to the header, or to anything drawn or heard at any
// step, shows at the next check. One is written every 60 steps, one wherever the game sealed the
// replay (SealReplay), and one of the last step just before the end line; a replay of format 2
// with a gap of more than 60 steps between two checks, or an end without its check, is refused.
// The calls are hashed, not pixels: a run that draws nothing (a fast-forward, a scripted run)
// still writes and verifies every check.
//
// Format 1 (still played): its checks hash only the calls of their own step (64-bit FNV-1a).
#ifndef BRISEL_REPLAY_HPP
#define BRISEL_REPLAY_HPP

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brisel.h"
#include "input_script.hpp"

namespace brisel {

struct InputState;

constexpr int64_t kCheckEvery = 60;                          // steps between two desync checks, at most
constexpr int kReplayFormat = 2;                             // the format this build records
constexpr const char* kReplayHeader = "# grappix replay 2";  // the first line of every replay it records

using Notes = std::vector<std::pair<std::string, std::string>>;

// 64-bit FNV-1a: what a check of format 1 carries.
constexpr uint64_t kHashStart = 0xCBF29CE484222325ull;
inline uint64_t HashBytes(uint64_t hash, const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
    return hash;
}

// The hash of format 2, a word at a time (a draw call costs a dozen multiplications, not a
// hundred): every bit of a word reaches every bit of the hash within two words.
constexpr uint64_t kStepHashStart = 0x9E3779B97F4A7C15ull;
inline uint64_t MixWord(uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
    return hash ^ (hash >> 31);
}
template <typename T>
inline uint64_t WordOf(const T& value) {
    static_assert(sizeof(T) <= 8, "a call's argument is at most a word");
    uint64_t word = 0;
    std::memcpy(&word, &value, sizeof value);
    return word;
}
inline uint64_t MixText(uint64_t hash, std::string_view text) {
    hash = MixWord(hash, text.size());
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        hash = MixWord(hash, word);
    }
    if (i < text.size()) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + i, text.size() - i);
        hash = MixWord(hash, word);
    }
    return hash;
}
// Where a replay's running hash starts: its header, as the recorder writes it.
uint64_t HeaderHash(const std::string& versionLine, uint64_t seed, bool fullscreen, const Notes& notes);
// The running hash after a step whose own calls hashed to `stepHash`.
inline uint64_t RunningHash(uint64_t running, int64_t step, uint64_t stepHash) {
    return MixWord(MixWord(running, uint64_t(step)), stepHash);
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
    // The header; the state of the input at Init is all up, the pointer at (0, 0). The running
    // hash starts from it.
    void Start(const std::string& versionLine, uint64_t seed, bool fullscreen, const Notes& notes);
    bool Started() const { return started_; }
    // What the game sees after frame step `step` read the input.
    void Step(int64_t step, const InputState& in, bool fullscreen);
    void GameSetFullscreen(bool on) { fullscreen_ = on; }  // the game's own call: no line needed
    void Quit(int64_t step);
    // The frame step `step` made, its own calls hashed to `stepHash`: into the running hash, and
    // its check line every kCheckEvery steps.
    void EndStep(int64_t step, uint64_t stepHash);
    // The check of the last step made (unless it has one), the end line and the rename; false
    // with `error` set when the file could not be finished.
    bool Finish(int64_t lastStep, std::string& error);
    void Abandon();  // a run that never stepped: nothing worth keeping
    // The check of the last step made (unless it has one), then everything recorded so far
    // written out and synced to the disk; false when it could not be.
    bool Seal();
    // A replay played again from its start (RestartScenes): the file empty again, the header
    // written anew by the next Start.
    void Rewind();

private:
    void Reset();
    void Write(const std::string& line);
    void Check();  // the running hash of the last step made, unless that step has its check
    void Flush(bool force);
    void Fail(const char* what);

    std::string path_, part_;
    std::FILE* file_ = nullptr;
    std::string buffer_;
    int64_t lastFlushNs_ = 0;
    bool started_ = false;
    bool failed_ = false;      // a write failed: recording stopped, the .part file stays
    uint64_t running_ = 0;     // the running hash through step lastStep_
    int64_t lastStep_ = 0;     // the last frame step made
    int64_t lastChecked_ = 0;  // the step of the last check written
    // What a replay's script holds at this point, so that only changes are written.
    std::vector<bool> pad_, mouse_, key_, button_, window_;
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
    ParsedScript script;  // all but the events, which are read from text as they come due
    std::string text;
    size_t textNext = 0;      // where the lines not read yet start
    int format = 0;           // the replay's format
    size_t nextCheck = 0;     // the first check not verified yet
    uint64_t running = 0;     // format 2: the running hash through the last step
    bool lenient = false;     // recorded by another version of the game: checks report, not stop
    bool reported = false;    // lenient: the first check that differed has been reported
    int64_t from = 0;         // BRISEL_REPLAY_FROM: steps before it are fast-forwarded
    bool force = false;       // BRISEL_REPLAY_FORCE=1
    bool paused = false;      // the viewer's pause key
    bool fullscreen = false;  // what GetFullscreen reports: the recorded game's state
    std::string gameVersion;  // the first word of the version line
    std::string failure;      // shown in the window: the replay no longer matches the game

    // The viewer (viewer.cpp): its speed, its clock, and what it asked for.
    int speed = 2;            // index into kViewerSpeeds: 1x
    int64_t refreshes = 0;    // frames the viewer has shown so far, held ones included
    int hiddenInRow = 0;      // steps made unseen since the last shown, above 1x
    bool stepOnce = false;    // paused: the next step is made and shown
    int64_t restartTo = -1;   // a skip back: the step the run played again reaches unseen
    bool canRestart = false;  // the game plays its scenes again when asked (RestartScenes)
    int64_t restarts = 0;     // skips back made
    size_t keysNext = 0;      // the first of BRISEL_VIEWER_KEYS' commands not given yet
    // What the first step found, for a restart: the volumes and the mute the game had set.
    double startMaster = 1, startGroup[2] = {1, 1};
    bool startMuted = false;
};

// The viewer's speeds: steps made a shown frame, and frames each step is shown.
struct ViewerSpeed {
    int steps, refreshes;
    const char* name;
};
constexpr ViewerSpeed kViewerSpeeds[] = {{1, 4, "1/4x"}, {1, 2, "1/2x"}, {1, 1, "1x"},
                                         {2, 1, "2x"},   {4, 1, "4x"},   {8, 1, "8x"}};
constexpr int kViewerSpeedCount = int(sizeof kViewerSpeeds / sizeof kViewerSpeeds[0]);
constexpr int kNormalSpeed = 2;
constexpr int64_t kViewerSkip = 600;  // steps a skip goes forward or back: 10 s

// Reads a replay file whole and checks it. Raises BRISEL_FAIL_REPLAY with one line naming the
// file and the fault: missing, not a regular file, too large, empty, not a replay, a newer
// format, a bad line, cut short, and (format 2) checks missing or an end without its check.
// Its events stay in `text`, read as the replay plays (NextScriptEvents): a long replay is not
// held twice.
ParsedScript LoadReplay(const std::string& path, int& format, std::string& text);

// Compares two versions as dotted numbers ("1.10.0" after "1.9"; missing parts are 0): <0, 0
// or >0. `comparable` false when either is something else.
int CompareVersions(std::string_view a, std::string_view b, bool& comparable);

// This build's version line: "<game> engine <engine>".
std::string VersionLine(const Notes& notes);

}  // namespace brisel

#endif
