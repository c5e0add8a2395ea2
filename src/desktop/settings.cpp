#include "desktop/settings.hpp"

#include <algorithm>
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
    bool (*read)(std::string_view, Settings&, BindingNameCheck);
    std::string (*write)(const Settings&);
};

std::string Text(bool v) { return v ? "true" : "false"; }

BindingNames& Names(Settings& s, bool controller) { return controller ? s.buttons : s.keys; }
const BindingNames& Names(const Settings& s, bool controller) { return controller ? s.buttons : s.keys; }

// A binding as the checker spells it; without a checker, any short name of printable characters.
template <bool kController, int kAction>
bool ReadBinding(std::string_view v, Settings& s, BindingNameCheck check) {
    if (check != nullptr) {
        const char* name = check(kController, v);
        if (name == nullptr) return false;
        Names(s, kController)[kAction] = name;
        return true;
    }
    if (v.empty() || v.size() > 32) return false;
    for (char c : v)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    Names(s, kController)[kAction] = std::string(v);
    return true;
}

template <bool kController, int kAction>
std::string WriteBinding(const Settings& s) {
    return Names(s, kController)[kAction];
}

constexpr const char* kKeyExpected =
    "the name of a key free to bind (Z, Space, Left Shift ...; not Escape, F11, M, Return, Alt, Ctrl or an "
    "arrow)";
constexpr const char* kButtonExpected =
    "a controller button free to bind (A, B, X, Y, LB, RB, LS, RS or Start)";

#define GRAPPIX_BINDING(prefix, controller, action, name)                                           \
    {                                                                                               \
        prefix name, controller ? kButtonExpected : kKeyExpected, &ReadBinding<controller, action>, \
            &WriteBinding<controller, action>                                                       \
    }

const Key kKeys[] = {
    {"music-volume", "a whole number from 0 to 100",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseWhole(v, 0, 100, s.musicVolume); },
     [](const Settings& s) { return std::to_string(s.musicVolume); }},
    {"effects-volume", "a whole number from 0 to 100",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseWhole(v, 0, 100, s.effectsVolume); },
     [](const Settings& s) { return std::to_string(s.effectsVolume); }},
    {"mute", "true or false",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseFlag(v, s.mute); },
     [](const Settings& s) { return Text(s.mute); }},
    {"fullscreen", "true or false",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseFlag(v, s.fullscreen); },
     [](const Settings& s) { return Text(s.fullscreen); }},
    {"window-width", "a whole number of pixels from 200 to 16384",
     [](std::string_view v, Settings& s, BindingNameCheck) {
         return ParseWhole(v, kMinWindowWidth, kMaxWindowSide, s.windowWidth);
     },
     [](const Settings& s) { return std::to_string(s.windowWidth); }},
    {"window-height", "a whole number of pixels from 112 to 16384",
     [](std::string_view v, Settings& s, BindingNameCheck) {
         return ParseWhole(v, kMinWindowHeight, kMaxWindowSide, s.windowHeight);
     },
     [](const Settings& s) { return std::to_string(s.windowHeight); }},
    {"rumble", "true or false",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseFlag(v, s.rumble); },
     [](const Settings& s) { return Text(s.rumble); }},
    {"board", "true or false",
     [](std::string_view v, Settings& s, BindingNameCheck) { return ParseFlag(v, s.board); },
     [](const Settings& s) { return Text(s.board); }},
    {"board-name", "1 to 24 printable characters without < > & \" '",
     [](std::string_view v, Settings& s, BindingNameCheck) {
         if (!v.empty() && !IsBoardName(v)) return false;
         s.boardName = v;
         return true;
     },
     [](const Settings& s) { return s.boardName; }},
    {"board-address", "an address starting with http:// or https://",
     [](std::string_view v, Settings& s, BindingNameCheck) {
         if (!v.empty() && !IsBoardAddress(v)) return false;
         s.boardAddress = v;
         return true;
     },
     [](const Settings& s) { return s.boardAddress; }},
    GRAPPIX_BINDING("key-", false, kBindShoot, "shoot"),
    GRAPPIX_BINDING("key-", false, kBindReel, "reel"),
    GRAPPIX_BINDING("key-", false, kBindJump, "jump"),
    GRAPPIX_BINDING("key-", false, kBindPause, "pause"),
    GRAPPIX_BINDING("button-", true, kBindShoot, "shoot"),
    GRAPPIX_BINDING("button-", true, kBindReel, "reel"),
    GRAPPIX_BINDING("button-", true, kBindJump, "jump"),
    GRAPPIX_BINDING("button-", true, kBindPause, "pause"),
};
#undef GRAPPIX_BINDING

// The first of the bindings' keys in kKeys, which end with them: key-shoot ... key-pause, then
// button-shoot ...
constexpr size_t kFirstBinding = std::size(kKeys) - 2 * kBoundActions;

// Makes the four names of each device four different names, settling them by rank (rank[i]
// for binding i: 2 what this game just changed, 1 what the file says, 0 a default nobody wrote):
// a name that a higher-ranked or earlier action holds already is given up for the action's own
// default if that is free, else the first default nobody holds (there is always one: four
// defaults, at most three names settled). A line of the file given up this way is warned about
// (lines says where each was read); a default given up is the swap a binding asked for.
void SeparateBindings(Settings& s, const std::string& path, const int* rank, const int* lines,
                      std::vector<std::string>* warnings) {
    for (bool controller : {false, true}) {
        const size_t first = controller ? kBoundActions : 0;
        BindingNames& names = Names(s, controller);
        const BindingNames& defaults = controller ? kDefaultButtons : kDefaultKeys;
        std::array<bool, kBoundActions> settled{};
        auto holder = [&](const std::string& name, bool settledOnly) {
            for (int b = 0; b < kBoundActions; ++b)
                if (names[size_t(b)] == name && (settled[size_t(b)] || !settledOnly)) return b;
            return -1;
        };
        for (int r = 2; r >= 0; --r)
            for (int a = 0; a < kBoundActions; ++a) {
                if (settled[size_t(a)] || rank[first + size_t(a)] != r) continue;
                const int taken = holder(names[size_t(a)], true);
                settled[size_t(a)] = true;
                if (taken < 0) continue;
                // Its own default, else one nobody names, else one no settled action holds.
                std::string pick;
                for (bool strict : {true, false})
                    for (int d = -1; d < kBoundActions && pick.empty(); ++d) {
                        const std::string& c = defaults[size_t(d < 0 ? a : d)];
                        if (holder(c, true) < 0 && (!strict || holder(c, false) < 0)) pick = c;
                    }
                if (r == 1 && warnings != nullptr) {
                    const size_t k = kFirstBinding + first + size_t(a);
                    const int line = lines != nullptr ? lines[first + size_t(a)] : 0;
                    warnings->push_back(path + (line > 0 ? ":" + std::to_string(line) : "") + ": " +
                                        kKeys[k].name + ": " + names[size_t(a)] + " is bound to " +
                                        kBoundActionNames[taken] + " already; using " + pick);
                }
                names[size_t(a)] = pick;
            }
    }
}

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
// bindingLines, when given, is told the line each binding was read from (0: none);
// bindingWarnings, the warning of each binding's malformed line (-1: none).
Settings ParseLines(const std::string& path, const std::vector<std::string>& lines,
                    std::vector<std::string>& warnings, BindingNameCheck check, int* bindingLines,
                    int* bindingWarnings = nullptr) {
    Settings s;
    int number = 0;
    int ignored[2 * kBoundActions] = {}, unwarned[2 * kBoundActions] = {};
    if (bindingLines == nullptr) bindingLines = ignored;
    if (bindingWarnings == nullptr) bindingWarnings = unwarned;
    std::fill(bindingLines, bindingLines + 2 * kBoundActions, 0);
    std::fill(bindingWarnings, bindingWarnings + 2 * kBoundActions, -1);
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
        if (known->read(value, candidate, check)) {
            s = candidate;
            if (size_t(known - kKeys) >= kFirstBinding)
                bindingLines[size_t(known - kKeys) - kFirstBinding] = number;
        } else {
            Settings defaults;
            if (size_t(known - kKeys) >= kFirstBinding)
                bindingWarnings[size_t(known - kKeys) - kFirstBinding] = int(warnings.size());
            warnings.push_back(
                path + ":" + std::to_string(number) + ": " + known->name + " must be " + known->expected +
                ", not '" + std::string(value) + "'" +
                (known->write(defaults).empty() ? "; left empty" : "; using " + known->write(defaults)));
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
    int lines[2 * kBoundActions], rank[2 * kBoundActions], damaged[2 * kBoundActions];
    base_ = ParseLines(path_, SplitIniLines(text), warnings, check_, lines, damaged);
    for (size_t i = 0; i < std::size(rank); ++i) rank[i] = lines[i] > 0 ? 1 : 0;
    SeparateBindings(base_, path_, rank, lines, &warnings);
    // A malformed binding's warning names the name it really got: its default may have gone
    // to another action of the file.
    for (size_t i = 0; i < std::size(damaged); ++i)
        if (damaged[i] >= 0) {
            std::string& w = warnings[size_t(damaged[i])];
            w = w.substr(0, w.rfind("; using ")) + "; using " + kKeys[kFirstBinding + i].write(base_);
        }
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
    int read[2 * kBoundActions], rank[2 * kBoundActions];
    Settings merged = ParseLines(path_, lines, ignored, check_, read);
    for (size_t i = 0; i < std::size(rank); ++i) rank[i] = read[i] > 0 ? 1 : 0;
    for (const Key& k : kKeys)
        if (k.write(settings) != k.write(base_)) {
            k.read(k.write(settings), merged, check_);
            const size_t i = size_t(&k - kKeys);
            if (i >= kFirstBinding) rank[i - kFirstBinding] = 2;
        }
    // Another game's bindings and this one's may now hold a name twice: this one's win.
    SeparateBindings(merged, path_, rank, nullptr, nullptr);

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
    // A binding is added only once it differs from the default: the file stays short.
    const Settings defaults;
    for (size_t i = 0; i < std::size(kKeys); ++i)
        if (!placed[i] && (i < kFirstBinding || kKeys[i].write(merged) != kKeys[i].write(defaults)))
            text += std::string(kKeys[i].name) + " = " + kKeys[i].write(merged) + "\n";
    error = WriteFileAtomically(path_, text);
    if (error.empty()) {
        // The file now holds these: later saves start from them, and so does the caller.
        base_ = merged;
        if (written != nullptr) *written = merged;
    }
    return error;
}

}  // namespace grappix
