// The library's face: exactly the 132 names, failures that cross into the caller by type,
// entry points this build does not provide, and the life cycle rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <set>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

#if defined(_WIN32)
// The names of the DLL's export table, read from the library as it is loaded.
std::set<std::string> ExportedNames() {
    const auto* base = static_cast<const unsigned char*>(LibraryHandle());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* table = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < table->NumberOfNames; ++i)
        exported.insert(reinterpret_cast<const char*>(base + names[i]));
    return exported;
}
#else
std::set<std::string> ExportedNames() {
    std::string command = std::string("nm -D --defined-only ") + BRISEL_LIBRARY_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    std::set<std::string> names;
    if (pipe == nullptr) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        size_t space = text.rfind(' ');
        names.insert(space == std::string::npos ? text : text.substr(space + 1));
    }
    pclose(pipe);
    return names;
}
#endif

}  // namespace

// Guards against a leaked helper, a C++ typeinfo, a missing entry point or an undocumented
// extension in the export table.
TEST(EngineExports, ExactlyThe132EntryPointsAndTheDocumentedExtensions) {
    std::set<std::string> expected(EntryNames().begin(), EntryNames().end());
    ASSERT_EQ(expected.size(), 132u);
    for (const std::string& name : ExtensionNames()) EXPECT_TRUE(expected.insert(name).second) << name;
    EXPECT_EQ(ExtensionNames().size(), size_t(BRISEL_EXTENSION_COUNT));
    EXPECT_EQ(ExportedNames(), expected);
    EXPECT_NO_THROW(Engine());  // every name resolves with dlsym
}

// Guards against an extension without its comment in the contract header: every extension is
// documented there as the 132 are.
TEST(EngineExports, EveryExtensionIsDocumentedInTheHeader) {
    std::string header = ReadText(BRISEL_HEADER_PATH);
    size_t table = header.find("#define BRISEL_EXTENSIONS(X)");
    size_t end = header.find("#define BRISEL_EXTENSION_COUNT");
    ASSERT_NE(table, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    std::string text = header.substr(table, end - table);
    // Each entry is preceded by a comment of its own: the line above ends one and is no entry.
    for (const std::string& name : ExtensionNames()) {
        size_t at = text.find(", " + name + ", (");
        ASSERT_NE(at, std::string::npos) << name;
        size_t lineStart = text.rfind('\n', at);
        size_t previousStart = text.rfind('\n', lineStart - 1);
        std::string above = text.substr(previousStart, lineStart - previousStart);
        EXPECT_NE(above.find("*/"), std::string::npos) << name << " has no comment above it";
        EXPECT_EQ(above.find("X("), std::string::npos) << name << " shares the comment of another entry";
    }
}

// Guards against failures that the game cannot catch by type (a second typeinfo, libc++).
TEST(EngineExports, FailureIsCaughtByTypeAcrossTheBoundary) {
    Sandbox box;
    bool caught = false;
    try {
        Engine().Stop("the run ends here");
    } catch (const BriselFailure& f) {
        caught = true;
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_USER));
        EXPECT_STREQ(f.Message(), "the run ends here");
    }
    EXPECT_TRUE(caught);
}

// Guards against an unprovided entry point that crashes or pretends to work.
TEST(EngineExports, NotProvidedEntriesRaiseWithTheirName) {
    Sandbox box;
    Api& e = Engine();
    int64_t size = 0;
    auto expectNotProvided = [](const char* name, auto call) {
        BriselFailure f = Failure(call);
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_NOT_PROVIDED)) << name;
        EXPECT_EQ(MessageOf(f), std::string(name) + ": not provided by this build");
    };
    expectNotProvided("ReadPackAll", [&] { e.ReadPackAll("a", "b", &size); });
    expectNotProvided("ReadFileAll", [&] { e.ReadFileAll("a", &size); });
    expectNotProvided("WriteFileAll", [&] { e.WriteFileAll("a", "x", 1); });
    expectNotProvided("LoadPackStream", [&] { e.LoadPackStream("a", "b"); });
    expectNotProvided("LoadFileStream", [&] { e.LoadFileStream("a", false); });
    expectNotProvided("ReadStream", [&] { e.ReadStream(nullptr, nullptr, 0); });
    expectNotProvided("ReadStreamStr", [&] { e.ReadStreamStr(nullptr); });
    expectNotProvided("WriteStreamFloat", [&] { e.WriteStreamFloat(nullptr, 1.0); });
    expectNotProvided("SaveSaveData", [&] { e.SaveSaveData("x", 1); });
    expectNotProvided("LoadSaveData", [&] { e.LoadSaveData(&size); });
    expectNotProvided("Flip", [&] { e.Flip(); });
    expectNotProvided("SetZBuf", [&] { e.SetZBuf(true); });
    expectNotProvided("LoadObj", [&] { e.LoadObj("a"); });
    expectNotProvided("MoveObjSRT", [&] { e.MoveObjSRT(nullptr, 1, 1, 1, 0, 0, 0, 0, 0, 0); });
    expectNotProvided("SetCamera", [&] { e.SetCamera(0, 0, 0, 0, 0, 1); });
    expectNotProvided("SetLight", [&] { e.SetLight(0, 0, 0, 0, 1, 1, 1, 10); });
    expectNotProvided("FreqSnd", [&] { e.FreqSnd(nullptr, 1.0); });
    expectNotProvided("PosSnd", [&] { e.PosSnd(nullptr); });
    expectNotProvided("SetPadCfg", [&] { e.SetPadCfg(0, nullptr, 0); });
    expectNotProvided("SetPadKey", [&] { e.SetPadKey(0, 0, 0); });
    expectNotProvided("PlayMovie", [&] { e.PlayMovie("a"); });
    expectNotProvided("PlayBGMCross", [&] { e.PlayBGMCross("a", 1.0); });
    expectNotProvided("StopBGMFade", [&] { e.StopBGMFade(1.0); });
}

// Guards against entry points that touch a window that does not exist yet.
TEST(EngineLifeCycle, WindowEntriesBeforeInitAreNotReady) {
    Sandbox box;
    Api& e = Engine();
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_NOT_READY));
    EXPECT_EQ(Failure([&] { e.LoadTex("a.vqtex"); }).Code(), uint32_t(BRISEL_FAIL_NOT_READY));
    EXPECT_EQ(Failure([&] { e.LoadSnd("a.ogg"); }).Code(), uint32_t(BRISEL_FAIL_NOT_READY));
    EXPECT_EQ(Failure([&] { e.DrawRect(0, 0, 1, 1, 1, 1, 1, 1); }).Code(), uint32_t(BRISEL_FAIL_NOT_READY));
    BriselFailure f = Failure([&] { e.Clear(0, 0, 0); });
    EXPECT_NE(MessageOf(f).find("Clear"), std::string::npos);
}

// Guards against a crash when the game shuts down after a failed binding or shuts down twice.
TEST(EngineLifeCycle, FreeWithoutInitAndTwiceIsSafe) {
    Sandbox box;
    Engine().Free();
    Engine().Free();
    InitEngine();
    Engine().Free();
    Engine().Free();
    InitEngine();  // and the engine opens again after a Free
    EXPECT_EQ(Engine().Act(), 1);
    Engine().Free();
}

// Guards against handles freed blindly: a stale or foreign pointer must be refused.
TEST(EngineLifeCycle, FreeMemRefusesUnknownPointersAndDeadHandles) {
    Sandbox box;
    Api& e = Engine();
    void* block = e.AllocMem(64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(block)[63], 0);  // zeroed
    e.FreeMem(block);
    EXPECT_EQ(Failure([&] { e.FreeMem(block); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    int local = 0;
    EXPECT_EQ(Failure([&] { e.FreeMem(&local); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    e.FreeMem(nullptr);  // ignored

    BriselRng* rng = e.MakeRndSeed(7);
    e.FreeMem(rng);
    EXPECT_EQ(Failure([&] { e.GetRnd(rng, 0, 9); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    EXPECT_EQ(Failure([&] { e.GetTexW(nullptr); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
}

// Guards against the exception place left empty (or overwritten) when the engine raises.
TEST(EngineLifeCycle, RaiseFillsAnEmptyExceptionPlaceOnly) {
    Sandbox box;
    uintptr_t place = 0;
    InitEngine(&place);
    Api& e = Engine();
    Failure([&] { e.LoadTex("missing.vqtex"); });
    EXPECT_NE(place, 0u);
    // The address lies in this test program, where the call came from, not in the library.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(place), &info), 0);
    Dl_info library{};
    dladdr(reinterpret_cast<void*>(e.Act), &library);
    EXPECT_NE(info.dli_fbase, library.dli_fbase);

    place = 0x1234;  // a failure already travelling keeps its origin
    Failure([&] { e.Stop("again"); });
    EXPECT_EQ(place, 0x1234u);
    e.Free();
}

// Guards against a closed window that the game never hears of, or hears of only once.
TEST(EngineLifeCycle, ClosingTheWindowQuitsTheCurrentAndEveryLaterAct) {
    Sandbox box;
    // An icon group as the game hands it over, with one unusable image among the good ones.
    std::vector<uint32_t> small(16 * 16, 0xFFFF8000), large(64 * 64, 0xFFFF8000);
    BriselIconImage images[] = {{16, 16, small.data()}, {64, 64, large.data()}, {32, 32, nullptr}};
    BriselIcon icon{3, images};
    BriselInitRecord record{};
    record.flag = 1;
    record.icon = &icon;
    record.title = "Grappix ver1.00";
    Api& e = Engine();
    e.Init(&record);
    e.Act();
    std::raise(SIGINT);  // SDL turns an interrupt into the same quit event as the close button
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
    EXPECT_EQ(Failure([&] { e.Act(); }).Code(), uint32_t(BRISEL_FAIL_QUIT));
    e.Free();
}

// Guards against debug chatter on a player's terminal, or none when it was asked for.
TEST(EngineLifeCycle, DebugLogOnlyUnderBriselDebug) {
    Sandbox box;
    Api& e = Engine();
    InitEngine();
    ::testing::internal::CaptureStderr();
    e.DbgLog("SoundLoad:chaser.ogg");
    e.DbgErrMsg("always shown");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "always shown\n");
    e.Free();
    setenv("BRISEL_DEBUG", "1", 1);
    InitEngine();
    ::testing::internal::CaptureStderr();
    e.DbgLog("SoundLoad:chaser.ogg");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "SoundLoad:chaser.ogg\n");
    e.Free();
}
