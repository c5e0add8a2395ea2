// The settings file: what it reads and writes, what it keeps that it does not know, and how it
// takes a damaged file or a folder it may not write to.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "desktop/atomic_file.hpp"
#include "desktop/settings.hpp"
#include "desktop/xdg_dirs.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

Settings Load(SettingsFile& file, std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> w;
    Settings s = file.Load(w);
    if (warnings != nullptr) *warnings = w;
    return s;
}

TEST(SettingsFileTest, MissingFileGivesTheDefaultsAndRoundTripsEveryKey) {
    // Guards against a first run that warns or fails, and a key written but not read back.
    TempDir dir;
    SettingsFile file(dir / "new/folder/settings.ini");
    std::vector<std::string> warnings;
    EXPECT_EQ(Load(file, &warnings), Settings{});
    EXPECT_TRUE(warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "new")) << "reading writes nothing";

    Settings changed{37, 0, true, true, 1280, 720, false, true, "Ada L", "http://board.example:8080/"};
    ASSERT_EQ(file.Save(changed), "");
    SettingsFile again(dir / "new/folder/settings.ini");
    EXPECT_EQ(Load(again, &warnings), changed);
    EXPECT_TRUE(warnings.empty());
    std::string text = ReadFile(dir / "new/folder/settings.ini");
    EXPECT_NE(text.find("music-volume = 37\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mute = true\n"), std::string::npos) << text;
    EXPECT_NE(text.find("rumble = false\n"), std::string::npos) << text;
#if !defined(_WIN32)  // no modes of this kind on Windows
    struct stat st {};
    ASSERT_EQ(stat((dir / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "new folders are the user's own";
#endif
}

TEST(SettingsFileTest, UnknownKeysCommentsAndSectionsAreKeptInTheirPlaces) {
    // Guards against a newer version's keys, or the player's notes, lost on the next save.
    TempDir dir;
    WriteFile(dir / "settings.ini",
              "# my notes\n"
              "language = fr\n"
              "music-volume = 40\n"
              "\n"
              "[later]\n"
              "; another comment\n"
              "controller-rumble = off\n");
    SettingsFile file(dir / "settings.ini");
    Settings s = Load(file);
    EXPECT_EQ(s.musicVolume, 40);
    s.musicVolume = 90;
    s.mute = true;
    ASSERT_EQ(file.Save(s), "");
    EXPECT_EQ(ReadFile(dir / "settings.ini"),
              "# my notes\n"
              "language = fr\n"
              "music-volume = 90\n"
              "\n"
              "[later]\n"
              "; another comment\n"
              "controller-rumble = off\n"
              "effects-volume = 100\n"
              "mute = true\n"
              "fullscreen = false\n"
              "window-width = 1600\n"
              "window-height = 900\n"
              "rumble = true\n"
              "board = false\n"
              "board-name = \n"
              "board-address = \n");
    // Saving twice changes nothing more.
    ASSERT_EQ(file.Save(s), "");
    SettingsFile again(dir / "settings.ini");
    EXPECT_EQ(Load(again), s);
    ASSERT_EQ(again.Save(s), "");
    std::string text = ReadFile(dir / "settings.ini");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
}

TEST(SettingsFileTest, MalformedLinesWarnOnceEachNamingFileAndLineAndKeepTheDefault) {
    // Guards against a damaged line silently taken, taking the game down, or hiding where it is.
    TempDir dir;
    const std::string path = dir / "settings.ini";
    WriteFile(path,
              "music-volume = loud\n"
              "effects-volume = 50\n"
              "just some words\n"
              "mute = maybe\n"
              "fullscreen = YES\r\n"
              "window-width = 10\n"
              "window-height = 700\n"
              "effects-volume = 101\n");
    SettingsFile file(path);
    std::vector<std::string> warnings;
    Settings s = Load(file, &warnings);
    EXPECT_EQ(s.musicVolume, 100);
    EXPECT_EQ(s.effectsVolume, 50) << "a bad later line keeps the good earlier value";
    EXPECT_FALSE(s.mute);
    EXPECT_TRUE(s.fullscreen);
    EXPECT_EQ(s.windowWidth, 1600);
    EXPECT_EQ(s.windowHeight, 700);
    EXPECT_EQ(warnings,
              (std::vector<std::string>{
                  path + ":1: music-volume must be a whole number from 0 to 100, not 'loud'; using 100",
                  path + ":3: not a 'key = value' line: 'just some words'",
                  path + ":4: mute must be true or false, not 'maybe'; using false",
                  path + ":6: window-width must be a whole number of pixels from 200 to 16384, not "
                         "'10'; using 1600",
                  path + ":8: effects-volume must be a whole number from 0 to 100, not '101'; using 100",
              }));
    std::string before = ReadFile(path);
    // Reading alone never rewrites; a save replaces the bad values and keeps the rest.
    EXPECT_EQ(ReadFile(path), before);
    ASSERT_EQ(file.Save(s), "");
    std::string after = ReadFile(path);
    EXPECT_NE(after.find("music-volume = 100\n"), std::string::npos) << after;
    EXPECT_NE(after.find("just some words\n"), std::string::npos) << after;
    SettingsFile again(path);
    Load(again, &warnings);
    EXPECT_EQ(warnings.size(), 1u) << "only the line that is not ours stays";
}

#if !defined(_WIN32)
// Runs fn as a user who may not write where root may: root ignores folder permissions, so
// under root fn runs in a child process that has given them up. Returns what fn returned.
std::string AsOrdinaryUser(const std::function<std::string()>& fn) {
    if (geteuid() != 0) return fn();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        std::string out = fn();
        ssize_t n = write(pipeFds[1], out.data(), out.size());
        _exit(n == ssize_t(out.size()) ? 0 : 3);
    }
    close(pipeFds[1]);
    std::string out;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "the child failed";
}
#endif

TEST(SettingsFileTest, UnwritableFolderReportsWhyAndLeavesTheOldFile) {
    // Guards against a save that pretends to succeed, or a half-written file, where the
    // folder refuses writing.
#if defined(_WIN32)
    GRAPPIX_POSIX_ONLY("a folder's mode bits do not stop writing in it");
#else
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    std::filesystem::create_directory(dir / "locked");
    WriteFile(dir / "locked/settings.ini", "music-volume = 20\n");
    chmod((dir / "locked/settings.ini").c_str(), 0644);
    chmod((dir / "locked").c_str(), 0555);
    const std::string path = dir / "locked/settings.ini";
    std::string error = AsOrdinaryUser([&] {
        SettingsFile file(path);
        std::vector<std::string> warnings;
        Settings s = file.Load(warnings);
        if (s.musicVolume != 20 || !warnings.empty()) return std::string("not read");
        s.musicVolume = 70;
        return file.Save(s);
    });
    chmod((dir / "locked").c_str(), 0700);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), "music-volume = 20\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "locked"), {}), 1)
        << "no temporary left";
#endif
}

TEST(SettingsFileTest, AFolderThatIsAFileIsReportedNotCrashedOn) {
    // Guards against a settings path through a plain file (works even as root, unlike a
    // read-only folder).
    TempDir dir;
    WriteFile(dir / "grappix", "not a folder");
    SettingsFile file(dir / "grappix/settings.ini");
    Settings s = Load(file);
    std::string error = file.Save(s);
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
    EXPECT_NE(SettingsFile("").Save(s).find("neither XDG_CONFIG_HOME nor HOME"), std::string::npos)
        << "no path: nothing written in the working folder";
}

TEST(SettingsFileTest, AFileThatCannotBeReadIsNeverReplaced) {
    // Guards against losing a player's file we could not read: better unsaved than overwritten.
    TempDir dir;
    std::filesystem::create_directory(dir / "settings.ini");  // a folder where the file should be
    SettingsFile file(dir / "settings.ini");
    std::vector<std::string> warnings;
    EXPECT_EQ(Load(file, &warnings), Settings{});
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(dir / "settings.ini"), std::string::npos);
    EXPECT_NE(file.Save(Settings{}), "");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "settings.ini"));
}

TEST(SettingsFileTest, TwoGamesAtOnceKeepEachOthersChanges) {
    // Guards against the last game to save undoing what another changed (mute set in one game).
    TempDir dir;
    WriteFile(dir / "settings.ini", "# mine\nmusic-volume = 50\n");
    SettingsFile one(dir / "settings.ini"), other(dir / "settings.ini");
    Settings a = Load(one), b = Load(other), written;
    a.mute = true;
    ASSERT_EQ(one.Save(a), "");
    b.musicVolume = 20;
    ASSERT_EQ(other.Save(b, &written), "");
    b.mute = true;
    EXPECT_EQ(written, b) << "the saving game learns what the file holds";
    EXPECT_EQ(Load(one), b);
    EXPECT_EQ(ReadFile(dir / "settings.ini").rfind("# mine\nmusic-volume = 20\n", 0), 0u);
}

TEST(SettingsFileTest, ReadingNeverHangsOrFloodsAndSkipsAByteOrderMark) {
    // Guards against a FIFO blocking the start, a device or a huge file read into memory, a BOM
    // dropping the first setting, a screenful of warnings, and leftovers of killed saves piling up.
    TempDir dir;
    WriteFile(dir / "huge", std::string(65 * 1024, '#'));
    std::vector<std::pair<std::string, std::string>> refused = {
        {dir / "huge", "larger than 64 KiB, too large for a settings file"}};
#if !defined(_WIN32)  // Windows has neither FIFOs nor /dev
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    refused.insert(refused.end(), {{dir / "fifo", "a FIFO, not a regular file"},
                                   {"/dev/zero", "a device, not a regular file"}});
#endif
    for (const auto& [path, fault] : refused) {
        SettingsFile file(path);
        std::vector<std::string> warnings;
        EXPECT_EQ(Load(file, &warnings), Settings{});
        EXPECT_EQ(warnings, std::vector<std::string>{path + ": cannot read the settings (" + fault +
                                                     "); using the defaults"});
    }
    WriteFile(dir / "settings.ini", "\xEF\xBB\xBFmusic-volume = 20\na\nb\nc\nd\ne\nf\ng\n");
    for (const char* name : {"settings.ini.Ab12Cd", "settings.ini.Fresh1"}) WriteFile(dir / name, "");
    std::filesystem::last_write_time(
        dir / "settings.ini.Ab12Cd",
        std::filesystem::file_time_type::clock::now() - std::chrono::seconds(61));
    SettingsFile file(dir / "settings.ini");
    std::vector<std::string> warnings;
    EXPECT_EQ(Load(file, &warnings).musicVolume, 20);
    EXPECT_EQ(warnings.size() == 6 ? warnings.back() : "", dir / "settings.ini: and 2 more");
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini.Ab12Cd"));
    EXPECT_TRUE(std::filesystem::exists(dir / "settings.ini.Fresh1")) << "a save going on now";
}

TEST(AtomicFileTest, ReplacesWholeKeepsPermissionsAndLeavesNoTemporary) {
    // Guards against a rewrite that truncates first (a crash would leave an empty file) or
    // opens the player's file to others.
    TempDir dir;
    const std::string path = dir / "records.ini";
    WriteFile(path, "old contents that are longer than the new\n");
    // 0640, not the 0600 every temporary file is made with: the mode must be carried over.
    chmod(path.c_str(), 0640);
    ASSERT_EQ(WriteFileAtomically(path, "new\n"), "");
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_NE(WriteFileAtomically(dir / "missing/records.ini", "x"), "");
#if !defined(_WIN32)  // Windows has neither modes of this kind nor a limit of a file's size
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A write failing once the temporary file is made (a full disk): the old file whole, no temporary.
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool failed = !WriteFileAtomically(path, std::string(4096, 'x')).empty();
        _exit(failed ? 0 : 1);
    }
    int status = -1;
    EXPECT_EQ(waitpid(child, &status, 0) == child ? status : -1, 0)
        << "the write past the limit was not reported";
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "a temporary file was left";
#endif
}

// ---- where the files live ---------------------------------------------------------------------

class XdgDirsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            saved.emplace_back(name, v != nullptr ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (auto& [name, value] : saved)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(XdgDirsTest, VariablesWhenAbsoluteElseTheHomeFolderDefaults) {
    // Guards against a relative or empty XDG variable being used (the rules say ignore it),
    // or the wrong default for a kind.
#if defined(_WIN32)
    GRAPPIX_POSIX_ONLY("the folders are APPDATA's and LOCALAPPDATA's there");
#endif
    setenv("HOME", "/home/ada", 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(GameFolder(XdgKind::Config), "/home/ada/.config/grappix");
    EXPECT_EQ(GameFolder(XdgKind::Data), "/home/ada/.local/share/grappix");
    EXPECT_EQ(GameFolder(XdgKind::State), "/home/ada/.local/state/grappix");
    setenv("XDG_CONFIG_HOME", "/tmp/cfg/", 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(GameFolder(XdgKind::Config), "/tmp/cfg/grappix");
    EXPECT_EQ(GameFolder(XdgKind::Data), "/home/ada/.local/share/grappix");
    EXPECT_EQ(GameFolder(XdgKind::State), "/home/ada/.local/state/grappix");
    EXPECT_EQ(XdgHome(XdgKind::Config), "/tmp/cfg/");
}

}  // namespace
}  // namespace grappix
