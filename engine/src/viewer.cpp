// viewer.cpp -- the replay's viewer: its speeds (1/4x to 8x), skips of 10 s forward and back,
// one step at a time while paused. None of it reaches the game: the replay's events alone make
// its input, and every step is made and checked whatever the speed.
//
// Above 1x, several steps are made for each frame shown (only the last drawn); below it, each
// step is shown for several frames. A skip forward fast-forwards to its step; a skip back plays
// the replay again from its start in the same window (RestartScenes), fast-forwarding to the
// step 10 s back. The sound is held (faded out, every voice waiting) at every speed but 1x and
// while paused, and effects that start meanwhile are not heard: at 8x they would pile up, and a
// slowed effect beside music at its own pace sounds wrong. 1x resumes the music where it was.
#include <algorithm>

#include "engine.hpp"

namespace brisel {

namespace {

const char* const kCommands[] = {"slower", "faster", "back", "forward", "step", "pause", "quit"};

}  // namespace

bool IsViewerCommand(const std::string& name) {
    return std::find(std::begin(kCommands), std::end(kCommands), name) != std::end(kCommands);
}

void ViewerCommand(Engine& e, const std::string& name) {
    Playback& p = e.playback;
    const int64_t at = std::max(e.step, p.from);  // where the replay is, or is going
    if (name == "slower") {
        p.speed = std::max(0, p.speed - 1);
    } else if (name == "faster") {
        p.speed = std::min(kViewerSpeedCount - 1, p.speed + 1);
    } else if (name == "pause") {
        p.paused = !p.paused;
    } else if (name == "step") {
        p.stepOnce = p.paused;
    } else if (name == "forward") {
        p.from = std::min(p.script.endStep, at + kViewerSkip);
    } else if (name == "back") {
        // Only a game that can play its scenes again can go back.
        if (p.canRestart)
            p.restartTo = std::max<int64_t>(0, (p.restartTo >= 0 ? p.restartTo : at) - kViewerSkip);
    } else if (name == "quit") {
        e.quitRequested = true;
    }
    UpdateSoundHold(e);
}

bool ViewerEvent(Engine& e, const SDL_Event& ev) {
    const char* command = nullptr;
    if (ev.type == SDL_KEYDOWN) {
        const bool repeat = ev.key.repeat != 0;
        switch (ev.key.keysym.sym) {
        case SDLK_ESCAPE: command = repeat ? nullptr : "quit"; break;
        case SDLK_SPACE:
        case SDLK_p: command = repeat ? nullptr : "pause"; break;
        case SDLK_LEFTBRACKET:
        case SDLK_MINUS:
        case SDLK_KP_MINUS: command = repeat ? nullptr : "slower"; break;
        case SDLK_RIGHTBRACKET:
        case SDLK_EQUALS:
        case SDLK_PLUS:
        case SDLK_KP_PLUS: command = repeat ? nullptr : "faster"; break;
        case SDLK_LEFT: command = "back"; break;
        case SDLK_RIGHT: command = "forward"; break;
        case SDLK_PERIOD: command = "step"; break;  // held, it steps on with the key's repeat
        default: break;
        }
        if (command != nullptr) ViewerCommand(e, command);
        return true;  // no other key of the devices reaches a replayed game
    }
    if (ev.type != SDL_CONTROLLERBUTTONDOWN) return false;
    switch (ev.cbutton.button) {
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: command = "slower"; break;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: command = "faster"; break;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: command = "back"; break;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: command = e.playback.paused ? "step" : "forward"; break;
    case SDL_CONTROLLER_BUTTON_START: command = "pause"; break;
    case SDL_CONTROLLER_BUTTON_BACK: command = "quit"; break;
    default: break;
    }
    if (command != nullptr) ViewerCommand(e, command);
    return true;
}

void RunViewerKeys(Engine& e) {
    Playback& p = e.playback;
    const auto& keys = e.config.viewerKeys;
    while (p.active && p.keysNext < keys.size() && keys[p.keysNext].first <= p.refreshes)
        ViewerCommand(e, keys[p.keysNext++].second);
}

void ViewerNextStep(Engine& e) {
    const Playback& p = e.playback;
    const int64_t next = e.step + 1;
    const ViewerSpeed& speed = kViewerSpeeds[p.speed];
    // The last step of a run of them is shown, and so are the replay's end and a picture asked for.
    e.viewerHidden = p.active && !e.fastForward && !p.paused && p.hiddenInRow + 1 < speed.steps &&
                     next < p.script.endStep && e.config.shotFrames.count(next) == 0;
}

void RewindReplay(Engine& e, int64_t target) {
    Playback& p = e.playback;
    e.step = 0;
    p.fullscreen = p.script.haveFullscreen && p.script.fullscreen;
    p.running = HeaderHash(p.script.version, p.script.seed, p.fullscreen, p.script.notes);
    p.nextCheck = 0;
    p.textNext = 0;
    p.reported = false;
    p.failure.clear();
    p.from = target;
    p.hiddenInRow = 0;
    p.stepOnce = false;
    p.restartTo = -1;
    ++p.restarts;
    // The input as Init left it, but for the controllers plugged in.
    InputState fresh;
    fresh.controllers = std::move(e.input.controllers);
    fresh.controllerHeld = std::move(e.input.controllerHeld);
    fresh.controllerAxes = std::move(e.input.controllerAxes);
    fresh.scripted = true;
    e.input = std::move(fresh);
    MainRng().Seed(e.seed);
    e.hashing = 0;  // what follows is no call of the game's
    SetMasterVolume(p.startMaster);
    SetGroupVolume(BRISEL_SOUND_EFFECTS, p.startGroup[BRISEL_SOUND_EFFECTS]);
    SetGroupVolume(BRISEL_SOUND_MUSIC, p.startGroup[BRISEL_SOUND_MUSIC]);
    SetMute(p.startMuted);
    e.canvas.ResetViewport();
    e.canvas.SetBlend(BlendMode::Alpha);
    e.canvas.SetLinear(false);
    e.gpuCanvas.SetBlend(BlendMode::Alpha);
    e.gpuCanvas.SetLinear(false);
    if (e.gpu) e.gpuCanvas.ResetViewport();
    e.skipped = e.skipNext = e.viewerHidden = false;
    if (e.recorder.Active()) e.recorder.Rewind();
}

const char* ViewerSpeedName(const Engine& e) { return kViewerSpeeds[e.playback.speed].name; }

}  // namespace brisel
