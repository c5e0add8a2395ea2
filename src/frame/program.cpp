#include "frame/program.hpp"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include "desktop/board_files.hpp"
#include "desktop/replay_files.hpp"
#include "desktop/settings.hpp"
#include "desktop/terminal_line.hpp"
#include "desktop/xdg_dirs.hpp"
#include "frame/board_link.hpp"
#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "frame/replay_link.hpp"
#include "frame/session.hpp"
#include "frame/verify_run.hpp"
#include "records/record_book.hpp"

#if defined(_WIN32)
#include <windows.h>

#include "win_posix.hpp"
#else
#include <dlfcn.h>
#endif

namespace grappix {

namespace {

// Fills an exception record from whatever was caught and empties the exception place, so the
// next failure records its own origin.
ExceptionRecord RecordCurrentFailure() {
    ExceptionRecord record;
    try {
        throw;
    } catch (const BriselFailure& failure) {
        record.code = failure.Code();
        if (failure.Message() != nullptr) {
            record.message = failure.Message();
            record.hasMessage = true;
        }
    } catch (const std::exception& e) {
        record.code = BRISEL_FAIL_SYSTEM;
        record.message = e.what();
        record.hasMessage = true;
    } catch (...) {
        record.code = BRISEL_FAIL_SYSTEM;
    }
    record.place = ExceptionPlace();
    ExceptionPlace() = 0;
    return record;
}

}  // namespace

int ExitStatusFor(const ExceptionRecord& record) { return record.code == BRISEL_FAIL_QUIT ? 0 : 1; }

std::string DescribeFailure(const ExceptionRecord& record) {
    if (ExitStatusFor(record) == 0) return {};
    // No display is the player's situation, not a fault: the engine's sentence says what to do.
    // So is a replay that cannot be played: the line names the file and what is wrong with it.
    if ((record.code == BRISEL_FAIL_NO_DISPLAY || record.code == BRISEL_FAIL_REPLAY) && record.hasMessage)
        return "grappix: " + Printable(record.message);
    // Where it was raised is for the debug log (ReportFailure), not for the player.
    return "grappix: error " + std::to_string(record.code) + ": " +
           (record.hasMessage ? Printable(record.message) : std::string("(no message)"));
}

namespace {

std::string SettingsPath(const CommandLine& commandLine) {
    if (!commandLine.verifyFile.empty()) return {};  // a verification reads and writes no settings
    std::string folder = GameFolder(XdgKind::Config);
    return folder.empty() ? folder : folder + "/settings.ini";
}

void Warn(const std::string& text) { WarnLine(text); }

// The failure's line for the player; with BRISEL_DEBUG=1, a second line with where it was raised.
void ReportFailure(const ExceptionRecord& record) {
    std::string line = DescribeFailure(record);
    if (line.empty()) return;
    std::fprintf(stderr, "%s\n", line.c_str());
    const char* debug = std::getenv("BRISEL_DEBUG");
    if (debug != nullptr && std::string(debug) == "1")
        std::fprintf(stderr, "grappix: (debug) raised at place 0x%016" PRIxPTR "\n", record.place);
}

// The engine takes its replay settings from the environment at Init.
ReplayPlan StartReplays(const CommandLine& commandLine) {
    ReplayPlan plan = PlanReplays(
        commandLine, [](const char* name) { return std::getenv(name); }, std::time(nullptr));
    if (!plan.error.empty()) return plan;
    if (!plan.warning.empty()) Warn(plan.warning);
    if (!plan.replay.empty()) setenv("BRISEL_REPLAY", plan.replay.c_str(), 1);
    if (plan.force) setenv("BRISEL_REPLAY_FORCE", "1", 1);
    if (!plan.record.empty()) setenv("BRISEL_RECORD", plan.record.c_str(), 1);
    return plan;
}

// A record's replay left as a .part by a game killed while recording it becomes a replay that
// plays up to its last check.
void RecoverRecordReplays() {
    std::vector<std::string> named;
    ReplaysNamedByRecords(RecordsPath(), named);
    for (const std::string& replay : named)
        if (std::string why = RecoverCutReplay(replay); !why.empty()) Warn(why);
}

// The replays of the records are kept whatever their age; while which ones they are is not
// known (a records file that could not be read whole), nothing is removed.
void PruneOldReplays(const ReplayPlan& plan) {
    std::vector<std::string> kept;
    if (!plan.automatic || !ReplayFilesOfRecords(kept)) return;
    for (const std::string& problem : PruneReplays(plan.folder, kReplaysKept, kept, std::time(nullptr)))
        Warn(problem);
}

}  // namespace

int PrintVersion(const char* enginePath) {
    std::printf("%s\n", GameVersionLine().c_str());
    EngineLibrary library;
    EngineTable table;
    try {
        library.Load(enginePath);
        library.Bind(table);
    } catch (const BriselFailure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "grappix: the engine library cannot be loaded: %s\n",
                     failure.Message() != nullptr ? failure.Message() : enginePath);
        ExceptionPlace() = 0;
        return 1;
    }
    if (table.EngineVersion != nullptr)
        std::printf("%s\n", table.EngineVersion());
    else
        std::printf("engine library %s (it does not report its version)\n", enginePath);
    return 0;
}

int Main(const std::vector<std::string>& args, const char* enginePath, const BriselIcon* icon,
         SceneLoop scenes) {
    CommandLine line = ParseCommandLine(args);
    switch (line.action) {
    case CommandLine::Action::Error:
        std::fprintf(stderr, "%s\n", UsageErrorLine(line).c_str());
        return kUsageStatus;
    case CommandLine::Action::Help: std::fputs(HelpText(SettingsPath(line)).c_str(), stdout); return 0;
    case CommandLine::Action::Version: return PrintVersion(enginePath);
    case CommandLine::Action::Play: break;
    }
    if (!line.submitFile.empty()) return SubmitToBoard(line, enginePath);
    if (line.watchBoard) {
        // The run is fetched from the board, then watched as --replay watches a file.
        std::string address = line.boardAddress;
        if (address.empty() && !SettingsPath(line).empty()) {
            std::vector<std::string> ignored;
            address = SettingsFile(SettingsPath(line)).Load(ignored).boardAddress;
        }
        const std::string folder = GameFolder(XdgKind::State);
        std::string path;
        std::string why = FetchBoardRun(enginePath, address, *line.watchBoard, line.watchRank,
                                        folder.empty() ? std::string() : folder + "/board-runs", path);
        if (!why.empty()) {
            Warn(why);
            return 1;
        }
        line.replayFile = path;
    }
    return RunProgram(enginePath, icon, line, scenes);
}

int RunProgram(const char* enginePath, const BriselIcon* icon, const CommandLine& commandLine,
               SceneLoop scenes) {
    // A verification touches none of the player's files and prints its one JSON line.
    const bool verifying = !commandLine.verifyFile.empty();
    int64_t verifyEnd = 0;
    RunProof proof(&EngineStep);
    if (verifying) {
        if (std::string fault = PrepareVerify(commandLine.verifyFile, verifyEnd); !fault.empty()) {
            std::printf("%s\n", proof.Json(GameVersion(), fault, 0).c_str());
            return 1;
        }
    } else {
        RecoverRecordReplays();
    }
    // --watch-best needs its record and replay before the engine starts: it plays that replay.
    std::optional<int64_t> watchFrom;
    if (commandLine.watchBest) {
        int64_t step = 0;
        std::string note;
        std::string why = PrepareWatch(RecordsPath(), *commandLine.watchBest, step, &note);
        if (!why.empty()) {
            Warn(why);
            return 1;
        }
        if (!note.empty()) Warn(note);
        watchFrom = step;
    }
    // Before the window opens: a --record that would write over something ends the run here.
    ReplayPlan replays = verifying ? ReplayPlan{} : StartReplays(commandLine);
    if (!replays.error.empty()) {
        Warn(replays.error);
        return kUsageStatus;
    }

    SetGameFloatingPoint();
    InstallFaultHandlers();

    EngineLibrary library;
    std::unique_ptr<AppState> app;
    std::unique_ptr<Session> session;
    std::unique_ptr<RecordBook> records;
    std::unique_ptr<BoardLink> board;
    bool initialised = false;
    int status = 0;
    try {
        library.Load(enginePath);
        library.Bind(Engine());

        app = std::make_unique<AppState>();
        SetFrameCount(0);
        app->title = kAppTitle;
        session = std::make_unique<Session>(SettingsPath(commandLine), commandLine);
        session->ApplyBeforeInit();

        BriselInitRecord init{};
        init.buildConstant = kBuildConstant;
        init.flag = 1;
#if defined(_WIN32)
        init.module = GetModuleHandleW(nullptr);
#else
        init.module = dlopen(nullptr, RTLD_NOW);
#endif
        init.icon = icon;
        init.exceptionPlace = &ExceptionPlace();
        std::string title = app->title + "";
        init.title = title.c_str();
        Engine().Init(&init);
        initialised = true;
        // The game's version goes into the replay's version line.
        if (Engine().SetReplayNote != nullptr) Engine().SetReplayNote("version", GameVersion());
        session->ApplyAfterInit();
        SetActiveSession(session.get());
        if (!verifying) {
            board = std::make_unique<BoardLink>(BoardQueueFolder(), BoardKeyPath());
            SetActiveBoard(board.get());
        }
        // The run's records; made afresh when the scenes start again, as the game left them is
        // not as they started.
        auto openRecords = [&] {
            SetActiveRecords(nullptr);
            records = OpenRunRecords(verifying ? std::string() : RecordsPath(), &Warn);
            if (verifying) records->watcher = &proof;
            if (watchFrom) records->WatchFrom(*watchFrom);
            SetActiveRecords(records.get());
        };
        if (verifying && !ReplayingBack())
            throw BriselFailure(BRISEL_FAIL_REPLAY, "the engine library plays no replays");
        openRecords();
        // An engine that cannot play replays would hand the run to the devices instead.
        if (watchFrom && !ReplayingBack()) {
            Warn("--watch-best: the engine library did not play the replay back (" +
                 std::string(std::getenv("BRISEL_REPLAY") != nullptr ? std::getenv("BRISEL_REPLAY") : "") +
                 ")");
            status = 1;
        }

        // The scenes, played again from their start when a replay's viewer skips back: the
        // engine returns to its first step, the game makes its run's state afresh.
        const bool restartable = Engine().RestartScenes != nullptr;
        if (status == 0 && restartable) Engine().RestartScenes();
        while (status == 0) {
            try {
                scenes();
                break;
            } catch (const BriselFailure& failure) {
                if (!restartable || failure.Code() != BRISEL_FAIL_RESTART) throw;
            }
            ExceptionPlace() = 0;
            Engine().RestartScenes();
            SetFrameCount(0);
            session->Restart();
            openRecords();
        }
    } catch (...) {
        ExceptionRecord record = RecordCurrentFailure();
        status = ExitStatusFor(record);
        if (verifying) {
            const int64_t step = initialised ? EngineStep() : 0;
            const std::string fault = VerifyFault(record, step, verifyEnd);
            std::printf("%s\n", proof.Json(GameVersion(), fault, step).c_str());
            status = fault.empty() ? 0 : 1;
        } else {
            ReportFailure(record);
        }
    }

    // Shutdown: release the state, close the engine if its Free was found, unload it. A
    // failure while closing does not stop the rest.
    try {
        SetActiveSession(nullptr);
        SetActiveRecords(nullptr);
        SetActiveBoard(nullptr);
        board.reset();                            // what it still asks is dropped
        if (records != nullptr) records->Save();  // closing the window in play included
        if (session != nullptr && initialised) session->AtShutdown();
        app.reset();
        if (Engine().Free != nullptr) Engine().Free();
    } catch (...) {
        ExceptionRecord record = RecordCurrentFailure();
        if (status == 0 && ExitStatusFor(record) != 0) {
            ReportFailure(record);
            status = 1;
        }
    }
    Engine() = EngineTable{};
    library.Unload();
    ReleaseReplayPlan(replays);
    if (initialised) PruneOldReplays(replays);  // this run's replay is in place by now
    return status;
}

}  // namespace grappix
