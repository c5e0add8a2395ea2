// life.cpp -- the engine's life cycle and frame step: Init opens the window, Act shows a
// frame, reads input and paces the loop, Free closes everything.
#include <png.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "engine.hpp"
#include "platform_clock.hpp"
#include "png_reader.hpp"

#if defined(_WIN32)
#include "win_posix.hpp"
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>
#endif

using namespace brisel;

namespace {

constexpr int64_t kFrameNs = 1000000000 / 60;  // one step, rounded down (deadlines are exact)

void Present(Engine& e, bool again = false);
void PollEvents(Engine& e);
void ShowFailure(Engine& e, const std::string& text);

int64_t NowNs() { return MonotonicNowNs(); }

// Pacing state: frame k of the current run of on-time frames starts at base + k / 60 s.
struct Pacer {
    int64_t base = 0;
    int64_t index = 0;
    int64_t lastFrame = 0;
    int skippedInRow = 0;  // steps not shown in a row, up to the one just made
    int64_t Deadline() const { return base + index * 1000000000 / 60; }
    void Rebase(int64_t now) {
        base = now;
        index = 0;
    }
};
Pacer g_pacer;

int64_t g_loadNs = NowNs();  // GetSysTime before Init counts from library load

bool IsHeadless() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

std::string SdlError(const char* what) { return std::string(what) + ": " + SDL_GetError(); }

// The largest image of the icon group: window managers scale down better than up.
void SetIcon(SDL_Window* window, const BriselIcon* icon) {
    if (icon == nullptr || icon->images == nullptr || icon->count <= 0) return;
    const BriselIconImage* best = nullptr;
    for (int64_t i = 0; i < icon->count; ++i) {
        const BriselIconImage& img = icon->images[i];
        if (img.pixels == nullptr || img.width <= 0 || img.height <= 0 || img.width > 1024 ||
            img.height > 1024)
            continue;
        if (best == nullptr || int64_t(img.width) * img.height > int64_t(best->width) * best->height)
            best = &img;
    }
    if (best == nullptr) return;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(best->pixels), best->width, best->height, 32,
                                           best->width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(window, surface);
    SDL_FreeSurface(surface);
}

// A window that fits the desktop: the size asked for (1600 x 900 unless the game set another),
// scaled down whole when the desktop has no room for it.
void WindowSize(int& w, int& h) {
    const Engine& e = E();
    w = e.windowWidth > 0 ? int(e.windowWidth) : Canvas::kWidth;
    h = e.windowHeight > 0 ? int(e.windowHeight) : Canvas::kHeight;
    if (e.headless) return;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return;
    // Leave room for the title bar, which the usable area does not account for.
    double scale = std::min({1.0, usable.w / double(w), (usable.h - 48) / double(h)});
    if (scale <= 0.1) return;
    w = int(w * scale);
    h = int(h * scale);
}

// Where no video driver was chosen, only a desktop will do: SDL would otherwise settle for its
// offscreen driver and run invisibly for ever. The drivers are tried only where their display
// could be: probing Wayland without its runtime folder makes the library complain on stderr.
std::string DesktopDrivers() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0';
    };
    std::string drivers;
    if (set("DISPLAY")) drivers = "x11";
    if (set("WAYLAND_DISPLAY") || set("WAYLAND_SOCKET") || set("XDG_RUNTIME_DIR"))
        drivers += drivers.empty() ? "wayland" : ",wayland";
    return drivers;
}

[[noreturn]] void RaiseNoDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string why;
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0'))
        why = "DISPLAY and WAYLAND_DISPLAY are not set";
    else
        why = std::string("none answers at DISPLAY=") + (display ? display : "") +
              " WAYLAND_DISPLAY=" + (wayland ? wayland : "");
    Raise(BRISEL_FAIL_NO_DISPLAY, "no display to open the window on (no X11 or Wayland display: " + why +
                                      "); to run without a window, set SDL_VIDEODRIVER=dummy");
}

// SDL's video, with the desktop's display: a driver the player chose is taken as it is.
void StartVideo() {
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && *chosen != '\0') {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
            Raise(BRISEL_FAIL_SYSTEM, SdlError("Init: cannot start SDL video"));
        return;
    }
    std::string drivers = DesktopDrivers();
    if (drivers.empty()) RaiseNoDisplay();
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) RaiseNoDisplay();
}

bool DisplayIs60Hz(SDL_Window* window) {
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return false;
    return mode.refresh_rate >= 59 && mode.refresh_rate <= 61;
}

// True for an OpenGL renderer that Mesa runs on the CPU (llvmpipe and friends). The engine
// draws on the CPU already; pushing each finished frame through such a driver costs more
// than the whole frame (~25 ms against ~1.5 ms for a plain copy to the window).
bool IsCpuOpenGl(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (getString == nullptr) return false;
    const char* name = reinterpret_cast<const char*>(getString(0x1F01 /* GL_RENDERER */));
    if (name == nullptr) return false;
    for (const char* cpu : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"})
        if (std::strstr(name, cpu) != nullptr) return true;
    return false;
}

// A sanitizer build keeps the OpenGL driver Mesa loaded (its DRI module) to the end of the
// process: unloaded with a renderer or at SDL_Quit, its own leaks would be reported from an
// unknown module, which tests/lsan.supp cannot name. Other builds let it go as SDL does.
void KeepGlDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
    std::vector<std::string> drivers;  // opened after the walk, which holds the loader's lock
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "/dri/") != nullptr)
                static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &drivers);
    for (const std::string& driver : drivers) dlopen(driver.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

// BRISEL_RENDERER chooses the path: "software" the rasteriser, "gpu" the window's accelerated
// renderer whatever it runs on; by default the GPU path is taken on a hardware renderer only
// (on an OpenGL that runs on the CPU, the rasteriser is faster), and nothing is said.
void CreateRenderer(Engine& e) {
    const std::string& choice = e.config.renderer;
    bool cpuGl = false;
    if (!e.headless) {
        // Hardware scaling of the finished frame; vsync only where it gives 60 steps a second.
        e.vsync = DisplayIs60Hz(e.window) && !e.config.noPace;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        Uint32 flags = SDL_RENDERER_ACCELERATED | (e.vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
        e.renderer = SDL_CreateRenderer(e.window, -1, flags);
        KeepGlDriverLoaded();
        // A renderer the player chose (SDL_RENDER_DRIVER, BRISEL_RENDERER=gpu) is kept whatever it is.
        cpuGl = e.renderer != nullptr && IsCpuOpenGl(e.renderer);
        if (cpuGl && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr && choice != "gpu") {
            SDL_DestroyRenderer(e.renderer);
            e.renderer = nullptr;
        }
    }
    if (e.renderer == nullptr) {
        // The software path. Letting SDL put a GL renderer behind the window surface costs
        // several milliseconds and ~100 MiB a frame on X11 for nothing.
        e.vsync = false;
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        e.renderer = SDL_CreateRenderer(e.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (e.renderer == nullptr) Raise(BRISEL_FAIL_SYSTEM, SdlError("Init: cannot create a renderer"));
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(e.renderer, &info) == 0 && !(info.flags & SDL_RENDERER_PRESENTVSYNC))
        e.vsync = false;
    SDL_RenderSetLogicalSize(e.renderer, Canvas::kWidth, Canvas::kHeight);
    const bool accelerated =
        SDL_GetRendererInfo(e.renderer, &info) == 0 && (info.flags & SDL_RENDERER_ACCELERATED);
    e.gpu = accelerated && (choice == "gpu" || (choice.empty() && !cpuGl)) && e.gpuCanvas.Attach(e.renderer);
    e.gpuCanvas.Keep(e.gpu && e.playback.active);  // a replay's viewer shows frames again
    if (e.config.debug) {
        int w = 0, h = 0;
        SDL_GetWindowSize(e.window, &w, &h);
        std::fprintf(stderr, "brisel: drawing on the %s, shown by SDL's %s renderer in a window of %d x %d\n",
                     e.gpu ? "GPU" : "CPU", info.name, w, h);
    }
    if (e.gpu) {
        e.gpuCanvas.BeginFrame();
        return;
    }
    e.screen = SDL_CreateTexture(e.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 Canvas::kWidth, Canvas::kHeight);
    if (e.screen == nullptr) Raise(BRISEL_FAIL_SYSTEM, SdlError("Init: cannot create the screen texture"));
    SDL_SetTextureBlendMode(e.screen, SDL_BLENDMODE_NONE);
}

void LoadScript(Engine& e) {
    const std::string& path = e.config.inputScript;
    std::string text, error;
    if (!ReadScriptFile(path, "input script", text, error)) Raise(BRISEL_FAIL_SCRIPT, error);
    ParsedScript parsed = ParseInputScript(text, path);
    if (!parsed.error.empty()) Raise(BRISEL_FAIL_SCRIPT, parsed.error);
    if (parsed.haveSeed) {  // a script that names its seed was written for it: it wins
        e.config.haveSeed = true;
        e.config.seed = parsed.seed;
    }
    if (parsed.haveFullscreen) e.fullscreen = parsed.fullscreen;
    e.input.script = std::move(parsed.events);
    e.input.scriptNext = 0;
    e.input.scripted = true;
}

// BRISEL_REPLAY: the replay's events become the run's input, its seed the run's seed.
void LoadPlayback(Engine& e) {
    Playback& p = e.playback;
    p.script = LoadReplay(e.config.replayPath, p.format, p.text);
    p.path = e.config.replayPath;
    p.from = e.config.replayFrom;
    p.force = e.config.replayForce;
    p.fullscreen = p.script.haveFullscreen && p.script.fullscreen;
    p.gameVersion = p.script.version.substr(0, p.script.version.find(' '));
    p.running = HeaderHash(p.script.version, p.script.seed, p.fullscreen, p.script.notes);
    if (p.from > p.script.endStep)
        Raise(BRISEL_FAIL_REPLAY, p.path + ": BRISEL_REPLAY_FROM=" + std::to_string(p.from) +
                                      " is past the replay's end (step " + std::to_string(p.script.endStep) +
                                      ")");
    e.config.haveSeed = true;
    e.config.seed = p.script.seed;
    e.input.script.clear();
    e.input.scriptNext = 0;
    e.input.scripted = true;
    p.active = true;
}

bool g_fullscreenAtInit = false;  // for the replay's header

// For the frame step about to be drawn: which hashes its checks need, and whether a
// fast-forward hides it.
void NextFrame(Engine& e) {
    const int64_t next = e.step + 1;
    const Playback& p = e.playback;
    e.hashing = 0;
    if (e.recorder.Active() || (p.active && p.format >= 2)) e.hashing |= kHashSteps;
    if (p.active && p.format < 2 && p.nextCheck < p.script.checks.size() &&
        p.script.checks[p.nextCheck].step == next)
        e.hashing |= kHashOldCheck;
    e.stepHash = kStepHashStart;
    e.frameHash = kHashStart;
    e.skipped = e.skipNext;
    e.skipNext = false;
    const bool wasFast = e.fastForward;
    e.fastForward = p.active && next < p.from;
    if (wasFast && !e.fastForward) {  // real time from here: the music the game started plays
        ResumeLoopingSounds();
        g_pacer.Rebase(NowNs());
        g_pacer.lastFrame = NowNs();
    }
    ViewerNextStep(e);
}

// The frame step just made: into the recorder's running hash (and its check line), and the
// check of the replay playing back. A replay of an older version of the game reports its first
// difference and plays on.
void CheckFrame(Engine& e) {
    if (e.hashing & kHashSteps) {
        e.stepHash = MixWord(e.stepHash, WordOf(e.masterVolume));
        e.stepHash = MixWord(e.stepHash, WordOf(e.groupVolume[BRISEL_SOUND_EFFECTS]));
        e.stepHash = MixWord(e.stepHash, WordOf(e.groupVolume[BRISEL_SOUND_MUSIC]));
        e.stepHash = MixWord(e.stepHash, WordOf(e.muted));
        e.recorder.EndStep(e.step, e.stepHash);
    }
    Playback& p = e.playback;
    if (!p.active) return;
    if (p.format >= 2) p.running = RunningHash(p.running, e.step, e.stepHash);
    if (p.nextCheck >= p.script.checks.size() || p.script.checks[p.nextCheck].step != e.step) return;
    const uint64_t hash = p.format >= 2 ? p.running : e.frameHash;
    const bool differs = p.script.checks[p.nextCheck].hash != hash;
    ++p.nextCheck;
    if (!differs) return;
    if (!p.lenient) {
        ShowFailure(e, "This replay differs from the recorded game at step " + std::to_string(e.step));
        e.quitRequested = true;
        Raise(BRISEL_FAIL_REPLAY,
              p.path + ": replay differs from the recorded game at step " + std::to_string(e.step));
    }
    auto shown = [](const std::string& text) {  // a file's bytes never reach the terminal raw
        std::string out;
        for (unsigned char c : text) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += c < 0x20 || c == 0x7F ? escaped : std::string(1, char(c));
        }
        return out;
    };
    if (!p.reported)
        std::fprintf(stderr, "%s: %s: recorded by %s: this version draws differently from step %lld\n",
                     ProgramName(), shown(p.path).c_str(), shown(p.gameVersion).c_str(),
                     static_cast<long long>(e.step));
    p.reported = true;
}

// Before the first frame step, when the game has given its notes: the recorder's header, and
// the playback's version rule. The game's version names what it draws: a replay of an older
// version plays, its checks reporting where this one draws differently; a newer one plays only
// when forced. The engine's version alone does not matter: what is drawn is the game's.
// A replay that stopped matching the game says so in the window for four seconds (the window's
// close or Escape end it sooner) before the run ends. Not where nobody watches: a window of
// SDL's dummy or offscreen drivers, or a run that is not paced.
void ShowFailure(Engine& e, const std::string& text) {
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver != nullptr ? driver : "";
    if (e.window == nullptr || e.config.noPace || name == "dummy" || name == "offscreen") return;
    e.playback.failure = text;
    const int64_t until = NowNs() + 4000000000LL;
    while (NowNs() < until && !e.quitRequested) {
        if (!e.suspended) Present(e, true);
        timespec ts{0, long(kFrameNs)};
        nanosleep(&ts, nullptr);
        PollEvents(e);
    }
}

void BeginReplay(Engine& e) {
    const std::string version = VersionLine(e.notes);
    Playback& p = e.playback;
    const std::string game = version.substr(0, version.find(' '));
    if (p.active && p.gameVersion != game) {
        bool comparable = false;
        const int order = CompareVersions(p.gameVersion, game, comparable);
        if (comparable && order < 0)
            p.lenient = true;
        else if (p.force)
            p.lenient = true;
        else
            Raise(BRISEL_FAIL_REPLAY,
                  p.path + ": recorded by " +
                      (comparable ? "a newer version of the game (" : "another version (") +
                      p.script.version + "; this is " + version +
                      "); --force (BRISEL_REPLAY_FORCE=1) plays it anyway");
    }
    e.recorder.Start(version, e.seed, g_fullscreenAtInit, e.notes);
    if (p.active && p.restarts == 0) {  // what a restart returns to
        p.startMaster = e.masterVolume;
        p.startGroup[0] = e.groupVolume[0];
        p.startGroup[1] = e.groupVolume[1];
        p.startMuted = e.muted;
    }
}

// Closes everything; safe at any stage of a failed Init and when nothing was opened.
void Shutdown() {
    Engine& e = E();
    // A run that made frame steps keeps its replay; one that never stepped has nothing to show.
    if (e.step > 0 && e.recorder.Started()) {
        std::string error;
        if (!e.recorder.Finish(e.step, error)) std::fprintf(stderr, "%s: %s\n", ProgramName(), error.c_str());
    } else {
        e.recorder.Abandon();
    }
    // The trace ends with the last frame: closing down is not something the game did.
    if (e.trace != nullptr) std::fclose(e.trace);
    e.trace = nullptr;
    CloseTimes(e);
    // Handles first: sounds need the mixer, textures and fonts need nothing but memory.
    std::vector<std::pair<const void*, Kind>> handles(e.handles.begin(), e.handles.end());
    for (auto& [handle, kind] : handles) {
        switch (kind) {
        case Kind::Tex: ReleaseTex(static_cast<BriselTex*>(const_cast<void*>(handle))); break;
        case Kind::Font: ReleaseFont(static_cast<BriselFont*>(const_cast<void*>(handle))); break;
        case Kind::Snd: ReleaseSnd(static_cast<BriselSnd*>(const_cast<void*>(handle))); break;
        case Kind::Rng: delete static_cast<BriselRng*>(const_cast<void*>(handle)); break;
        case Kind::Block: std::free(const_cast<void*>(handle)); break;
        }
    }
    e.handles.clear();
    // Closing the sound device waits for its thread to play out the last buffers (SDL sleeps two
    // buffers' time), and stopping the loader waits for the picture the worker has in hand: both
    // waits run side by side, so a quit is not held up twice.
    BeginStoppingTextureLoader();
    ReleaseViewerMarks();
    ReleaseOverlay();
    StopRequests();
    CloseAudio();
    StopTextureLoader();
    CloseControllers(e.input);
    if (!e.pointerShown && SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(SDL_ENABLE);
    if (TTF_WasInit()) TTF_Quit();
    if (e.screen != nullptr) SDL_DestroyTexture(e.screen);
    e.gpuCanvas.Release();
    e.gpu = false;
    if (e.renderer != nullptr) SDL_DestroyRenderer(e.renderer);
    if (e.window != nullptr) SDL_DestroyWindow(e.window);
    e.screen = nullptr;
    e.renderer = nullptr;
    e.window = nullptr;
    if (SDL_WasInit(0) != 0) SDL_Quit();

    e.initialised = false;
    e.exceptionPlace = nullptr;
    e.config = Config{};
    e.input = InputState{};
    e.step = 0;
    e.quitRequested = false;
    e.recentFrames.clear();
    e.canvas.Reset();
    e.masterVolume = 1.0;
    e.groupVolume[BRISEL_SOUND_EFFECTS] = e.groupVolume[BRISEL_SOUND_MUSIC] = 1.0;
    e.muted = false;
    e.fullscreen = false;
    e.windowWidth = e.windowHeight = 0;
    e.pointerShown = true;
    e.suspended = false;
    e.seed = 0;
    e.title.clear();
    e.notes.clear();
    e.playback = Playback{};
    e.hashing = 0;
    e.stepHash = kStepHashStart;
    e.frameHash = kHashStart;
    e.fastForward = false;
    e.skipped = e.skipNext = false;
    e.viewerHidden = e.viewerQuiet = false;
}

// The frame as an RGB PNG, written beside its name and renamed into place, so a picture that
// exists is whole: the rasteriser's 1600 x 900, or on the GPU path the picture at the window's
// resolution.
void SaveShot(Engine& e) {
    int width = Canvas::kWidth, height = Canvas::kHeight;
    std::vector<uint32_t> read;
    const uint32_t* px = e.canvas.Pixels();
    if (e.gpu) {
        if (!e.gpuCanvas.ReadPixels(read, width, height))
            Raise(BRISEL_FAIL_SYSTEM, SdlError("cannot read the frame back for a screenshot"));
        px = read.data();
    }
    const std::string& dir = e.config.shotDir;
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        Raise(BRISEL_FAIL_SYSTEM,
              dir + ": cannot create the screenshot folder (" + std::strerror(errno) + ")");
    const std::string path = dir + "/frame-" + std::to_string(e.step) + ".png";
    std::string why;
    if (!WriteRgbPng(path, px, width, height, why))
        Raise(BRISEL_FAIL_SYSTEM, path + ": cannot write the screenshot: " + why);
}

// again: the frame shown last, shown again (a replay's viewer held it).
void Present(Engine& e, bool again) {
    if (e.gpu) {  // the frame was drawn into the window's back buffer as the game drew it
        if (again)
            e.gpuCanvas.ShowAgain();
        else
            e.gpuCanvas.FrameShown();
        SDL_RenderSetClipRect(e.renderer, nullptr);
        DrawViewerMarks(e);
        DrawOverlay(e);
        SDL_RenderPresent(e.renderer);
        e.gpuCanvas.BeginFrame();
        return;
    }
    SDL_UpdateTexture(e.screen, nullptr, e.canvas.Pixels(), Canvas::kWidth * 4);
    // Black bars only where the window's shape differs from 16:9; a frame that fills the
    // window needs no clearing first.
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(e.renderer, &w, &h) != 0 ||
        int64_t(w) * Canvas::kHeight != int64_t(h) * Canvas::kWidth) {
        SDL_SetRenderDrawColor(e.renderer, 0, 0, 0, 255);
        SDL_RenderClear(e.renderer);
    }
    SDL_RenderCopy(e.renderer, e.screen, nullptr, nullptr);
    DrawViewerMarks(e);
    DrawOverlay(e);
    SDL_RenderPresent(e.renderer);
}

// The most steps run in a row without being shown, so that at least 15 frames a second are.
constexpr int kMostSkipped = 3;
// Further behind than this (a stall, a suspended process), the debt is dropped, not raced.
constexpr int64_t kMostDebtNs = 250000000;

// Whether the step after this one may go unshown: a loop more than a frame behind its
// deadlines runs the following steps (a few microseconds of play each) without rasterising or
// showing them, so the game's time keeps to the wall clock on a busy machine.
bool MaySkipNext(const Engine& e) {
    return e.config.frameSkip && g_pacer.skippedInRow < kMostSkipped &&
           e.config.shotFrames.count(e.step + 1) == 0;  // a picture asked for is drawn
}

// Waits for the start of the next 1/60 s. Vsync does the waiting where the display runs at
// 60 Hz; otherwise the timer sleeps to absolute deadlines, so that rounding never accumulates.
// Behind its deadline, it decides whether the next step is shown (e.skipNext).
void Pace(Engine& e) {
    int64_t now = NowNs();
    e.skipNext = false;
    if (e.config.noPace) {
        g_pacer.lastFrame = now;
        return;
    }
    g_pacer.skippedInRow = e.skipped ? g_pacer.skippedInRow + 1 : 0;
    // Vsync did the waiting when this step came a whole frame after the last one. A present
    // that does not block (hidden window, a driver that ignores vsync) leaves it to the timer,
    // so the game never runs faster than 60 steps a second. Vblanks missed by a slow frame are
    // kept as debt: the deadlines start that many frames back.
    if (e.vsync && now - g_pacer.lastFrame >= kFrameNs - 2000000) {
        const int64_t missed = e.config.frameSkip
                                   ? std::max<int64_t>(0, (now - g_pacer.lastFrame - kFrameNs / 2) / kFrameNs)
                                   : 0;
        g_pacer.lastFrame = now;
        g_pacer.Rebase(now - missed * kFrameNs);
        e.skipNext = missed > 0 && MaySkipNext(e);
        return;
    }
    ++g_pacer.index;
    int64_t deadline = g_pacer.Deadline();
    if (deadline > now) {
        SleepUntilNs(deadline);
    } else if (now - deadline > (e.config.frameSkip ? kMostDebtNs : 3 * kFrameNs)) {
        g_pacer.Rebase(now);  // far behind (a stall): start afresh instead of racing to catch up
    } else if (now - deadline > kFrameNs) {
        e.skipNext = MaySkipNext(e);
    }
    g_pacer.lastFrame = NowNs();
}

void PollEvents(Engine& e) {
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        if (TakeTypingEvent(e, ev)) continue;  // typed, not played
        switch (ev.type) {
        case SDL_QUIT: e.quitRequested = true; break;
        case SDL_WINDOWEVENT:
            if (ev.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                NoteWindowSize(e);
                if (e.gpu) e.gpuCanvas.ApplyClip();  // the viewport's clip, at the new scale
            }
            if (!e.input.scripted) HandleInputEvent(e.input, ev);
            break;
        case SDL_KEYDOWN:
            if (!ev.key.repeat && (ev.key.keysym.sym == SDLK_F11 || ((ev.key.keysym.sym == SDLK_RETURN ||
                                                                      ev.key.keysym.sym == SDLK_KP_ENTER) &&
                                                                     (ev.key.keysym.mod & KMOD_ALT)))) {
                ToggleFullscreen(e);
                break;  // the toggle is not game input
            }
            if (e.playback.active && ViewerEvent(e, ev)) break;  // the viewer's keys (viewer.cpp)
            if (!e.input.scripted) HandleInputEvent(e.input, ev);
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
            HandleInputEvent(e.input, ev);  // keep the device list current even while scripted
            break;
        default:
            if (e.playback.active && ViewerEvent(e, ev)) break;  // the controller's viewer buttons
            if (!e.input.scripted) HandleInputEvent(e.input, ev);
            break;
        }
    }
    RunViewerKeys(e);
}

// After a step the viewer showed: below 1x the frame stays on show for more refreshes, and while
// paused until the viewer goes on (a step, a skip, the end); the game waits inside this step.
void ViewerHold(Engine& e) {
    Playback& p = e.playback;
    int more = kViewerSpeeds[p.speed].refreshes - 1;
    bool paused = false;
    while (!e.quitRequested && p.restartTo < 0 && p.from <= e.step) {
        if (p.paused) {
            if (p.stepOnce) {
                p.stepOnce = false;
                break;
            }
            if (!paused && e.window != nullptr) SDL_SetWindowTitle(e.window, (e.title + " (paused)").c_str());
            paused = true;
        } else if (more-- <= 0) {
            break;
        }
        if (!e.suspended) Present(e, true);
        if (p.paused && !e.config.noPace)
            SleepForNs(kFrameNs);
        else if (!p.paused)
            Pace(e);
        ++p.refreshes;
        PollEvents(e);
    }
    if (paused) {
        if (e.window != nullptr) SDL_SetWindowTitle(e.window, e.title.c_str());
        g_pacer.Rebase(NowNs());
        g_pacer.lastFrame = NowNs();
    }
}

}  // namespace

extern "C" {

int64_t Init(const BriselInitRecord* record) {
    BRISEL_ENTRY;
    Engine& e = E();
    if (record == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "Init: no initialisation record");
    if (e.initialised) Raise(BRISEL_FAIL_ARGUMENT, "Init: the engine is already initialised");
    e.exceptionPlace = record->exceptionPlace;
    e.initNs = MonotonicNs();
    try {
        e.config = ReadConfig();
        if (e.config.debug) SDL_LogSetAllPriority(SDL_LOG_PRIORITY_INFO);
        if (!e.config.inputScript.empty()) LoadScript(e);
        if (!e.config.replayPath.empty()) LoadPlayback(e);
        if (!e.config.tracePath.empty()) {
            e.trace = std::fopen(e.config.tracePath.c_str(), "wb");
            if (e.trace == nullptr)
                Raise(BRISEL_FAIL_SYSTEM,
                      e.config.tracePath + ": cannot write the trace (" + std::strerror(errno) + ")");
        }
        OpenTimes(e);
        e.seed = e.config.haveSeed ? e.config.seed : uint64_t(NowNs()) ^ uint64_t(time(nullptr));
        MainRng().Seed(e.seed);
        e.title = record->title != nullptr ? record->title : "";
        // The first scene's pictures decode on the second core while the window opens.
        PreloadTextures(DataPath("preload.txt"));

        {
            StderrMuffle quiet;  // display probing, GL drivers
            StartVideo();
            // Controllers are welcome but not required; a machine without them still plays.
            SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
            e.headless = IsHeadless();

            int w, h;
            WindowSize(w, h);
            const char* title = record->title != nullptr ? record->title : "";
            Uint32 flags = SDL_WINDOW_RESIZABLE | (e.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
            e.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
            if (e.window == nullptr) Raise(BRISEL_FAIL_SYSTEM, SdlError("Init: cannot open the window"));
            e.windowWidth = w;
            e.windowHeight = h;
            SDL_SetWindowMinimumSize(e.window, Canvas::kWidth / 8, Canvas::kHeight / 8);
            SetIcon(e.window, record->icon);
            CreateRenderer(e);
            PreloadFinerTextures();  // a large window on the GPU path draws the finer pictures
            SDL_ShowCursor(e.pointerShown ? SDL_ENABLE : SDL_DISABLE);
        }
        e.canvas.Reset();

        if (TTF_Init() != 0)
            Raise(BRISEL_FAIL_SYSTEM, std::string("Init: cannot start the font renderer: ") + TTF_GetError());
        OpenAudio();

        if (!e.config.recordPath.empty()) e.recorder.Open(e.config.recordPath);
        g_fullscreenAtInit = FullscreenSeenByGame(e);
        e.recorder.GameSetFullscreen(g_fullscreenAtInit);
        NextFrame(e);

        e.startTicks = uint64_t(NowNs());
        g_pacer.Rebase(NowNs());
        g_pacer.lastFrame = NowNs();
        e.initialised = true;
    } catch (...) {
        uintptr_t* place = e.exceptionPlace;
        Shutdown();
        e.exceptionPlace = place;  // the failure now travelling keeps its place
        throw;
    }
    return 1;
}

void Free(void) {
    BRISEL_ENTRY;
    Shutdown();
}

void Exit(void) {
    BRISEL_ENTRY;
    E().quitRequested = true;
    Raise(BRISEL_FAIL_QUIT, "Exit: the game asked to quit");
}

int64_t Act(void) {
    BRISEL_ENTRY;
    RequireInit("Act");
    Engine& e = E();
    if (e.quitRequested) Raise(BRISEL_FAIL_QUIT, "Act: the window was closed");
    Playback& p = e.playback;
    if (p.active && e.step >= p.script.endStep) {
        e.quitRequested = true;
        Raise(BRISEL_FAIL_QUIT, "Act: the replay ended at step " + std::to_string(e.step));
    }
    if (e.step == 0) BeginReplay(e);
    ++e.step;
    CheckFrame(e);
    const bool shown = !e.fastForward && !e.viewerHidden;
    p.hiddenInRow = e.viewerHidden ? p.hiddenInRow + 1 : 0;
    const bool shot = shown && e.config.shotFrames.count(e.step) != 0;
    if (shot && e.gpu) SaveShot(e);  // read back before the present lets the buffer go
    if (!NothingShown(e)) {          // minimised: nothing to show, and no cost for it
        Present(e);
        WriteShownTime(e, true);
    } else if (e.skipped) {
        WriteShownTime(e, false);  // the frame skipped to keep time
    }
    e.canvas.EndFrame();
    if (e.gpu) e.gpuCanvas.EndFrame();
    e.overlay.clear();  // asked for again with the next frame
    AgeTextureCache(e.step);
    if (shot && !e.gpu) SaveShot(e);
    TraceLine("frame %lld", static_cast<long long>(e.step));
    if (e.trace != nullptr) std::fflush(e.trace);

    if (shown) Pace(e);
    if (shown && p.active) ++p.refreshes;
    // A fast-forward still hears the viewer's Escape and the window's close, now and then.
    if (shown || e.step % 64 == 0) PollEvents(e);
    if (shown && p.active) ViewerHold(e);
    if (p.restartTo >= 0 && !e.quitRequested)
        Raise(BRISEL_FAIL_RESTART, "Act: the viewer went back to step " + std::to_string(p.restartTo));
    ScriptStep script;
    if (p.active) {  // the replay's events of this step, from its text
        e.input.script.erase(e.input.script.begin(), e.input.script.begin() + ptrdiff_t(e.input.scriptNext));
        e.input.scriptNext = 0;
        p.textNext = NextScriptEvents(p.text, p.textNext, e.step, e.input.script);
    }
    if (e.input.scripted) script = ApplyScriptEvents(e.input, e.step, !p.active);
    for (int i = 0; i < script.fullscreenToggles; ++i) ToggleFullscreen(e);
    if (script.fullscreenSet >= 0) {
        if (p.active)
            p.fullscreen = script.fullscreenSet == 1;
        else
            MakeFullscreen(e, script.fullscreenSet == 1);
    }
    RefreshCounts(e.input);
    UpdateSuspension(e);
    e.recorder.Step(e.step, e.input, FullscreenSeenByGame(e));

    int64_t now = NowNs();
    e.recentFrames.push_back(uint64_t(now));
    if (e.recentFrames.size() > 512)
        e.recentFrames.erase(e.recentFrames.begin(), e.recentFrames.begin() + 256);
    NextFrame(e);

    std::string quit;
    if (script.quit)
        quit = "Act: the input script closed the window at step " + std::to_string(e.step);
    else if (e.config.frameLimit != 0 && e.step >= e.config.frameLimit)
        quit = "Act: BRISEL_FRAMES=" + std::to_string(e.config.frameLimit) + " reached";
    else if (e.quitRequested)
        quit = p.active ? "Act: the viewer ended the replay" : "Act: the window was closed";
    if (!quit.empty()) {
        e.recorder.Quit(e.step);
        e.quitRequested = true;
        Raise(BRISEL_FAIL_QUIT, quit);
    }
    return e.step;
}

int64_t RestartScenes(void) {
    BRISEL_ENTRY;
    RequireInit("RestartScenes");
    Engine& e = E();
    Playback& p = e.playback;
    if (p.restartTo < 0) {
        if (e.step != 0)
            Raise(BRISEL_FAIL_ARGUMENT,
                  "RestartScenes: called at frame step " + std::to_string(e.step) +
                      " with no restart asked for (only before the first Act, or after Act raised "
                      "BRISEL_FAIL_RESTART)");
        p.canRestart = p.active;
        return p.restarts;
    }
    RewindReplay(e, p.restartTo);
    NextFrame(e);
    g_pacer.Rebase(NowNs());
    g_pacer.lastFrame = NowNs();
    return p.restarts;
}

void Stop(const char* message) {
    BRISEL_ENTRY;
    Raise(BRISEL_FAIL_USER, message != nullptr ? message : "Stop");
}

int64_t GetFPS(void) {
    BRISEL_ENTRY;
    Engine& e = E();
    uint64_t now = uint64_t(NowNs());
    int64_t n = 0;
    for (auto it = e.recentFrames.rbegin(); it != e.recentFrames.rend() && now - *it < 1000000000ull; ++it)
        ++n;
    return n;
}

int64_t GetSysTime(void) {
    BRISEL_ENTRY;
    int64_t origin = E().initialised ? int64_t(E().startTicks) : g_loadNs;
    return (NowNs() - origin) / 1000000;
}

int64_t GetUnixTime(void) {
    BRISEL_ENTRY;
    return int64_t(time(nullptr));
}

void DbgLog(const char* text) {
    BRISEL_ENTRY;
    // Before Init the setting comes straight from the environment.
    const char* env = std::getenv("BRISEL_DEBUG");
    bool debug = E().initialised ? E().config.debug : (env != nullptr && std::strcmp(env, "1") == 0);
    if (debug) std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
}

void DbgErrMsg(const char* text) {
    BRISEL_ENTRY;
    std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
}

}  // extern "C"
