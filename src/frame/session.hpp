// The player's side of one run: the settings in force (the settings file's, with this run's
// command-line options laid over them), applied to the engine and saved whenever they change in
// the game; and what works on every screen after every frame step: M toggles mute, Ctrl+Q
// quits, and a fullscreen toggle the window got from its own keys (F11, Alt+Enter) is kept.
// While a replay plays back, the settings are the recorded run's and nothing is saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "desktop/command_line.hpp"
#include "desktop/settings.hpp"

namespace grappix {

class Session {
public:
    // Reads the settings file at settingsPath (each problem warned about on standard error)
    // and lays the command line over what it holds; --reset-settings starts from the defaults
    // and saves them at once.
    Session(std::string settingsPath, const CommandLine& commandLine);

    void ApplyBeforeInit();  // to the engine: fullscreen, window size, volumes, mute
    // Notes the size the window opened at, and gives the engine the settings a replay
    // carries; while a replay plays back, takes them from it instead.
    void ApplyAfterInit();
    // A replay played again from its start: the settings and marks as ApplyAfterInit left them.
    void Restart();
    void AfterFrameStep();  // M, Ctrl+Q, and fullscreen toggled by the window's keys
    // Over whatever the screen drew, before the frame is shown: the sound-off mark in the top
    // right corner while muted, and for a second and a half after M a note beside it ("Sound
    // off", "Sound on").
    void DrawMarks();
    void AtShutdown();  // keeps a window size the player gave the window

    const Settings& Current() const { return current_; }  // what this run uses
    const Settings& Saved() const { return saved_; }      // what the file holds
    void SetMusicVolume(int64_t percent);                 // 0..100
    void SetEffectsVolume(int64_t percent);
    void SetMute(bool on);
    void SetFullscreen(bool on);
    void SetRumble(bool on);  // a controller shakes when the hook catches
    // The board of records: on or off, the player's name and the board's address (each
    // refused unless the board would take it, "" included for none).
    void SetBoard(bool on);
    void SetBoardName(const std::string& name);
    void SetBoardAddress(const std::string& address);

    // Binds a key (controller false) or controller button, by its name, to an action. A name
    // bound to another action already swaps: that action takes this one's old name, so no
    // action is ever left without one. Fixed and unknown names are refused.
    enum class Bound { kBound, kSwapped, kSame, kRefused };
    Bound Bind(bool controller, BoundAction action, std::string_view name);
    void ResetBindings();  // every key and button back to its default, saved

private:
    // A change made in the game: this run and the file both take it, then it is saved.
    template <class Edit>
    void Change(Edit edit);
    void ApplySound() const;
    void Save();
    static void Warn(const std::string& text);
    static bool Replaying();  // a replay plays back: nothing is saved

    SettingsFile file_;
    Settings saved_;
    Settings current_;
    Settings atStart_;         // current_ as ApplyAfterInit left it
    bool saveWarned_ = false;  // an unwritable folder is mentioned once a run
    int64_t openedWidth_ = 0, openedHeight_ = 0;
    int64_t noteFrames_ = 0;  // frames left to show the note of the last M
    struct Notes;
    std::shared_ptr<Notes> notes_;  // the notes' lettering, made at the first M
};

// The run's session, for the frame step and the options screen; null when there is none (a
// test of a single object).
Session* ActiveSession();
void SetActiveSession(Session* session);

// The settings this run uses (the active session's), or the defaults when there is no session.
const Settings& SettingsInForce();

}  // namespace grappix
