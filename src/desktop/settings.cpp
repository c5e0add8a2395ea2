#include "desktop/settings.hpp"

#include <ctime>
#include <sstream>
#include <string_view>

#include "desktop/atomic_file.hpp"
#include "desktop/file_guard.hpp"
#include "desktop/ini_lines.hpp"
#include "desktop/xdg_dirs.hpp"

namespace grappix {

namespace {

constexpr const char* kHeader =
    "# Grappix settings. The game rewrites the values below when they change in the game and\n"
    "# keeps every other line.\n";

bool IsComment(std::string_view line) {
    line = TrimIniBlanks(line);
    return line.empty() || line.front() == '#' || line.front() == ';' ||
           (line.front() == '[' && line.back() == ']');
}

bool ParseWhole(std::string_view text, int64_t low, int64_t high, int64_t& out) {
    if (text.empty() || text.size() > 6) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseFlag(std::string_view text, bool& out) {
    std::string t(text);
    for (char& c : t) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (t == "true" || t == "yes" || t == "on" || t == "1") {
        out = true;
        return true;
    }
    if (t == "false" || t == "no" || t == "off" || t == "0") {
        out = false;
        return true;
    }
    return false;
}

// The game's keys: how each is read, written and described in a warning.
struct Key {
    const char* name;
    const char* expected;  // what a good value looks like, for the warning
    bool (*read)(std::string_view, Settings&);
    std::string (*write)(const Settings&);
};

std::string Text(bool v) { return v ? "true" : "false"; }

const Key kKeys[] = {
    {"music-volume", "a whole number from 0 to 100",
     [](std::string_view v, Settings& s) { return ParseWhole(v, 0, 100, s.musicVolume); },
     [](const Settings& s) { return std::to_string(s.musicVolume); }},
    {"effects-volume", "a whole number from 0 to 100",
     [](std::string_view v, Settings& s) { return ParseWhole(v, 0, 100, s.effectsVolume); },
     [](const Settings& s) { return std::to_string(s.effectsVolume); }},
    {"mute", "true or false", [](std::string_view v, Settings& s) { return ParseFlag(v, s.mute); },
     [](const Settings& s) { return Text(s.mute); }},
    {"fullscreen", "true or false",
     [](std::string_view v, Settings& s) { return ParseFlag(v, s.fullscreen); },
     [](const Settings& s) { return Text(s.fullscreen); }},
    {"window-width", "a whole number of pixels from 200 to 16384",
     [](std::string_view v, Settings& s) {
         return ParseWhole(v, kMinWindowWidth, kMaxWindowSide, s.windowWidth);
     },
     [](const Settings& s) { return std::to_string(s.windowWidth); }},
    {"window-height", "a whole number of pixels from 112 to 16384",
     [](std::string_view v, Settings& s) {
         return ParseWhole(v, kMinWindowHeight, kMaxWindowSide, s.windowHeight);
     },
     [](const Settings& s) { return std::to_string(s.windowHeight); }},
    {"rumble", "true or false", [](std::string_view v, Settings& s) { return ParseFlag(v, s.rumble); },
     [](const Settings& s) { return Text(s.rumble); }},
    {"board", "true or false", [](std::string_view v, Settings& s) { return ParseFlag(v, s.board); },
     [](const Settings& s) { return Text(s.board); }},
    {"board-name", "1 to 24 printable characters without < > & \" '",
     [](std::string_view v, Settings& s) {
         if (!v.empty() && !IsBoardName(v)) return false;
         s.boardName = v;
         return true;
     },
     [](const Settings& s) { return s.boardName; }},
    {"board-address", "an address starting with http:// or https://",
     [](std::string_view v, Settings& s) {
         if (!v.empty() && !IsBoardAddress(v)) return false;
         s.boardAddress = v;
         return true;
     },
     [](const Settings& s) { return s.boardAddress; }},
};

const Key* FindKey(std::string_view name) {
    for (const Key& k : kKeys)
        if (name == k.name) return &k;
    return nullptr;
}

}  // namespace

bool IsBoardName(std::string_view name) {
    if (name.empty() || name.size() > kBoardNameMax || name.front() == ' ' || name.back() == ' ')
        return false;
    for (char c : name)
        if (c < 0x20 || c > 0x7E || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') return false;
    return true;
}

bool IsBoardAddress(std::string_view address) {
    if (address.size() > kBoardAddressMax ||
        !(address.starts_with("http://") || address.starts_with("https://")) || address.size() < 9)
        return false;
    for (char c : address)
        if (c <= 0x20 || c > 0x7E) return false;
    return true;
}

namespace {

// The settings a file's lines give, each malformed line warned about and left at its default.
Settings ParseLines(const std::string& path, const std::vector<std::string>& lines,
                    std::vector<std::string>& warnings) {
    Settings s;
    int number = 0;
    for (const std::string& line : lines) {
        ++number;
        if (IsComment(line)) continue;
        std::string_view key, value;
        if (!SplitIniKey(line, key, value)) {
            warnings.push_back(path + ":" + std::to_string(number) + ": not a 'key = value' line: '" + line +
                               "'");
            continue;
        }
        const Key* known = FindKey(key);
        if (known == nullptr) continue;  // another version's key: kept, not ours to judge
        Settings candidate = s;
        if (known->read(value, candidate)) {
            s = candidate;
        } else {
            Settings defaults;
            warnings.push_back(path + ":" + std::to_string(number) + ": " + known->name + " must be " +
                               known->expected + ", not '" + std::string(value) + "'; using " +
                               known->write(defaults));
        }
    }
    return s;
}

}  // namespace

Settings SettingsFile::Load(std::vector<std::string>& warnings) {
    unreadable_ = false;
    base_ = Settings{};
    if (path_.empty()) return base_;
    RemoveStaleTemporaries(path_, std::time(nullptr));
    std::string text, why;
    const ReadStatus status = ReadSmallFile(path_, kSmallFileCap, text, why);
    if (status == ReadStatus::Missing) return base_;  // a first run, with the defaults
    if (status != ReadStatus::Ok) {
        unreadable_ = true;
        if (status == ReadStatus::TooLarge) why += ", too large for a settings file";
        warnings.push_back(path_ + ": cannot read the settings (" + why + "); using the defaults");
        return base_;
    }
    const size_t first = warnings.size();
    base_ = ParseLines(path_, SplitIniLines(text), warnings);
    CapWarnings(warnings, first, path_);
    return base_;
}

std::string SettingsFile::Save(const Settings& settings, Settings* written) {
    if (path_.empty()) return "no folder for them: neither XDG_CONFIG_HOME nor HOME names one";
    if (unreadable_) return path_ + ": the file could not be read, so it is not replaced";
    std::string error;
    if (!MakeFoldersFor(path_, error)) return error;

    // Another game on the same folders may have saved since this one read the file: under the
    // lock every game takes, the file is read again, and only the keys this game changed since
    // (those where settings differ from what it last read or wrote) are laid over it.
    FileLock lock(path_);
    std::string now, why;
    const ReadStatus status = ReadSmallFile(path_, kSmallFileCap, now, why);
    if (status != ReadStatus::Ok && status != ReadStatus::Missing)
        return path_ + ": the file could not be read (" + why + "), so it is not replaced";
    std::vector<std::string> lines = SplitIniLines(now);
    std::vector<std::string> ignored;
    Settings merged = ParseLines(path_, lines, ignored);
    for (const Key& k : kKeys)
        if (k.write(settings) != k.write(base_)) k.read(k.write(settings), merged);

    bool placed[std::size(kKeys)] = {};
    for (std::string& line : lines) {
        std::string_view key, value;
        if (IsComment(line) || !SplitIniKey(line, key, value)) continue;
        const Key* known = FindKey(key);
        if (known == nullptr) continue;
        line = std::string(known->name) + " = " + known->write(merged);
        placed[known - kKeys] = true;
    }
    std::string text = lines.empty() ? kHeader : "";
    for (const std::string& line : lines) text += line + "\n";
    for (size_t i = 0; i < std::size(kKeys); ++i)
        if (!placed[i]) text += std::string(kKeys[i].name) + " = " + kKeys[i].write(merged) + "\n";
    error = WriteFileAtomically(path_, text);
    if (error.empty()) {
        // The file now holds these: later saves start from them, and so does the caller.
        base_ = merged;
        if (written != nullptr) *written = merged;
    }
    return error;
}

}  // namespace grappix
