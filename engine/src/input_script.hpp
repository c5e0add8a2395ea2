// input_script.hpp -- scripted input for runs without a player.
//
// A script is text, one event a line, '#' starting a comment:
//     <n> mouse <x> <y>      cursor at logical (x, y) from frame step n on
//     <n> down <button>      button: left, right, middle, or pad0 ... pad15
//     <n> up <button>
//     <n> quit               the window is closed at frame step n
// Frame steps are the calls of Act, counted from 1.
#ifndef BRISEL_INPUT_SCRIPT_HPP
#define BRISEL_INPUT_SCRIPT_HPP

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

struct ScriptEvent {
    enum class Type { Mouse, Down, Up, Quit };
    int64_t step = 0;
    Type type = Type::Quit;
    bool mouseButton = false;  // Down/Up: a mouse button (else a pad-0 button)
    int button = 0;            // Down/Up: 0 left, 1 right, 2 middle; or pad button 0..15
    double x = 0, y = 0;       // Mouse
    int line = 0;              // line of the script it came from
};

struct ParsedScript {
    std::vector<ScriptEvent> events;  // sorted by step; lines of one step keep their order
    std::string error;                // "<file>:<line>: <what>"; empty when the script is good
};

// Parses a whole script. fileName only goes into error messages.
ParsedScript ParseInputScript(std::string_view text, const std::string& fileName);

}  // namespace brisel

#endif
