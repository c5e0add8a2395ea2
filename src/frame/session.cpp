#include "frame/session.hpp"

#include <cstdio>

#include "frame/engine.hpp"
#include "frame/input.hpp"
#include "frame/media.hpp"

namespace grappix {

namespace {

Session* gActive = nullptr;

double Gain(int64_t percent) { return static_cast<double>(percent) / 100.0; }

}  // namespace

Session* ActiveSession() { return gActive; }
void SetActiveSession(Session* session) { gActive = session; }

Session::Session(std::string settingsPath, const CommandLine& commandLine) : file_(std::move(settingsPath)) {
    std::vector<std::string> warnings;
    saved_ = file_.Load(warnings);
    if (commandLine.resetSettings) {
        saved_ = Settings{};
        Save();
    } else {
        for (const std::string& w : warnings) Warn(w);
    }
    current_ = saved_;
    if (commandLine.fullscreen) current_.fullscreen = *commandLine.fullscreen;
    if (commandLine.musicVolume) current_.musicVolume = *commandLine.musicVolume;
    if (commandLine.effectsVolume) current_.effectsVolume = *commandLine.effectsVolume;
    if (commandLine.mute) current_.mute = true;
}

void Session::ApplyBeforeInit() {
    EngineTable& e = Engine();
    if (e.SetFullscreen != nullptr) e.SetFullscreen(current_.fullscreen);
    if (e.SetWindowSize != nullptr) e.SetWindowSize(current_.windowWidth, current_.windowHeight);
    ApplySound();
}

void Session::ApplyAfterInit() {
    if (Engine().GetWindowSize != nullptr) Engine().GetWindowSize(&openedWidth_, &openedHeight_);
}

void Session::AfterFrameStep() {
    if (IsPressed(KeyCount(BRISEL_KEY_M))) SetMute(!current_.mute);
    bool ctrl = IsHeld(KeyCount(BRISEL_KEY_LCTRL)) || IsHeld(KeyCount(BRISEL_KEY_RCTRL));
    if (ctrl && IsPressed(KeyCount(BRISEL_KEY_Q))) Quit();
    if (Engine().GetFullscreen != nullptr) {
        bool full = Engine().GetFullscreen();
        if (full != current_.fullscreen) Change([full](Settings& s) { s.fullscreen = full; });
    }
}

void Session::AtShutdown() {
    if (Engine().GetWindowSize == nullptr) return;
    int64_t w = 0, h = 0;
    Engine().GetWindowSize(&w, &h);
    // Only a size the player gave the window: the one it opened at may be the desktop's fit.
    if (w == openedWidth_ && h == openedHeight_) return;
    if (w < kMinWindowWidth || h < kMinWindowHeight || w > kMaxWindowSide || h > kMaxWindowSide) return;
    Change([w, h](Settings& s) {
        s.windowWidth = w;
        s.windowHeight = h;
    });
}

void Session::SetMusicVolume(int64_t percent) {
    Change([percent](Settings& s) { s.musicVolume = percent; });
    ApplySound();
}

void Session::SetEffectsVolume(int64_t percent) {
    Change([percent](Settings& s) { s.effectsVolume = percent; });
    ApplySound();
}

void Session::SetMute(bool on) {
    Change([on](Settings& s) { s.mute = on; });
    ApplySound();
}

void Session::SetRumble(bool on) {
    Change([on](Settings& s) { s.rumble = on; });
}

void Session::SetFullscreen(bool on) {
    Change([on](Settings& s) { s.fullscreen = on; });
    if (Engine().SetFullscreen != nullptr) Engine().SetFullscreen(on);
}

template <class Edit>
void Session::Change(Edit edit) {
    edit(current_);
    const Settings before = saved_;
    edit(saved_);
    if (saved_ != before) Save();  // a volume already at its end, say, writes nothing
}

void Session::ApplySound() const {
    EngineTable& e = Engine();
    if (e.SetGroupVolume != nullptr) {
        e.SetGroupVolume(BRISEL_SOUND_MUSIC, Gain(current_.musicVolume));
        e.SetGroupVolume(BRISEL_SOUND_EFFECTS, Gain(current_.effectsVolume));
    }
    if (e.SetMute != nullptr) e.SetMute(current_.mute);
}

void Session::Save() {
    std::string error = file_.Save(saved_);
    if (error.empty() || saveWarned_) return;
    saveWarned_ = true;
    Warn("cannot save the settings (" + error + "); changes made in the game last until it ends");
}

void Session::Warn(const std::string& text) { std::fprintf(stderr, "grappix: %s\n", text.c_str()); }

}  // namespace grappix
