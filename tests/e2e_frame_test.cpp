// How the program binds its engine, starts, and ends: run as a child process, with stand-in
// engine libraries that lack a name or end the run in each of the ways a run can end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "frame/program.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;

// A folder holding the game and a Data/Brisel.vqd that is the given library (none when empty).
struct RunFolder {
    TempDir dir;
    std::string game = test::PlaceGame(GRAPPIX_EXE, dir);
    explicit RunFolder(const std::string& library) {
        std::filesystem::create_directory(dir / "Data");
        if (!library.empty()) std::filesystem::create_symlink(library, dir / "Data/Brisel.vqd");
    }
    ProcessResult Run(std::vector<std::pair<std::string, std::string>> env) {
        env.emplace_back("STUB_LOG", dir / "stub.log");
        return RunProcess({game}, dir.Path(), env, 60.0);
    }
    std::string StubLog() { return ReadFile(dir / "stub.log"); }
};

std::string Stub(const char* name) { return std::string(GRAPPIX_STUB_DIR) + "/" + name + ".vqd"; }

TEST(ProgramBindingTest, AbsentLibraryEndsWithStatusOneAndTheLoadersText) {
    // Guards against a missing engine being reported as success, or a crash.
    RunFolder folder("");
    ProcessResult r = folder.Run({});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Data/Brisel.vqd"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3001"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(ProgramBindingTest, TheWorkingFoldersDataNeverDecidesWhatCodeRuns) {
    // Guards against the game loading Data/Brisel.vqd (and assets) from the folder it was started
    // in, not its own; relative names in the environment still mean the folder it was started in.
    RunFolder folder(Stub("stub_complete"));
    test::Env env = test::HeadlessGameEnv(folder.dir, "unused");
    env.insert(env.end(), {{"BRISEL_TRACE", "trace.txt"}, {"BRISEL_FRAMES", "3"}, {"STUB_LOG", "stub.log"}});
    ProcessResult r = RunProcess({GRAPPIX_EXE}, folder.dir.Path(), env, 20.0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(folder.dir / "stub.log")) << "the stand-in library was loaded";
    EXPECT_NE(ReadFile(folder.dir / "trace.txt").find("\nframe 3\n"), std::string::npos);
}

TEST(ProgramBindingTest, MissingNameStopsBindingAndFreeIsCalledOnlyIfFound) {
    // Init is the first name: nothing is bound, so Free must not be called (and Init never is).
    {
        RunFolder folder(Stub("stub_without_init"));
        ProcessResult r = folder.Run({{"STUB_QUIT_AT", "1"}});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("entry point Init is missing"), std::string::npos) << r.err;
        EXPECT_EQ(folder.StubLog(), "");
    }
    // Pad comes after Free: Free was bound before the failure, so shutdown calls it; Init never
    // ran, because binding stopped first.
    {
        RunFolder folder(Stub("stub_without_pad"));
        ProcessResult r = folder.Run({{"STUB_QUIT_AT", "1"}});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("entry point Pad is missing"), std::string::npos) << r.err;
        EXPECT_EQ(folder.StubLog(), "free\n");
    }
}

TEST(ProgramBindingTest, AnEngineWithoutTheExtensionsBindsWithEveryExtensionNull) {
    // Guards against the extensions turning into requirements: an engine of the 132 names
    // alone must bind, with its extensions left null for the game to do without.
    EngineLibrary library;
    EngineTable table;
    library.Load(Stub("stub_complete"));
    library.Bind(table);
    EXPECT_NE(table.Init, nullptr);
    EXPECT_NE(table.StopBGMFade, nullptr);
    EXPECT_EQ(table.EngineVersion, nullptr);
    EXPECT_EQ(table.Key, nullptr);
    EXPECT_EQ(table.GetWindowSize, nullptr);
    library.Unload();
#ifdef GRAPPIX_HAVE_ENGINE
    // The real engine has them all.
    library.Load(std::string(GRAPPIX_RUN_DIR) + "/Data/Brisel.vqd");
    library.Bind(table);
    auto* slots = reinterpret_cast<void**>(&table);
    for (int i = 0; i < BRISEL_EXTENSION_COUNT; ++i)
        EXPECT_NE(slots[BRISEL_ENTRY_POINT_COUNT + i], nullptr) << kExtensionNames[i];
    library.Unload();
#endif
}

TEST(ProgramExitTest, ClosingTheWindowEndsWithStatusZeroAfterInitAndFree) {
    RunFolder folder(Stub("stub_complete"));
    ProcessResult r = folder.Run({{"STUB_QUIT_AT", "5"}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(folder.StubLog(), "init\nfree\n");
}

TEST(ProgramExitTest, AnyOtherFailureEndsWithStatusOneAndOneLineNamingIt) {
    // Guards against a failure being reported as success: the run must say what went wrong.
    RunFolder folder(Stub("stub_complete"));
    ProcessResult r = folder.Run({{"STUB_FAIL_AT", "3"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error 1001"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("stub.vqtex: not a PNG file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("place"), std::string::npos) << "the place is for the debug log: " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(folder.StubLog(), "init\nfree\n");  // the shutdown sequence still ran
}

TEST(ProgramExitTest, TheFailureLineIsSafeOnATerminalWholeAndKeepsItsFault) {
    // Guards against raw control bytes reaching the terminal, a NUL cutting the line, a long
    // file name pushing the fault out of the engine's capped message, and the place showing.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"Data/a.vqtex: name \x1b]0;pwned\x07\r\n", {"name \\x1b]0;pwned\\x07\\x0d\\x0a"}},
        {"in.txt:3: unknown key 'A" + std::string(1, '\0') + "B' here", {"'A\\x00B' here"}},
        {"/home/" + std::string(600, 'p') + "/run.replay: cut short at line 7",
         {": error 1001: /home/ppp", "...", "ppp/run.replay: cut short at line 7"}},
        {"\x7f", {"\\x7f"}},
    };
    for (const auto& [message, shows] : rows) {
        BriselFailure failure(1001, message.data(), message.size());
        EXPECT_LT(std::string(failure.Message()).size(), 496u);
        // The engine's capped message, and the game's own (not capped), made safe the same way.
        for (const std::string& text : {std::string(failure.Message()), message}) {
            const std::string line = DescribeFailure({1001, text, true, 0x1234});
            EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return c >= 0 && c < 0x20; }))
                << line;
            EXPECT_EQ(line.find("place"), std::string::npos) << line;
            for (const std::string& part : shows)
                EXPECT_TRUE(line.find(part) != std::string::npos || (text == message && part != shows.back()))
                    << line;
        }
    }
}

TEST(ProgramExitTest, InvalidFloatingPointOperationEndsWithStatusOneAndThePlace) {
    // 0/0 under the game's setting traps: the run must end with a message, not a core dump or
    // a handler that returns into the same instruction for ever.
    RunFolder folder(Stub("stub_complete"));
    ProcessResult r = folder.Run({{"STUB_FPE_AT", "2"}});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("invalid floating-point operation"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("place 0x"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("place 0x0000000000000000"), std::string::npos) << r.err;
}

TEST(ProgramExitTest, TheGameTrapsInvalidOperationsAndTruncatesTowardZero) {
    // The start-up setting itself: invalid operation unmasked, rounding toward zero.
    uint32_t saved = ReadMxcsr();
    SetGameFloatingPoint();
    EXPECT_EQ(ReadMxcsr() & 0xFFC0u, 0x7F00u);
    volatile double a = 1.0, b = 10.0;
    volatile double tenth = a / b;
    volatile double minus = -2.7;
    int64_t truncated = static_cast<int64_t>(minus);
    WriteMxcsr(saved);
    EXPECT_EQ(truncated, -2);
    EXPECT_LT(tenth, 0.1);  // rounded toward zero: just below the nearest double, which is above
}

#ifdef GRAPPIX_HAVE_ENGINE
// The real library, bound in this process the way the program binds it.
class RealEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(chdir(GRAPPIX_RUN_DIR), 0);
        library.Load("Data/Brisel.vqd");
        library.Bind(Engine());
        BriselInitRecord init{};
        init.flag = 1;
        init.exceptionPlace = &ExceptionPlace();
        init.title = "Grappix test";
        Engine().Init(&init);
    }
    void TearDown() override {
        Engine().Free();
        Engine() = EngineTable{};
        library.Unload();
        ExceptionPlace() = 0;
    }
    EngineLibrary library;
};

TEST_F(RealEngineTest, SoundClipSwallowsAFailureRaisedInsideTheLibrary) {
    // The failure is thrown inside the shared object and must be caught by type in the game;
    // the place the library recorded for it goes with it.
    ExceptionPlace() = 0;
    SoundClip clip;
    EXPECT_NO_THROW(clip.Load("no-such-sound.ogg", 0.5, true));
    EXPECT_FALSE(clip.IsLoaded());
    EXPECT_EQ(ExceptionPlace(), 0u);
    clip.Play();
}

TEST_F(RealEngineTest, TextureFailureReachesTheGameAsTheFailureTypeNamingTheFile) {
    ExceptionPlace() = 0;
    try {
        LoadTex("no-such-texture.vqtex");
        FAIL() << "a missing texture must raise";
    } catch (const BriselFailure& failure) {
        EXPECT_EQ(failure.Code(), static_cast<uint32_t>(BRISEL_FAIL_LOAD));
        ASSERT_NE(failure.Message(), nullptr);
        EXPECT_NE(std::string(failure.Message()).find("no-such-texture.vqtex"), std::string::npos);
    }
    EXPECT_NE(ExceptionPlace(), 0u);  // the raising site recorded where it came from
}

TEST(RealProgramTest, RunsHeadlessUntilTheFrameLimitAndEndsWithStatusZero) {
    ProcessResult r = RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR,
                                 {{"SDL_VIDEODRIVER", "dummy"},
                                  {"SDL_AUDIODRIVER", "dummy"},
                                  {"BRISEL_FRAMES", "30"},
                                  {"BRISEL_NOPACE", "1"}},
                                 120.0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.signal, 0);
}
#endif

}  // namespace
}  // namespace grappix
