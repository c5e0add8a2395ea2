#include "frame/program.hpp"

#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"

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
    char head[96];
    std::snprintf(head, sizeof head, "grappix: error %" PRId64, record.code);
    std::string line = head;
    line += ": ";
    line += record.hasMessage ? record.message : std::string("(no message)");
    char tail[48];
    std::snprintf(tail, sizeof tail, " (place 0x%016" PRIxPTR ")", record.place);
    line += tail;
    return line;
}

int RunProgram(const char* enginePath, const BriselIcon* icon, SceneLoop scenes) {
    SetGameFloatingPoint();
    InstallFaultHandlers();

    EngineLibrary library;
    std::unique_ptr<AppState> app;
    int status = 0;
    try {
        library.Load(enginePath);
        library.Bind(Engine());

        app = std::make_unique<AppState>();
        SetFrameCount(0);
        app->title = kAppTitle;

        BriselInitRecord init{};
        init.buildConstant = kBuildConstant;
        init.flag = 1;
        init.module = dlopen(nullptr, RTLD_NOW);
        init.icon = icon;
        init.exceptionPlace = &ExceptionPlace();
        std::string title = app->title + "";
        init.title = title.c_str();
        Engine().Init(&init);

        scenes();
    } catch (...) {
        ExceptionRecord record = RecordCurrentFailure();
        status = ExitStatusFor(record);
        std::string line = DescribeFailure(record);
        if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
    }

    // Shutdown: release the state, close the engine if its Free was found, unload it. A
    // failure while closing does not stop the rest.
    try {
        app.reset();
        if (Engine().Free != nullptr) Engine().Free();
    } catch (...) {
        ExceptionRecord record = RecordCurrentFailure();
        std::string line = DescribeFailure(record);
        if (!line.empty() && status == 0) {
            std::fprintf(stderr, "%s\n", line.c_str());
            status = 1;
        }
    }
    Engine() = EngineTable{};
    library.Unload();
    return status;
}

}  // namespace grappix
