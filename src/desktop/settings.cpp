#include "desktop/settings.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "desktop/atomic_file.hpp"
#include "desktop/ini_lines.hpp"
#include "desktop/xdg_dirs.hpp"

namespace grappix {

namespace {

// A settings file is a few hundred bytes; anything this large is not one.
constexpr std::streamoff kMaxFileSize = 1 << 20;

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
};

const Key* FindKey(std::string_view name) {
    for (const Key& k : kKeys)
        if (name == k.name) return &k;
    return nullptr;
}

}  // namespace

Settings SettingsFile::Load(std::vector<std::string>& warnings) {
    Settings s;
    lines_.clear();
    unreadable_ = false;
    struct stat st {};
    // No such file (or no such folder): a first run, with the defaults.
    if (stat(path_.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return s;
    std::ifstream in(path_, std::ios::binary);
    if (!in || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        unreadable_ = true;
        std::string why = !in                    ? std::strerror(errno)
                          : !S_ISREG(st.st_mode) ? "not a plain file"
                                                 : "too large to be a settings file";
        warnings.push_back(path_ + ": cannot read the settings (" + why + "); using the defaults");
        return s;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
        if (IsComment(line)) continue;
        std::string_view key, value;
        if (!SplitIniKey(line, key, value)) {
            warnings.push_back(path_ + ":" + std::to_string(number) + ": not a 'key = value' line: '" + line +
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
            warnings.push_back(path_ + ":" + std::to_string(number) + ": " + known->name + " must be " +
                               known->expected + ", not '" + std::string(value) + "'; using " +
                               known->write(defaults));
        }
    }
    return s;
}

std::string SettingsFile::Save(const Settings& settings) {
    if (path_.empty()) return "no folder for them: neither XDG_CONFIG_HOME nor HOME names one";
    if (unreadable_) return path_ + ": the file could not be read, so it is not replaced";
    std::string error;
    if (!MakeFoldersFor(path_, error)) return error;

    std::vector<std::string> lines = lines_;
    bool written[std::size(kKeys)] = {};
    for (std::string& line : lines) {
        std::string_view key, value;
        if (IsComment(line) || !SplitIniKey(line, key, value)) continue;
        const Key* known = FindKey(key);
        if (known == nullptr) continue;
        line = std::string(known->name) + " = " + known->write(settings);
        written[known - kKeys] = true;
    }
    std::string text = lines.empty() ? kHeader : "";
    for (const std::string& line : lines) text += line + "\n";
    for (size_t i = 0; i < std::size(kKeys); ++i)
        if (!written[i]) text += std::string(kKeys[i].name) + " = " + kKeys[i].write(settings) + "\n";
    error = WriteFileAtomically(path_, text);
    if (error.empty()) {
        // The file now holds these lines: later saves start from them.
        lines_.clear();
        std::istringstream saved(text);
        for (std::string l; std::getline(saved, l);) lines_.push_back(l);
    }
    return error;
}

}  // namespace grappix
