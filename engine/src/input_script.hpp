// input_script.hpp -- scripted input for runs without a player.
//
// A script is text, one event a line, '#' starting a comment:
//     <n> mouse <x> <y>        cursor at logical (x, y) from frame step n on
//     <n> down <button>        button: left, right, middle, or pad0 ... pad15
//     <n> up <button>
//     <n> down key <name>      a key, by SDL's name for it: M, Escape, Return, F11, Left Ctrl ...
//     <n> up key <name>
//     <n> down button <name>   a controller's own button: A, B, X, Y, LB, RB, Start, LT ...
//     <n> up button <name>
//     <n> window <change>      focus-lost, focus-gained, minimised or restored
//     <n> axis <axis> <value>  a controller axis: leftx, lefty, rightx, righty (-1 to 1),
//                              lefttrigger, righttrigger (0 to 1), as the game reads it
//     <n> device <device>      the device used last: controller or mouse-keyboard
//     <n> wheel <notches>      the mouse wheel turned (away from the player: more than 0)
//     <n> quit                 the window is closed at frame step n
//     <n> fullscreen <on|off>  the game finds the window fullscreen, or not, from step n on
// Frame steps are the calls of Act, counted from 1. Lines without a step describe the run:
//     seed <n>                 the random seed (0 to 2^64-1); it wins over BRISEL_SEED
//     fullscreen <on|off>      whether the window is fullscreen at Init
//     version <game> engine <engine's version text>   who recorded it (replays)
//     note <key> <value>       something the game read from its own files (replays)
//     check <n> <hash>         the running hash after frame step n (replays: replay.hpp)
//     end <n>                  the last frame step: nothing may follow it (replays)
// A UTF-8 byte-order mark before the first line is skipped.
// A replay is such a script whose first line is "# grappix replay <format>" (replay.hpp).
#ifndef BRISEL_INPUT_SCRIPT_HPP
#define BRISEL_INPUT_SCRIPT_HPP

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

struct ScriptEvent {
    enum class Type { Mouse, Down, Up, Window, Axis, Device, Quit, Fullscreen, Wheel };
    enum class Source { Mouse, Pad, Key, Button };  // what a Down or Up presses
    enum class Change { FocusLost, FocusGained, Minimised, Restored };
    int64_t step = 0;
    Type type = Type::Quit;
    Source source = Source::Pad;  // Down/Up
    // Down/Up: mouse 0 left, 1 right, 2 middle; pad 0..15; BRISEL_KEY_*; BRISEL_BUTTON_*.
    // Axis: BRISEL_AXIS_*.
    // Device: BRISEL_DEVICE_*. Wheel: its notches, away from the player positive.
    int button = 0;
    Change change = Change::FocusLost;  // Window
    double x = 0, y = 0;                // Mouse; x is an Axis line's value
    bool on = false;                    // Fullscreen
    int line = 0;                       // line of the script it came from
};

// A desync check: the hash of one frame step's draw and sound calls (replay.hpp).
struct ScriptCheck {
    int64_t step = 0;
    uint64_t hash = 0;
    int line = 0;
};

struct ParsedScript {
    std::vector<ScriptEvent> events;  // sorted by step; lines of one step keep their order
    std::string error;                // "<file>:<line>: <what>"; empty when the script is good
    // What the lines without a step said.
    bool haveSeed = false;
    uint64_t seed = 0;
    bool haveFullscreen = false;
    bool fullscreen = false;
    std::string version;                                     // after "version "; empty if none
    std::vector<std::pair<std::string, std::string>> notes;  // in the order written
    std::vector<ScriptCheck> checks;                         // in step order
    bool haveEnd = false;
    int64_t endStep = 0;
};

// Parses a whole script. fileName only goes into error messages. Checking only, the events
// are not kept, and must come in step order (a replay, read as it plays: NextScriptEvents).
enum class ScriptCheckOnly { No, Yes };
ParsedScript ParseInputScript(std::string_view text, const std::string& fileName,
                              ScriptCheckOnly checkOnly = ScriptCheckOnly::No);

// The events of a script checked whole (ScriptCheckOnly::Yes) read from `pos` on into `events`,
// up to the first of a step after `step`; returns where the next line starts.
size_t NextScriptEvents(std::string_view text, size_t pos, int64_t step, std::vector<ScriptEvent>& events);

// The text after a UTF-8 byte-order mark, if it starts with one.
std::string_view SkipByteOrderMark(std::string_view text);

// The largest script or replay read: a replay of a long game is a few MB.
constexpr int64_t kScriptMaxBytes = int64_t(64) << 20;

// Reads a script or a replay (`what`: "input script", "replay") whole, at once whatever the
// file is: a FIFO is never waited on, and anything that is not a regular file of at most
// kScriptMaxBytes is refused without reading it. False with `error` ("<file>: <what>") set.
bool ReadScriptFile(const std::string& path, const char* what, std::string& text, std::string& error);

// The axis (BRISEL_AXIS_*) a script names ("rightx"); -1 if none. AxisName is its inverse
// (null for a number that is no axis).
int AxisFromName(std::string_view name);
const char* AxisName(int axis);
// The device (BRISEL_DEVICE_*) a script names ("controller", "mouse-keyboard"); -1 if none.
int DeviceFromName(std::string_view name);
const char* DeviceName(int device);
// The line an event is written as (no newline): what ParseInputScript reads back as that event.
std::string FormatScriptEvent(const ScriptEvent& event);

// Whether a note's key and value can be written as a note line (key one word, value one line).
bool ValidNoteKey(std::string_view key);
bool ValidNoteValue(std::string_view value);

// The key (BRISEL_KEY_*) an input script names, matched without regard to case; -1 if none.
int KeyFromName(std::string_view name);
// The name scripts give a key ("Left Ctrl"); null for a number that is no key.
const char* KeyName(int key);
// The controller button (BRISEL_BUTTON_*) a script names, without regard to case; -1 if none.
int ButtonFromName(std::string_view name);
const char* ButtonName(int button);  // "LB"; null for a number that is no button

}  // namespace brisel

#endif
