// engine.hpp -- the engine's internal state and the rules every entry point follows.
//
// Every exported function starts with BRISEL_ENTRY: it switches to the default floating-point
// environment for the duration of the call (the game runs with the invalid operation trapped,
// which SDL, Mesa and the decoders do not survive) and notes the caller's code address, which
// Raise writes into the game's exception place when a failure leaves the library.
#ifndef BRISEL_ENGINE_HPP
#define BRISEL_ENGINE_HPP

#if defined(__SSE2__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif
#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// The entry points are the only names with default visibility (the library is built with
// -fvisibility=hidden); the version script then keeps exactly these (the 132 and the
// extensions) in the export table.
#pragma GCC visibility push(default)
#include "brisel.h"
#pragma GCC visibility pop

#include "canvas.hpp"
#include "gpu.hpp"
#include "input_script.hpp"
#include "replay.hpp"
#include "texture_loader.hpp"

namespace brisel {

// ---- entry guard ---------------------------------------------------------------------
// The floating-point setting of the calling thread: MXCSR on x86-64, the C library's
// environment (rounding, trap enables and flags) elsewhere.
#if defined(__SSE2__)
using FpSetting = unsigned;
inline FpSetting GetFpSetting() { return _mm_getcsr(); }
inline void SetFpSetting(const FpSetting& s) { _mm_setcsr(s); }
inline void SetDefaultFpSetting() { _mm_setcsr(0x1F80); }  // every exception masked, to nearest
#else
using FpSetting = fenv_t;
inline FpSetting GetFpSetting() {
    fenv_t e;
    fegetenv(&e);
    return e;
}
inline void SetFpSetting(const FpSetting& s) { fesetenv(&s); }
inline void SetDefaultFpSetting() { fesetenv(FE_DFL_ENV); }
#endif

class EntryGuard {
public:
    explicit EntryGuard(void* site);
    ~EntryGuard();
    EntryGuard(const EntryGuard&) = delete;
    EntryGuard& operator=(const EntryGuard&) = delete;
    const FpSetting& CallerSetting() const { return saved_; }  // the game's own setting

private:
    FpSetting saved_;
    bool outermost_;
};

#define BRISEL_ENTRY ::brisel::EntryGuard briselEntryGuard_(__builtin_return_address(0))

// Raises BriselFailure(code, message) from the current entry point. If the game's exception
// place is empty, the caller's code address goes there first.
[[noreturn]] void Raise(uint32_t code, const std::string& message);
[[noreturn]] void RaiseNotProvided(const char* name);

// ---- random numbers --------------------------------------------------------------------
// xoshiro256**, seeded through splitmix64: fast, good quality, the same on every machine.
class Rng {
public:
    explicit Rng(uint64_t seed = 0) { Seed(seed); }
    void Seed(uint64_t seed);
    uint64_t Next();
    int64_t Range(int64_t min, int64_t max);  // uniform, both ends included
    double RangeF(double min, double max);    // uniform over [min, max)

private:
    uint64_t s_[4];
};

// ---- configuration read from the environment at Init ----------------------------------
struct Config {
    std::string inputScript;  // BRISEL_INPUT
    int64_t frameLimit = 0;   // BRISEL_FRAMES; 0 = none
    bool haveSeed = false;    // BRISEL_SEED given
    uint64_t seed = 0;
    bool noPace = false;           // BRISEL_NOPACE=1
    bool noDraw = false;           // BRISEL_NODRAW=1: calls are traced and hashed, nothing is drawn
    bool frameSkip = true;         // BRISEL_FRAMESKIP=0: a late loop shows every step all the same
    std::string renderer;          // BRISEL_RENDERER: "software", "gpu", or empty (hardware decides)
    std::string shotDir;           // BRISEL_SHOTS
    std::set<int64_t> shotFrames;  // BRISEL_SHOT_FRAMES
    std::string tracePath;         // BRISEL_TRACE
    std::string timesPath;         // BRISEL_TIMES
    bool debug = false;            // BRISEL_DEBUG=1
    std::string recordPath;        // BRISEL_RECORD
    std::string replayPath;        // BRISEL_REPLAY
    int64_t replayFrom = 0;        // BRISEL_REPLAY_FROM; 0 = from the start
    bool replayForce = false;      // BRISEL_REPLAY_FORCE=1
    // BRISEL_VIEWER_KEYS: the viewer's commands as if pressed, each at a count of the frames the
    // viewer has shown ("30 faster, 90 back, 120 quit"), for tests and benchmarks.
    std::vector<std::pair<int64_t, std::string>> viewerKeys;
};
Config ReadConfig();  // raises BRISEL_FAIL_ARGUMENT for a malformed value

// ---- input -------------------------------------------------------------------------------
constexpr int kPadButtons = 16;
constexpr int kMouseButtons = 3;

// One button as the game sees it: a count of frame steps held, fed by any number of sources.
struct ButtonState {
    uint32_t heldBy = 0;   // one bit per source holding it (keys, controllers, script)
    bool latched = false;  // went down since the last refresh: counts even if already up again
    int64_t count = 0;
    void Refresh() {
        count = (heldBy != 0 || latched) ? count + 1 : 0;
        latched = false;
    }
};

constexpr int kWindowStates = 2;  // BRISEL_WINDOW_UNFOCUSED, BRISEL_WINDOW_MINIMISED

struct InputState {
    ButtonState pad[kPadButtons];
    ButtonState mouse[kMouseButtons];
    ButtonState key[BRISEL_KEY_COUNT];
    ButtonState button[BRISEL_BUTTON_COUNT];  // every controller's own buttons (ControllerButton)
    ButtonState window[kWindowStates];        // counted like buttons: held while the state lasts
    double mouseX = 0, mouseY = 0;
    std::unordered_map<SDL_JoystickID, SDL_GameController*> controllers;
    std::unordered_map<SDL_JoystickID, uint32_t> controllerHeld;  // BRISEL_BUTTON_* bitmask
    // What BindPadButton set for pad buttons 0 to 3: a key (BRISEL_KEY_*) and a controller
    // button (BRISEL_BUTTON_*) each, -1 for the button's own (the default table).
    int keyBound[4] = {-1, -1, -1, -1};
    int buttonBound[4] = {-1, -1, -1, -1};
    // Each controller's axes as SDL last reported them (-32768..32767, triggers 0..32767).
    std::unordered_map<SDL_JoystickID, std::array<int16_t, BRISEL_AXIS_COUNT>> controllerAxes;
    // What the script last set each axis to (already past the dead zone: the game's view).
    double scriptAxis[BRISEL_AXIS_COUNT] = {};
    // The axes as the game sees them in this step (PadAxis), set by RefreshCounts.
    double axis[BRISEL_AXIS_COUNT] = {};
    // Whether each trigger holds its pad button (shoot, reel); hysteresis, see RefreshCounts.
    bool triggerHolds[2] = {};
    // The device used last: changed by events as they come, read by the game through LastDevice
    // as it stood at the last Act.
    int64_t device = BRISEL_DEVICE_MOUSE_KEYBOARD;
    int64_t deviceSeen = BRISEL_DEVICE_MOUSE_KEYBOARD;
    // The mouse wheel's notches (away from the player positive): gathered from events as they
    // come, then the step's total, read through MouseWheel, set by RefreshCounts.
    int64_t wheelPending = 0;
    int64_t wheel = 0;
    // The scripted run: events sorted by step, and the next one to apply.
    std::vector<ScriptEvent> script;
    size_t scriptNext = 0;
    bool scripted = false;
};

// What the script's events of one step ask of the engine beyond the counts.
struct ScriptStep {
    bool quit = false;
    int fullscreenToggles = 0;  // F11 and Alt+Return pressed by the script
    int fullscreenSet = -1;     // a fullscreen line: 0 off, 1 on, -1 none
};

// The dead zones, decided here for every controller: a stick nearer its centre than this
// share of its travel reads 0 (and the rest of the travel is stretched to 0..1, so the value
// grows smoothly from the zone's edge), and so does a trigger pulled less than its share.
constexpr double kStickDeadZone = 0.2;
constexpr double kTriggerDeadZone = 0.1;
// A trigger holds its pad button from this pull, and lets go below the second value, so a
// trigger resting near the line does not flicker the button.
constexpr double kTriggerPress = 0.5, kTriggerRelease = 0.3;
// The pad buttons the triggers hold: left reels in, right shoots.
constexpr int kLeftTriggerButton = 2, kRightTriggerButton = 1;

// A stick's position past the dead zone, scaled so the zone's edge reads 0 and full travel 1;
// x and y in and out are -1..1.
void ApplyStickDeadZone(double& x, double& y);
double ApplyTriggerDeadZone(double pull);  // 0..1 in and out

void HandleInputEvent(InputState& in, const SDL_Event& e);  // a device event
// keysToggle: F11 and Alt+Return in the script toggle fullscreen (false for a replay, which
// carries the fullscreen state in lines of its own).
ScriptStep ApplyScriptEvents(InputState& in, int64_t step, bool keysToggle);
void RefreshCounts(InputState& in);
void ReleaseAllKeys(InputState& in);  // focus lost: keys let go elsewhere never report up
void CloseControllers(InputState& in);

// ---- handles -------------------------------------------------------------------------------
enum class Kind { Block, Tex, Font, Snd, Rng };

// ---- the engine ----------------------------------------------------------------------------
struct Engine {
    bool initialised = false;
    uintptr_t* exceptionPlace = nullptr;
    Config config;

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* screen = nullptr;  // the finished frame, scaled to the window
    bool vsync = false;
    bool headless = false;  // dummy/offscreen video: no desktop to fit
    Canvas canvas;
    bool gpu = false;  // the GPU path: the game's draws go to gpuCanvas, the rasteriser rests
    GpuCanvas gpuCanvas;

    int64_t step = 0;  // calls of Act so far
    bool quitRequested = false;
    uint64_t startTicks = 0;    // performance counter at Init
    uint64_t nextDeadline = 0;  // performance counter of the next frame's start
    uint64_t lastPresent = 0;
    std::vector<uint64_t> recentFrames;  // performance counter of recent steps (GetFPS)

    InputState input;

    // What the extensions set; a game may set them before Init, for Init to open with.
    bool fullscreen = false;
    int64_t windowWidth = 0, windowHeight = 0;  // the plain window's size; 0 = the default
    bool pointerShown = true;
    bool suspended = false;  // minimised or hidden: nothing shown or rasterised, sound paused

    bool audioOpen = false;  // a mixer device exists (real or the dummy fallback)
    int audioFrequency = 0;
    uint16_t audioFormat = 0;
    int audioChannels = 0;
    double masterVolume = 1.0;
    double groupVolume[2] = {1.0, 1.0};  // BRISEL_SOUND_EFFECTS, BRISEL_SOUND_MUSIC
    bool muted = false;

    FILE* trace = nullptr;
    FILE* times = nullptr;  // BRISEL_TIMES: when each frame was shown
    int64_t initNs = 0;     // CLOCK_MONOTONIC at the call of Init

    std::unordered_map<const void*, Kind> handles;

    std::string stringBuffer;  // the text returned by the last string call

    // Replays: the game's notes, the recorder, the playback, and the hashes of the frame step
    // being drawn: the step's own hash for the running checks (kHashSteps), and the old per-step
    // hash of format 1 (kHashOldCheck), kept only while a check of that kind will need it.
    uint64_t seed = 0;  // the seed the run started with
    std::string title;  // the window's title as Init set it
    Notes notes;
    Recorder recorder;
    Playback playback;
    unsigned hashing = 0;                // kHashSteps | kHashOldCheck
    uint64_t stepHash = kStepHashStart;  // this step's calls, for the running hashes
    uint64_t frameHash = kHashStart;     // this step's calls, FNV-1a (format 1's checks)
    bool fastForward = false;            // BRISEL_REPLAY_FROM: this step is neither shown nor heard
    // Frame skip: the loop fell behind, so this step is made (every call traced, hashed and heard)
    // but neither rasterised nor shown; skipNext is Pace's word for the step after this one.
    bool skipped = false;
    bool skipNext = false;
    // The replay's viewer: this step is made unseen (a speed above 1x shows only the last of
    // each few), and the sound is held (at any speed but 1x, and while paused).
    bool viewerHidden = false;
    bool viewerQuiet = false;

    // What only the player sees (player_text.cpp): the text being typed (BeginTextInput), never
    // play, and the lines OverlayText asked for over the next frame shown.
    struct Typing {
        bool active = false;
        std::string text;    // typed so far
        std::string before;  // given at the start, for Escape
        size_t maxBytes = 0;
    } typing;
    struct OverlayLine {
        double x = 0, y = 0, height = 0;
        std::string text;
        double maxWidth = 0;  // 0: any width
    };
    std::vector<OverlayLine> overlay;
};

// Nothing drawn now will be seen: the window is minimised, a replay is fast-forwarding, or the
// step is skipped to keep time.
inline bool NothingShown(const Engine& e) {
    return e.suspended || e.fastForward || e.skipped || e.viewerHidden || e.config.noDraw;
}

Engine& E();
Rng& MainRng();

constexpr unsigned kHashSteps = 1;     // every step: a replay being recorded, or one of format 2 played
constexpr unsigned kHashOldCheck = 2;  // a step that a check of format 1 verifies

// A draw or sound call into the frame step's hashes, while a check needs them: a tag for the
// call, then its arguments' bytes.
template <typename... A>
inline void HashCall(char tag, const A&... args) {
    Engine& e = E();
    if (e.hashing == 0) return;
    if (e.hashing & kHashSteps) {
        uint64_t h = MixWord(e.stepHash, uint64_t(uint8_t(tag)));
        ((h = MixWord(h, WordOf(args))), ...);
        e.stepHash = h;
    }
    if (e.hashing & kHashOldCheck) {
        uint64_t h = HashBytes(e.frameHash, &tag, 1);
        ((h = HashBytes(h, &args, sizeof args)), ...);
        e.frameHash = h;
    }
}
// A volume or mute call: format 1 hashed the call. The running hash takes the volumes in force
// at the end of each step instead (what is heard): a game applies its settings before the
// first step, and a replayed game applies the same ones (from its notes) at another moment.
template <typename... A>
inline void HashVolumeCall(char tag, const A&... args) {
    Engine& e = E();
    if (!(e.hashing & kHashOldCheck)) return;
    uint64_t h = HashBytes(e.frameHash, &tag, 1);
    ((h = HashBytes(h, &args, sizeof args)), ...);
    e.frameHash = h;
}
inline void HashText(const std::string& text) {
    Engine& e = E();
    if (e.hashing == 0) return;
    if (e.hashing & kHashSteps) e.stepHash = MixText(e.stepHash, text);
    if (e.hashing & kHashOldCheck) e.frameHash = HashBytes(e.frameHash, text.data(), text.size() + 1);
}

// Resolves a bare file name inside Data/ of the working folder.
std::string DataPath(const char* name);
// Reads a whole file; raises BRISEL_FAIL_LOAD "<file>: <what>" when it is missing or empty.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

void RequireInit(const char* name);  // raises BRISEL_FAIL_NOT_READY before Init

void Register(const void* handle, Kind kind);
bool IsLive(const void* handle, Kind kind);
void Unregister(const void* handle);

void TraceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// BRISEL_TIMES: opened at Init, one line per shown frame, closed with the trace.
void OpenTimes(Engine& e);
void WriteShownTime(Engine& e, bool shown);  // shown false: the step was skipped to keep time
void CloseTimes(Engine& e);
int64_t MonotonicNs();

// Release of each handle kind (used by FreeMem and by Free).
void ReleaseTex(BriselTex* tex);
void ReleaseFont(BriselFont* font);
void ReleaseSnd(BriselSnd* snd);

// A TrueType font as SDL_ttf holds it. Text is rendered on the decoding worker too, so every
// SDL_ttf call on any font holds FontLock().
struct FontCore {
    std::vector<uint8_t> data;  // the font file, which SDL_ttf reads lazily
    TTF_Font* font = nullptr;
    int size = 0;      // current point size of font
    int lineSize = 0;  // line height in pixels that size was chosen for
    std::string name;
    FontCore() = default;
    FontCore(const FontCore&) = delete;
    FontCore& operator=(const FontCore&) = delete;
    ~FontCore();
};
std::mutex& FontLock();

// What only a replay's viewer sees, drawn over the frame as it goes to the window
// (viewer_marks.cpp); released at shutdown.
void DrawViewerMarks(Engine& e);
void ReleaseViewerMarks();
// The player's typing (player_text.cpp): whether ev went to it (and not to the game); the
// overlay's lines drawn over the frame as it goes to the window, then forgotten; released at
// shutdown. The network's requests stopped at shutdown (network.cpp).
bool TakeTypingEvent(Engine& e, const SDL_Event& ev);
void DrawOverlay(Engine& e);
void ReleaseOverlay();
void StopRequests();

void OpenAudio();                // after SDL_Init: real device, else the dummy driver, else silent
void CloseAudio();               // releases every sound too
void ApplyVolumes();             // every sound's gains: its volume x its group's gain
void SuspendSound(bool paused);  // pauses or resumes the sound device (window minimised)

// The window (desktop.cpp).
void ToggleFullscreen(Engine& e);
void NoteWindowSize(Engine& e);              // after a size change: remember a plain window's size
void UpdateSuspension(Engine& e);            // after the counts are refreshed: minimised or not
bool FullscreenSeenByGame(const Engine& e);  // what GetFullscreen answers
void MakeFullscreen(Engine& e, bool on);     // the window itself
const std::string& EngineVersionText();

// Sounds: after a fast-forward, the repeating sounds the game started are heard again.
void ResumeLoopingSounds();
// The mix held (faded out, every voice waiting) while minimised or while the viewer is quiet.
void UpdateSoundHold(Engine& e);

// The replay's viewer (viewer.cpp). The commands: "slower", "faster", "back", "forward",
// "step", "pause", "quit"; false for a name that is none of them.
bool IsViewerCommand(const std::string& name);
void ViewerCommand(Engine& e, const std::string& name);
// A key or controller button of the viewer's, acted on; false for any other event.
bool ViewerEvent(Engine& e, const SDL_Event& ev);
void RunViewerKeys(Engine& e);  // BRISEL_VIEWER_KEYS' commands that are due
// For the step about to be made: whether it is seen and whether the sound is held.
void ViewerNextStep(Engine& e);
// RestartScenes' work: the engine as the first step found it, fast-forwarding to `target`.
void RewindReplay(Engine& e, int64_t target);
// The speed's name as the strip shows it ("1x", "1/4x").
const char* ViewerSpeedName(const Engine& e);

// Keeps what libraries write to standard error while it lives (SDL probing for displays and
// sound devices, ALSA, Mesa): a player's terminal gets the engine's own one-line messages,
// not theirs. Under BRISEL_DEBUG=1 it is passed on when the muffle ends.
class StderrMuffle {
public:
    StderrMuffle();
    ~StderrMuffle();
    StderrMuffle(const StderrMuffle&) = delete;
    StderrMuffle& operator=(const StderrMuffle&) = delete;

private:
    int saved_ = -1;
    FILE* sink_ = nullptr;
};

// The name the program was started by, for the engine's own lines on standard error.
const char* ProgramName();

}  // namespace brisel

// Handle types, named by the contract header.
struct BriselTex {
    std::shared_ptr<brisel::Image> picture;  // null while `decoding` is set: use brisel::TexImage
    std::string name;                        // file name as passed to LoadTex, or "text:<text>"
    int width = 0, height = 0;  // known from the file's header at once (-1 for text not rendered yet)
    std::shared_ptr<brisel::DecodeJob> decoding;  // the picture still being made, or null
    std::string file;                             // the path it was read from; empty for text
    uint32_t fileCrc = 0;                         // and its bytes' checksum, to share and keep
    size_t fileSize = 0;
};

struct BriselFont {
    std::shared_ptr<brisel::FontCore> core;  // shared with its text renderings still queued
};

struct BriselSnd {
    uint64_t mixId = 0;   // the sound in the engine's mixer; 0 when running without any device
    double volume = 1.0;  // as VolumeSnd set it
    double pan = 0.0;
    int64_t group = BRISEL_SOUND_EFFECTS;
    double seconds = 0.0;
    bool looping = false;  // last started to repeat, and not stopped since
    std::string name;
};

struct BriselRng {
    brisel::Rng rng;
};

#endif
