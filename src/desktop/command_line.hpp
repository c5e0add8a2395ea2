// The command line: the options a run takes, read before anything else starts.
//
// Each option is one entry of a table (its name, the name of its value if it takes one, the
// line --help shows, and what it does to the CommandLine), so an option is added by adding an
// entry and, where it carries a value, a field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grappix {

struct CommandLine {
    enum class Action {
        Play,     // start the game
        Help,     // print the usage and end
        Version,  // print the versions and end
        Error     // a bad command line: print `error` and end with status 2
    };
    Action action = Action::Play;
    std::string error;  // Error: what is wrong, naming the option or argument

    // Settings for this run only; never saved.
    std::optional<bool> fullscreen;
    std::optional<int64_t> musicVolume;
    std::optional<int64_t> effectsVolume;
    bool mute = false;
    bool resetSettings = false;  // start from the default settings and save them
    // Watch the run that holds this mode's record ("normal", "no-block" or "free-style").
    std::optional<std::string> watchBest;

    // Replays.
    std::string replayFile;  // --replay: watch this replay instead of playing
    std::string recordFile;  // --record: record this run to this file
    bool force = false;      // --force: play a replay recorded by another version
    std::string verifyFile;  // --verify: replay this file headless and print what it proves

    // The board of records.
    std::string boardAddress;               // --board: the board's address, for this run
    std::string submitFile;                 // --submit: send this replay to the board and print its answer
    std::string boardName;                  // --name: the name --submit sends
    std::optional<std::string> watchBoard;  // --watch-board MODE [RANK]: watch a run of the board
    int64_t watchRank = 1;
};

struct Option {
    const char* name;       // "--music-volume"
    const char* shortName;  // "-h", or null
    const char* valueName;  // "N" for an option that takes a value, or null
    const char* help;       // one line for --help
    // Applies the option (and its value); returns what is wrong with the value, or "".
    std::string (*apply)(CommandLine& line, std::string_view value);
};

// Every option, in the order --help and the manual page list them.
const std::vector<Option>& Options();

// Reads the arguments (without the program's name): `--name value` and `--name=value` alike.
// The first problem stops the reading: action Error with a one-line explanation.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The status a bad command line ends the run with, and the line printed for it.
inline constexpr int kUsageStatus = 2;
std::string UsageErrorLine(const CommandLine& line);

// The text of --help; settingsPath is where this run keeps its settings.
std::string HelpText(const std::string& settingsPath);

// "grappix 1.1.0".
std::string GameVersionLine();
// "1.1.0".
const char* GameVersion();

}  // namespace grappix
