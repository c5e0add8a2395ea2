// The controls page of the options: shoot, reel in, jump and pause, each with its key and its
// controller button. Choosing one waits for the next key (or controller button) and binds it;
// Escape cancels the wait; a key bound to another action already swaps with it; the keys and
// buttons that stay fixed are refused with a note. "Reset controls" puts every default back.
// Every change goes through the run's session, so it takes effect at once and is saved.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/menu_nav.hpp"
#include "common/mouse_input.hpp"
#include "frame/media.hpp"

namespace grappix {

class ControlsScreen {
public:
    // The keyboard's four actions, the controller's four (in the settings' order), then the rest.
    enum Entry { kKeyFirst = 0, kButtonFirst = 4, kReset = 8, kBack, kEntryCount };

    ControlsScreen();
    ControlsScreen(const ControlsScreen&) = delete;
    ControlsScreen& operator=(const ControlsScreen&) = delete;

    // Draws, then runs frame steps until the player leaves (the step that leaves is not drawn
    // here); drawBehind draws, every frame, what lies behind.
    void Run(const std::function<void()>& drawBehind);
    // One frame after the frame step: reads the input and acts on it. False when the player
    // leaves.
    bool Frame();
    void Draw() const;

    const Button& EntryButton(int entry) const { return entries[static_cast<size_t>(entry)]; }
    int Waiting() const { return waiting; }  // the entry waiting for a key or button, -1 for none
    const std::string& Note() const { return noteText; }

private:
    void Wait(bool cancel);  // a frame of waiting for the key or button to bind
    void SetNote(const std::string& text);

    std::array<Button, kEntryCount> entries;
    BitmapFont text;
    Font noteFont;
    Tex note;
    std::string noteText;
    MouseInput mouse;
    MenuNav nav;
    int waiting = -1;
};

}  // namespace grappix
