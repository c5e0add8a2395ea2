// A recording stand-in for the engine library: it fills the same table the real library fills,
// records every call with its arguments, and lets a test script what the engine reports
// (button counts, the cursor, Rnd results, texture sizes, files that fail to load), with the
// engine's extensions or without them.
// No SDL, no window, no files: game objects run alone, fast and deterministically.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "frame/engine.hpp"

namespace grappix::test {

struct Call {
    std::string name;          // entry point
    std::vector<double> args;  // numeric arguments in order (flags as 0/1)
    std::string text;          // the first text argument, if any
    std::string file;          // the file a handle argument was loaded from ("text:..." for text)
};

class FakeEngine {
public:
    FakeEngine();   // installs itself in the engine table; resets the frame counter and the exception place
    ~FakeEngine();  // empties the table again, and the exception place
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    static FakeEngine* Current();

    // ---- what the game did ----
    std::vector<Call> calls;
    std::vector<Call> Named(const std::string& name) const;  // calls of one entry point
    std::vector<std::string> Log() const;                    // DbgLog texts in order
    void ClearCalls() { calls.clear(); }
    int64_t actCount = 0;  // frame steps taken

    // ---- what the engine reports ----
    void SetMouseCount(int64_t button, int64_t count) { mouse[button] = count; }
    void SetPadCount(int64_t button, int64_t count) { pad[button] = count; }
    void SetCursor(double x, double y) { cursorX = x, cursorY = y; }
    void QueueRnd(int64_t value) { rnd.push_back(value); }  // next Rnd results, in order
    void FailLoad(const std::string& path) { failing.insert(path); }
    bool failFree = false;  // FreeMem raises (after releasing the handle)
    // Like the real engine, a failure raised here records where it was raised in the game's
    // exception place, unless a failure already travelling has recorded its own.
    uintptr_t failurePlace = 0xFA11;
    void SetTexSize(const std::string& path, double w, double h) { texSize[path] = {w, h}; }
    std::function<void(int64_t step)> onAct;  // runs inside every Act (may raise)
    // The extensions: key and window-state counts, and what the setters left.
    void SetKeyCount(int64_t key, int64_t count) { keys[key] = count; }
    void SetWindowCount(int64_t which, int64_t count) { window[which] = count; }
    void SetAxis(int64_t axis, double value) { axes[axis] = value; }  // PadAxis
    void SetLastDevice(int64_t device) { lastDevice = device; }
    int64_t wheel = 0;                                                               // MouseWheel
    int64_t sceneStarts = 0;                                                         // RestartScenes calls
    void SetButtonCount(int64_t button, int64_t count) { buttons[button] = count; }  // ControllerButton
    std::map<std::pair<int64_t, int64_t>, int64_t> bound;  // BindPadButton: (device, pad button) -> code
    void RemoveExtensions();  // an engine of the 132 names alone: every extension null
    // Replays: the notes the game gave, and what a replay playing back reports.
    std::map<std::string, std::string> notes;        // SetReplayNote
    bool replaying = false;                          // Replaying
    std::map<std::string, std::string> replayNotes;  // GetReplayNote while replaying
    std::string recordingFile;                       // RecordingFile

    // Text typed by the player (TypedText; BeginTextInput sets it to its text), and the
    // network: each request is answered at once with the status and body given for its URL
    // (none: a failure, -1), and remembered (its URL and fields).
    std::string typed;
    std::map<std::string, std::pair<int64_t, std::string>> httpAnswers;
    std::vector<std::pair<std::string, std::string>> httpRequests;

    // Maths calls are not recorded unless asked for (the world calls them by the hundred).
    bool recordMaths = false;

    // ---- state the fake functions use ----
    std::map<int64_t, int64_t> mouse;
    std::map<int64_t, int64_t> pad;
    std::map<int64_t, int64_t> buttons;
    double cursorX = 0, cursorY = 0;
    std::deque<int64_t> rnd;  // when empty, Rnd returns min
    std::set<std::string> failing;
    std::map<std::string, std::pair<double, double>> texSize;  // default 256 x 256
    std::map<const void*, std::string> files;                  // live handle -> file
    std::set<const void*> released;                            // handles given to FreeMem
    std::string lastString;                                    // IToS buffer
    std::map<int64_t, int64_t> keys;                           // Key counts
    std::map<int64_t, int64_t> window;                         // WindowState counts
    std::map<int64_t, double> axes;                            // PadAxis values, default 0
    int64_t lastDevice = BRISEL_DEVICE_MOUSE_KEYBOARD;
    std::map<int64_t, double> groupVolume;  // default 1
    bool muted = false;
    bool fullscreen = false;
    int64_t windowW = 1600, windowH = 900;
    int64_t nextHandle = 0x1000;

    const void* NewHandle(const std::string& file);
    std::string FileOf(const void* handle) const;
};

}  // namespace grappix::test
