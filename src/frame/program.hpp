// The program's outermost control: start-up, the scene loop it is handed, and shutdown.
#pragma once

#include <cstdint>
#include <string>

#include "brisel.h"

namespace grappix {

// The one piece of state that lives for the whole run.
struct AppState {
    std::string title;  // window title
};

// The record a handler builds from the failure it caught.
struct ExceptionRecord {
    int64_t code = 0;     // the 32-bit failure code, widened
    std::string message;  // empty when the failure carried none
    bool hasMessage = false;
    uintptr_t place = 0;  // where it was raised
};

inline constexpr const char* kEnginePath = "Data/Brisel.vqd";
inline constexpr const char* kAppTitle = "Grappix ver1.00";
// An opaque value fixed at build time and handed to the engine at initialisation.
inline constexpr uint64_t kBuildConstant = 0x5A17C3E96B0D2F48ull;

// The game's scenes, run once the engine is ready. They never return: a failure ends them
// (the player closing the window is the engine's quit failure).
using SceneLoop = void (*)();

// Runs the whole program: sets the floating-point environment, binds the engine library at
// enginePath, initialises it with the title and icon, runs the scenes until a failure ends
// the run, then shuts down. Returns the process exit status: 0 when the player quit (closed
// the window), 1 for any other failure, after one line on standard error.
int RunProgram(const char* enginePath, const BriselIcon* icon, SceneLoop scenes);

// The status a caught failure ends the run with, and the line printed for it (empty for a
// plain quit).
int ExitStatusFor(const ExceptionRecord& record);
std::string DescribeFailure(const ExceptionRecord& record);

}  // namespace grappix
