// The game scene: one game in the chosen mode, from "Start!" until the player returns to
// the title from the pause screen.
#pragma once

#include <array>

#include "blocks/block_field.hpp"
#include "common/backdrop.hpp"
#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/camera.hpp"
#include "common/game_mode.hpp"
#include "common/menu_nav.hpp"
#include "common/mouse_input.hpp"
#include "frame/media.hpp"
#include "game/best_line.hpp"
#include "game/controls.hpp"
#include "game/controls_card.hpp"
#include "game/hud.hpp"
#include "game/pad_input.hpp"
#include "game/world.hpp"
#include "options/options_screen.hpp"

namespace grappix {

class RecordBook;

// Plays one game: creates the scene, runs it, releases everything when the player leaves. The
// run's records learn where the game begins, follow its speed and are saved when it is left
// (however it ends); watching a record, the run ends with the game that holds it.
void RunGame(GameMode mode);

// Everything one game owns, created in the order of the members and set up in the
// constructor, and released together when the game ends.
class GameScene {
public:
    // The catch square of "Free Style", in world pixels: it follows the shots, and waits below
    // the ground line between them.
    struct CatchRect {
        double x = 0, y = 100, w = 100, h = 100;
    };

    explicit GameScene(GameMode mode);
    GameScene(const GameScene&) = delete;
    GameScene& operator=(const GameScene&) = delete;

    void Run();  // the opening, then play until the player picks "Return Title"
    // "Start!" with the controls card: the stage stands still and reads only the aim (the mouse
    // and the right stick) and the window
    void Opening();
    bool PlayFrame();  // one frame of play; false when the player leaves for the title

    // Read access for tests (which also place the body through the world).
    World& GetWorld() { return world; }
    const BlockField& Blocks() const { return blocks; }
    const Camera& GetCamera() const { return camera; }
    const CatchRect& GetCatchRect() const { return catchRect; }
    const Hud& GetHud() const { return hud; }
    const BestLine& GetBestLine() const { return bestLine; }

private:
    void ReadInput();  // mouse, pad, then this frame's controls
    void GiveCommands(const Controls& c);
    void FollowBody();     // the camera follows the body to the right only
    void CollideByMode();  // the mode's obstacles, after the world's update
    void DrawPlay();
    void DrawFrozenGame();
    bool Pause();  // true when the player picks "Return Title"

    double AimX() const { return camera.GetX() + aim.X(); }  // the aim in the world
    double AimY() const { return camera.GetY() + aim.Y(); }
    void RumbleOnCatch(WireState before);  // a short shake when the hook has just caught

    GameMode mode;
    BitmapFont text;
    bool blinkOn = true;
    // The pause screen's entries, in the order the highlight moves through them.
    enum PauseEntry { kResume, kToTitle, kOptions, kPauseEntries };
    std::array<Button, kPauseEntries> pauseEntries;
    bool awayInOpening = false;  // the window went away during "Start!": play begins paused
    World world;
    Backdrop backdrop;
    BlockField blocks;
    Camera camera;
    Hud hud;
    ControlsCard card;  // shown while "Start!" is
    MouseInput mouse;
    PadInput pad;
    AimCursor aim;
    Controls controls;
    CatchRect catchRect;
    SoundClip music;
    RecordBook* records;  // the run's, or null
    BestLine bestLine;
};

}  // namespace grappix
