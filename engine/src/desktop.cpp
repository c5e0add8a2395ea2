// desktop.cpp -- the window as a desktop game needs it: fullscreen, its size, the pointer, the
// minimised state, the version, and quiet libraries on the player's terminal.
#include <cerrno>
#include <cstring>

#include "engine.hpp"

#if defined(_WIN32)
#include <windows.h>

#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#ifndef BRISEL_VERSION
#define BRISEL_VERSION "unknown"
#endif

using namespace brisel;

namespace {

bool IsFullscreen(const Engine& e) {
    if (e.window == nullptr) return e.fullscreen;
    return (SDL_GetWindowFlags(e.window) & SDL_WINDOW_FULLSCREEN) != 0;
}

std::string VersionText(const char* name, const SDL_version& v) {
    return std::string(name) + " " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.patch);
}

}  // namespace

namespace brisel {

void MakeFullscreen(Engine& e, bool on) {
    e.fullscreen = on;
    if (e.window != nullptr) SDL_SetWindowFullscreen(e.window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

// While a replay plays back, the window belongs to the viewer (F11 still toggles it) and the
// game sees the fullscreen state it saw when it was recorded.
bool FullscreenSeenByGame(const Engine& e) {
    return e.playback.active ? e.playback.fullscreen : IsFullscreen(e);
}

const std::string& EngineVersionText() {
    static std::string text;
    if (text.empty()) {
        SDL_version sdl;
        SDL_GetVersion(&sdl);
        text = std::string("Brisel ") + BRISEL_VERSION + " (" + VersionText("SDL", sdl) + ", " +
               VersionText("SDL_ttf", *TTF_Linked_Version()) + ")";
    }
    return text;
}

void ToggleFullscreen(Engine& e) { MakeFullscreen(e, !IsFullscreen(e)); }

void NoteWindowSize(Engine& e) {
    if (e.window == nullptr) return;
    // Only a plain window's size is worth keeping: fullscreen and maximised sizes are the
    // desktop's, and return by themselves.
    Uint32 flags = SDL_GetWindowFlags(e.window);
    if (flags & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)) return;
    int w = 0, h = 0;
    SDL_GetWindowSize(e.window, &w, &h);
    if (w > 0 && h > 0) {
        e.windowWidth = w;
        e.windowHeight = h;
    }
}

void UpdateSuspension(Engine& e) {
    bool away = e.input.window[BRISEL_WINDOW_MINIMISED].count > 0;
    if (away == e.suspended) return;
    const bool held = e.suspended || e.viewerQuiet;
    e.suspended = away;
    if (held != (away || e.viewerQuiet)) SuspendSound(!held);
}

#if defined(_WIN32)
// The executable's name without its folder and ".exe", as POSIX's short invocation name.
const char* ProgramName() {
    static const std::string name = [] {
        char path[MAX_PATH] = "grappix.exe";
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::string n = path;
        n.erase(0, n.find_last_of("\\/") + 1);
        if (n.size() > 4 && _stricmp(n.c_str() + n.size() - 4, ".exe") == 0) n.resize(n.size() - 4);
        return n;
    }();
    return name.c_str();
}
constexpr const char* kNullDevice = "NUL";
#else
const char* ProgramName() { return program_invocation_short_name; }
constexpr const char* kNullDevice = "/dev/null";
#endif

StderrMuffle::StderrMuffle() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    if (saved_ < 0) return;
    // Kept for BRISEL_DEBUG=1, dropped otherwise.
    int sink = -1;
    if (E().config.debug) {
        sink_ = std::tmpfile();
        if (sink_ != nullptr) sink = fileno(sink_);
    } else {
        sink = open(kNullDevice, O_WRONLY | O_CLOEXEC);
    }
    if (sink < 0 || dup2(sink, STDERR_FILENO) < 0) {
        close(saved_);
        saved_ = -1;
    }
    if (sink_ == nullptr && sink >= 0) close(sink);
}

StderrMuffle::~StderrMuffle() {
    std::fflush(stderr);
    if (saved_ >= 0) {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    if (sink_ != nullptr) {
        std::rewind(sink_);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, sink_)) > 0) std::fwrite(buffer, 1, n, stderr);
        std::fclose(sink_);
    }
}

}  // namespace brisel

extern "C" {

const char* EngineVersion(void) {
    BRISEL_ENTRY;
    return EngineVersionText().c_str();
}

void ShowPointer(bool show) {
    BRISEL_ENTRY;
    Engine& e = E();
    e.pointerShown = show;
    if (e.initialised) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SetFullscreen(bool on) {
    BRISEL_ENTRY;
    Engine& e = E();
    if (e.playback.active) {
        e.playback.fullscreen = on;  // the viewer's window stays as the viewer has it
        return;
    }
    MakeFullscreen(e, on);
    e.recorder.GameSetFullscreen(on);  // a replay's SetFullscreen makes the same change
}

bool GetFullscreen(void) {
    BRISEL_ENTRY;
    return FullscreenSeenByGame(E());
}

void SetWindowSize(int64_t width, int64_t height) {
    BRISEL_ENTRY;
    if (width < 1 || height < 1 || width > 16384 || height > 16384)
        Raise(BRISEL_FAIL_ARGUMENT, "SetWindowSize: " + std::to_string(width) + " x " +
                                        std::to_string(height) +
                                        " is not a window size (1 to 16384 pixels a side)");
    Engine& e = E();
    e.windowWidth = width;
    e.windowHeight = height;
    if (e.window != nullptr) SDL_SetWindowSize(e.window, int(width), int(height));
}

void GetWindowSize(int64_t* width, int64_t* height) {
    BRISEL_ENTRY;
    const Engine& e = E();
    const bool set = e.windowWidth > 0 && e.windowHeight > 0;
    if (width != nullptr) *width = set ? e.windowWidth : Canvas::kWidth;
    if (height != nullptr) *height = set ? e.windowHeight : Canvas::kHeight;
}

}  // extern "C"
