// input_script.cpp -- the input script parser: plain text in, events or one error out.
#include "input_script.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "brisel.h"

namespace brisel {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ParseStep(std::string_view word, int64_t& step) {
    if (word.empty() || word.size() > 18) return false;
    int64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1) return false;
    step = v;
    return true;
}

bool ParseReal(std::string_view word, double& value) {
    std::string text(word);
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && !text.empty() && errno == 0 && std::isfinite(value);
}

constexpr const char* kKeyNames[BRISEL_KEY_COUNT] = {
#define BRISEL_KEY_NAME(id, name) name,
    BRISEL_KEYS(BRISEL_KEY_NAME)
#undef BRISEL_KEY_NAME
};

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool ParseButton(std::string_view word, ScriptEvent& event) {
    if (word == "left" || word == "right" || word == "middle") {
        event.source = ScriptEvent::Source::Mouse;
        event.button = word == "left" ? 0 : (word == "right" ? 1 : 2);
        return true;
    }
    if (word.size() < 4 || word.size() > 5 || word.substr(0, 3) != "pad") return false;
    std::string_view digits = word.substr(3);
    if (digits.size() == 2 && digits[0] == '0') return false;  // "pad01" is not a name
    int v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > 15) return false;
    event.source = ScriptEvent::Source::Pad;
    event.button = v;
    return true;
}

bool ParseChange(std::string_view word, ScriptEvent& event) {
    using Change = ScriptEvent::Change;
    if (word == "focus-lost")
        event.change = Change::FocusLost;
    else if (word == "focus-gained")
        event.change = Change::FocusGained;
    else if (word == "minimised")
        event.change = Change::Minimised;
    else if (word == "restored")
        event.change = Change::Restored;
    else
        return false;
    return true;
}

std::string Quote(std::string_view word) { return "'" + std::string(word) + "'"; }

}  // namespace

int KeyFromName(std::string_view name) {
    for (int i = 0; i < BRISEL_KEY_COUNT; ++i)
        if (SameLetters(name, kKeyNames[i])) return i;
    return -1;
}

const char* KeyName(int key) { return key >= 0 && key < BRISEL_KEY_COUNT ? kKeyNames[key] : nullptr; }

namespace {
constexpr const char* kAxisNames[BRISEL_AXIS_COUNT] = {"leftx",  "lefty",       "rightx",
                                                       "righty", "lefttrigger", "righttrigger"};
constexpr const char* kDeviceNames[2] = {"mouse-keyboard", "controller"};
}  // namespace

int AxisFromName(std::string_view name) {
    for (int i = 0; i < BRISEL_AXIS_COUNT; ++i)
        if (name == kAxisNames[i]) return i;
    return -1;
}

const char* AxisName(int axis) { return axis >= 0 && axis < BRISEL_AXIS_COUNT ? kAxisNames[axis] : nullptr; }

int DeviceFromName(std::string_view name) {
    for (int i = 0; i < 2; ++i)
        if (name == kDeviceNames[i]) return i;
    return -1;
}

const char* DeviceName(int device) { return device >= 0 && device < 2 ? kDeviceNames[device] : nullptr; }

ParsedScript ParseInputScript(std::string_view text, const std::string& fileName) {
    ParsedScript result;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;

        size_t hash = line.find('#');
        if (hash != std::string_view::npos) line = line.substr(0, hash);
        std::vector<std::string_view> w = Words(line);
        if (w.empty()) {
            if (end == text.size()) break;
            continue;
        }

        auto fail = [&](const std::string& what) {
            result.events.clear();
            result.error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
            return result;
        };

        ScriptEvent event;
        event.line = lineNumber;
        if (!ParseStep(w[0], event.step))
            return fail("frame step must be a whole number from 1, not " + Quote(w[0]));
        if (w.size() < 2) return fail("missing event after the frame step");

        size_t expected = 0;
        std::string_view kind = w[1];
        if (kind == "mouse") {
            event.type = ScriptEvent::Type::Mouse;
            if (w.size() < 4) return fail("mouse needs x and y");
            if (!ParseReal(w[2], event.x)) return fail("mouse x is not a number: " + Quote(w[2]));
            if (!ParseReal(w[3], event.y)) return fail("mouse y is not a number: " + Quote(w[3]));
            expected = 4;
        } else if (kind == "down" || kind == "up") {
            event.type = kind == "down" ? ScriptEvent::Type::Down : ScriptEvent::Type::Up;
            if (w.size() < 3) return fail(std::string(kind) + " needs a button");
            if (w[2] == "key") {
                // Key names may hold spaces ("Left Ctrl"): the name is the rest of the line.
                if (w.size() < 4) return fail(std::string(kind) + " key needs the key's name");
                std::string name(w[3]);
                for (size_t i = 4; i < w.size(); ++i) name += " " + std::string(w[i]);
                event.source = ScriptEvent::Source::Key;
                event.button = KeyFromName(name);
                if (event.button < 0)
                    return fail("unknown key " + Quote(name) +
                                " (SDL's key names: Return, Escape, M, F11, Left ...)");
                expected = w.size();
            } else {
                if (!ParseButton(w[2], event))
                    return fail("unknown button " + Quote(w[2]) +
                                " (left, right, middle, pad0 ... pad15 or key)");
                expected = 3;
            }
        } else if (kind == "window") {
            event.type = ScriptEvent::Type::Window;
            if (w.size() < 3)
                return fail("window needs a change (focus-lost, focus-gained, minimised or restored)");
            if (!ParseChange(w[2], event))
                return fail("unknown window change " + Quote(w[2]) +
                            " (focus-lost, focus-gained, minimised or restored)");
            expected = 3;
        } else if (kind == "axis") {
            event.type = ScriptEvent::Type::Axis;
            if (w.size() < 4) return fail("axis needs an axis and a value");
            event.button = AxisFromName(w[2]);
            if (event.button < 0)
                return fail("unknown axis " + Quote(w[2]) +
                            " (leftx, lefty, rightx, righty, lefttrigger or righttrigger)");
            if (!ParseReal(w[3], event.x)) return fail("axis value is not a number: " + Quote(w[3]));
            const bool trigger = event.button >= BRISEL_AXIS_LEFTTRIGGER;
            if (event.x < (trigger ? 0.0 : -1.0) || event.x > 1)
                return fail(std::string(trigger ? "a trigger's value runs from 0 to 1, not "
                                                : "a stick's value runs from -1 to 1, not ") +
                            Quote(w[3]));
            if (event.x == 0) event.x = 0;  // -0 reads as 0
            expected = 4;
        } else if (kind == "device") {
            event.type = ScriptEvent::Type::Device;
            if (w.size() < 3) return fail("device needs controller or mouse-keyboard");
            event.button = DeviceFromName(w[2]);
            if (event.button < 0)
                return fail("unknown device " + Quote(w[2]) + " (controller or mouse-keyboard)");
            expected = 3;
        } else if (kind == "quit") {
            event.type = ScriptEvent::Type::Quit;
            expected = 2;
        } else {
            return fail("unknown event " + Quote(kind) + " (mouse, down, up, window, axis, device or quit)");
        }
        if (w.size() > expected) return fail("unexpected " + Quote(w[expected]) + " at end of line");
        result.events.push_back(event);
        if (end == text.size()) break;
    }
    std::stable_sort(result.events.begin(), result.events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.step < b.step; });
    return result;
}

}  // namespace brisel
