// input_script.cpp -- the input script parser: plain text in, events or one error out.
#include "input_script.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "brisel.h"

#if defined(_WIN32)
#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brisel {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    words.reserve(8);  // one allocation a line: a long replay has millions
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

constexpr const char* kButtonNames[BRISEL_BUTTON_COUNT] = {
#define BRISEL_BUTTON_NAME(id, name) name,
    BRISEL_BUTTONS(BRISEL_BUTTON_NAME)
#undef BRISEL_BUTTON_NAME
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

int ButtonFromName(std::string_view name) {
    for (int i = 0; i < BRISEL_BUTTON_COUNT; ++i)
        if (SameLetters(name, kButtonNames[i])) return i;
    return -1;
}

const char* ButtonName(int button) {
    return button >= 0 && button < BRISEL_BUTTON_COUNT ? kButtonNames[button] : nullptr;
}

namespace {
constexpr const char* kAxisNames[BRISEL_AXIS_COUNT] = {"leftx",  "lefty",       "rightx",
                                                       "righty", "lefttrigger", "righttrigger"};
constexpr const char* kDeviceNames[2] = {"mouse-keyboard", "controller"};

bool ParseHash(std::string_view word, uint64_t& hash) {
    if (word.size() != 16) return false;
    uint64_t v = 0;
    for (char c : word) {
        int d = c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1);
        if (d < 0) return false;
        v = v << 4 | uint64_t(d);
    }
    hash = v;
    return true;
}

bool ParseSeed(std::string_view word, uint64_t& seed) {
    if (word.empty() || word.size() > 20) return false;
    uint64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        uint64_t d = uint64_t(c - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
    }
    seed = v;
    return true;
}

bool ParseOnOff(std::string_view word, bool& on) {
    if (word != "on" && word != "off") return false;
    on = word == "on";
    return true;
}

// The rest of a line after its first n words, as written (notes and versions keep '#' and
// inner spaces); trailing blanks and a carriage return are dropped.
std::string_view RestAfterWords(std::string_view line, int n) {
    size_t i = 0;
    for (int k = 0; k < n; ++k) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::string_view rest = line.substr(i);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    return rest;
}

// The shortest text that reads back as the same double: whole pixels stay "640", not
// "640.00000000000000".
std::string ShortestReal(double v) {
    char text[40];
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", v);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        if (std::strtod(text, nullptr) == v) break;
    }
    return text;
}

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

bool ValidNoteKey(std::string_view key) {
    if (key.empty() || key.size() > 64) return false;
    for (char c : key)
        if (c <= ' ' || c == '#' || c == 0x7F) return false;
    return true;
}

bool ValidNoteValue(std::string_view value) {
    if (value.size() > 1024) return false;
    for (char c : value)
        if (c == '\n' || c == '\r' || c == '\0') return false;
    // Leading and trailing blanks would not survive the trip through a line.
    return value.empty() ||
           (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t');
}

std::string_view SkipByteOrderMark(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

bool ReadScriptFile(const std::string& path, const char* what, std::string& text, std::string& error) {
    const std::string kind = what;
    const std::string article = kind[0] == 'i' ? "an " : "a ";
    auto fail = [&](const std::string& why) {
        error = path + ": " + why;
        text.clear();
        return false;
    };
    // Non-blocking: opening a FIFO with no writer would otherwise wait for one for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Windows refuses to open a folder as a file: said as fstat says it below.
    if (fd < 0 && errno == EISDIR) return fail("a folder, not a regular file: not " + article + kind);
    if (fd < 0) return fail("cannot read the " + kind + " (" + std::strerror(errno) + ")");
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const std::string why = std::strerror(errno);
        close(fd);
        return fail("cannot read the " + kind + " (" + why + ")");
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        const char* type = S_ISDIR(st.st_mode)    ? "a folder"
                           : S_ISFIFO(st.st_mode) ? "a FIFO"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                                                  : "a device";
        return fail(std::string(type) + ", not a regular file: not " + article + kind);
    }
    const std::string tooLarge =
        "larger than 64 MiB: not " + article + kind + (kind == "replay" ? " of this game" : "");
    if (st.st_size > kScriptMaxBytes) {
        close(fd);
        return fail(tooLarge);
    }
    // The size read is bounded even if the file grows while it is read.
    text.resize(size_t(st.st_size) + 1);
    size_t have = 0;
    while (true) {
        if (have == text.size()) {
            if (int64_t(have) > kScriptMaxBytes) break;
            text.resize(std::min<size_t>(have * 2 + 4096, size_t(kScriptMaxBytes) + 1));
        }
        const ssize_t n = read(fd, text.data() + have, text.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string why = std::strerror(errno);
            close(fd);
            return fail("cannot read the " + kind + " (" + why + ")");
        }
        if (n == 0) break;
        have += size_t(n);
    }
    close(fd);
    if (int64_t(have) > kScriptMaxBytes) return fail(tooLarge);
    text.resize(have);
    return true;
}

ParsedScript ParseInputScript(std::string_view text, const std::string& fileName, ScriptCheckOnly checkOnly) {
    text = SkipByteOrderMark(text);
    ParsedScript result;
    int lineNumber = 0;
    int64_t lastStep = 0;  // the largest step of the lines so far, for the checks' order
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view whole = text.substr(pos, end - pos);
        std::string_view line = whole;
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
            result.checks.clear();
            result.notes.clear();
            result.error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
            return result;
        };
        if (result.haveEnd)
            return fail("nothing may follow the end line (end " + std::to_string(result.endStep) + ")");

        // Lines that describe the run rather than a frame step.
        const std::string_view head = w[0];
        if (head == "seed") {
            if (w.size() != 2 || !ParseSeed(w[1], result.seed))
                return fail("seed needs one whole number from 0 to 18446744073709551615");
            if (result.haveSeed) return fail("a second seed line");
            result.haveSeed = true;
        } else if (head == "fullscreen") {
            if (w.size() != 2 || !ParseOnOff(w[1], result.fullscreen))
                return fail("fullscreen needs on or off");
            result.haveFullscreen = true;
        } else if (head == "version") {
            std::vector<std::string_view> all = Words(whole);
            if (all.size() < 4 || all[2] != "engine")
                return fail("version needs the game's version, then 'engine' and the engine's version");
            result.version = std::string(RestAfterWords(whole, 1));
        } else if (head == "note") {
            std::vector<std::string_view> all = Words(whole);
            if (all.size() < 2 || !ValidNoteKey(all[1])) return fail("note needs a key of one word");
            result.notes.emplace_back(std::string(all[1]), std::string(RestAfterWords(whole, 2)));
        } else if (head == "check") {
            ScriptCheck check;
            check.line = lineNumber;
            if (w.size() != 3 || !ParseStep(w[1], check.step) || !ParseHash(w[2], check.hash))
                return fail("check needs a frame step and a hash of 16 hexadecimal digits");
            if (check.step < lastStep)
                return fail("check for step " + std::to_string(check.step) + " comes after step " +
                            std::to_string(lastStep) + " (out of order)");
            if (!result.checks.empty() && result.checks.back().step == check.step)
                return fail("a second check for step " + std::to_string(check.step));
            lastStep = check.step;
            result.checks.push_back(check);
        } else if (head == "end") {
            if (w.size() != 2 || !ParseStep(w[1], result.endStep))
                return fail("end needs the last frame step, a whole number from 1");
            if (result.endStep < lastStep)
                return fail("the end at step " + std::to_string(result.endStep) + " comes before step " +
                            std::to_string(lastStep));
            result.haveEnd = true;
        } else {
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
                if (w[2] == "key" || w[2] == "button") {
                    // Names may hold spaces ("Left Ctrl"): the name is the rest of the line.
                    const bool key = w[2] == "key";
                    if (w.size() < 4)
                        return fail(std::string(kind) +
                                    (key ? " key needs the key's name" : " button needs its name"));
                    std::string name(w[3]);
                    for (size_t i = 4; i < w.size(); ++i) name += " " + std::string(w[i]);
                    event.source = key ? ScriptEvent::Source::Key : ScriptEvent::Source::Button;
                    event.button = key ? KeyFromName(name) : ButtonFromName(name);
                    if (event.button < 0 && key)
                        return fail("unknown key " + Quote(name) +
                                    " (SDL's key names: Return, Escape, M, F11, Left ...)");
                    if (event.button < 0)
                        return fail("unknown controller button " + Quote(name) +
                                    " (A, B, X, Y, LB, RB, Start ...)");
                    expected = w.size();
                } else {
                    if (!ParseButton(w[2], event))
                        return fail("unknown button " + Quote(w[2]) +
                                    " (left, right, middle, pad0 ... pad15, key or button)");
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
            } else if (kind == "wheel") {
                event.type = ScriptEvent::Type::Wheel;
                int64_t notches = 0;
                const bool negative = w.size() >= 3 && !w[2].empty() && w[2][0] == '-';
                if (w.size() < 3 || !ParseStep(negative ? w[2].substr(1) : w[2], notches) || notches > 1000)
                    return fail("wheel needs its notches, a whole number from -1000 to 1000 but 0");
                event.button = int(negative ? -notches : notches);
                expected = 3;
            } else if (kind == "quit") {
                event.type = ScriptEvent::Type::Quit;
                expected = 2;
            } else if (kind == "fullscreen") {
                event.type = ScriptEvent::Type::Fullscreen;
                if (w.size() < 3 || !ParseOnOff(w[2], event.on)) return fail("fullscreen needs on or off");
                expected = 3;
            } else {
                return fail("unknown event " + Quote(kind) +
                            " (mouse, down, up, window, axis, device, wheel, fullscreen or quit)");
            }
            if (w.size() > expected) return fail("unexpected " + Quote(w[expected]) + " at end of line");
            if (checkOnly == ScriptCheckOnly::Yes && event.step < lastStep)
                return fail("the line of step " + std::to_string(event.step) + " comes after step " +
                            std::to_string(lastStep) + " (out of order)");
            lastStep = std::max(lastStep, event.step);
            if (checkOnly == ScriptCheckOnly::No) result.events.push_back(event);
        }
        if (end == text.size()) break;
    }
    // A replay's lines come in order: sorting them would take another copy of its events.
    auto byStep = [](const ScriptEvent& a, const ScriptEvent& b) { return a.step < b.step; };
    if (!std::is_sorted(result.events.begin(), result.events.end(), byStep))
        std::stable_sort(result.events.begin(), result.events.end(), byStep);
    return result;
}

size_t NextScriptEvents(std::string_view text, size_t pos, int64_t step, std::vector<ScriptEvent>& events) {
    while (pos < text.size() && (events.empty() || events.back().step <= step)) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        ParsedScript line = ParseInputScript(text.substr(pos, end - pos), "");
        if (!line.events.empty()) events.push_back(line.events[0]);
        pos = end + 1;
    }
    return std::min(pos, text.size());
}

std::string FormatScriptEvent(const ScriptEvent& event) {
    using Type = ScriptEvent::Type;
    std::string line = std::to_string(event.step);
    switch (event.type) {
    case Type::Mouse: return line + " mouse " + ShortestReal(event.x) + " " + ShortestReal(event.y);
    case Type::Down:
    case Type::Up: {
        line += event.type == Type::Down ? " down " : " up ";
        switch (event.source) {
        case ScriptEvent::Source::Mouse:
            return line + (event.button == 0 ? "left" : event.button == 1 ? "right" : "middle");
        case ScriptEvent::Source::Pad: return line + "pad" + std::to_string(event.button);
        case ScriptEvent::Source::Key: return line + "key " + KeyName(event.button);
        case ScriptEvent::Source::Button: return line + "button " + ButtonName(event.button);
        }
        return line;
    }
    case Type::Window: {
        using Change = ScriptEvent::Change;
        const char* change = event.change == Change::FocusLost     ? "focus-lost"
                             : event.change == Change::FocusGained ? "focus-gained"
                             : event.change == Change::Minimised   ? "minimised"
                                                                   : "restored";
        return line + " window " + change;
    }
    case Type::Axis: return line + " axis " + AxisName(event.button) + " " + ShortestReal(event.x);
    case Type::Device: return line + " device " + DeviceName(event.button);
    case Type::Wheel: return line + " wheel " + std::to_string(event.button);
    case Type::Quit: return line + " quit";
    case Type::Fullscreen: return line + (event.on ? " fullscreen on" : " fullscreen off");
    }
    return line;
}

}  // namespace brisel
