#include "frame/session.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "desktop/terminal_line.hpp"
#include "frame/bindings.hpp"
#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/input.hpp"
#include "frame/media.hpp"

namespace grappix {

namespace {

Session* gActive = nullptr;

double Gain(int64_t percent) { return static_cast<double>(percent) / 100.0; }

}  // namespace

Session* ActiveSession() { return gActive; }
void SetActiveSession(Session* session) { gActive = session; }

const Settings& SettingsInForce() {
    static const Settings defaults;
    return gActive != nullptr ? gActive->Current() : defaults;
}

Session::Session(std::string settingsPath, const CommandLine& commandLine) : file_(std::move(settingsPath)) {
    file_.SetNameCheck(&BindableName);
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
    if (!commandLine.boardAddress.empty()) current_.boardAddress = commandLine.boardAddress;
}

void Session::ApplyBeforeInit() {
    EngineTable& e = Engine();
    if (e.SetFullscreen != nullptr) e.SetFullscreen(current_.fullscreen);
    if (e.SetWindowSize != nullptr) e.SetWindowSize(current_.windowWidth, current_.windowHeight);
    ApplySound();
}

namespace {

// The settings a replay carries: what the game shows and plays depends on them.
constexpr const char* kMusicNote = "settings.music-volume";
constexpr const char* kEffectsNote = "settings.effects-volume";
constexpr const char* kMuteNote = "settings.mute";
constexpr const char* kRumbleNote = "settings.rumble";  // shown on the options screen
// The bindings, "settings.key-shoot" ... "settings.button-pause": the cards show them.
std::string BindingNote(bool controller, int action) {
    return std::string(controller ? "settings.button-" : "settings.key-") + kBoundActionNames[action];
}

// The bindings a replay carries; one missing (a replay recorded before there were any) or not
// bindable keeps the default, and names bound twice are made distinct as the settings file's.
void ReadBindingNotes(Settings& s) {
    s.keys = kDefaultKeys;
    s.buttons = kDefaultButtons;
    for (bool controller : {false, true})
        for (int a = 0; a < kBoundActions; ++a) {
            const char* text = Engine().GetReplayNote(BindingNote(controller, a).c_str());
            const char* name = text != nullptr ? BindableName(controller, text) : nullptr;
            if (name != nullptr) (controller ? s.buttons : s.keys)[size_t(a)] = name;
        }
    for (bool controller : {false, true}) {
        BindingNames& names = controller ? s.buttons : s.keys;
        for (int a = 1; a < kBoundActions; ++a)
            for (int b = 0; b < a; ++b)
                if (names[size_t(a)] == names[size_t(b)]) names = controller ? kDefaultButtons : kDefaultKeys;
    }
}
constexpr const char* kBoardNote = "settings.board";  // shown on the options screen

// A volume note as written below; false for anything else (a hand-edited replay).
bool ReadVolumeNote(const char* key, int64_t& volume) {
    const char* text = Engine().GetReplayNote(key);
    if (text == nullptr) return false;
    std::string_view v(text);
    if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    int64_t n = 0;
    for (char c : v) n = n * 10 + (c - '0');
    if (n > 100) return false;
    volume = n;
    return true;
}

}  // namespace

bool Session::Replaying() { return Engine().Replaying != nullptr && Engine().Replaying(); }

void Session::ApplyAfterInit() {
    if (Engine().GetWindowSize != nullptr) Engine().GetWindowSize(&openedWidth_, &openedHeight_);
    EngineTable& e = Engine();
    if (Replaying()) {
        // The run plays as it was recorded: with the settings it had then, never saved now.
        if (e.GetReplayNote == nullptr) return;
        ReadVolumeNote(kMusicNote, current_.musicVolume);
        ReadVolumeNote(kEffectsNote, current_.effectsVolume);
        if (const char* mute = e.GetReplayNote(kMuteNote); mute != nullptr)
            current_.mute = std::string_view(mute) == "on";
        if (const char* rumble = e.GetReplayNote(kRumbleNote); rumble != nullptr)
            current_.rumble = std::string_view(rumble) == "on";
        ReadBindingNotes(current_);
        ApplyBindings(current_);
        // Only the switch: the name and address are the player's, never part of a replay.
        current_.board = false;
        if (const char* board = e.GetReplayNote(kBoardNote); board != nullptr)
            current_.board = std::string_view(board) == "on";
        ApplySound();
        atStart_ = current_;
        return;
    }
    ApplyBindings(current_);
    if (e.SetReplayNote == nullptr) return;
    e.SetReplayNote(kMusicNote, std::to_string(current_.musicVolume).c_str());
    e.SetReplayNote(kEffectsNote, std::to_string(current_.effectsVolume).c_str());
    e.SetReplayNote(kMuteNote, current_.mute ? "on" : "off");
    e.SetReplayNote(kRumbleNote, current_.rumble ? "on" : "off");
    for (int a = 0; a < kBoundActions; ++a) {
        e.SetReplayNote(BindingNote(false, a).c_str(), current_.keys[size_t(a)].c_str());
        e.SetReplayNote(BindingNote(true, a).c_str(), current_.buttons[size_t(a)].c_str());
    }
    e.SetReplayNote(kBoardNote, current_.board ? "on" : "off");
}

void Session::Restart() {
    current_ = atStart_;
    noteFrames_ = 0;
    ApplySound();
}

struct Session::Notes {
    Font font;
    Tex off, on;
};

namespace {

constexpr double kMarkX = 1542, kMarkY = 14, kMarkW = 44, kMarkH = 40;
constexpr int64_t kNoteFrames = 90;

// A loudspeaker crossed out, in rectangles: a dark plate, the speaker's body and cone, and a
// cross of small squares beside it.
void DrawSoundOffMark() {
    DrawRect(kMarkX, kMarkY, kMarkW, kMarkH, 0, 0, 0, 0.55);
    DrawRect(kMarkX + 6, kMarkY + 15, 6, 10, 1, 1, 1, 0.9);
    for (int i = 0; i < 3; ++i) {
        const double h = 14 + 6 * i;
        DrawRect(kMarkX + 12 + 3 * i, kMarkY + (kMarkH - h) * 0.5, 3, h, 1, 1, 1, 0.9);
    }
    for (int i = 0; i < 5; ++i) {
        DrawRect(kMarkX + 24 + 3 * i, kMarkY + 12 + 3 * i, 4, 4, 1, 0.35, 0.3, 1);
        DrawRect(kMarkX + 24 + 3 * i, kMarkY + 24 - 3 * i, 4, 4, 1, 0.35, 0.3, 1);
    }
}

}  // namespace

void Session::DrawMarks() {
    if (current_.mute) DrawSoundOffMark();
    if (noteFrames_ <= 0 || notes_ == nullptr) return;
    --noteFrames_;
    const Tex& note = current_.mute ? notes_->off : notes_->on;
    const double w = note.Width(), h = note.Height();
    const double x = kMarkX - 12 - w, y = kMarkY + (kMarkH - h) * 0.5;
    DrawRect(x - 8, kMarkY, w + 16, kMarkH, 0, 0, 0, 0.55);
    note.Draw(0, 0, w, h, x, y, 1, 1, 1, 1);
}

void Session::AfterFrameStep() {
    if (IsPressed(KeyCount(BRISEL_KEY_M))) {
        SetMute(!current_.mute);
        if (notes_ == nullptr) {
            // The lettering is a nicety: without the font the mark alone shows.
            const uintptr_t place = ExceptionPlace();
            try {
                auto notes = std::make_shared<Notes>();
                notes->font = LoadFont("font.ttf");
                notes->off = notes->font.MakeTex(24, "Sound off", 2);
                notes->on = notes->font.MakeTex(24, "Sound on", 2);
                notes_ = notes;
            } catch (...) {
                ExceptionPlace() = place;
            }
        }
        noteFrames_ = kNoteFrames;
    }
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

Session::Bound Session::Bind(bool controller, BoundAction action, std::string_view pressed) {
    const char* known = BindableName(controller, pressed);
    if (known == nullptr) return Bound::kRefused;
    const std::string name = known;
    const BindingNames& now = controller ? current_.buttons : current_.keys;
    if (now[size_t(action)] == name) return Bound::kSame;
    const bool swapped = std::find(now.begin(), now.end(), name) != now.end();
    // Applied to what this run uses and to what the file holds alike, each keeping four names.
    Change([controller, action, &name](Settings& s) {
        BindingNames& names = controller ? s.buttons : s.keys;
        const auto other = std::find(names.begin(), names.end(), name);
        if (other != names.end()) *other = names[size_t(action)];
        names[size_t(action)] = name;
    });
    ApplyBindings(current_);
    return swapped ? Bound::kSwapped : Bound::kBound;
}

void Session::ResetBindings() {
    Change([](Settings& s) {
        s.keys = kDefaultKeys;
        s.buttons = kDefaultButtons;
    });
    ApplyBindings(current_);
}

void Session::SetBoard(bool on) {
    Change([on](Settings& s) { s.board = on; });
}

void Session::SetBoardName(const std::string& name) {
    if (!name.empty() && !IsBoardName(name)) return;
    Change([&name](Settings& s) { s.boardName = name; });
}

void Session::SetBoardAddress(const std::string& address) {
    if (!address.empty() && !IsBoardAddress(address)) return;
    Change([&address](Settings& s) { s.boardAddress = address; });
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
    if (Replaying()) return;  // a replay's settings are the recorded run's, not the player's
    std::string error = file_.Save(saved_, &saved_);
    if (error.empty() || saveWarned_) return;
    saveWarned_ = true;
    Warn("cannot save the settings (" + error + "); changes made in the game last until it ends");
}

void Session::Warn(const std::string& text) { WarnLine(text); }

}  // namespace grappix
