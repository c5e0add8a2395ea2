// replay.cpp -- the recorder and the replay file reader.
//
// engine.hpp comes first: it gives the entry points below their exported visibility.
#include "engine.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "replay.hpp"

#if defined(_WIN32)
#include <io.h>

#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brisel {

namespace {

constexpr int64_t kFlushEveryNs = 2000000000;  // at most two seconds of play lost to a crash
constexpr size_t kFlushBytes = 64 * 1024;

ScriptEvent Event(int64_t step, ScriptEvent::Type type) {
    ScriptEvent e;
    e.step = step;
    e.type = type;
    return e;
}

ScriptEvent Press(int64_t step, ScriptEvent::Source source, int button, bool down) {
    ScriptEvent e = Event(step, down ? ScriptEvent::Type::Down : ScriptEvent::Type::Up);
    e.source = source;
    e.button = button;
    return e;
}

// The .part is a new file, never reached through a symbolic link and never a device or a FIFO;
// or the empty one the game made to hold the name. A running recorder holds a lock on it.
std::FILE* OpenPart(const std::string& part) {
    int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        fd = open(part.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)) {
            close(fd);
            fd = -1;
            errno = EEXIST;
        }
    }
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        fd = -1;
        errno = EBUSY;  // another game records into it
    }
    std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && file == nullptr) close(fd);
    return file;
}

}  // namespace

uint64_t HeaderHash(const std::string& versionLine, uint64_t seed, bool fullscreen, const Notes& notes) {
    uint64_t hash = MixText(kStepHashStart, kReplayHeader);
    // The game's version, not the engine's: what is drawn is the game's, so a replay verifies on
    // another build of the engine (another platform, an update) that makes the same calls.
    hash = MixText(hash, "version " + versionLine.substr(0, versionLine.find(' ')));
    hash = MixWord(hash, seed);
    hash = MixWord(hash, fullscreen ? 1 : 0);
    for (const auto& [key, value] : notes)
        if (key != "version") hash = MixText(MixText(hash, key), value);
    return hash;
}

int CompareVersions(std::string_view a, std::string_view b, bool& comparable) {
    auto numbers = [](std::string_view text, std::vector<uint64_t>& parts) {
        parts.clear();
        size_t i = 0;
        while (true) {
            size_t start = i;
            uint64_t v = 0;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 18)
                v = v * 10 + uint64_t(text[i++] - '0');
            if (i == start || (i < text.size() && text[i] != '.')) return false;
            parts.push_back(v);
            if (i == text.size()) return true;
            ++i;  // the dot
        }
    };
    std::vector<uint64_t> x, y;
    comparable = numbers(a, x) && numbers(b, y);
    if (!comparable) return a == b ? 0 : 1;
    for (size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const uint64_t p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

std::string VersionLine(const Notes& notes) {
    std::string game = "unknown";
    for (const auto& [key, value] : notes)
        if (key == "version" && !value.empty() && value.find(' ') == std::string::npos) game = value;
    return game + " engine " + EngineVersionText();
}

// ---- the recorder ------------------------------------------------------------------------------

Recorder::~Recorder() {
    if (file_ != nullptr) std::fclose(file_);
}

void Recorder::Open(const std::string& path) {
    path_ = path;
    part_ = path + ".part";
    file_ = OpenPart(part_);
    if (file_ == nullptr) {
        std::string why = std::strerror(errno);
        path_.clear();
        Raise(BRISEL_FAIL_SYSTEM, part_ + ": cannot record the replay (" + why + ")");
    }
    Reset();
}

void Recorder::Reset() {
    buffer_.clear();
    lastFlushNs_ = MonotonicNs();
    started_ = failed_ = false;
    pad_.assign(kPadButtons, false);
    mouse_.assign(kMouseButtons, false);
    key_.assign(BRISEL_KEY_COUNT, false);
    button_.assign(BRISEL_BUTTON_COUNT, false);
    window_.assign(kWindowStates, false);
    x_ = y_ = 0;
    std::fill(std::begin(axis_), std::end(axis_), 0.0);
    device_ = BRISEL_DEVICE_MOUSE_KEYBOARD;
    fullscreen_ = false;
    running_ = 0;
    lastStep_ = lastChecked_ = 0;
}

void Recorder::Rewind() {
    if (file_ == nullptr) return;
    std::fflush(file_);
#if defined(_WIN32)
    const bool emptied = _chsize(_fileno(file_), 0) == 0;
#else
    const bool emptied = ftruncate(fileno(file_), 0) == 0;
#endif
    if (!emptied || std::fseek(file_, 0, SEEK_SET) != 0) Fail(std::strerror(errno));
    const bool failed = failed_;
    Reset();
    failed_ = failed;
}

void Recorder::Start(const std::string& versionLine, uint64_t seed, bool fullscreen, const Notes& notes) {
    if (file_ == nullptr || started_) return;
    started_ = true;
    fullscreen_ = fullscreen;
    Write(kReplayHeader);
    Write("version " + versionLine);
    Write("seed " + std::to_string(seed));
    Write(fullscreen ? "fullscreen on" : "fullscreen off");
    for (const auto& [key, value] : notes)
        if (key != "version") Write("note " + key + (value.empty() ? "" : " " + value));
    running_ = HeaderHash(versionLine, seed, fullscreen, notes);
}

void Recorder::Step(int64_t step, const InputState& in, bool fullscreen) {
    if (file_ == nullptr) return;
    using Source = ScriptEvent::Source;
    using Change = ScriptEvent::Change;
    if (in.mouseX != x_ || in.mouseY != y_) {
        ScriptEvent e = Event(step, ScriptEvent::Type::Mouse);
        e.x = x_ = in.mouseX;
        e.y = y_ = in.mouseY;
        Write(FormatScriptEvent(e));
        device_ = BRISEL_DEVICE_MOUSE_KEYBOARD;
    }
    if (fullscreen != fullscreen_) {
        ScriptEvent e = Event(step, ScriptEvent::Type::Fullscreen);
        e.on = fullscreen_ = fullscreen;
        Write(FormatScriptEvent(e));
    }
    // Ups before downs: a key going down in a replay also counts the modifiers its script
    // holds, so a modifier the game no longer sees must be let go first.
    auto press = [&](std::vector<bool>& held, const ButtonState* buttons, Source source, bool down) {
        for (size_t b = 0; b < held.size(); ++b) {
            const bool active = buttons[b].count > 0;
            if (active == down && held[b] != down) {
                held[b] = down;
                Write(FormatScriptEvent(Press(step, source, int(b), down)));
                if (down && source != Source::Pad)
                    device_ =
                        source == Source::Button ? BRISEL_DEVICE_CONTROLLER : BRISEL_DEVICE_MOUSE_KEYBOARD;
            }
        }
    };
    auto window = [&](bool down) {
        for (int w = 0; w < kWindowStates; ++w) {
            const bool active = in.window[w].count > 0;
            if (active == down && window_[size_t(w)] != down) {
                window_[size_t(w)] = down;
                ScriptEvent e = Event(step, ScriptEvent::Type::Window);
                e.change = w == BRISEL_WINDOW_UNFOCUSED ? (down ? Change::FocusLost : Change::FocusGained)
                                                        : (down ? Change::Minimised : Change::Restored);
                Write(FormatScriptEvent(e));
            }
        }
    };
    for (bool down : {false, true}) {
        press(pad_, in.pad, Source::Pad, down);
        press(mouse_, in.mouse, Source::Mouse, down);
        press(key_, in.key, Source::Key, down);
        press(button_, in.button, Source::Button, down);
        window(down);
    }
    // The sticks and triggers as the game reads them (past their dead zones): the trigger's own
    // button is in the pad's lines already, and follows from the axis alike when played back.
    for (int a = 0; a < BRISEL_AXIS_COUNT; ++a) {
        if (in.axis[a] == axis_[a]) continue;
        ScriptEvent e = Event(step, ScriptEvent::Type::Axis);
        e.button = a;
        e.x = axis_[a] = in.axis[a];
        Write(FormatScriptEvent(e));
        if (e.x != 0) device_ = BRISEL_DEVICE_CONTROLLER;
    }
    if (in.wheel != 0) {
        ScriptEvent e = Event(step, ScriptEvent::Type::Wheel);
        e.button = int(in.wheel);
        Write(FormatScriptEvent(e));
        device_ = BRISEL_DEVICE_MOUSE_KEYBOARD;
    }
    // Last in the step, so it wins over what the lines above imply.
    if (in.deviceSeen != device_) {
        ScriptEvent e = Event(step, ScriptEvent::Type::Device);
        e.button = int(in.deviceSeen);
        device_ = in.deviceSeen;
        Write(FormatScriptEvent(e));
    }
    Flush(false);
}

void Recorder::Quit(int64_t step) {
    if (file_ != nullptr) Write(FormatScriptEvent(Event(step, ScriptEvent::Type::Quit)));
}

void Recorder::EndStep(int64_t step, uint64_t stepHash) {
    if (file_ == nullptr || !started_) return;
    running_ = RunningHash(running_, step, stepHash);
    lastStep_ = step;
    if (step % kCheckEvery == 0) Check();
}

void Recorder::Check() {
    if (lastStep_ == 0 || lastChecked_ == lastStep_) return;
    lastChecked_ = lastStep_;
    char text[64];
    std::snprintf(text, sizeof text, "check %lld %016llx", static_cast<long long>(lastStep_),
                  static_cast<unsigned long long>(running_));
    Write(text);
}

void Recorder::Write(const std::string& line) {
    if (failed_) return;  // recording stopped: nothing more piles up in memory
    buffer_ += line;
    buffer_ += '\n';
}

void Recorder::Flush(bool force) {
    if (file_ == nullptr || failed_) return;
    if (!force && buffer_.size() < kFlushBytes) {
        // The clock is read only now and then: a step costs next to nothing.
        if (buffer_.empty()) return;
        int64_t now = MonotonicNs();
        if (now - lastFlushNs_ < kFlushEveryNs) return;
    }
    lastFlushNs_ = MonotonicNs();
    if ((!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) ||
        std::fflush(file_) != 0) {
        Fail(std::strerror(errno));
        return;
    }
    buffer_.clear();
}

// A full disk must not end the game: recording stops with one line on stderr, and the .part
// file keeps what was written.
void Recorder::Fail(const char* what) {
    failed_ = true;
    buffer_.clear();
    std::fprintf(stderr, "%s: %s: cannot write the replay (%s); recording stopped\n", ProgramName(),
                 part_.c_str(), what);
}

// The finished replay takes its name only when nothing holds it: a file that appeared there while
// the run was recorded (another game's --record, a copy made by hand) is never replaced.
static bool PutInPlace(const std::string& part, const std::string& path) {
    if (renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that kind of rename: a second link, then the first one removed.
    if (link(part.c_str(), path.c_str()) != 0) return false;
    unlink(part.c_str());
    return true;
}

bool Recorder::Finish(int64_t lastStep, std::string& error) {
    if (file_ == nullptr) return true;
    if (!failed_) {
        if (lastStep == lastStep_) Check();  // the end line's step has its check
        Write("end " + std::to_string(lastStep));
    }
    Flush(true);
    if (!failed_ && fsync(fileno(file_)) != 0) Fail(std::strerror(errno));  // whole on the disk first
    const bool failed = failed_;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    const std::string path = path_;
    path_.clear();
    if (failed || !closed) {
        error = part_ + ": the replay could not be written whole; what was written stays there";
        return false;
    }
    if (!PutInPlace(part_, path)) {
        error = errno == EEXIST ? path +
                                      ": a file of that name appeared while the run was recorded; the "
                                      "replay stays in " +
                                      part_
                                : path + ": cannot put the replay in place (" + std::strerror(errno) +
                                      "); it stays in " + part_;
        return false;
    }
    return true;
}

bool Recorder::Seal() {
    if (file_ == nullptr) return false;
    if (started_) Check();
    Flush(true);
    if (failed_) return false;
    if (fsync(fileno(file_)) != 0) {
        Fail(std::strerror(errno));
        return false;
    }
    return true;
}

void Recorder::Abandon() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(part_.c_str());
    buffer_.clear();
    path_.clear();
}

// ---- the reader ----------------------------------------------------------------------------------

ParsedScript LoadReplay(const std::string& path, int& format, std::string& file) {
    auto fail = [&](const std::string& what) { Raise(BRISEL_FAIL_REPLAY, path + ": " + what); };
    std::string error;
    if (!ReadScriptFile(path, "replay", file, error)) Raise(BRISEL_FAIL_REPLAY, error);
    const std::string_view text = SkipByteOrderMark(file);
    if (text.empty()) fail("the file is empty, not a replay");

    // The first line before anything else: a picture or a program is not a replay cut short.
    const std::string_view prefix = "# grappix replay ";
    const std::string_view first(text.data(), std::min(text.find('\n'), text.size()));
    const std::string notReplay = "not a replay (the first line is not '# grappix replay <format>')";
    if (first.size() < prefix.size() || first.substr(0, prefix.size()) != prefix) fail(notReplay);
    std::string_view number = first.substr(prefix.size());
    while (!number.empty() && (number.back() == '\r' || number.back() == ' ')) number.remove_suffix(1);
    if (number.empty() || number.size() > 9 ||
        number.find_first_not_of("0123456789") != std::string_view::npos || number[0] == '0')
        fail(notReplay);
    format = std::stoi(std::string(number));
    if (format > kReplayFormat)
        fail("replay format " + std::string(number) + " is newer than this build reads (" +
             std::to_string(kReplayFormat) + ")");
    if (text.back() != '\n') fail("the replay is cut short (its last line is incomplete)");

    ParsedScript script = ParseInputScript(text, path, ScriptCheckOnly::Yes);
    if (!script.error.empty()) Raise(BRISEL_FAIL_REPLAY, script.error);
    if (script.version.empty()) fail("no version line: not a whole replay");
    if (!script.haveSeed) fail("no seed line: not a whole replay");
    if (!script.haveEnd) fail("the replay is cut short (no end line: the recording was interrupted)");
    if (format >= 2) {
        // Every stretch of play is proved: a check at least every 60 steps, and one of the last.
        int64_t last = 0;
        for (const ScriptCheck& check : script.checks) {
            if (check.step - last > kCheckEvery)
                fail("no check between step " + std::to_string(last) + " and step " +
                     std::to_string(check.step) + " (one at least every 60 steps): checks were removed");
            last = check.step;
        }
        if (last != script.endStep)
            fail("no check of step " + std::to_string(script.endStep) + " before its end line" +
                 (script.endStep - last > kCheckEvery
                      ? " (the last is of step " + std::to_string(last) + "): checks were removed"
                      : ""));
    }
    return script;
}

}  // namespace brisel

using namespace brisel;

extern "C" {

void SetReplayNote(const char* key, const char* value) {
    BRISEL_ENTRY;
    if (key == nullptr || !ValidNoteKey(key))
        Raise(BRISEL_FAIL_ARGUMENT, std::string("SetReplayNote: '") + (key != nullptr ? key : "") +
                                        "' is not a note's key (one word of at most 64 characters, no '#')");
    const std::string text = value != nullptr ? value : "";
    if (!ValidNoteValue(text))
        Raise(BRISEL_FAIL_ARGUMENT, std::string("SetReplayNote: note ") + key +
                                        ": the value must be one line of at most 1024 characters, "
                                        "without blanks at either end");
    Engine& e = E();
    if (e.step > 0)
        Raise(BRISEL_FAIL_ARGUMENT, std::string("SetReplayNote: note ") + key +
                                        " comes after the first frame step; notes go in before it");
    for (auto& [k, v] : e.notes)
        if (k == key) {
            v = text;
            return;
        }
    e.notes.emplace_back(key, text);
}

const char* GetReplayNote(const char* key) {
    BRISEL_ENTRY;
    const Playback& p = E().playback;
    if (!p.active || key == nullptr) return nullptr;
    if (std::strcmp(key, "version") == 0) return p.gameVersion.c_str();
    // A key written twice: the last one stands, as SetReplayNote's last call did.
    for (auto it = p.script.notes.rbegin(); it != p.script.notes.rend(); ++it)
        if (it->first == key) return it->second.c_str();
    return nullptr;
}

bool Replaying(void) {
    BRISEL_ENTRY;
    return E().playback.active;
}

const char* RecordingFile(void) {
    BRISEL_ENTRY;
    return E().recorder.Path().c_str();
}

int64_t StepNumber(void) {
    BRISEL_ENTRY;
    return E().step;
}

int64_t SealReplay(void) {
    BRISEL_ENTRY;
    Engine& e = E();
    if (!e.recorder.Active() || !e.recorder.Seal()) return -1;
    return e.step;
}

}  // extern "C"
