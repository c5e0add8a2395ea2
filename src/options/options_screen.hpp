// The options screen: music volume, effects volume, mute, fullscreen and the controller's
// rumble, and a card of the
// controls for the mouse, the keyboard and a controller, with the bindings in force and an
// entry ("Change") to the controls page that rebinds them. It opens over the screen it was
// opened from (the title, or the pause screen with the game frozen behind it) and returns
// there when the player leaves it. Every change goes through the run's session, so it takes
// effect at once and is saved.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/menu_nav.hpp"
#include "common/mouse_input.hpp"
#include "frame/media.hpp"

namespace grappix {

class OptionsScreen {
public:
    // kControls, the controls page's entry, sits on the card; in the menu's order it comes
    // between the board's rows and Back.
    enum Entry {
        kMusic,
        kEffects,
        kMute,
        kFullscreen,
        kRumble,
        kBoard,
        kBoardName,
        kBoardAddress,
        kControls,
        kBack,
        kEntryCount
    };

    OptionsScreen();  // loads the lettering and makes the card's lines
    OptionsScreen(const OptionsScreen&) = delete;
    OptionsScreen& operator=(const OptionsScreen&) = delete;

    // Runs frames until the player leaves; drawBehind draws, every frame, the screen the
    // options were opened from.
    void Run(const std::function<void()>& drawBehind);

    // One frame after the frame step: reads the input and acts on it. False when the player
    // leaves.
    bool Frame();
    void Draw() const;  // the screen over whatever is drawn already

    const Button& EntryButton(int entry) const { return entries[static_cast<size_t>(entry)]; }
    int Highlighted() const { return nav.Highlighted(); }

    // Where the volume rows' arrows are clicked: x of the "<" and ">" cells' centres.
    static double DownArrowX();
    static double UpArrowX();

private:
    void Act(const MenuNav::Result& r, const MenuInput& in);
    void Step(int entry, int direction);  // a volume up or down a step, a switch flipped
    void Drag(const MenuInput& in);       // a volume row pressed and dragged along
    void MakeCard();                      // the card's cells, with the bindings in force
    // The board's name and address are typed in (the engine takes the keys meanwhile, and only
    // the Return or Escape that ends it reaches the game); what is typed is drawn by the engine.
    bool Typing();  // a frame while typing: false when it is not going on
    void ShowTyped() const;

    std::array<Button, kEntryCount> entries;
    BitmapFont text;
    Font cardFont;
    struct CardLine {
        Tex tex;
        double x = 0, y = 0;
    };
    std::array<CardLine, 48> card;  // the controls card, cell by cell (empty cells unused)
    size_t cardCount = 0;
    Tex footnote;
    SoundClip sample;  // played at the effects volume when it changes
    MouseInput mouse;
    MenuNav nav;
    bool openControls = false;  // the controls page was chosen: Run opens it
    int dragRow = -1;           // the volume row the left button went down on, -1 for none
    double dragX = 0;           // where the drag's last step was taken
    bool dragged = false;       // the press moved its row: its release is no click
    int typingRow = -1;         // kBoardName or kBoardAddress while typed into
};

// Opens the options screen over the one drawn by drawBehind, and returns when the player
// leaves it.
void RunOptions(const std::function<void()>& drawBehind);

// The small "Options" entry of the title and the pause screen: in the bottom right corner,
// clear of both screens' own buttons.
void InitOptionsEntry(Button& entry);
void DrawOptionsEntry(const Button& entry, const BitmapFont& font);

}  // namespace grappix
