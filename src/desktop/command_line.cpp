#include "desktop/command_line.hpp"

#include <algorithm>

#include "desktop/settings.hpp"

#ifndef GRAPPIX_VERSION
#define GRAPPIX_VERSION "unknown"
#endif

namespace grappix {

namespace {

std::string Volume(std::string_view value, std::optional<int64_t>& out) {
    // At most three digits: anything longer is no volume, and is never added up.
    bool digits = !value.empty() && value.size() <= 3;
    int64_t v = 0;
    for (size_t i = 0; digits && i < value.size(); ++i) {
        digits = value[i] >= '0' && value[i] <= '9';
        v = v * 10 + (value[i] - '0');
    }
    if (!digits || v > 100)
        return "'" + std::string(value) + "' is not a volume (a whole number from 0 to 100)";
    out = v;
    return {};
}

// The modes as the command line names them, in the order of the title's buttons.
constexpr const char* kModeNames[] = {"normal", "no-block", "free-style"};

std::string Mode(std::string_view value, std::optional<std::string>& out) {
    for (const char* name : kModeNames)
        if (value == name) {
            out = std::string(value);
            return {};
        }
    return "'" + std::string(value) + "' is not a mode (normal, no-block or free-style)";
}

std::string FileName(std::string_view value, std::string& out) {
    if (value.empty()) return "a file name is needed";
    out = value;
    return {};
}

const std::vector<Option> kOptions = {
    {"--help", "-h", nullptr, "show this help and exit",
     [](CommandLine& c, std::string_view) {
         c.action = CommandLine::Action::Help;
         return std::string();
     }},
    {"--version", nullptr, nullptr, "show the game's and the engine's versions and exit",
     [](CommandLine& c, std::string_view) {
         c.action = CommandLine::Action::Version;
         return std::string();
     }},
    {"--fullscreen", nullptr, nullptr, "play fullscreen (this run only)",
     [](CommandLine& c, std::string_view) {
         c.fullscreen = true;
         return std::string();
     }},
    {"--windowed", nullptr, nullptr, "play in a window (this run only)",
     [](CommandLine& c, std::string_view) {
         c.fullscreen = false;
         return std::string();
     }},
    {"--music-volume", nullptr, "N", "music volume, 0 to 100 (this run only)",
     [](CommandLine& c, std::string_view v) { return Volume(v, c.musicVolume); }},
    {"--effects-volume", nullptr, "N", "sound effects volume, 0 to 100 (this run only)",
     [](CommandLine& c, std::string_view v) { return Volume(v, c.effectsVolume); }},
    {"--mute", nullptr, nullptr, "start with every sound muted (this run only)",
     [](CommandLine& c, std::string_view) {
         c.mute = true;
         return std::string();
     }},
    {"--reset-settings", nullptr, nullptr, "start from the default settings and save them",
     [](CommandLine& c, std::string_view) {
         c.resetSettings = true;
         return std::string();
     }},
    {"--watch-best", nullptr, "MODE", "watch MODE's best run (normal, no-block, free-style)",
     [](CommandLine& c, std::string_view v) { return Mode(v, c.watchBest); }},
    {"--replay", nullptr, "FILE", "watch a recorded run (Escape ends it, Space pauses)",
     [](CommandLine& c, std::string_view v) { return FileName(v, c.replayFile); }},
    {"--record", nullptr, "FILE", "also record this run to FILE",
     [](CommandLine& c, std::string_view v) { return FileName(v, c.recordFile); }},
    {"--verify", nullptr, "FILE", "verify a replay headless, print what it proves (JSON)",
     [](CommandLine& c, std::string_view v) { return FileName(v, c.verifyFile); }},
    {"--board", nullptr, "URL", "the board of records' address (this run only)",
     [](CommandLine& c, std::string_view v) {
         if (!IsBoardAddress(v)) return "'" + std::string(v) + "' is not an http:// or https:// address";
         c.boardAddress = v;
         return std::string();
     }},
    {"--submit", nullptr, "FILE", "send a replay to the board, print its answer",
     [](CommandLine& c, std::string_view v) { return FileName(v, c.submitFile); }},
    {"--name", nullptr, "NAME", "the player's name --submit sends (1 to 24 characters)",
     [](CommandLine& c, std::string_view v) {
         if (!IsBoardName(v))
             return "'" + std::string(v) + "' is not a name the board takes (1 to 24 " +
                    "printable characters, no < > & \" ', no blanks at its ends)";
         c.boardName = v;
         return std::string();
     }},
    {"--watch-board", nullptr, "MODE [RANK]", "watch the board's run of MODE at RANK (1 first)",
     [](CommandLine& c, std::string_view v) { return Mode(v, c.watchBoard); }},
    {"--force", nullptr, nullptr, "watch a replay recorded by another version",
     [](CommandLine& c, std::string_view) {
         c.force = true;
         return std::string();
     }},
};

const Option* Find(std::string_view name) {
    for (const Option& o : kOptions)
        if (name == o.name || (o.shortName != nullptr && name == o.shortName)) return &o;
    return nullptr;
}

CommandLine Fail(std::string what) {
    CommandLine c;
    c.action = CommandLine::Action::Error;
    c.error = std::move(what);
    return c;
}

}  // namespace

const std::vector<Option>& Options() { return kOptions; }

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    bool help = false, version = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') return Fail("unexpected argument '" + arg + "'");
        size_t eq = arg.find('=');
        std::string name = arg.substr(0, eq);
        const Option* option = Find(name);
        if (option == nullptr) return Fail("unknown option '" + name + "'");
        std::string value;
        if (option->valueName == nullptr) {
            if (eq != std::string::npos) return Fail("option '" + name + "' takes no value");
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Fail("option '" + name + "' needs a value (" + option->valueName + ")");
        }
        std::string problem = option->apply(line, value);
        if (!problem.empty()) return Fail("option '" + name + "': " + problem);
        // --watch-board MODE may be followed by a rank: a whole number from 1 to 50.
        if (name == "--watch-board" && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
            const std::string& rank = args[++i];
            if (rank.size() > 2 || rank.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(rank) < 1 || std::stoi(rank) > 50)
                return Fail("option '--watch-board': '" + rank + "' is not a rank (1 to 50)");
            line.watchRank = std::stoi(rank);
        }
        // Help and version win over playing, whatever their place among the options.
        help |= line.action == CommandLine::Action::Help;
        version |= line.action == CommandLine::Action::Version;
        line.action = CommandLine::Action::Play;
    }
    if (!line.verifyFile.empty() &&
        (line.watchBest || !line.replayFile.empty() || !line.recordFile.empty() || line.force))
        return Fail(
            "option '--verify' plays its own replay: not with --watch-best, --replay, --record or --force");
    const int plays = (line.watchBest ? 1 : 0) + (line.watchBoard ? 1 : 0) +
                      (line.replayFile.empty() ? 0 : 1) + (line.submitFile.empty() ? 0 : 1) +
                      (line.verifyFile.empty() ? 0 : 1);
    if (plays > 1)
        return Fail("--watch-best, --watch-board, --replay, --submit and --verify go one at a time");
    if (!line.submitFile.empty() && (line.boardAddress.empty() || line.boardName.empty()))
        return Fail("option '--submit' needs the board's address (--board URL) and a name (--name NAME)");
    if (help)
        line.action = CommandLine::Action::Help;
    else if (version)
        line.action = CommandLine::Action::Version;
    return line;
}

std::string UsageErrorLine(const CommandLine& line) {
    return "grappix: " + line.error + ". Try 'grappix --help' for more information.";
}

std::string HelpText(const std::string& settingsPath) {
    std::string text =
        "Usage: grappix [OPTION]...\n"
        "A fast 2D action game: swing through an endless stage on a grappling wire.\n"
        "\n"
        "Options:\n";
    for (const Option& o : kOptions) {
        std::string head = "  ";
        head += o.shortName != nullptr ? std::string(o.shortName) + ", " : "    ";
        head += o.name;
        if (o.valueName != nullptr) head += std::string(" ") + o.valueName;
        head.resize(std::max<size_t>(head.size() + 2, 26), ' ');
        text += head + o.help + "\n";
    }
    text +=
        "\n"
        "Controls (mouse; keyboard; controller):\n"
        "  aim the hook                   point; -; right stick\n"
        "  shoot the hook, take it back   hold, release left button; Z; RT or X\n"
        "  reel in, let go of the wire    hold, release right button; X; LT or B\n"
        "  jump, kick off a pillar        release middle button; Space; A\n"
        "  pause, resume                  Escape or P; Start\n"
        "  mute, unmute                   M\n"
        "  fullscreen on, off             F11 or Alt+Enter\n"
        "  quit                           Ctrl+Q; on the title also Escape or Back\n"
        "  menus                          point and click; arrows, Enter, Escape;\n"
        "                                 d-pad or left stick, A, B\n"
        "  (the defaults; Options, then Change, binds other keys and buttons)\n"
        "\n"
        "Files:\n"
#if defined(_WIN32)
        "  %APPDATA%\\Grappix\\settings.ini: the volumes, mute, fullscreen, the\n"
        "  window's size, the controller's rumble and the keys and buttons bound.\n"
        "  For this run: " +
        (settingsPath.empty() ? std::string("none (no application-data folder)") : settingsPath) +
        "\n"
        "  %APPDATA%\\Grappix\\records.ini: the best speed of each mode, and the\n"
        "  replay that holds it.\n"
        "  %LOCALAPPDATA%\\Grappix\\replays\\: a replay of each run with a window,\n"
        "  named by its start; the newest 20 are kept, and those that hold a record.\n"
        "\n"
        "Environment:\n"
#else
        "  $XDG_CONFIG_HOME/grappix/settings.ini (XDG_CONFIG_HOME is ~/.config\n"
        "  when unset): the volumes, mute, fullscreen, the window's size, the\n"
        "  controller's rumble and the keys and buttons bound.\n"
        "  For this run: " +
        (settingsPath.empty() ? std::string("none (no home folder)") : settingsPath) +
        "\n"
        "  $XDG_DATA_HOME/grappix/records.ini (XDG_DATA_HOME is ~/.local/share\n"
        "  when unset): the best speed of each mode, and the replay that holds it.\n"
        "  $XDG_STATE_HOME/grappix/replays/ (XDG_STATE_HOME is ~/.local/state\n"
        "  when unset): a replay of each run with a window, named by its start;\n"
        "  the newest 20 are kept, and those that hold a record.\n"
        "\n"
        "Environment:\n"
        "  XDG_CONFIG_HOME                 where the settings file is kept (above)\n"
        "  XDG_DATA_HOME                   where the records are kept (above)\n"
        "  XDG_STATE_HOME                  where the replays are kept (above)\n"
#endif
        "  SDL_VIDEODRIVER=dummy           run without a window\n"
        "  SDL_AUDIODRIVER=dummy           run without a sound device\n"
        "  BRISEL_INPUT, BRISEL_FRAMES ... scripted runs: see grappix(6)\n"
        "  BRISEL_RECORD, BRISEL_REPLAY ... replays: see grappix(6)\n";
    return text;
}

std::string GameVersionLine() { return std::string("grappix ") + GRAPPIX_VERSION; }

const char* GameVersion() { return GRAPPIX_VERSION; }

}  // namespace grappix
