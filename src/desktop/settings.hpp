// The player's settings and the file that keeps them between runs.
//
// settings.ini holds one "key = value" a line; '#' or ';' starts a comment line, and section
// lines ("[name]") are allowed and kept. The game's keys:
//
//     music-volume = 100      0 to 100
//     effects-volume = 100    0 to 100
//     mute = false            true or false (also yes/no, on/off, 1/0)
//     fullscreen = false
//     window-width = 1600     the window's size when not fullscreen, in screen pixels
//     window-height = 900
//     rumble = true           a controller shakes when the hook catches
//     board = false           the online board of records: runs that beat a record are sent
//     board-name =            the player's name on the board (1 to 24 characters)
//     board-address =         the board's address (http:// or https://)
//     key-shoot = Z           the key of each action, by its name (Z, Space, Left Shift ...)
//     key-reel = X
//     key-jump = Space
//     key-pause = P           (Escape pauses too, whatever is bound)
//     button-shoot = X        the controller button of each action (A, B, X, Y, LB, RB, LS,
//     button-reel = B         RS, Start); the triggers shoot and reel in whatever is bound
//     button-jump = A
//     button-pause = Start
//
// The four keys are four different keys, the four buttons four different buttons: a name bound
// twice keeps the first action's line and gives the later one a default that is free.
// Reading keeps every line as it was; writing changes only the values of these keys (adding
// the missing ones at the end), so comments and keys written by another version survive.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace grappix {

// The actions a player binds to a key and to a controller button, in the settings' order.
enum BoundAction { kBindShoot, kBindReel, kBindJump, kBindPause, kBoundActions };
using BindingNames = std::array<std::string, kBoundActions>;
inline const BindingNames kDefaultKeys = {"Z", "X", "Space", "P"};
inline const BindingNames kDefaultButtons = {"X", "B", "A", "Start"};
inline constexpr const char* kBoundActionNames[kBoundActions] = {"shoot", "reel", "jump", "pause"};

// Whether a name may be bound (a key's or, for controller, a button's): the name as the game
// spells it, or null for a name it does not know or refuses. Given by the layer that knows the
// engine's names; without one, any name of printable characters is taken as written.
using BindingNameCheck = const char* (*)(bool controller, std::string_view name);

struct Settings {
    int64_t musicVolume = 100;  // percent of each music piece's own volume
    int64_t effectsVolume = 100;
    bool mute = false;
    bool fullscreen = false;
    int64_t windowWidth = 1600;
    int64_t windowHeight = 900;
    bool rumble = true;  // a controller shakes when the hook catches
    bool board = false;  // runs that beat the player's record go to the board of records
    std::string boardName;
    std::string boardAddress;
    BindingNames keys = kDefaultKeys;        // by BoundAction
    BindingNames buttons = kDefaultButtons;  // by BoundAction

    bool operator==(const Settings&) const = default;
};

// A name the board takes: 1 to 24 printable ASCII characters, without markup (< > & " ') and
// without blanks at its ends. An address: http:// or https://, printable, no blanks.
inline constexpr size_t kBoardNameMax = 24, kBoardAddressMax = 200;
bool IsBoardName(std::string_view name);
bool IsBoardAddress(std::string_view address);

inline constexpr int64_t kMinWindowWidth = 200, kMinWindowHeight = 112, kMaxWindowSide = 16384;

class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    // Reads the file. A missing file gives the defaults, silently. Each key that is malformed
    // keeps its default, with one warning "<file>:<line>: ..." in warnings (five at most, then
    // how many more); a file that exists but cannot be read (not a regular file, over 64 KiB)
    // gives the defaults with one warning, and Save will not replace it. A byte-order mark at
    // the start is skipped; temporary files an interrupted save left are removed once a
    // minute old.
    Settings Load(std::vector<std::string>& warnings);

    // Writes the settings over the file atomically. Under a lock shared with every game running
    // at once, the file is read again and only the keys whose value this object changed since
    // it last read or wrote them are written over what it holds now; comments and other keys
    // stay as they are. On success, written is given what the file now holds. Returns an
    // empty string, or why it could not.
    std::string Save(const Settings& settings, Settings* written = nullptr);

    const std::string& Path() const { return path_; }
    void SetNameCheck(BindingNameCheck check) { check_ = check; }  // before Load

private:
    std::string path_;
    Settings base_;            // what the file held when last read or written here
    bool unreadable_ = false;  // exists but could not be read: never overwritten
    BindingNameCheck check_ = nullptr;
};

}  // namespace grappix
