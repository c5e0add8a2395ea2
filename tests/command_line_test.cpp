// The command line: every option, every way to get one wrong, and --help listing them all.
#include <gtest/gtest.h>

#include <set>

#include "desktop/command_line.hpp"
#include "records/records_file.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using Action = CommandLine::Action;

CommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CommandLineTest, EveryOptionSetsWhatItSays) {
    // Guards against an option read into the wrong field, or not at all.
    CommandLine none = Parse({});
    EXPECT_EQ(none.action, Action::Play);
    EXPECT_FALSE(none.fullscreen.has_value());
    EXPECT_FALSE(none.musicVolume.has_value());
    EXPECT_FALSE(none.effectsVolume.has_value());
    EXPECT_FALSE(none.mute);
    EXPECT_FALSE(none.resetSettings);

    EXPECT_EQ(Parse({"--help"}).action, Action::Help);
    EXPECT_EQ(Parse({"-h"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, Action::Version);
    EXPECT_EQ(Parse({"--fullscreen"}).fullscreen, std::optional<bool>(true));
    EXPECT_EQ(Parse({"--windowed"}).fullscreen, std::optional<bool>(false));
    EXPECT_EQ(Parse({"--fullscreen", "--windowed"}).fullscreen, std::optional<bool>(false));  // the last wins
    EXPECT_EQ(Parse({"--music-volume", "0"}).musicVolume, std::optional<int64_t>(0));
    EXPECT_EQ(Parse({"--music-volume=100"}).musicVolume, std::optional<int64_t>(100));
    EXPECT_EQ(Parse({"--effects-volume", "35"}).effectsVolume, std::optional<int64_t>(35));
    EXPECT_EQ(Parse({"--effects-volume=7"}).effectsVolume, std::optional<int64_t>(7));
    EXPECT_TRUE(Parse({"--mute"}).mute);
    EXPECT_TRUE(Parse({"--reset-settings"}).resetSettings);
    EXPECT_EQ(Parse({"--replay", "a.replay"}).replayFile, "a.replay");
    EXPECT_EQ(Parse({"--record=b.replay"}).recordFile, "b.replay");
    EXPECT_TRUE(Parse({"--force"}).force);
    EXPECT_FALSE(none.force);
    EXPECT_EQ(none.replayFile, "");
    EXPECT_EQ(none.recordFile, "");

    CommandLine all = Parse({"--mute", "--music-volume", "20", "--effects-volume=80", "--fullscreen"});
    EXPECT_EQ(all.action, Action::Play);
    EXPECT_TRUE(all.mute);
    EXPECT_EQ(all.musicVolume, std::optional<int64_t>(20));
    EXPECT_EQ(all.effectsVolume, std::optional<int64_t>(80));
    EXPECT_EQ(all.fullscreen, std::optional<bool>(true));
}

TEST(CommandLineTest, HelpAndVersionWinWhereverTheyStand) {
    // Guards against `grappix --mute --help` starting the game instead of answering.
    EXPECT_EQ(Parse({"--mute", "--help"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version", "--fullscreen"}).action, Action::Version);
    EXPECT_EQ(Parse({"--version", "--help"}).action, Action::Help);
}

TEST(CommandLineTest, EveryBadArgumentIsOneLineNamingIt) {
    // Guards against a mistyped option or value being ignored, or reported without its name.
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--"}, "unknown option '--'"},
        {{"--Mute"}, "unknown option '--Mute'"},
        {{"play"}, "unexpected argument 'play'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--mute", "loud"}, "unexpected argument 'loud'"},
        {{"--mute=yes"}, "option '--mute' takes no value"},
        {{"--help=now"}, "option '--help' takes no value"},
        {{"--music-volume"}, "option '--music-volume' needs a value (N)"},
        {{"--replay"}, "option '--replay' needs a value (FILE)"},
        {{"--record="}, "option '--record': a file name is needed"},
        {{"--effects-volume"}, "option '--effects-volume' needs a value (N)"},
        {{"--music-volume", "101"},
         "option '--music-volume': '101' is not a volume (a whole number from 0 to 100)"},
        {{"--music-volume", "-1"},
         "option '--music-volume': '-1' is not a volume (a whole number from 0 to 100)"},
        {{"--music-volume="}, "option '--music-volume': '' is not a volume (a whole number from 0 to 100)"},
        {{"--music-volume", "50%"},
         "option '--music-volume': '50%' is not a volume (a whole number from 0 to 100)"},
        {{"--effects-volume", "4.5"},
         "option '--effects-volume': '4.5' is not a volume (a whole number from 0 to 100)"},
        {{"--effects-volume", "0100"},
         "option '--effects-volume': '0100' is not a volume (a whole number from 0 to 100)"},
        {{"--effects-volume", "loud"},
         "option '--effects-volume': 'loud' is not a volume (a whole number from 0 to 100)"},
        {{"--effects-volume", "99999999999999999999"},
         "option '--effects-volume': '99999999999999999999' is not a volume (a whole number from 0 to 100)"},
    };
    for (const Case& c : cases) {
        CommandLine line = Parse(c.args);
        EXPECT_EQ(line.action, Action::Error) << c.args[0];
        EXPECT_EQ(line.error, c.error);
        std::string printed = UsageErrorLine(line);
        EXPECT_EQ(printed,
                  std::string("grappix: ") + c.error + ". Try 'grappix --help' for more information.");
        EXPECT_EQ(printed.find('\n'), std::string::npos);
    }
    // A bad argument stops the reading even after --help: nothing half-understood runs.
    EXPECT_EQ(Parse({"--help", "--bogus"}).action, Action::Error);
}

TEST(CommandLineTest, WatchBestTakesExactlyTheModesTheRecordsKnow) {
    // Guards against a mode the records file names that the command line refuses (or the
    // other way round), and against a mode's name taken in another case.
    for (int mode = 0; mode < kRecordModes; ++mode) {
        CommandLine line = Parse({"--watch-best", RecordModeName(mode)});
        EXPECT_EQ(line.action, Action::Play) << line.error;
        EXPECT_EQ(line.watchBest, std::optional<std::string>(RecordModeName(mode)));
    }
    EXPECT_FALSE(Parse({}).watchBest.has_value());
    CommandLine wrong = Parse({"--watch-best=Normal"});
    EXPECT_EQ(wrong.action, Action::Error);
    EXPECT_EQ(wrong.error, "option '--watch-best': 'Normal' is not a mode (normal, no-block or free-style)");
    EXPECT_EQ(Parse({"--watch-best"}).error, "option '--watch-best' needs a value (MODE)");
}

TEST(CommandLineTest, HelpListsEveryOptionTheControlsAndTheSettingsFile) {
    // Guards against an option added to the table but missing from --help, or a help text
    // that does not say where the settings are kept.
    std::string help = HelpText("/home/ada/.config/grappix/settings.ini");
    EXPECT_EQ(help.rfind("Usage: grappix [OPTION]...\n", 0), 0u);
    for (const Option& o : Options()) {
        std::string head = o.valueName != nullptr ? std::string(o.name) + " " + o.valueName : o.name;
        EXPECT_NE(help.find(head + " "), std::string::npos) << o.name;
        EXPECT_NE(help.find(o.help), std::string::npos) << o.name;
    }
    EXPECT_NE(help.find("-h, --help"), std::string::npos);
    EXPECT_NE(help.find("/home/ada/.config/grappix/settings.ini"), std::string::npos);
    EXPECT_NE(help.find("Ctrl+Q"), std::string::npos);
    EXPECT_NE(help.find("SDL_VIDEODRIVER=dummy"), std::string::npos);
    for (size_t start = 0; start < help.size();) {  // fits a terminal of 80 columns
        size_t end = help.find('\n', start);
        EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(GameVersionLine(), "grappix 1.1.0");
}

// The options a text names: every -x or --name word it holds (after a space, a comma or at
// the start of a line).
std::set<std::string> OptionsIn(const std::string& text) {
    std::set<std::string> found;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; };
    for (size_t i = 0; i < text.size(); ++i) {
        const bool start = i == 0 || text[i - 1] == ' ' || text[i - 1] == ',' || text[i - 1] == '\n';
        if (!start || text[i] != '-') continue;
        size_t j = i + 1;
        if (j < text.size() && text[j] == '-') ++j;
        if (j >= text.size() || text[j] < 'a' || text[j] > 'z') continue;
        while (j < text.size() && letter(text[j])) ++j;
        found.insert(text.substr(i, j - i));
        i = j;
    }
    return found;
}

// Groff's markup out of a manual page's line: the escaped minus as a minus, a font request
// (".B ", ".BR ", ".BI ") as a space.
std::string Plain(std::string line) {
    for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.replace(at, 2, "-");
    for (const std::string request : {".BR ", ".BI ", ".B "})
        if (line.rfind(request, 0) == 0) line = " " + line.substr(request.size());
    return line;
}

TEST(CommandLineTest, HelpAndTheManualPageListTheSameOptions) {
    // Guards against an option documented in one place and not the other.
    std::string help = HelpText("/settings.ini");
    size_t start = help.find("Options:\n"), end = help.find("\n\n", start);
    std::set<std::string> inHelp = OptionsIn(help.substr(start, end - start));

    // The manual page's OPTIONS section: the word after each .TP, with groff's \- as -.
    std::string page = test::ReadFile(GRAPPIX_MANPAGE);
    ASSERT_FALSE(page.empty()) << GRAPPIX_MANPAGE;
    size_t section = page.find(".SH OPTIONS\n"), next = page.find("\n.SH ", section + 1);
    ASSERT_NE(section, std::string::npos);
    std::string options = page.substr(section, next - section);
    std::string entries;
    for (size_t at = options.find(".TP\n"); at != std::string::npos; at = options.find(".TP\n", at + 1)) {
        size_t lineEnd = options.find('\n', at + 4);
        entries += Plain(options.substr(at + 4, lineEnd - at - 4)) + "\n";
    }
    std::set<std::string> inPage = OptionsIn(entries);

    std::set<std::string> inTable;
    for (const Option& o : Options()) {
        inTable.insert(o.name);
        if (o.shortName != nullptr) inTable.insert(o.shortName);
    }
    EXPECT_EQ(inHelp, inTable);
    EXPECT_EQ(inPage, inTable);
}

}  // namespace
}  // namespace grappix
